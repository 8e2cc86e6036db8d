#include "ContentSet.h"

#include <algorithm>
#include <utility>

// A file to be written: the state of its disk that the person agreed to replace, the names of its
// new and previous versions, and whether it has taken its place.
struct CContentSet::CWrite
{
    CSaveResult* result;
    bool replaceAnyway = false;
    CXmlDiskState replacing;
    CXmlSaveNames names;
    bool existed = true;
    CXmlPendingSave save;
    bool placed = false;
};

namespace
{
using CWrites = std::vector<std::unique_ptr<CContentSet::CWrite>>;

constexpr int kNameAttempts = 100;

#ifdef _WIN32
const char kSeparators[] = "\\/";
#else
const char kSeparators[] = "/";
#endif

// The record of a save lies in the folder of the first file it writes.
std::string RecordBeside(const std::string& path)
{
    const std::size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? std::string(kSaveRecordName)
                                      : path.substr(0, slash + 1) + kSaveRecordName;
}

bool Exists(const std::string& path, XmlFileError& error)
{
    bool exists = false;
    error = XmlDisk::Exists(path.c_str(), exists);
    return exists;
}

// Every file back as it was, the last replaced first, and every new version not in place removed;
// the failing one with its error. A previous version the system will not put back stays where it
// is kept, and so does the record, so that the next start puts it back.
void Undo(CWrites& writes, CSaveRecord& record, CSaveResult* failing, XmlFileError error) noexcept
{
    bool allBack = true;
    for (auto at = writes.rbegin(); at != writes.rend(); ++at)
    {
        CContentSet::CWrite& write = **at;
        CSaveResult& result = *write.result;
        if (!write.placed)
        {
            write.save.Discard();
            if (result.outcome == SaveOutcome::Saved)
                result.outcome = SaveOutcome::NotWritten;
            continue;
        }
        result.error = write.save.Rollback();
        result.outcome = result.error == XmlFileError::None ? SaveOutcome::PutBack : SaveOutcome::NotPutBack;
        write.placed = false;
        try
        {
            result.kept = write.save.KeptPath();
        }
        catch (...)
        {
        }
        allBack = allBack && result.error == XmlFileError::None;
    }
    if (failing && failing->outcome != SaveOutcome::NotPutBack)
    {
        failing->outcome = SaveOutcome::Failed;
        failing->error = error;
    }
    allBack = allBack && !(failing && failing->outcome == SaveOutcome::NotPutBack);
    if (!allBack)
    {
        record.Leave();
        return;
    }
    record.Mark(SaveStage::Undone);
    record.End();
}
} // namespace

CContentSet::CContentSet(const std::vector<CContentFile::Kind>& kinds)
{
    for (const CContentFile::Kind kind : kinds)
        m_files.push_back(std::make_unique<CContentFile>(kind));
}

std::vector<CSaveRecovery> CContentSet::Open(const std::vector<CSource>& sources)
{
    std::vector<CSaveRecovery> recoveries;
    std::vector<std::string> records;
    for (const CSource& source : sources)
    {
        const std::string record = source.path.empty() ? std::string() : RecordBeside(source.path);
        if (record.empty() || std::find(records.begin(), records.end(), record) != records.end())
            continue;
        records.push_back(record);
        CSaveRecovery recovery = RecoverSave(record);
        if (recovery.outcome != CSaveRecovery::Outcome::Nothing)
            recoveries.push_back(std::move(recovery));
    }
    for (std::size_t index = 0; index < sources.size() && index < m_files.size(); ++index)
    {
        m_files[index]->Open(sources[index].path, sources[index].shown);
        // One file, one editor: the first tab that names a file edits it, a later one only shows it.
        for (std::size_t editor = 0; editor < index; ++editor)
        {
            if (!sources[index].path.empty() && !sources[editor].path.empty() &&
                XmlDisk::SameFile(sources[editor].path.c_str(), sources[index].path.c_str()))
            {
                m_files[index]->SetEditedOn(sources[editor].tab);
                break;
            }
        }
    }
    return recoveries;
}

std::vector<CSaveResult> CContentSet::Save(CSaveQuestions* questions)
{
    std::vector<CSaveResult> results;
    results.reserve(m_files.size());
    for (const auto& file : m_files)
        results.push_back({file.get(), SaveOutcome::Unchanged, XmlFileError::None, std::string()});
    CWrites writes;
    CSaveRecord record;
    try
    {
        SaveFiles(results, writes, record, questions);
    }
    catch (...)
    {
        // Memory ran out, or a question failed: whatever was done is undone.
        CSaveResult* failing = nullptr;
        for (CSaveResult& result : results)
        {
            if (!failing && result.outcome == SaveOutcome::Saved)
                failing = &result;
        }
        if (!failing && !results.empty())
            failing = &results.front();
        Undo(writes, record, failing, XmlFileError::Failed);
    }
    return results;
}

