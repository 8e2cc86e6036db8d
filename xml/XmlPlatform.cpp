// The engine's only platform unit: reading a whole file, replacing a file by a new one written
// beside it, and the code-page conversions that need the system's tables (Windows' own, or
// glibc's iconv elsewhere). On Windows the engine's UTF-8 paths go to the W file functions.
#include "XmlInternal.h"
#include "XmlText.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

namespace
{

constexpr int kTempNameAttempts = 100;
// Reads and writes go to the system in pieces of at most this size.
constexpr std::size_t kIoChunk = std::size_t(1) << 20;
constexpr std::intptr_t kNoFile = -1;

#ifdef _WIN32
} // namespace

bool XmlDetail::NativePath(const char* path, PathString& native)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0)
        return false;
    native.resize(static_cast<std::size_t>(length));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, native.data(), length) != length)
        return false;
    native.pop_back(); // the terminator
    return true;
}

std::string XmlDetail::Utf8Path(const PathString& path)
{
    std::string utf8;
    Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), path.size()), utf8);
    return utf8;
}

namespace
{
using XmlDetail::NativePath;

XmlFileError FromSystem(DWORD error)
{
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
        return XmlFileError::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return XmlFileError::FolderMissing;
    case ERROR_ACCESS_DENIED:
        return XmlFileError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
        return XmlFileError::InUse;
    case ERROR_WRITE_PROTECT:
        return XmlFileError::ReadOnly;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return XmlFileError::DiskFull;
    default:
        return XmlFileError::Failed;
    }
}

XmlFileError LastError()
{
    return FromSystem(GetLastError());
}

HANDLE AsHandle(std::intptr_t file)
{
    return reinterpret_cast<HANDLE>(file);
}

void RemoveFile(const XmlDetail::PathString& path) noexcept
{
    DeleteFileW(path.c_str());
}
#else
} // namespace

bool XmlDetail::NativePath(const char* path, PathString& native)
{
    native = path;
    return true;
}

std::string XmlDetail::Utf8Path(const PathString& path)
{
    return path;
}

namespace
{
using XmlDetail::NativePath;

// A missing file and a missing folder give the same error: the folder tells them apart.
XmlFileError FromSystem(int error, const std::string& path)
{
    switch (error)
    {
    case ENOENT: {
        const std::size_t slash = path.rfind('/');
        struct stat status;
        if (slash != std::string::npos && slash != 0 && ::stat(path.substr(0, slash).c_str(), &status) != 0)
            return XmlFileError::FolderMissing;
        return XmlFileError::NotFound;
    }
    case ENOTDIR:
        return XmlFileError::FolderMissing;
    case EACCES:
    case EPERM:
        return XmlFileError::AccessDenied;
    case EBUSY:
    case ETXTBSY:
        return XmlFileError::InUse;
    case EROFS:
        return XmlFileError::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return XmlFileError::DiskFull;
    default:
        return XmlFileError::Failed;
    }
}

void RemoveFile(const XmlDetail::PathString& path) noexcept
{
    ::unlink(path.c_str());
}
#endif

} // namespace

XmlFileError XmlDetail::ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size)
{
    PathString native;
    if (!path || !*path || !NativePath(path, native))
        return XmlFileError::NotFound;
#ifdef _WIN32
    HANDLE file = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastError();
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file, &length))
    {
        const XmlFileError error = LastError();
        CloseHandle(file);
        return error;
    }
    const auto fileSize = static_cast<unsigned long long>(length.QuadPart);
#else
    const int file = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return FromSystem(errno, native);
    struct stat status;
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode))
    {
        const XmlFileError error = S_ISDIR(status.st_mode) ? XmlFileError::AccessDenied : XmlFileError::Failed;
        ::close(file);
        return error;
    }
    const auto fileSize = static_cast<unsigned long long>(status.st_size);
