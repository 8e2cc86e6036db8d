// Reading a whole file, replacing a file by a new one written beside it, and the engine's disk
// operations, built on the few file operations each platform's source gives (XmlPlatform.h).
#include "XmlPlatform.h"

#include <algorithm>
#include <new>

using namespace XmlDetail::Platform;

namespace
{

constexpr int kTempNameAttempts = 100;
// Reads and writes go to the system in pieces of at most this size.
constexpr std::size_t kIoChunk = std::size_t(1) << 20;

XmlDisk::StepHook g_stepHook = nullptr;

using XmlDetail::NativePath;
using XmlDetail::PathString;

// Each step that changes the disk asks the step hook first.
XmlFileError RemovePath(const PathString& path, const PathString* keep = nullptr)
{
    StepReached("remove");
    return RemoveName(path, keep);
}

XmlFileError MovePath(const PathString& from, const PathString& to, bool replace)
{
    StepReached("rename");
    return Rename(from, to, replace);
}

XmlFileError KeepSecondName(const PathString& target, const PathString& backup)
{
    StepReached("link");
    return LinkOrCopy(target, backup);
}

// The bytes of an open file of size expected into data (expected + 1 bytes), which must end where
// its size said: a failed or short read, or more bytes than expected, leave it unread.
XmlFileError ReadAll(FileId file, const PathString& path, char* data, std::size_t expected)
{
    XmlFileError error = XmlFileError::None;
    std::size_t done = 0;
    while (error == XmlFileError::None)
    {
        char extra;
        char* at = done < expected ? data + done : &extra;
        const std::size_t want = done < expected ? std::min(kIoChunk, expected - done) : 1;
        std::size_t got = 0;
        error = ReadSome(file, path, at, want, got);
        if (error != XmlFileError::None)
            break;
        if (got == 0)
            break;
        if (done >= expected)
            error = XmlFileError::Failed;
        else
            done += got;
    }
    if (error == XmlFileError::None && done != expected)
        error = XmlFileError::Failed;
    return error;
}

} // namespace

void XmlDetail::Platform::StepReached(const char* step)
{
    // Before each step that changes the disk: where a test stops the process as a crash would.
    if (g_stepHook)
        g_stepHook(step);
}

XmlFileError XmlDetail::ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size)
{
    PathString native;
    if (!path || !*path || !NativePath(path, native))
        return XmlFileError::NotFound;
    FileId file = kNoFile;
    XmlFileError error = OpenForReading(native, file);
    if (error != XmlFileError::None)
        return error;
    unsigned long long fileSize = 0;
    error = FileSize(file, fileSize);
    if (error != XmlFileError::None)
    {
        CloseFile(file);
        return error;
    }
    std::unique_ptr<char[]> data;
    if (fileSize > kMaxFileSize)
        error = XmlFileError::TooLarge;
    else if (!(data.reset(new (std::nothrow) char[fileSize + 1]), data))
        error = XmlFileError::Failed;
    const auto expected = static_cast<std::size_t>(fileSize);
    if (error == XmlFileError::None)
        error = ReadAll(file, native, data.get(), expected);
    CloseFile(file);
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

XmlFileError XmlDetail::CFileReplacement::Create(const char* target, const char* temp, const char* backup)
{
    if (!target || !*target || m_file != kNoFile || !NativePath(target, m_target))
        return XmlFileError::NotFound;
    CTargetFacts facts;
    const XmlFileError inspected = InspectTarget(m_target, facts);
    m_targetExists = facts.exists;
    if (inspected != XmlFileError::None)
        return inspected;

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
        const XmlFileError created = CreateBeside(m_temp, facts, m_file, taken);
        if (created != XmlFileError::None)
        {
            m_temp.clear();
            return created;
        }
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
        std::size_t written = 0;
        m_error = WriteSome(m_file, m_temp, data, std::min(size, kIoChunk), written);
        data += written;
        size -= written;
    }
    return m_error;
}

XmlFileError XmlDetail::CFileReplacement::Finish() noexcept
{
    if (m_file == kNoFile || m_finished)
        return m_error == XmlFileError::None ? XmlFileError::Failed : m_error;
    if (m_error == XmlFileError::None && !FlushFile(m_file))
        m_error = LastFileError(m_temp);
    if (!CloseFile(m_file) && m_error == XmlFileError::None)
        m_error = LastFileError(m_temp);
    m_file = kNoFile;
    m_finished = true;
    // A file that another program holds open so that it cannot be replaced is found before
    // trying: a failed replacement can leave files behind.
    if (m_error == XmlFileError::None && m_targetExists)
        m_error = CheckNotHeld(m_target);
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
        CloseFile(m_file);
        m_file = kNoFile;
    }
    if (!m_temp.empty())
        RemoveFile(m_temp);
    m_temp.clear();
}

namespace
{
// A step on the system's form of a UTF-8 path: NotFound for no path or one that is not UTF-8,
// Failed when memory runs out on the way.
template <class Step>
XmlFileError OnNativePath(const char* path, Step step) noexcept
{
    try
    {
        XmlDetail::PathString native;
        if (!path || !*path || !NativePath(path, native))
            return XmlFileError::NotFound;
        return step(native);
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}
} // namespace

XmlFileError XmlDisk::Exists(const char* path, bool& exists) noexcept
{
    exists = false;
    return OnNativePath(path, [&](const XmlDetail::PathString& native) { return PathExists(native, exists); });
}

XmlFileError XmlDisk::Remove(const char* path) noexcept
{
    return OnNativePath(path, [](const XmlDetail::PathString& native) { return RemovePath(native); });
}

XmlFileError XmlDisk::MoveOver(const char* from, const char* to) noexcept
{
    return OnNativePath(from, [to](const XmlDetail::PathString& nativeFrom) {
        return OnNativePath(to, [&](const XmlDetail::PathString& nativeTo) {
            return MovePath(nativeFrom, nativeTo, true);
        });
    });
}

XmlFileError XmlDisk::CanReplace(const char* path) noexcept
{
    return OnNativePath(path, [](const XmlDetail::PathString& native) {
        XmlDetail::Platform::CTargetFacts facts;
        XmlFileError error = XmlDetail::Platform::InspectTarget(native, facts);
        if (error == XmlFileError::None && facts.exists)
            error = XmlDetail::Platform::CheckNotHeld(native);
        return error == XmlFileError::Changed ? XmlFileError::None : error;
    });
}

void XmlDisk::SetStepHook(StepHook hook) noexcept
{
    g_stepHook = hook;
}

XmlDisk::CLog::~CLog()
{
    Close();
}

XmlFileError XmlDisk::CLog::Append(const char* data, std::size_t size) noexcept
{
    if (!IsOpen())
        return XmlFileError::Failed;
    StepReached("record");
    return AppendToLog(m_file, m_path, data, size);
}

void XmlDisk::CLog::Close() noexcept
{
    if (IsOpen())
        CloseFile(m_file);
    m_file = -1;
}

// Without allocating: the log goes also when a save ends because memory ran out.
XmlFileError XmlDisk::CLog::Remove() noexcept
{
    Close();
    if (m_path.empty())
        return XmlFileError::None;
    StepReached("remove");
    const XmlFileError error = RemoveLog(m_path);
    if (error == XmlFileError::None)
        m_path.clear();
    return error;
}

XmlFileError XmlDisk::ReadLog(const char* path, std::string& bytes) noexcept
{
    try
    {
        if (!path)
            return XmlFileError::NotFound;
        const XmlFileError held = CheckLogNotHeld(path);
        if (held != XmlFileError::None)
            return held;
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
