// The file operations the engine asks of the system, one source per platform
// (XmlPlatformWindows.cpp, XmlPlatformPosix.cpp); XmlPlatform.cpp builds reading a whole file,
// replacing a file and the log on them. Not for the engine's users.
#pragma once

#include "XmlInternal.h"

namespace XmlDetail::Platform
{

// A HANDLE on Windows, else a file descriptor; kNoFile for none.
using FileId = std::intptr_t;
constexpr FileId kNoFile = -1;

// Called before each step that changes the disk (XmlDisk::SetStepHook).
void StepReached(const char* step);

// Why the last system call on the file at path failed.
XmlFileError LastFileError(const PathString& path);

// Opens an existing file for reading.
XmlFileError OpenForReading(const PathString& path, FileId& file);
// The size of an open file; it must be a regular file.
XmlFileError FileSize(FileId file, unsigned long long& size);
// Reads at most size bytes; got is 0 at the end of the file.
XmlFileError ReadSome(FileId file, const PathString& path, char* data, std::size_t size, std::size_t& got);
// Writes at most size bytes, and at least one unless it fails.
XmlFileError WriteSome(FileId file, const PathString& path, const char* data, std::size_t size,
                       std::size_t& written) noexcept;
// On the disk before it returns.
bool FlushFile(FileId file) noexcept;
bool CloseFile(FileId file) noexcept;
// Removes the file without asking the step hook, as a clean-up does.
void RemoveFile(const PathString& path) noexcept;

// What a new file beside a target takes from it.
struct CTargetFacts
{
    bool exists = false;
    unsigned permissions = 0; // POSIX mode bits, when it exists
};
// Whether a file may take the target's place later: a folder, or a file marked read-only, may not.
XmlFileError InspectTarget(const PathString& target, CTargetFacts& facts);
// A new file at path, created exclusively: taken (and no error) when a file of that name exists.
XmlFileError CreateBeside(const PathString& path, const CTargetFacts& target, FileId& file, bool& taken);
// The names beside target with the number attempt: the new file's, or the previous version's.
PathString NameBeside(const PathString& target, int attempt, bool previous);
// None when the target can be replaced now (no other program holds it open against it); Changed
// when it is gone.
XmlFileError CheckNotHeld(const PathString& target) noexcept;

XmlFileError PathExists(const PathString& path, bool& exists);
// Whether the file may be replaced now: Changed when it is gone, ReadOnly when marked so.
XmlFileError Replaceable(const PathString& path);
// What the new version takes over from the file it replaces where the system does not keep it.
void CarryOver(const PathString& target, const PathString& temp);
// A second name for the file's bytes, on the disk before it returns: a hard link, or a copy
// where the file system has no links.
XmlFileError LinkOrCopy(const PathString& target, const PathString& backup);
// from takes to's name in one step; without replace, a file at to is never replaced (Changed).
XmlFileError Rename(const PathString& from, const PathString& to, bool replace);
// None also when there was no file. keep names a second name of the file, which keeps its marks.
XmlFileError RemoveName(const PathString& path, const PathString* keep);

// The log's file operations that do not open it (XmlDisk::CLog opens it itself).
XmlFileError AppendToLog(FileId file, const std::string& path, const char* data, std::size_t size) noexcept;
// Removes the log without allocating, so that it goes also when memory ran out.
XmlFileError RemoveLog(const std::string& path) noexcept;
// None when the log at path exists and no save holds it open (InUse).
XmlFileError CheckLogNotHeld(const char* path);

} // namespace XmlDetail::Platform