#endif
    XmlFileError error = XmlFileError::None;
    std::unique_ptr<char[]> data;
    if (fileSize > kMaxFileSize)
        error = XmlFileError::TooLarge;
    else if (!(data.reset(new (std::nothrow) char[fileSize + 1]), data))
        error = XmlFileError::Failed;
    // The file must end where its size said: a failed or short read, or more bytes than expected,
    // leave it unread.
    const auto expected = static_cast<std::size_t>(fileSize);
    std::size_t done = 0;
    while (error == XmlFileError::None)
    {
        char extra;
        char* at = done < expected ? data.get() + done : &extra;
        const std::size_t want = done < expected ? std::min(kIoChunk, expected - done) : 1;
#ifdef _WIN32
        DWORD got = 0;
        if (!ReadFile(file, at, static_cast<DWORD>(want), &got, nullptr))
            error = LastError();
#else
        const ssize_t got = ::read(file, at, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = FromSystem(errno, native);
#endif
        else if (got == 0)
            break;
        else if (done >= expected)
            error = XmlFileError::Failed;
        else
            done += static_cast<std::size_t>(got);
    }
    if (error == XmlFileError::None && done != expected)
        error = XmlFileError::Failed;
#ifdef _WIN32
    CloseHandle(file);
#else
    ::close(file);
#endif
    if (error != XmlFileError::None)
        return error;
    data[expected] = '\0';
    bytes = std::move(data);
    size = expected;
    return XmlFileError::None;
}

XmlDetail::CFileReplacement::~CFileReplacement()
{
    Discard();
    Complete();
}

namespace
{
using XmlDetail::PathString;

XmlDisk::StepHook g_stepHook = nullptr;

// Before each step that changes the disk: where a test stops the process as a crash would.
void StepReached(const char* step)
{
    if (g_stepHook)
        g_stepHook(step);
}

#ifdef _WIN32
XmlFileError PathExists(const PathString& path, bool& exists)
{
    exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const DWORD error = exists ? ERROR_SUCCESS : GetLastError();
    return exists || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? XmlFileError::None
                                                                                     : FromSystem(error);
}

// A name of the tool's own goes also when the file it names was marked read-only: a second name
// of a file shares its mark, which keep restores on that file.
XmlFileError RemovePath(const PathString& path, const PathString* keep = nullptr)
{
    StepReached("remove");
    if (DeleteFileW(path.c_str()))
        return XmlFileError::None;
    DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
    {
        error = DeleteFileW(path.c_str()) ? ERROR_SUCCESS : GetLastError();
        if (keep)
            SetFileAttributesW(keep->c_str(), attributes);
    }
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ? XmlFileError::None : FromSystem(error);
}

// from takes to's name in one step; without replace, a file at to is never replaced (Changed).
XmlFileError MovePath(const PathString& from, const PathString& to, bool replace)
{
    StepReached("rename");
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(from.c_str(), to.c_str(), flags))
        return XmlFileError::None;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? XmlFileError::Changed : FromSystem(error);
}

// Whether the file may be replaced now: Changed when it is gone, ReadOnly when marked so.
XmlFileError Replaceable(const PathString& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : LastError();
    return attributes & FILE_ATTRIBUTE_READONLY ? XmlFileError::ReadOnly : XmlFileError::None;
}

// What the new version takes over from the file it replaces: the attributes, the time it was
// created, and its access rules where the person may set them (otherwise the folder's apply).
void CarryOver(const PathString& target, const PathString& temp)
{
    constexpr DWORD kCarried = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    HANDLE from = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    HANDLE to = CreateFileW(temp.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME created{};
    if (from != INVALID_HANDLE_VALUE && to != INVALID_HANDLE_VALUE && GetFileTime(from, &created, nullptr, nullptr))
        SetFileTime(to, &created, nullptr, nullptr);
    if (from != INVALID_HANDLE_VALUE)
        CloseHandle(from);
    if (to != INVALID_HANDLE_VALUE)
        CloseHandle(to);
    DWORD needed = 0;
    GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::unique_ptr<char[]> rules(needed ? new (std::nothrow) char[needed] : nullptr);
    if (rules && GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, rules.get(), needed, &needed))
        SetFileSecurityW(temp.c_str(), DACL_SECURITY_INFORMATION, rules.get());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kCarried))
        SetFileAttributesW(temp.c_str(), attributes & kCarried);
}

