// The project's content files as one set, with no window: the files of the tabs in order, the rule
// that a file two tabs name is edited on the first, the recovery of a save that was cut off, and
// Save. Save writes every changed file as one transaction: the questions come first; then each
// file's new version is written beside it; then, with a record of what it is about to do on the
// disk (SaveRecord.h), each is put in place, the disk checked once more before and after; a step
// that fails puts back what was already replaced.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ContentFile.h"
#include "SaveRecord.h"

// What became of a file in a save.
enum class SaveOutcome : std::uint8_t
{
    Unchanged,   // nothing to write: the person changed nothing in it
    ReadOnly,    // the file may not be written (its lock says why); left as it is
    KeptOther,   // another program changed it and the person chose its version: read again
    Saved,
    Failed,      // this file could not be written or put in place (error says why); as it was
    NotWritten,  // another file's failure stopped the save before this one was put in place
    PutBack,     // it was put in place, then back as it was when another file failed
    NotPutBack,  // the same, but the system refused to put it back: its previous version is at kept
    Cancelled,   // the person stopped the save at a question: nothing was written
};

struct CSaveResult
{
    CContentFile* file;
    SaveOutcome outcome;
    XmlFileError error = XmlFileError::None;
    std::string kept; // UTF-8
};

// The person's answer when another program changed or removed a file since it was read.
enum class SaveAnswer : std::uint8_t
{
    Replace,   // write the person's choices over it
    KeepOther, // keep the other program's version and show it
    Cancel,    // stop the save: nothing is written, and every tab keeps the person's choices
};

class CSaveQuestions
{
public:
    // found is Changed, or NotFound for a file that is gone.
    virtual SaveAnswer AskReplace(const CContentFile& file, XmlFileError found) = 0;

protected:
    ~CSaveQuestions() = default;
};

class CContentSet
{
public:
    // One tab: its name, and its file's path (UTF-8, empty for none) with the path as the person
    // gave it.
    struct CSource
    {
        std::u16string tab;
        std::string path;
        std::u16string shown;
    };

    // The files of the tabs, not yet read.
    explicit CContentSet(const std::vector<CContentFile::Kind>& kinds);

    // Finishes or undoes a save that was cut off, in the folder of any of the files, and then reads
    // them; a later tab that names the file of an earlier one only shows it. What the recovery found
    // and did, for the person to be told.
    std::vector<CSaveRecovery> Open(const std::vector<CSource>& sources);

    std::size_t Count() const
    {
        return m_files.size();
    }
    CContentFile& File(std::size_t index)
    {
        return *m_files[index];
    }
    const CContentFile& File(std::size_t index) const
    {
        return *m_files[index];
    }

    // Saves the files, all or none, asking questions when another program changed one (null: the
    // answer is always KeepOther). One result per file, in tab order. Nothing fails in silence:
    // running out of memory anywhere ends as a failure with every file as it was.
    std::vector<CSaveResult> Save(CSaveQuestions* questions);

    // What a save keeps of each file it writes.
    struct CWrite;

private:
    void SaveFiles(std::vector<CSaveResult>& results, std::vector<std::unique_ptr<CWrite>>& writes,
                   CSaveRecord& record, CSaveQuestions* questions);

    std::vector<std::unique_ptr<CContentFile>> m_files;
};