void CContentSet::SaveFiles(std::vector<CSaveResult>& results, CWrites& writes, CSaveRecord& record,
                            CSaveQuestions* questions)
{
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

    // The questions first, one for each file that another program changed, moved or deleted. The
    // other program's versions are read only once no answer has stopped the save.
    std::vector<CContentFile*> keepOther;
    for (auto at = writes.begin(); at != writes.end();)
    {
        CWrite& write = **at;
        CContentFile& file = *write.result->file;
        const XmlFileError found = file.CheckDisk();
        if (found == XmlFileError::None)
        {
            ++at;
            continue;
        }
        if (found != XmlFileError::Changed && found != XmlFileError::NotFound)
            return Undo(writes, record, write.result, found);
        // What the person is asked about is what may be replaced, and nothing that comes later.
        const XmlFileError read = write.replacing.Read(file.Path().c_str());
        if (read != XmlFileError::None)
            return Undo(writes, record, write.result, read);
        const SaveAnswer answer = questions ? questions->AskReplace(file, found) : SaveAnswer::KeepOther;
        if (answer == SaveAnswer::Cancel)
        {
            for (const auto& cancelled : writes)
                cancelled->result->outcome = SaveOutcome::Cancelled;
            writes.clear();
            return;
        }
        if (answer == SaveAnswer::KeepOther)
        {
            keepOther.push_back(&file);
            write.result->outcome = SaveOutcome::KeptOther;
            at = writes.erase(at);
            continue;
        }
        write.replaceAnyway = true;
        ++at;
    }
    for (CContentFile* file : keepOther)
        file->Reload();
    if (writes.empty())
        return;

    // Names beside every file that nothing holds, for the new versions and the previous ones,
    // recorded before any of them exists.
    XmlFileError error = XmlFileError::None;
    std::vector<CSaveRecordEntry> entries;
    for (int attempt = 0; attempt < kNameAttempts && entries.size() < writes.size(); ++attempt)
    {
        entries.clear();
        const std::string number = ".~" + std::to_string(attempt);
        for (const auto& write : writes)
        {
            const std::string& target = write->result->file->Path();
            write->names = {target + number + ".tmp", target + number + ".old"};
            bool tempTaken = false;
            bool backupTaken = false;
            write->existed = Exists(target, error);
            if (error == XmlFileError::None)
                tempTaken = Exists(write->names.temp, error);
            if (error == XmlFileError::None)
                backupTaken = Exists(write->names.backup, error);
            if (error != XmlFileError::None)
                return Undo(writes, record, write->result, error);
            if (!tempTaken && !backupTaken)
                entries.push_back({target, write->names.temp, write->names.backup, write->existed});
        }
    }
    if (entries.size() < writes.size())
        return Undo(writes, record, writes.front()->result, XmlFileError::Failed);
    error = record.Begin(RecordBeside(writes.front()->result->file->Path()), entries);
    if (error != XmlFileError::None)
        return Undo(writes, record, writes.front()->result, error);

    // Every new version beside its file, then each in place, checked against the disk just before
    // and just after.
    for (const auto& write : writes)
    {
        error = write->result->file->Prepare(write->save, write->replaceAnyway ? &write->replacing : nullptr,
                                             &write->names);
        if (error != XmlFileError::None)
            return Undo(writes, record, write->result, error);
    }
    error = record.Mark(SaveStage::Placing);
    if (error != XmlFileError::None)
        return Undo(writes, record, writes.front()->result, error);
    for (const auto& write : writes)
    {
        error = write->save.Commit();
        if (error != XmlFileError::None)
        {
            // Another program's last-moment version that could not be put back is kept aside.
            write->result->kept = write->save.KeptPath();
            if (!write->result->kept.empty())
            {
                write->result->outcome = SaveOutcome::NotPutBack;
                write->result->error = error;
            }
            return Undo(writes, record, write->result, error);
        }
        write->placed = true;
    }
    error = record.Mark(SaveStage::Done);
    if (error != XmlFileError::None)
        return Undo(writes, record, writes.front()->result, error);
    for (const auto& write : writes)
    {
        write->placed = false;
        write->save.Complete();
        write->result->file->Saved();
    }
    record.End();
}