// A second name for the file's bytes, on the disk before it returns: a hard link, or a copy
// where the file system has no links.
XmlFileError KeepSecondName(const PathString& target, const PathString& backup)
{
    StepReached("link");
    if (CreateHardLinkW(backup.c_str(), target.c_str(), nullptr))
        return XmlFileError::None;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || error == ERROR_FILE_NOT_FOUND)
        return error == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : XmlFileError::Failed;
    if (!CopyFileExW(target.c_str(), backup.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS))
        return LastError();
    HANDLE copy = CreateFileW(backup.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool flushed = copy != INVALID_HANDLE_VALUE && FlushFileBuffers(copy);
    error = flushed ? ERROR_SUCCESS : GetLastError();
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    if (!flushed)
        DeleteFileW(backup.c_str());
    return flushed ? XmlFileError::None : FromSystem(error);
}
#else
XmlFileError PathExists(const PathString& path, bool& exists)
{
    struct stat status;
    exists = ::lstat(path.c_str(), &status) == 0;
    return exists || errno == ENOENT || errno == ENOTDIR ? XmlFileError::None : FromSystem(errno, path);
}

// A change of names lasts a crash once the folder that holds them is on the disk.
void SyncFolder(const PathString& path) noexcept
{
    char folder[4096] = ".";
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash < sizeof(folder))
    {
        std::memcpy(folder, path.data(), slash == 0 ? 1 : slash);
        folder[slash == 0 ? 1 : slash] = '\0';
    }
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        ::fsync(fd);
        ::close(fd);
    }
}

XmlFileError RemovePath(const PathString& path, const PathString* = nullptr)
{
    StepReached("remove");
    if (::unlink(path.c_str()) != 0)
        return errno == ENOENT ? XmlFileError::None : FromSystem(errno, path);
    SyncFolder(path);
    return XmlFileError::None;
}

XmlFileError MovePath(const PathString& from, const PathString& to, bool replace)
{
    StepReached("rename");
    int result = 0;
    if (replace)
        result = std::rename(from.c_str(), to.c_str());
    else
    {
        // link() refuses a name that exists: a file that appeared meanwhile is not replaced. The
        // new name is on the disk before the old one goes, so a crash leaves it placed.
        result = ::link(from.c_str(), to.c_str());
        if (result == 0)
        {
            SyncFolder(to);
            ::unlink(from.c_str());
        }
    }
    if (result != 0)
        return errno == EEXIST ? XmlFileError::Changed : FromSystem(errno, to);
    SyncFolder(to);
    return XmlFileError::None;
}

XmlFileError Replaceable(const PathString& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOENT ? XmlFileError::Changed : FromSystem(errno, path);
    // rename() would replace a file we may not write to, so ask first. A file nobody may write is
    // marked read-only, for the administrator too.
    if (!(status.st_mode & 0222))
        return XmlFileError::ReadOnly;
    return ::access(path.c_str(), W_OK) != 0 ? FromSystem(errno, path) : XmlFileError::None;
}

void CarryOver(const PathString&, const PathString&)
{
    // The permissions went to the new file when it was made.
}

XmlFileError KeepSecondName(const PathString& target, const PathString& backup)
{
    StepReached("link");
    if (::link(target.c_str(), backup.c_str()) == 0)
    {
        SyncFolder(backup);
        return XmlFileError::None;
    }
    if (errno == EEXIST || errno == ENOENT)
        return errno == ENOENT ? XmlFileError::Changed : XmlFileError::Failed;
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    XmlFileError error = XmlDetail::ReadWholeFile(target.c_str(), bytes, size);
    if (error != XmlFileError::None)
        return error == XmlFileError::NotFound ? XmlFileError::Changed : error;
    const int fd = ::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return FromSystem(errno, backup);
    for (std::size_t done = 0; done < size && error == XmlFileError::None;)
    {
        const ssize_t written = ::write(fd, bytes.get() + done, size - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (!(written < 0 && errno == EINTR))
            error = written == 0 ? XmlFileError::DiskFull : FromSystem(errno, backup);
    }
    if (error == XmlFileError::None && ::fsync(fd) != 0)
        error = FromSystem(errno, backup);
    ::close(fd);
    if (error != XmlFileError::None)
        ::unlink(backup.c_str());
    else
        SyncFolder(backup);
    return error;
}
#endif

// Names beside target with the number attempt: the new file's, or the previous version's.
PathString NameBeside(const PathString& target, int attempt, bool previous)
{
#ifdef _WIN32
    return target + L".~" + std::to_wstring(attempt) + (previous ? L".old" : L".tmp");
#else
    return target + ".~" + std::to_string(attempt) + (previous ? ".old" : ".tmp");
#endif
}
} // namespace

