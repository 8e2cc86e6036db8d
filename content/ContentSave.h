// Save: every changed content file written as one transaction. The questions come first; then each
// file's new version is written beside it; then, only when all are written, each is put in place,
// the disk checked once more just before; a step that fails puts back what was already replaced.
#pragma once

#include <string>
#include <vector>

#include "ContentFile.h"

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
};

struct CSaveResult
{
    CContentFile* file;
    SaveOutcome outcome;
    XmlFileError error = XmlFileError::None;
    std::string kept; // UTF-8
};

// The person's answer when another program changed (found is Changed) or removed (NotFound) a file
// since it was read: true replaces it with the person's choices.
class CSaveQuestions
{
public:
    virtual bool ReplaceAnyway(const CContentFile& file, XmlFileError found) = 0;

protected:
    ~CSaveQuestions() = default;
};

// Saves the files, all or none, asking questions of them when another program changed one (null:
// the answer is always No). One result per file, in the order given.
std::vector<CSaveResult> SaveContentFiles(const std::vector<CContentFile*>& files, CSaveQuestions* questions);
