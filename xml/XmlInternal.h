// What the engine's sources share with one another; not for the engine's users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Xml.h"

namespace XmlDetail
{

bool SameBytes(const char* a, std::size_t aSize, const char* b, std::size_t bSize) noexcept;

// The error at offset, with its line and column counted as CheckWellFormed counts them.
CXmlSyntax SyntaxAt(const char* text, std::size_t size, bool utf8, XmlSyntaxError error,
                    std::size_t offset) noexcept;

// The first byte at or after from that is a control character (a NUL included; not tab, LF or CR), or
// size. One pass that the compiler can vectorize, over bytes a scan has not read yet.
std::size_t FirstControl(const char* text, std::size_t from, std::size_t size) noexcept;
// The offset of the first NUL of size bytes at text, or size; control becomes that of the first
// control character, found on the way.
std::size_t FirstNul(const char* text, std::size_t size, std::size_t& control) noexcept;

// The first well-formedness error of the text as the reader reads it, and the offset of the byte
// where it was found (size for an error at the end); None when there is none.
XmlSyntaxError ReadMarkup(const char* text, std::size_t size, std::size_t& offset) noexcept;

// Reads the internal subset of a document type declaration (from "<!DOCTYPE" to its ">") into type.
void ReadDocumentType(std::string_view declaration, CXmlDocumentType& type);

// Blocks for nodes and attributes, from the pool of the calling thread.
void* AllocateNodeBlock();
void FreeNodeBlock(void* block) noexcept;
void* AllocateAttributeBlock();
void FreeAttributeBlock(void* block) noexcept;

// The code pages the engine knows, which are all those an XML declaration may name. Only code pages
// in which ASCII characters are single ASCII bytes are among them, apart from UTF-16: the scanner
// finds markup by those bytes.
enum class CodePageForm : unsigned char
{
    Utf8,
    Utf16LE,
    Utf16BE,
    UsAscii,
    // An encoding the engine has no table for that keeps ASCII as ASCII: its other bytes cannot be
    // read, and none is written.
    AsciiOnly,
    SystemTable, // converted with the system's tables, by the platform unit
};

struct CCodePage
{
    unsigned number;
    CodePageForm form;
    // The part of ISO 8859 it is, or 0.
    unsigned isoPart;
    // What glibc's iconv calls it; nullptr where iconv has no such table.
    const char* iconvName;
    // The number of the same table on a Windows that lacks this one (MLang's EUC numbers, and the
    // engine's own numbers); 0 for none.
    unsigned windowsStandIn;
    // Every Unicode character has bytes in it.
    bool holdsEveryChar;
    // What a declaration may call it besides its number, separated by spaces; compared as
    // NormalEncodingName leaves them.
    std::string_view names;
};

// An encoding name as readers compare it: lower case, without the "-", "_" and "." between its parts
// ("UTF_8" and "utf8" are "utf8").
std::string NormalEncodingName(std::string_view name);
// The known code page of that number; of that name, normal, as a declaration gives it besides the
// number; of that part of ISO 8859. nullptr when none is known.
const CCodePage* CodePageByNumber(unsigned number) noexcept;
const CCodePage* CodePageByName(std::string_view normalName) noexcept;
const CCodePage* CodePageByIsoPart(unsigned part) noexcept;
// How the engine reads the bytes of a code page: with the system's tables for one it does not know.
CodePageForm FormOfCodePage(unsigned number) noexcept;

// What other readers read the bytes of a code page as, where the engine writes it with the system's
// tables: iconv's reading under the names the page is declared by. A single-byte page has the
// character of each byte from firstByte (0 for none; a byte below it is the ASCII character it is); a
// double-byte page has the codes that readers read as the system's table does, a byte or a lead byte
// times 256 plus a trail byte, in ranges. The table is generated from iconv's, in XmlStandardForms.cpp.
struct CCodeRange
{
    std::uint16_t first;
    std::uint16_t last;
};
struct CStandardForm
{
    unsigned codePage;
    unsigned char firstByte;
    const char16_t* chars;    // single-byte pages, else nullptr
    const CCodeRange* ranges; // double-byte pages, ascending
    std::size_t count;
};
// Ascending by code page.
extern const CStandardForm kStandardForms[];
extern const std::size_t kStandardFormCount;
// The standard form that the bytes written in a code page must keep to, or nullptr for none.
const CStandardForm* StandardFormOf(unsigned codePage) noexcept;
// Whether readers read bytes, the engine's bytes for the one character c, as c.
bool InStandardForm(const CStandardForm& form, std::string_view bytes, char32_t c) noexcept;
// For a single-byte page: the character readers read a byte as, 0 for none; the byte they read as c
// (from 0x80, or from 0 where the page reads ASCII bytes otherwise), -1 for none.
char16_t StandardChar(const CStandardForm& form, unsigned char byte) noexcept;
int StandardByte(const CStandardForm& form, char32_t c) noexcept;
// Whether readers read every ASCII byte as that character.
bool ReadsAsciiAsAscii(const CStandardForm& form) noexcept;

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kReplacementChar = 0xFFFD;

inline bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// Characters a document may hold.
inline bool IsDocumentChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= kMaxCodePoint);
}

