// The text rules of the content files: which encoding a file is in, conversions between code pages
// and UTF-16, and attribute values as a reader means them and as a writer must put them. Code pages
// are Windows code-page numbers, and a few of the engine's own below. Apart from UTF-16, which is read
// as UTF-8, only those in which ASCII characters are single ASCII bytes are known: the scanner finds
// markup by those bytes.
// The code pages' table is in XmlCodePages.cpp and the standard forms' in XmlStandardForms.cpp;
// encodings are detected in XmlEncoding.cpp, converted in XmlConvert.cpp, and attribute values
// decoded and encoded in XmlValue.cpp.
#pragma once

#include <string>
#include <string_view>

class CXmlDocumentType;

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageUtf16LE = 1200;
constexpr unsigned kCodePageUtf16BE = 1201;
constexpr unsigned kCodePageUsAscii = 20127;
// Numbers of the engine's own, above any of Windows'. A file declared in an encoding that the engine
// has no table for, but that keeps ASCII as ASCII (ISO-8859-16, say): only its ASCII bytes are read
// and written.
constexpr unsigned kCodePageAsciiOnly = 0x10000;
// Encodings that Windows converts only as part of a wider code page: they are read with the wider
// one (932, 936, 950), as files written by the Windows code page were, and written only in the
// bytes of their standard form, which other readers read under the declared name. EUC-JP (51932)
// and EUC-KR (51949), which Windows writes with tables of its own, keep to theirs the same way.
constexpr unsigned kCodePageShiftJis = 0x10000 + 932;
constexpr unsigned kCodePageGb2312 = 0x10000 + 936;
constexpr unsigned kCodePageBig5 = 0x10000 + 950;

bool IsUtf16(unsigned codePage);
bool IsUtf16BigEndian(unsigned codePage);
// Whether a tree read from a file in this code page holds UTF-8: true for UTF-8 files, and for UTF-16
// ones, which are converted on reading and back on writing.
bool HeldAsUtf8(unsigned codePage);

// The code page of an encoding name as an XML declaration gives it, compared as readers compare
// names (any case, with or without "-", "_" and "."): IANA names and their common aliases,
// "windows-1252", "cp1252", "x-cp1252", "ibm437" and the like; 0 when unknown.
unsigned CodePageFromEncodingName(std::string_view name);
// GetACP() on Windows; 1252 elsewhere.
unsigned SystemAnsiCodePage();
// Shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

struct CXmlEncoding
{
    unsigned codePage;
    bool byteOrderMark;
    bool declared = false; // the XML declaration names the code page
    // Where the declaration names an encoding that does not keep ASCII as ASCII (UTF-7, EBCDIC): the
    // offset of the name, which no code page stands for. 0 for any other file.
    std::size_t unwritableName = 0;
};
// In this order: a byte-order mark; UTF-16 recognised from "<?"; the declaration's encoding when it
// names a known one, or kCodePageAsciiOnly for an unknown one that keeps ASCII as ASCII; UTF-8 when
// the bytes are valid UTF-8; else the system ANSI code page. A UTF-8 mark or declaration gives UTF-8
// whatever the bytes are: a load refuses such a file when they are not UTF-8.
CXmlEncoding DetectEncoding(std::string_view bytes);
// The same without reading the bytes for UTF-8: when neither a mark nor a declaration decides, it
// gives UTF-8 and sets utf8Unchecked, and the caller, having checked the bytes, takes
// NotUtf8Encoding(result) for bytes that are not UTF-8.
CXmlEncoding DetectEncodingUnchecked(std::string_view bytes, bool& utf8Unchecked);
CXmlEncoding NotUtf8Encoding(const CXmlEncoding& utf8);

// UTF-16 bytes without a mark to UTF-8 and back; false for an odd length, an unpaired surrogate or
// invalid UTF-8, with the output then unspecified.
bool Utf16BytesToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8);
bool Utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian, std::string& bytes);
bool Utf8ToUtf16(std::string_view utf8, std::u16string& text);
bool Utf16ToUtf8(std::u16string_view text, std::string& utf8);

// Where the bytes stop being valid in the code page (UTF-16 bytes without a mark included): the
// offset from the start of the bytes of the first one that cannot be read; bytes.size() when they
// are valid.
std::size_t FirstInvalidByte(std::string_view bytes, unsigned codePage);
// Whether all of the bytes are valid in the code page (not UTF-16).
bool IsValidInCodePage(std::string_view bytes, unsigned codePage);

// False when the input does not convert exactly: bytes invalid in the code page, or a character it
// cannot hold (never a look-alike or a "?"). The output is then unspecified.
bool CodePageToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text);
bool Utf16ToCodePage(std::u16string_view text, unsigned codePage, std::string& bytes);

// An attribute value as its file means it, to be shown: the predefined entities and the character
// references replaced, the rest decoded from codePage, the code page of the tree's bytes (UTF-8 for
// UTF-16 files); a single-byte page's bytes as other readers read them, where they agree on one;
// with type, the entities it declares. A reference that cannot be decoded stays as written; bytes
// invalid in the code page show as U+FFFD, one for each byte.
std::u16string DecodeXmlValue(std::string_view value, unsigned codePage,
                              const CXmlDocumentType* type = nullptr);
// The value exactly as every XML reader reads it, references replaced and tab, CR and LF read as
// spaces (a CR LF as one), for comparing and for editing: writing the text back with EncodeXmlValue
// keeps its meaning. With type, a reference to an entity its internal subset declares reads as the
// entity's replacement text, read the same way. False, with text unspecified, when the engine cannot
// be sure of the value: a reference to an entity neither predefined nor declared there (one of an
// external document type, say), to an external entity or one whose text holds markup, a malformed
// reference, a character no document may hold, or bytes that codePage does not hold or that its
// standard form lacks (any byte outside ASCII for kCodePageAsciiOnly). An "&" that begins no
// reference reads as itself.
bool DecodeXmlValueExactly(std::string_view value, unsigned codePage, std::u16string& text,
                           const CXmlDocumentType* type = nullptr);
// Text as an attribute value for a tree in codePage, to be written between quote characters ('"'
// or '\''): '&', '<' and the quote escaped, tab, CR and LF as references, characters the code page
// holds in it (only in its standard form's bytes, where it has one) and any other as "&#x263A;".
// Characters no document may hold (unpaired surrogates, controls other than tab, CR and LF, U+FFFE,
// U+FFFF) are written as U+FFFD.
std::string EncodeXmlValue(std::u16string_view text, unsigned codePage, char quote = '"');
