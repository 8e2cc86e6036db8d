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

// Blocks for nodes and attributes, from the pool of the calling thread.
void* AllocateNodeBlock();
void FreeNodeBlock(void* block) noexcept;
void* AllocateAttributeBlock();
void FreeAttributeBlock(void* block) noexcept;

// What the platform unit does: the file functions and the conversions that need the system's
// tables. Paths are the NUL-terminated UTF-8 strings that the document is given.

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
class CFileReplacement
{
public:
    CFileReplacement() = default;
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    ~CFileReplacement();

    // Fails when the target may not be replaced (read-only, a folder) or no new file can be made.
    XmlFileError Create(const char* target);
    XmlFileError Write(const char* data, std::size_t size) noexcept;
    // Flushes the new file to the disk and closes it, and checks that the target can be replaced
    // now: that no other program holds it open.
    XmlFileError Finish() noexcept;
    // Puts the finished new file in the target's place.
    XmlFileError Commit() noexcept;
    void Discard() noexcept;

private:
    PathString m_target;
    PathString m_temp;
    std::intptr_t m_file = -1; // a HANDLE on Windows, else a file descriptor
    bool m_targetExists = false;
    bool m_finished = false;
    XmlFileError m_error = XmlFileError::None;
};

} // namespace XmlDetail
