// What the engine's sources share with one another; not for the engine's users.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace XmlDetail
{

bool SameBytes(const char* a, std::size_t aSize, const char* b, std::size_t bSize) noexcept;

// Blocks for nodes and attributes, from the pool of the calling thread.
void* AllocateNodeBlock();
void FreeNodeBlock(void* block) noexcept;
void* AllocateAttributeBlock();
void FreeAttributeBlock(void* block) noexcept;

// The file functions, the only part of the engine that knows the platform. Paths are the
// NUL-terminated byte strings that the document is given.

// Largest file that is read; larger ones count as unreadable.
constexpr std::size_t kMaxFileSize = 0x7FFFFFFE;

// The whole file, NUL-terminated. False when it cannot be read whole, is larger than
// kMaxFileSize or holds a NUL byte.
bool ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size) noexcept;

// A new file beside a target, which takes the target's place only when committed. One that is
// dropped uncommitted (after a failure, or while an exception passes) is closed and removed.
class CFileReplacement
{
public:
    CFileReplacement() = default;
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    ~CFileReplacement();

    // False when the target may not be replaced (read-only, a folder) or no new file can be made.
    bool Create(const char* target);
    bool Write(const char* data, std::size_t size) noexcept;
    // Flushes the new file to the disk and puts it in the target's place.
    bool Commit() noexcept;

private:
    void Discard() noexcept;

    std::string m_target;
    std::string m_temp;
    std::FILE* m_file = nullptr;
    bool m_targetExists = false;
    bool m_ok = true;
};

} // namespace XmlDetail
