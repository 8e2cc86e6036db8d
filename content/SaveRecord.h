// The record a save of several files keeps beside the first of them while it runs, as a database
// keeps a journal: which files it replaces, the names of their new and previous versions, and how
// far it got. A save that is cut off (the process killed, the power gone) leaves it behind, and the
// next start brings every file it names to one state: all as they were, or the save finished.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Xml.h"

// The record's name in its folder.
extern const char kSaveRecordName[];

struct CSaveRecordEntry
{
    std::string target; // UTF-8 paths
    std::string temp;   // the new version until it takes the target's name
    std::string backup; // the previous version from then on, until the save is final
    bool existed = true; // false: the save creates the target
};

// How far a save got. Each step is on the disk before the next file step begins.
enum class SaveStage : std::uint8_t
{
    Writing, // new versions being written beside their files; none is in place
    Placing, // every new version written; they take their places one by one
    Done,    // every file in place: only the previous versions are left to remove
    Undone,  // every file as it was again
};

class CSaveRecord
{
public:
    // Creates the record at path, naming every file, before any new version exists. InUse when a
    // record is there already: another save runs, or one was cut off and not yet finished.
    XmlFileError Begin(const std::string& path, const std::vector<CSaveRecordEntry>& entries);
    XmlFileError Mark(SaveStage stage) noexcept;
    // Removes the record: the save is over.
    XmlFileError End() noexcept;
    // Lets the record go without removing it, for the next start to finish.
    void Leave() noexcept;

private:
    XmlDisk::CLog m_log;
};

// What a start found of a save that was cut off, and what it did.
struct CSaveRecovery
{
    enum class Outcome : std::uint8_t
    {
        Nothing,  // no record
        Undone,   // not every file was in place: every file is as it was before that save
        Finished, // every file was in place: the save's leftovers were removed
        Cleaned,  // no file had been replaced: the leftovers were removed
        Blocked,  // a step failed (error and path say which): the record stays for the next start
    };
    Outcome outcome = Outcome::Nothing;
    std::vector<std::string> files; // the files the record names
    XmlFileError error = XmlFileError::None;
    std::string path; // the file of the step that failed
};

// Finishes or undoes the save whose record is at path, then removes the record.
CSaveRecovery RecoverSave(const std::string& path);