XmlFileError XmlDetail::CFileReplacement::Create(const char* target, const char* temp, const char* backup)
{
    if (!target || !*target || m_file != kNoFile || !NativePath(target, m_target))
        return XmlFileError::NotFound;

#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(m_target.c_str());
    m_targetExists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!m_targetExists && GetLastError() != ERROR_FILE_NOT_FOUND)
        return LastError();
    if (m_targetExists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return XmlFileError::AccessDenied;
    if (m_targetExists && (attributes & FILE_ATTRIBUTE_READONLY))
        return XmlFileError::ReadOnly;
#else
    struct stat status;
    m_targetExists = ::stat(target, &status) == 0;
    if (!m_targetExists && errno != ENOENT)
        return FromSystem(errno, m_target);
    if (m_targetExists && !S_ISREG(status.st_mode))
        return XmlFileError::AccessDenied;
    if (m_targetExists)
    {
        const XmlFileError writable = Replaceable(m_target);
        if (writable != XmlFileError::None)
            return writable;
    }
#endif

    // Created exclusively, so that nothing else is overwritten. The name is made before the file,
    // so that the destructor can always remove what was created.
    PathString named;
    PathString namedBackup;
    if (temp && (!NativePath(temp, named) || !backup || !NativePath(backup, namedBackup)))
        return XmlFileError::Failed;
    for (int attempt = 0; attempt < kTempNameAttempts && m_file == kNoFile; ++attempt)
    {
        if (temp && attempt > 0)
            return XmlFileError::Failed; // the name given is taken
        m_temp = temp ? named : NameBeside(m_target, attempt, false);
        m_backup = temp ? namedBackup : NameBeside(m_target, attempt, true);
        bool taken = false;
        const XmlFileError looked = PathExists(m_backup, taken);
        if (looked != XmlFileError::None)
            return looked;
        if (taken)
            continue;
#ifdef _WIN32
        HANDLE file = CreateFileW(m_temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
        {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            {
                m_temp.clear();
                return FromSystem(error);
            }
            continue;
        }
        m_file = reinterpret_cast<std::intptr_t>(file);
#else
        const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
        {
            const XmlFileError error = FromSystem(errno, m_temp);
            m_temp.clear();
            return error;
        }
        if (fd < 0)
            continue;
        m_file = fd;
        // The replacement keeps the target's permissions.
        if (m_targetExists && ::fchmod(fd, status.st_mode & 07777) != 0)
        {
            const XmlFileError error = FromSystem(errno, m_temp);
            Discard();
            return error;
        }
#endif
    }
    if (m_file == kNoFile)
        m_temp.clear();
    return m_file == kNoFile ? XmlFileError::Failed : XmlFileError::None;
}

XmlFileError XmlDetail::CFileReplacement::Write(const char* data, std::size_t size) noexcept
{
    if (m_error == XmlFileError::None && (m_file == kNoFile || m_finished))
        m_error = XmlFileError::Failed;
    while (m_error == XmlFileError::None && size > 0)
    {
        const std::size_t piece = std::min(size, kIoChunk);
#ifdef _WIN32
        DWORD written = 0;
        if (!WriteFile(AsHandle(m_file), data, static_cast<DWORD>(piece), &written, nullptr) || written == 0)
        {
            m_error = written == 0 && GetLastError() == ERROR_SUCCESS ? XmlFileError::DiskFull : LastError();
            break;
        }
#else
        const ssize_t written = ::write(static_cast<int>(m_file), data, piece);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            m_error = written == 0 ? XmlFileError::DiskFull : FromSystem(errno, m_temp);
            break;
        }
#endif
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return m_error;
}

XmlFileError XmlDetail::CFileReplacement::Finish() noexcept
{
    if (m_file == kNoFile || m_finished)
        return m_error == XmlFileError::None ? XmlFileError::Failed : m_error;
#ifdef _WIN32
    if (m_error == XmlFileError::None && !FlushFileBuffers(AsHandle(m_file)))
        m_error = LastError();
    if (!CloseHandle(AsHandle(m_file)) && m_error == XmlFileError::None)
        m_error = LastError();
#else
    if (m_error == XmlFileError::None && ::fsync(static_cast<int>(m_file)) != 0)
        m_error = FromSystem(errno, m_temp);
    if (::close(static_cast<int>(m_file)) != 0 && m_error == XmlFileError::None)
        m_error = FromSystem(errno, m_temp);
#endif
    m_file = kNoFile;
    m_finished = true;
#ifdef _WIN32
    // A file that another program holds open without letting others delete it cannot be replaced,
    // and a failed replacement can leave files behind: ask before trying.
    if (m_error == XmlFileError::None && m_targetExists)
    {
        HANDLE probe = CreateFileW(m_target.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE)
        {
            const DWORD error = GetLastError();
            m_error = error == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : FromSystem(error);
        }
        else
        {
            CloseHandle(probe);
        }
    }
#endif
    if (m_error != XmlFileError::None)
    {
        RemoveFile(m_temp);
        m_temp.clear();
    }
    return m_error;
}

XmlFileError XmlDetail::CFileReplacement::Commit() noexcept
{
    if (!m_finished || m_temp.empty())
        return m_error == XmlFileError::None ? XmlFileError::Failed : m_error;
    XmlFileError error = XmlFileError::None;
    if (m_targetExists)
    {
        // A second name keeps the previous version; then the new file takes the target's name in
        // one rename, so the path always holds one whole version or the other.
        bool kept = false;
        error = Replaceable(m_target);
        if (error == XmlFileError::None)
        {
            CarryOver(m_target, m_temp);
            error = KeepSecondName(m_target, m_backup);
            kept = error == XmlFileError::None;
        }
        // Marked read-only meanwhile: asked again just before the rename, since a rename over a
        // read-only file succeeds under Wine and elsewhere.
        if (error == XmlFileError::None)
            error = Replaceable(m_target);
        if (error == XmlFileError::None)
            error = MovePath(m_temp, m_target, true);
        // Marked read-only meanwhile: the system says only that access is denied.
        if (error != XmlFileError::None && error != XmlFileError::ReadOnly &&
            Replaceable(m_target) == XmlFileError::ReadOnly)
            error = XmlFileError::ReadOnly;
        // The rename did not happen, so the target still holds the version the second name keeps.
        if (error != XmlFileError::None && kept)
            RemovePath(m_backup, &m_target);
    }
    else
    {
        error = MovePath(m_temp, m_target, false);
    }
    if (error != XmlFileError::None)
    {
        m_error = error;
        RemovePath(m_temp);
        m_temp.clear();
        m_backup.clear();
        return error;
    }
    m_temp.clear();
    if (!m_targetExists)
        m_backup.clear();
    m_committed = true;
    return XmlFileError::None;
}

XmlFileError XmlDetail::CFileReplacement::Rollback() noexcept
{
    if (!m_committed)
        return XmlFileError::None;
    // The previous version takes its name back in one rename; a file that was new goes.
    const XmlFileError error = m_targetExists ? MovePath(m_backup, m_target, true) : RemovePath(m_target);
    m_committed = false;
    if (error == XmlFileError::None)
        m_backup.clear();
    else
        m_kept.swap(m_backup);
    return error;
}

void XmlDetail::CFileReplacement::Complete() noexcept
{
    if (m_committed && !m_backup.empty())
        RemovePath(m_backup);
    m_backup.clear();
    m_committed = false;
}

void XmlDetail::CFileReplacement::Discard() noexcept
{
    if (m_file != kNoFile)
    {
#ifdef _WIN32
        CloseHandle(AsHandle(m_file));
#else
        ::close(static_cast<int>(m_file));
#endif
        m_file = kNoFile;
    }
    if (!m_temp.empty())
        RemoveFile(m_temp);
    m_temp.clear();
}

namespace
{
#ifdef _WIN32
UINT WindowsCodePage(unsigned codePage)
{
    // Where the EUC numbers are MLang's alone, the stand-in holds the same table; the engine's own
    // numbers name no Windows code page at all.
    const XmlDetail::CCodePage* entry = XmlDetail::CodePageByNumber(codePage);
    if (entry && entry->windowsStandIn != 0 && (codePage > 0xFFFF || !IsValidCodePage(codePage)))
        return entry->windowsStandIn;
    return codePage;
}
#else
// An open conversion, closed when it goes.
class CIconv
{
public:
    CIconv(const char* to, const char* from) : m_handle(iconv_open(to, from))
    {
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    ~CIconv()
    {
        if (IsOpen())
            iconv_close(m_handle);
    }

    // The whole input converted, or false when any of it is invalid, incomplete or converted
    // only approximately.
    bool Convert(const char* input, std::size_t size, std::string& output) const
    {
        if (!IsOpen())
            return false;
        // A conversion that failed may have stopped inside a sequence.
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        output.resize(2 * size + 16);
        auto* in = const_cast<char*>(input);
        std::size_t inLeft = size;
        std::size_t done = 0;
        for (;;)
        {
            char* out = output.data() + done;
            std::size_t outLeft = output.size() - done;
            std::size_t result = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            // A stateful conversion (CP1258's combining letters) holds the last character back until
            // it is told that the input ends.
            if (result == 0 && inLeft == 0)
                result = iconv(m_handle, nullptr, nullptr, &out, &outLeft);
            done = output.size() - outLeft;
            if (result != static_cast<std::size_t>(-1))
            {
                output.resize(done);
                return result == 0 && inLeft == 0;
            }
            if (errno != E2BIG)
                return false;
            output.resize(2 * output.size());
        }
    }

private:
    bool IsOpen() const
    {
        return m_handle != reinterpret_cast<iconv_t>(-1);
    }

    iconv_t m_handle;
};

const char* IconvName(unsigned codePage)
{
    const XmlDetail::CCodePage* entry = XmlDetail::CodePageByNumber(codePage);
    return entry ? entry->iconvName : nullptr;
}

// Opening a conversion costs more than most conversions: each thread keeps its last one each way.
const CIconv& Conversion(bool toUtf16, unsigned codePage, const char* name)
{
    struct CCached
    {
        unsigned codePage = 0;
        std::unique_ptr<CIconv> conversion;
    };
    thread_local CCached cached[2];
    CCached& slot = cached[toUtf16 ? 1 : 0];
    if (!slot.conversion || slot.codePage != codePage)
    {
        slot.conversion = std::make_unique<CIconv>(toUtf16 ? "UTF-16LE" : name, toUtf16 ? name : "UTF-16LE");
        slot.codePage = codePage;
    }
    return *slot.conversion;
}
#endif
} // namespace

#ifdef _WIN32
unsigned SystemAnsiCodePage()
{
    return GetACP();
}

bool XmlDetail::PlatformToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const UINT windowsCodePage = WindowsCodePage(codePage);
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                               reinterpret_cast<wchar_t*>(text.data()), length) == length;
}

