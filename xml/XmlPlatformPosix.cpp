// The engine's file operations on POSIX systems, where paths are the bytes they are given, and the
// code pages it has no tables for are converted with glibc's iconv.
#include "XmlPlatform.h"
#include "XmlText.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace XmlDetail::Platform;
using XmlDetail::PathString;

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

} // namespace

XmlFileError XmlDetail::Platform::LastFileError(const PathString& path)
{
    return FromSystem(errno, path);
}

XmlFileError XmlDetail::Platform::OpenForReading(const PathString& path, FileId& file)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FromSystem(errno, path);
    file = fd;
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::FileSize(FileId file, unsigned long long& size)
{
    struct stat status;
    if (::fstat(static_cast<int>(file), &status) != 0 || !S_ISREG(status.st_mode))
        return S_ISDIR(status.st_mode) ? XmlFileError::AccessDenied : XmlFileError::Failed;
    size = static_cast<unsigned long long>(status.st_size);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::ReadSome(FileId file, const PathString& path, char* data, std::size_t size,
                                           std::size_t& got)
{
    for (;;)
    {
        const ssize_t read = ::read(static_cast<int>(file), data, size);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return FromSystem(errno, path);
        got = static_cast<std::size_t>(read);
        return XmlFileError::None;
    }
}

XmlFileError XmlDetail::Platform::WriteSome(FileId file, const PathString& path, const char* data,
                                            std::size_t size, std::size_t& written) noexcept
{
    for (;;)
    {
        const ssize_t done = ::write(static_cast<int>(file), data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return done == 0 ? XmlFileError::DiskFull : FromSystem(errno, path);
        written = static_cast<std::size_t>(done);
        return XmlFileError::None;
    }
}

bool XmlDetail::Platform::FlushFile(FileId file) noexcept
{
    return ::fsync(static_cast<int>(file)) == 0;
}

bool XmlDetail::Platform::CloseFile(FileId file) noexcept
{
    return ::close(static_cast<int>(file)) == 0;
}

void XmlDetail::Platform::RemoveFile(const PathString& path) noexcept
{
    ::unlink(path.c_str());
}

XmlFileError XmlDetail::Platform::InspectTarget(const PathString& target, CTargetFacts& facts)
{
    struct stat status;
    facts.exists = ::stat(target.c_str(), &status) == 0;
    if (!facts.exists && errno != ENOENT)
        return FromSystem(errno, target);
    if (!facts.exists)
        return XmlFileError::None;
    if (!S_ISREG(status.st_mode))
        return XmlFileError::AccessDenied;
    facts.permissions = status.st_mode & 07777;
    return Replaceable(target);
}

XmlFileError XmlDetail::Platform::CreateBeside(const PathString& path, const CTargetFacts& target,
                                               FileId& file, bool& taken)
{
    taken = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        taken = errno == EEXIST;
        return taken ? XmlFileError::None : FromSystem(errno, path);
    }
    // The replacement keeps the target's permissions.
    if (target.exists && ::fchmod(fd, static_cast<mode_t>(target.permissions)) != 0)
    {
        const XmlFileError error = FromSystem(errno, path);
        ::close(fd);
        RemoveFile(path);
        return error;
    }
    file = fd;
    return XmlFileError::None;
}

PathString XmlDetail::Platform::NameBeside(const PathString& target, int attempt, bool previous)
{
    return target + ".~" + std::to_string(attempt) + (previous ? ".old" : ".tmp");
}

XmlFileError XmlDetail::Platform::CheckNotHeld(const PathString&) noexcept
{
    // Another program's open file does not stop a rename here.
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::PathExists(const PathString& path, bool& exists)
{
    struct stat status;
    exists = ::lstat(path.c_str(), &status) == 0;
    return exists || errno == ENOENT || errno == ENOTDIR ? XmlFileError::None : FromSystem(errno, path);
}

XmlFileError XmlDetail::Platform::RemoveName(const PathString& path, const PathString*)
{
    if (::unlink(path.c_str()) != 0)
        return errno == ENOENT ? XmlFileError::None : FromSystem(errno, path);
    SyncFolder(path);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::Rename(const PathString& from, const PathString& to, bool replace)
{
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

XmlFileError XmlDetail::Platform::Replaceable(const PathString& path)
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

void XmlDetail::Platform::CarryOver(const PathString&, const PathString&)
{
    // The permissions went to the new file when it was made.
}

namespace
{

// A copy of the file's bytes at backup, a new name, on the disk before it returns.
XmlFileError CopyFile(const PathString& target, const PathString& backup)
{
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

} // namespace

XmlFileError XmlDetail::Platform::LinkOrCopy(const PathString& target, const PathString& backup)
{
    if (::link(target.c_str(), backup.c_str()) == 0)
    {
        SyncFolder(backup);
        return XmlFileError::None;
    }
    if (errno == EEXIST || errno == ENOENT)
        return errno == ENOENT ? XmlFileError::Changed : XmlFileError::Failed;
    return CopyFile(target, backup);
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

XmlFileError XmlDetail::Platform::AppendToLog(FileId file, const std::string& path, const char* data,
                                              std::size_t size) noexcept
{
    while (size > 0)
    {
        const ssize_t written = ::write(static_cast<int>(file), data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? XmlFileError::DiskFull : FromSystem(errno, path);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return ::fsync(static_cast<int>(file)) == 0 ? XmlFileError::None : FromSystem(errno, path);
}

XmlFileError XmlDetail::Platform::RemoveLog(const std::string& path) noexcept
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return XmlFileError::Failed;
    SyncFolder(path);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::CheckLogNotHeld(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FromSystem(errno, path);
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held ? XmlFileError::InUse : XmlFileError::None;
}

bool XmlDisk::SameFile(const char* a, const char* b) noexcept
{
    if (!a || !b)
        return false;
    struct stat statusA, statusB;
    if (::stat(a, &statusA) == 0 && ::stat(b, &statusB) == 0)
        return statusA.st_dev == statusB.st_dev && statusA.st_ino == statusB.st_ino;
    return std::strcmp(a, b) == 0;
}

namespace
{

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

} // namespace

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
