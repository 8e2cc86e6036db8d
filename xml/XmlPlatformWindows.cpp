// The engine's file operations on Windows: its UTF-8 paths go to the W file functions, and the code
// pages it has no tables for are converted with Windows' own.
#include <windows.h>

#include "XmlPlatform.h"
#include "XmlText.h"

#include <new>

using namespace XmlDetail::Platform;
using XmlDetail::NativePath;
using XmlDetail::PathString;

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

HANDLE AsHandle(FileId file)
{
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

XmlFileError XmlDetail::Platform::LastFileError(const PathString&)
{
    return LastError();
}

XmlFileError XmlDetail::Platform::OpenForReading(const PathString& path, FileId& file)
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    file = reinterpret_cast<FileId>(handle);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::FileSize(FileId file, unsigned long long& size)
{
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(AsHandle(file), &length))
        return LastError();
    size = static_cast<unsigned long long>(length.QuadPart);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::ReadSome(FileId file, const PathString&, char* data, std::size_t size,
                                           std::size_t& got)
{
    DWORD read = 0;
    if (!ReadFile(AsHandle(file), data, static_cast<DWORD>(size), &read, nullptr))
        return LastError();
    got = read;
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::WriteSome(FileId file, const PathString&, const char* data,
                                            std::size_t size, std::size_t& written) noexcept
{
    DWORD done = 0;
    if (!WriteFile(AsHandle(file), data, static_cast<DWORD>(size), &done, nullptr) || done == 0)
        return done == 0 && GetLastError() == ERROR_SUCCESS ? XmlFileError::DiskFull : LastError();
    written = done;
    return XmlFileError::None;
}

bool XmlDetail::Platform::FlushFile(FileId file) noexcept
{
    return FlushFileBuffers(AsHandle(file)) != 0;
}

bool XmlDetail::Platform::CloseFile(FileId file) noexcept
{
    return CloseHandle(AsHandle(file)) != 0;
}

void XmlDetail::Platform::RemoveFile(const PathString& path) noexcept
{
    DeleteFileW(path.c_str());
}

XmlFileError XmlDetail::Platform::InspectTarget(const PathString& target, CTargetFacts& facts)
{
    const DWORD attributes = GetFileAttributesW(target.c_str());
    facts.exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!facts.exists && GetLastError() != ERROR_FILE_NOT_FOUND)
        return LastError();
    if (facts.exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return XmlFileError::AccessDenied;
    if (facts.exists && (attributes & FILE_ATTRIBUTE_READONLY))
        return XmlFileError::ReadOnly;
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::CreateBeside(const PathString& path, const CTargetFacts&, FileId& file,
                                               bool& taken)
{
    taken = false;
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return taken ? XmlFileError::None : FromSystem(error);
    }
    file = reinterpret_cast<FileId>(handle);
    return XmlFileError::None;
}

PathString XmlDetail::Platform::NameBeside(const PathString& target, int attempt, bool previous)
{
    return target + L".~" + std::to_wstring(attempt) + (previous ? L".old" : L".tmp");
}

// A file that another program holds open without letting others delete it cannot be replaced.
XmlFileError XmlDetail::Platform::CheckNotHeld(const PathString& target) noexcept
{
    HANDLE probe = CreateFileW(target.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : FromSystem(error);
    }
    CloseHandle(probe);
    return XmlFileError::None;
}

XmlFileError XmlDetail::Platform::PathExists(const PathString& path, bool& exists)
{
    exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const DWORD error = exists ? ERROR_SUCCESS : GetLastError();
    return exists || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? XmlFileError::None
                                                                                    : FromSystem(error);
}

// A name of the tool's own goes also when the file it names was marked read-only: a second name
// of a file shares its mark, which keep restores on that file.
XmlFileError XmlDetail::Platform::RemoveName(const PathString& path, const PathString* keep)
{
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

XmlFileError XmlDetail::Platform::Rename(const PathString& from, const PathString& to, bool replace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(from.c_str(), to.c_str(), flags))
        return XmlFileError::None;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? XmlFileError::Changed
                                                                       : FromSystem(error);
}

XmlFileError XmlDetail::Platform::Replaceable(const PathString& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : LastError();
    return attributes & FILE_ATTRIBUTE_READONLY ? XmlFileError::ReadOnly : XmlFileError::None;
}

// The attributes, the time it was created, and its access rules where the person may set them
// (otherwise the folder's apply).
void XmlDetail::Platform::CarryOver(const PathString& target, const PathString& temp)
{
    constexpr DWORD kCarried = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    HANDLE from = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    HANDLE to = CreateFileW(temp.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME created{};
    if (from != INVALID_HANDLE_VALUE && to != INVALID_HANDLE_VALUE &&
        GetFileTime(from, &created, nullptr, nullptr))
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

XmlFileError XmlDetail::Platform::LinkOrCopy(const PathString& target, const PathString& backup)
{
    if (CreateHardLinkW(backup.c_str(), target.c_str(), nullptr))
        return XmlFileError::None;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || error == ERROR_FILE_NOT_FOUND)
        return error == ERROR_FILE_NOT_FOUND ? XmlFileError::Changed : XmlFileError::Failed;
    if (!CopyFileExW(target.c_str(), backup.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS))
        return LastError();
    HANDLE copy =
        CreateFileW(backup.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool flushed = copy != INVALID_HANDLE_VALUE && FlushFileBuffers(copy);
    error = flushed ? ERROR_SUCCESS : GetLastError();
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    if (!flushed)
        DeleteFileW(backup.c_str());
    return flushed ? XmlFileError::None : FromSystem(error);
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

XmlFileError XmlDetail::Platform::AppendToLog(FileId file, const std::string&, const char* data,
                                              std::size_t size) noexcept
{
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        return written != size && GetLastError() == ERROR_SUCCESS ? XmlFileError::DiskFull : LastError();
    return FlushFileBuffers(AsHandle(file)) ? XmlFileError::None : LastError();
}

XmlFileError XmlDetail::Platform::RemoveLog(const std::string& path) noexcept
{
    static wchar_t native[32768];
    const bool removed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, native, 32768) > 0 &&
        (DeleteFileW(native) || GetLastError() == ERROR_FILE_NOT_FOUND);
    return removed ? XmlFileError::None : LastError();
}

XmlFileError XmlDetail::Platform::CheckLogNotHeld(const char* path)
{
    std::wstring native;
    if (!NativePath(path, native))
        return XmlFileError::NotFound;
    // Refused while the save that writes it holds it open.
    HANDLE file = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastError();
    CloseHandle(file);
    return XmlFileError::None;
}

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
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
        return !fullA.empty() &&
               CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                    static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
    }
    catch (...)
    {
        return false;
    }
}

namespace
{

UINT WindowsCodePage(unsigned codePage)
{
    // Where the EUC numbers are MLang's alone, the stand-in holds the same table; the engine's own
    // numbers name no Windows code page at all.
    const XmlDetail::CCodePage* entry = XmlDetail::CodePageByNumber(codePage);
    if (entry && entry->windowsStandIn != 0 && (codePage > 0xFFFF || !IsValidCodePage(codePage)))
        return entry->windowsStandIn;
    return codePage;
}

} // namespace

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