bool XmlDetail::PlatformFromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    const UINT windowsCodePage = WindowsCodePage(codePage);
    // A code page that holds every character (GB18030) refuses the best-fit flag and the question.
    const XmlDetail::CCodePage* entry = XmlDetail::CodePageByNumber(codePage);
    const bool complete = entry && entry->holdsEveryChar;
    const DWORD flags = complete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = complete ? nullptr : &usedDefault;
    const int length =
        WideCharToMultiByte(windowsCodePage, flags, wide, size, nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(windowsCodePage, flags, wide, size, bytes.data(), length, nullptr,
                               usedDefaultOut) == length &&
           !usedDefault;
}
#else
unsigned SystemAnsiCodePage()
{
    return 1252;
}

bool XmlDetail::PlatformToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const char* name = IconvName(codePage);
    std::string units;
    if (name == nullptr || !Conversion(true, codePage, name).Convert(bytes.data(), bytes.size(), units))
        return false;
    text.resize(units.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                        static_cast<unsigned char>(units[2 * i + 1]) << 8);
    }
    return true;
}

bool XmlDetail::PlatformFromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    const char* name = IconvName(codePage);
    if (name == nullptr)
        return false;
    std::string units;
    units.reserve(2 * text.size());
    for (const char16_t unit : text)
    {
        units += static_cast<char>(unit & 0xFF);
        units += static_cast<char>(unit >> 8);
    }
    return Conversion(false, codePage, name).Convert(units.data(), units.size(), bytes);
}
#endif