inline void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
        return;
    }
    char bytes[4];
    std::size_t length = 0;
    if (c < 0x800)
        length = 2, bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    else if (c < 0x10000)
        length = 3, bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    else
        length = 4, bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    for (std::size_t k = 1; k < length; ++k)
        bytes[k] = static_cast<char>(0x80 | ((c >> (6 * (length - 1 - k))) & 0x3F));
    out.append(bytes, length);
}

inline void AppendUtf16(char32_t c, std::u16string& out)
{
    if (c < 0x10000)
    {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// The character at text[i] and how many units it takes; an unpaired surrogate comes back as itself.
inline std::size_t CharAt(std::u16string_view text, std::size_t i, char32_t& c)
{
    c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
    {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        return 2;
    }
    return 1;
}

// UTF-8 appended to text as UTF-16. Invalid bytes become U+FFFD, one for each, when lenient;
// otherwise they fail the conversion.
bool AppendUtf8AsUtf16(std::string_view utf8, bool lenient, std::u16string& text);

// What the platform sources do (XmlPlatform.cpp on the operations of XmlPlatformWindows.cpp or
// XmlPlatformPosix.cpp): the file functions and the conversions that need the system's tables.
// Paths are the NUL-terminated UTF-8 strings that the document is given.

// Largest file that is read; larger ones count as unreadable.
constexpr std::size_t kMaxFileSize = 0x7FFFFFFE;

// A path as the system's file functions take it: UTF-16 on Windows, the bytes elsewhere.
#ifdef _WIN32
using PathString = std::wstring;
#else
using PathString = std::string;
#endif

// The whole file, NUL-terminated; otherwise why it cannot be read whole (TooLarge past kMaxFileSize).
XmlFileError ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size);

// Conversions of the code pages that are neither UTF-8, UTF-16 nor US-ASCII; false unless exact.
bool PlatformToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text);
bool PlatformFromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes);

// A new file beside a target, which takes the target's place only when committed. One that is
// dropped uncommitted (after a failure, or while an exception passes) is closed and removed.
// The target's path never lacks a whole file: the new file takes its name in one rename, after a
// second name (a hard link, or a copy where the file system has none) keeps the previous version.
class CFileReplacement
{
public:
    CFileReplacement() = default;
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    ~CFileReplacement();

    // Fails when the target may not be replaced (read-only, a folder) or no new file can be made.
    // The new file and the previous version take the names given (UTF-8; the new one must not
    // exist yet), or free names beside the target when they are null.
    XmlFileError Create(const char* target, const char* temp = nullptr, const char* backup = nullptr);
    XmlFileError Write(const char* data, std::size_t size) noexcept;
    // Flushes the new file to the disk and closes it, and checks that the target can be replaced
    // now: that no other program holds it open.
    XmlFileError Finish() noexcept;
    // Puts the finished new file in the target's place, keeping the target's previous version
    // beside it; fails when a file has appeared where there was none, or the target was marked
    // read-only meanwhile.
    XmlFileError Commit() noexcept;
    // After Commit: the previous version back in the target's place, or the new file removed when
    // there was none. When that fails, the previous version stays and is never removed.
    XmlFileError Rollback() noexcept;
    // After Commit: removes the previous version.
    void Complete() noexcept;
    // Before Commit: removes the new file.
    void Discard() noexcept;
    // Where the previous version is kept from Commit on; empty when there was none.
    const PathString& Backup() const noexcept
    {
        return m_backup;
    }
    // The previous version's path after a rollback that failed; else empty.
    const PathString& Kept() const noexcept
    {
        return m_kept;
    }

private:
    PathString m_target;
    PathString m_temp;
    PathString m_backup; // the previous version, from Commit until Rollback or Complete
    PathString m_kept;
    std::intptr_t m_file = -1; // a HANDLE on Windows, else a file descriptor
    bool m_targetExists = false;
    bool m_finished = false;
    bool m_committed = false;
    XmlFileError m_error = XmlFileError::None;
};

// A path as the system takes it; false for one that is not UTF-8.
bool NativePath(const char* path, PathString& native);
std::string Utf8Path(const PathString& path);

} // namespace XmlDetail
