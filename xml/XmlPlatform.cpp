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
// False for a path that is not UTF-8.
bool NativePath(const char* path, XmlDetail::PathString& native)
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
bool NativePath(const char* path, XmlDetail::PathString& native)
{
    native = path;
    return true;
}

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

XmlFileError XmlDetail::CFileReplacement::Create(const char* target)
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
    // rename() would replace a file we may not write to, so ask first.
    if (m_targetExists && ::access(target, W_OK) != 0)
        return errno == EACCES && !(status.st_mode & 0222) ? XmlFileError::ReadOnly : FromSystem(errno, m_target);
#endif

    // Created exclusively, so that nothing else is overwritten. The name is made before the file,
    // so that the destructor can always remove what was created.
    for (int attempt = 0; attempt < kTempNameAttempts && m_file == kNoFile; ++attempt)
    {
#ifdef _WIN32
        m_temp = m_target + L".~" + std::to_wstring(attempt) + L".tmp";
        HANDLE file = CreateFileW(m_temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
        {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                return FromSystem(error);
            continue;
        }
        m_file = reinterpret_cast<std::intptr_t>(file);
#else
        m_temp = m_target + ".~" + std::to_string(attempt) + ".tmp";
        const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return FromSystem(errno, m_temp);
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
    bool placed = false;
#ifdef _WIN32
    if (m_targetExists)
    {
        // The previous version goes to a name nothing else holds; ReplaceFileW keeps the target's
        // attributes on the new file.
        try
        {
            for (int attempt = 0; attempt < kTempNameAttempts && m_backup.empty(); ++attempt)
            {
                PathString name = m_target + L".~" + std::to_wstring(attempt) + L".old";
                if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
                    GetLastError() == ERROR_FILE_NOT_FOUND)
                    m_backup = std::move(name);
            }
        }
        catch (...)
        {
            m_backup.clear();
        }
        placed = !m_backup.empty() && ReplaceFileW(m_target.c_str(), m_temp.c_str(), m_backup.c_str(),
                                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        const DWORD error = placed ? ERROR_SUCCESS : GetLastError();
        // The target went to the backup name, but the new file did not take its place.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            MoveFileExW(m_backup.c_str(), m_target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!placed)
            m_error = m_backup.empty() ? XmlFileError::Failed : FromSystem(error);
    }
    else
    {
        // Without MOVEFILE_REPLACE_EXISTING: a file that appeared meanwhile is not replaced.
        placed = MoveFileExW(m_temp.c_str(), m_target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        if (!placed)
            m_error = GetLastError() == ERROR_ALREADY_EXISTS ? XmlFileError::Changed : LastError();
    }
#else
    if (m_targetExists)
    {
        // A second name for the previous version, then the new file over the target's name.
        int error = 0;
        try
        {
            for (int attempt = 0; attempt < kTempNameAttempts && m_backup.empty(); ++attempt)
            {
                PathString name = m_target + ".~" + std::to_string(attempt) + ".old";
                if (::link(m_target.c_str(), name.c_str()) == 0)
                    m_backup = std::move(name);
                else if ((error = errno) != EEXIST)
                    break;
            }
        }
        catch (...)
        {
            m_backup.clear();
        }
        placed = !m_backup.empty() && std::rename(m_temp.c_str(), m_target.c_str()) == 0;
        if (!placed && !m_backup.empty())
            error = errno;
        if (!placed)
            m_error = error ? FromSystem(error, m_target) : XmlFileError::Failed;
    }
    else
    {
        // link() refuses a name that exists: a file that appeared meanwhile is not replaced.
        placed = ::link(m_temp.c_str(), m_target.c_str()) == 0;
        if (!placed)
            m_error = errno == EEXIST ? XmlFileError::Changed : FromSystem(errno, m_target);
    }
#endif
    if (!placed && m_error == XmlFileError::None)
        m_error = XmlFileError::Failed;
    RemoveFile(m_temp);
    m_temp.clear();
    if (!placed && !m_backup.empty())
    {
        RemoveFile(m_backup);
        m_backup.clear();
    }
    m_committed = placed;
    return m_error;
}

XmlFileError XmlDetail::CFileReplacement::Rollback() noexcept
{
    if (!m_committed)
        return XmlFileError::None;
    bool restored = false;
#ifdef _WIN32
    if (m_targetExists)
        restored = MoveFileExW(m_backup.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    else
        restored = DeleteFileW(m_target.c_str()) != 0;
    const XmlFileError error = restored ? XmlFileError::None : LastError();
#else
    if (m_targetExists)
        restored = std::rename(m_backup.c_str(), m_target.c_str()) == 0;
    else
        restored = ::unlink(m_target.c_str()) == 0;
    const XmlFileError error = restored ? XmlFileError::None : FromSystem(errno, m_target);
#endif
    m_committed = false;
    if (restored)
        m_backup.clear();
    else
        m_kept.swap(m_backup);
    return error == XmlFileError::None && !restored ? XmlFileError::Failed : error;
}

void XmlDetail::CFileReplacement::Complete() noexcept
{
    if (m_committed && !m_backup.empty())
        RemoveFile(m_backup);
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
            const std::size_t result = iconv(m_handle, &in, &inLeft, &out, &outLeft);
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