XmlFileError XmlDisk::Exists(const char* path, bool& exists) noexcept
{
    exists = false;
    XmlDetail::PathString native;
    try
    {
        if (!path || !*path || !NativePath(path, native))
            return XmlFileError::NotFound;
        return PathExists(native, exists);
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

XmlFileError XmlDisk::Remove(const char* path) noexcept
{
    XmlDetail::PathString native;
    try
    {
        if (!path || !*path || !NativePath(path, native))
            return XmlFileError::NotFound;
        return RemovePath(native);
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

XmlFileError XmlDisk::MoveOver(const char* from, const char* to) noexcept
{
    XmlDetail::PathString nativeFrom;
    XmlDetail::PathString nativeTo;
    try
    {
        if (!from || !to || !NativePath(from, nativeFrom) || !NativePath(to, nativeTo))
            return XmlFileError::NotFound;
        return MovePath(nativeFrom, nativeTo, true);
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

void XmlDisk::SetStepHook(StepHook hook) noexcept
{
    g_stepHook = hook;
}

#ifdef _WIN32
namespace
{
std::wstring FullPath(const std::wstring& path)
{
    // The current directory can change between the two calls; ask again until the buffer holds it.
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    while (needed > 0)
    {
        std::wstring buffer(needed, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), needed, &buffer[0], nullptr);
        if (length == 0)
            break;
        if (length < needed)
        {
            buffer.resize(length);
            return buffer;
        }
        needed = length;
    }
    return std::wstring();
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    // Backup semantics open a folder too; no access beyond attributes, so nobody's lock refuses it.
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}
} // namespace

bool XmlDisk::SameFile(const char* a, const char* b) noexcept
{
    try
    {
        std::wstring nativeA, nativeB;
        if (!a || !b || !NativePath(a, nativeA) || !NativePath(b, nativeB))
            return false;
        BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
        if (FileIdentity(nativeA, infoA) && FileIdentity(nativeB, infoB))
            return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
                   infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
        const std::wstring fullA = FullPath(nativeA);
        const std::wstring fullB = FullPath(nativeB);
        return !fullA.empty() && CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                                      static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
    }
    catch (...)
    {
        return false;
    }
}

XmlDisk::CLog::~CLog()
{
    Close();
}

XmlFileError XmlDisk::CLog::Create(const char* path) noexcept
{
    try
    {
        std::wstring native;
        if (IsOpen() || !path || !NativePath(path, native))
            return XmlFileError::Failed;
        m_path = path; // before the file, so that nothing can leave it behind
        StepReached("record");
        // Shared for reading only: a start that finds it open knows its save is still running.
        HANDLE file = CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (file == INVALID_HANDLE_VALUE)
        {
            const DWORD error = GetLastError();
            m_path.clear();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? XmlFileError::InUse
                                                                               : FromSystem(error);
        }
        m_file = reinterpret_cast<std::intptr_t>(file);
        return XmlFileError::None;
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

XmlFileError XmlDisk::CLog::Append(const char* data, std::size_t size) noexcept
{
    if (!IsOpen())
        return XmlFileError::Failed;
    StepReached("record");
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_file), data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        return written != size && GetLastError() == ERROR_SUCCESS ? XmlFileError::DiskFull : LastError();
    return FlushFileBuffers(AsHandle(m_file)) ? XmlFileError::None : LastError();
}

void XmlDisk::CLog::Close() noexcept
{
    if (IsOpen())
        CloseHandle(AsHandle(m_file));
    m_file = -1;
}

XmlFileError XmlDisk::ReadLog(const char* path, std::string& bytes) noexcept
{
    try
    {
        std::wstring native;
        if (!path || !NativePath(path, native))
            return XmlFileError::NotFound;
        // Refused while the save that writes it holds it open.
        HANDLE file = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return LastError();
        CloseHandle(file);
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        const XmlFileError error = XmlDetail::ReadWholeFile(path, data, size);
        if (error == XmlFileError::None)
            bytes.assign(data.get(), size);
        return error;
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}
#else
bool XmlDisk::SameFile(const char* a, const char* b) noexcept
{
    if (!a || !b)
        return false;
    struct stat statusA, statusB;
    if (::stat(a, &statusA) == 0 && ::stat(b, &statusB) == 0)
        return statusA.st_dev == statusB.st_dev && statusA.st_ino == statusB.st_ino;
    return std::strcmp(a, b) == 0;
}

XmlDisk::CLog::~CLog()
{
    Close();
}

XmlFileError XmlDisk::CLog::Create(const char* path) noexcept
{
    try
    {
        if (IsOpen() || !path)
            return XmlFileError::Failed;
        m_path = path; // before the file, so that nothing can leave it behind
        StepReached("record");
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
        {
            const int error = errno;
            m_path.clear();
            return error == EEXIST ? XmlFileError::InUse : FromSystem(error, path);
        }
        // Held while the save runs: a start that cannot take it knows the save is still running.
        ::flock(fd, LOCK_EX | LOCK_NB);
        m_file = fd;
        SyncFolder(m_path);
        return XmlFileError::None;
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

XmlFileError XmlDisk::CLog::Append(const char* data, std::size_t size) noexcept
{
    if (!IsOpen())
        return XmlFileError::Failed;
    StepReached("record");
    while (size > 0)
    {
        const ssize_t written = ::write(static_cast<int>(m_file), data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? XmlFileError::DiskFull : FromSystem(errno, m_path);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return ::fsync(static_cast<int>(m_file)) == 0 ? XmlFileError::None : FromSystem(errno, m_path);
}

void XmlDisk::CLog::Close() noexcept
{
    if (IsOpen())
        ::close(static_cast<int>(m_file));
    m_file = -1;
}

XmlFileError XmlDisk::ReadLog(const char* path, std::string& bytes) noexcept
{
    try
    {
        if (!path)
            return XmlFileError::NotFound;
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return FromSystem(errno, path);
        const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        if (held)
            return XmlFileError::InUse;
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        const XmlFileError error = XmlDetail::ReadWholeFile(path, data, size);
        if (error == XmlFileError::None)
            bytes.assign(data.get(), size);
        return error;
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}
#endif

// Without allocating: the log goes also when a save ends because memory ran out.
XmlFileError XmlDisk::CLog::Remove() noexcept
{
    Close();
    if (m_path.empty())
        return XmlFileError::None;
    StepReached("remove");
#ifdef _WIN32
    static wchar_t native[32768];
    const bool removed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, m_path.c_str(), -1, native, 32768) > 0 &&
        (DeleteFileW(native) || GetLastError() == ERROR_FILE_NOT_FOUND);
    const XmlFileError error = removed ? XmlFileError::None : LastError();
#else
    const bool removed = ::unlink(m_path.c_str()) == 0 || errno == ENOENT;
    const XmlFileError error = removed ? XmlFileError::None : XmlFileError::Failed;
    if (removed)
        SyncFolder(m_path);
#endif
    if (removed)
        m_path.clear();
    return error;
}
