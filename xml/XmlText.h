// The text rules of the content files: which encoding a file is in, conversions between code pages
// and UTF-16, and attribute values as a reader means them and as a writer must put them. Code pages
// are Windows code-page numbers. Apart from UTF-16, which is read as UTF-8, only those in which
// ASCII characters are single ASCII bytes are known: the scanner finds markup by those bytes.
// The code pages' table is in XmlCodePages.cpp; encodings are detected in XmlEncoding.cpp, converted
// in XmlConvert.cpp, and attribute values decoded and encoded in XmlValue.cpp.
#pragma once

#include <string>
#include <string_view>

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageUtf16LE = 1200;
constexpr unsigned kCodePageUtf16BE = 1201;
constexpr unsigned kCodePageUsAscii = 20127;

bool IsUtf16(unsigned codePage);
bool IsUtf16BigEndian(unsigned codePage);
// Whether a tree read from a file in this code page holds UTF-8: true for UTF-8 files, and for UTF-16
// ones, which are converted on reading and back on writing.
bool HeldAsUtf8(unsigned codePage);

// The code page of an encoding name as an XML declaration gives it (any case): IANA names and their
// common aliases, "windows-1252", "cp1252", "x-cp1252", "ibm437" and the like; 0 when unknown.
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
};
// In this order: a byte-order mark; UTF-16 recognised from "<?"; the declaration's encoding when it
// names a known one; UTF-8 when the bytes are valid UTF-8; else the system ANSI code page. A declared
// UTF-8 over bytes that are not UTF-8 also gives the ANSI code page: older tools wrote such files.
CXmlEncoding DetectEncoding(std::string_view bytes);

// UTF-16 bytes without a mark to UTF-8 and back; false for an odd length, an unpaired surrogate or
// invalid UTF-8, with the output then unspecified.
bool Utf16BytesToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8);
bool Utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian, std::string& bytes);
bool Utf8ToUtf16(std::string_view utf8, std::u16string& text);
bool Utf16ToUtf8(std::u16string_view text, std::string& utf8);

// Where the bytes stop being valid in the code page (UTF-16 bytes without a mark included): the
// offset of the first byte that cannot be read, or of the start of its line when that line is too
// long to search; bytes.size() when they are valid.
std::size_t FirstInvalidByte(std::string_view bytes, unsigned codePage);

// False when the input does not convert exactly: bytes invalid in the code page, or a character it
// cannot hold (never a look-alike or a "?"). The output is then unspecified.
bool CodePageToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text);
bool Utf16ToCodePage(std::u16string_view text, unsigned codePage, std::string& bytes);

// An attribute value as its file means it: the predefined entities and the character references
// replaced, the rest decoded from codePage, the code page of the tree's bytes (UTF-8 for UTF-16
// files). A reference that cannot be decoded stays as written; bytes invalid in the code page show
// as U+FFFD, one for each byte.
std::u16string DecodeXmlValue(std::string_view value, unsigned codePage);
// Text as an attribute value for a tree in codePage, to be written between quote characters ('"'
// or '\''): '&', '<' and the quote escaped, tab, CR and LF as references, characters the code page
// holds in it and any other as "&#x263A;". Characters no document may hold (unpaired surrogates,
// controls other than tab, CR and LF, U+FFFE, U+FFFF) are written as U+FFFD.
std::string EncodeXmlValue(std::u16string_view text, unsigned codePage, char quote = '"');
