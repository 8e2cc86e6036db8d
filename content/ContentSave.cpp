#include "ContentSave.h"

#include <memory>

namespace
{
// A file to be written, and the state of its disk that the person agreed to replace.
struct CWrite
{
    CSaveResult* result;
    bool replaceAnyway = false;
    CXmlDiskState replacing;
    CXmlPendingSave save;
};

using CWrites = std::vector<std::unique_ptr<CWrite>>;

// Every file from first on, none of them in place yet, ends as not written, and the failing one
// with its error.
void Stop(CWrites::iterator first, CWrites::iterator last, CWrite& failing, XmlFileError error)
{
    for (; first != last; ++first)
    {
        CWrite& write = **first;
        write.save.Discard();
        if (write.result->outcome == SaveOutcome::Saved)
            write.result->outcome = SaveOutcome::NotWritten;
    }
    failing.result->outcome = SaveOutcome::Failed;
    failing.result->error = error;
}
} // namespace

std::vector<CSaveResult> SaveContentFiles(const std::vector<CContentFile*>& files, CSaveQuestions* questions)
{
    std::vector<CSaveResult> results;
    results.reserve(files.size());
    for (CContentFile* file : files)
        results.push_back({file, SaveOutcome::Unchanged, XmlFileError::None, std::string()});

    CWrites writes;
    for (CSaveResult& result : results)
    {
        if (!result.file->CanWrite())
            result.outcome = SaveOutcome::ReadOnly;
        else if (result.file->HasChanges())
        {
            result.outcome = SaveOutcome::Saved;
            writes.push_back(std::make_unique<CWrite>());
            writes.back()->result = &result;
        }
    }

    // The questions first, one for each file that another program changed, moved or deleted.
    for (auto at = writes.begin(); at != writes.end();)
    {
        CWrite& write = **at;
        CContentFile& file = *write.result->file;
        const XmlFileError onDisk = file.CheckDisk();
        if (onDisk != XmlFileError::None && onDisk != XmlFileError::Changed && onDisk != XmlFileError::NotFound)
        {
            Stop(writes.begin(), writes.end(), write, onDisk);
            return results;
        }
        if (onDisk != XmlFileError::None)
        {
            // What the person is asked about is what may be replaced, and nothing that comes later.
            const XmlFileError read = write.replacing.Read(file.Path().c_str());
            if (read != XmlFileError::None)
            {
                Stop(writes.begin(), writes.end(), write, read);
                return results;
            }
            if (!questions || !questions->ReplaceAnyway(file, onDisk))
            {
                file.Reload();
                write.result->outcome = SaveOutcome::KeptOther;
                at = writes.erase(at);
                continue;
            }
            write.replaceAnyway = true;
        }
        ++at;
    }

    // Every new version beside its file, then each in place, checked against the disk just before.
    for (auto& write : writes)
    {
        const XmlFileError error =
            write->result->file->Prepare(write->save, write->replaceAnyway ? &write->replacing : nullptr);
        if (error != XmlFileError::None)
        {
            Stop(writes.begin(), writes.end(), *write, error);
            return results;
        }
    }
    for (std::size_t i = 0; i < writes.size(); ++i)
    {
        const XmlFileError error = writes[i]->save.Commit();
        if (error == XmlFileError::None)
            continue;
        // Back as they were, the last replaced first; a previous version the system will not put
        // back stays where it is kept.
        for (std::size_t done = i; done-- > 0;)
        {
            CWrite& undo = *writes[done];
            const XmlFileError undone = undo.save.Rollback();
            undo.result->outcome = undone == XmlFileError::None ? SaveOutcome::PutBack : SaveOutcome::NotPutBack;
            undo.result->error = undone;
            undo.result->kept = undo.save.KeptPath();
        }
        Stop(writes.begin() + static_cast<std::ptrdiff_t>(i), writes.end(), *writes[i], error);
        return results;
    }
    for (auto& write : writes)
    {
        write->save.Complete();
        write->result->file->Saved();
    }
    return results;
}
