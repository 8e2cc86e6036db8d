// The engine's only platform unit: reading a whole file, and replacing a file by a new one
// written beside it.
#include "XmlInternal.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <new>

namespace
{

constexpr int kTempNameAttempts = 100;

} // namespace

bool XmlDetail::ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size) noexcept
{
    if (!path)
        return false;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0)
    {
        const long end = std::ftell(file);
        if (end >= 0 && static_cast<unsigned long>(end) <= kMaxFileSize && std::fseek(file, 0, SEEK_SET) == 0)
        {
            const std::size_t length = static_cast<std::size_t>(end);
            std::unique_ptr<char[]> data(new (std::nothrow) char[length + 1]);
            // The file must end where its size said: a failed or short read, or more bytes than
            // expected, leave it unread.
            if (data && std::fread(data.get(), 1, length, file) == length && std::fgetc(file) == EOF &&
                !std::ferror(file))
            {
                data[length] = '\0';
                if (!std::memchr(data.get(), '\0', length))
                {
                    bytes = std::move(data);
                    size = length;
                    ok = true;
                }
            }
        }
    }
    std::fclose(file);
    return ok;
}

XmlDetail::CFileReplacement::~CFileReplacement()
{
    Discard();
}

bool XmlDetail::CFileReplacement::Create(const char* target)
{
    if (!target || !*target || m_file)
        return false;
    m_target = target;

#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(target);
    m_targetExists = attributes != INVALID_FILE_ATTRIBUTES;
    if (m_targetExists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
#else
    struct stat status;
    m_targetExists = ::stat(target, &status) == 0;
    // rename() would replace a file we may not write to, so ask first.
    if (m_targetExists && (!S_ISREG(status.st_mode) || ::access(target, W_OK) != 0))
        return false;
#endif

    // Created exclusively, so that nothing else is overwritten. The name is made before the file,
    // so that the destructor can always remove what was created.
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt)
    {
        m_temp = m_target + ".~" + std::to_string(attempt) + ".tmp";
#ifdef _WIN32
        fd = ::_open(m_temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

#ifdef _WIN32
    m_file = ::_fdopen(fd, "wb");
#else
    // The replacement keeps the target's permissions.
    if (!m_targetExists || ::fchmod(fd, status.st_mode & 07777) == 0)
        m_file = ::fdopen(fd, "wb");
#endif
    if (!m_file)
    {
#ifdef _WIN32
        ::_close(fd);
#else
        ::close(fd);
#endif
        std::remove(m_temp.c_str());
        return false;
    }
    return true;
}

bool XmlDetail::CFileReplacement::Write(const char* data, std::size_t size) noexcept
{
    m_ok = m_ok && m_file && std::fwrite(data, 1, size, m_file) == size;
    return m_ok;
}

bool XmlDetail::CFileReplacement::Commit() noexcept
{
    if (!m_file)
        return false;
    bool written = m_ok && std::fflush(m_file) == 0;
#ifdef _WIN32
    written = written && ::_commit(::_fileno(m_file)) == 0;
#else
    written = written && ::fsync(::fileno(m_file)) == 0;
#endif
    written = std::fclose(m_file) == 0 && written;
    m_file = nullptr;

    bool replaced = false;
    if (written)
    {
#ifdef _WIN32
        if (m_targetExists)
            replaced = ReplaceFileA(m_target.c_str(), m_temp.c_str(), nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        else
            replaced = MoveFileExA(m_temp.c_str(), m_target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
        replaced = std::rename(m_temp.c_str(), m_target.c_str()) == 0;
#endif
    }
    if (!replaced)
        std::remove(m_temp.c_str());
    m_temp.clear();
    return replaced;
}

void XmlDetail::CFileReplacement::Discard() noexcept
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    std::remove(m_temp.c_str());
}
