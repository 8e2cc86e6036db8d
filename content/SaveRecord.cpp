#include "SaveRecord.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

const char kSaveRecordName[] = "~customize-save.log";

namespace
{
// Each line of the record ends in a checksum of its text, so that a line a crash cut short is
// never read as one that was written whole. The first line gives the number of files.
const char kHeader[] = "customize-save";
const char* const kStageNames[] = {"writing", "placing", "done", "undone"};

std::uint32_t Checksum(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// Paths may hold any byte but the ones that separate fields and lines.
std::string Escape(const std::string& field)
{
    std::string escaped;
    for (const char c : field)
    {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r')
        {
            char code[4];
            std::snprintf(code, sizeof(code), "%%%02X", static_cast<unsigned char>(c));
            escaped += code;
        }
        else
            escaped += c;
    }
    return escaped;
}

std::string Unescape(const std::string& field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i)
    {
        unsigned code = 0;
        if (field[i] == '%' && i + 2 < field.size() && std::sscanf(field.c_str() + i + 1, "%2X", &code) == 1)
        {
            text += static_cast<char>(code);
            i += 2;
        }
        else
            text += field[i];
    }
    return text;
}

std::string Line(const std::vector<std::string>& fields)
{
    std::string text;
    for (const std::string& field : fields)
        text += (text.empty() ? "" : "\t") + Escape(field);
    char sum[16];
    std::snprintf(sum, sizeof(sum), "\t%08X\n", static_cast<unsigned>(Checksum(text)));
    return text + sum;
}

// The fields of each line written whole, up to the first that was not.
std::vector<std::vector<std::string>> ReadLines(const std::string& bytes)
{
    std::vector<std::vector<std::string>> lines;
    for (std::size_t at = 0; at < bytes.size();)
    {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            break;
        const std::string line = bytes.substr(at, end - at);
        at = end + 1;
        const std::size_t tab = line.rfind('\t');
        char sum[16];
        if (tab == std::string::npos)
            break;
        std::snprintf(sum, sizeof(sum), "%08X", static_cast<unsigned>(Checksum(line.substr(0, tab))));
        if (line.compare(tab + 1, std::string::npos, sum) != 0)
            break;
        std::vector<std::string> fields;
        for (std::size_t from = 0; from <= tab;)
        {
            const std::size_t next = line.find('\t', from);
            fields.push_back(Unescape(line.substr(from, next - from)));
            from = next + 1;
        }
        lines.push_back(std::move(fields));
    }
    return lines;
}
} // namespace

XmlFileError CSaveRecord::Begin(const std::string& path, const std::vector<CSaveRecordEntry>& entries)
{
    std::string text = Line({kHeader, std::to_string(entries.size())});
    for (const CSaveRecordEntry& entry : entries)
        text += Line({entry.existed ? "replace" : "create", entry.target, entry.temp, entry.backup});
    XmlFileError error = m_log.Create(path.c_str());
    if (error == XmlFileError::None)
        error = m_log.Append(text.data(), text.size());
    if (error != XmlFileError::None && m_log.IsOpen())
        m_log.Remove();
    return error;
}

XmlFileError CSaveRecord::Mark(SaveStage stage) noexcept
{
    try
    {
        const std::string text = Line({"stage", kStageNames[static_cast<int>(stage)]});
        return m_log.Append(text.data(), text.size());
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}

XmlFileError CSaveRecord::End() noexcept
{
    return m_log.Remove();
}

void CSaveRecord::Leave() noexcept
{
    m_log.Close();
}

namespace
{
// The steps of a recovery, taken or, before that, only asked whether they can be.
struct CRecoverySteps
{
    CSaveRecovery& recovery;
    bool act;

    // False, with the recovery's error and path, when the step fails or could not be taken.
    bool Remove(const std::string& file)
    {
        return Done(act ? XmlDisk::Remove(file.c_str()) : XmlDisk::CanReplace(file.c_str()), file);
    }
    bool MoveOver(const std::string& from, const std::string& to)
    {
        if (act)
            return Done(XmlDisk::MoveOver(from.c_str(), to.c_str()), to);
        return Done(XmlDisk::CanReplace(from.c_str()), from) && Done(XmlDisk::CanReplace(to.c_str()), to);
    }
    bool Exists(const std::string& file, bool& exists)
    {
        return Done(XmlDisk::Exists(file.c_str(), exists), file);
    }
    bool Done(XmlFileError error, const std::string& file)
    {
        if (error != XmlFileError::None && recovery.error == XmlFileError::None)
        {
            recovery.error = error;
            recovery.path = file;
        }
        return error == XmlFileError::None;
    }

    void Run(SaveStage stage, const std::vector<CSaveRecordEntry>& entries, const std::string& record)
    {
        switch (stage)
        {
        case SaveStage::Writing:
        case SaveStage::Undone:
            recovery.outcome = stage == SaveStage::Writing ? CSaveRecovery::Outcome::Cleaned
                                                           : CSaveRecovery::Outcome::Nothing;
            for (const CSaveRecordEntry& entry : entries)
                Remove(entry.temp);
            break;
        case SaveStage::Placing:
            recovery.outcome = CSaveRecovery::Outcome::Undone;
            for (auto entry = entries.rbegin(); entry != entries.rend() && Undo(*entry); ++entry)
            {
            }
            break;
        case SaveStage::Done:
            recovery.outcome = CSaveRecovery::Outcome::Finished;
            for (const CSaveRecordEntry& entry : entries)
            {
                if (Remove(entry.temp) && entry.existed)
                    Remove(entry.backup);
            }
            break;
        }
        if (recovery.error == XmlFileError::None)
            Remove(record);
    }

    // A new version still under its own name never took its place; one that did is undone by its
    // previous version taking the name back (a file the save created goes).
    bool Undo(const CSaveRecordEntry& entry)
    {
        bool waiting = false;
        bool kept = false;
        if (!Exists(entry.temp, waiting))
            return false;
        if (waiting)
            return Remove(entry.temp) && (!entry.existed || Remove(entry.backup));
        if (!entry.existed)
            return Remove(entry.target);
        return Exists(entry.backup, kept) && (!kept || MoveOver(entry.backup, entry.target));
    }
};
} // namespace

CSaveRecovery RecoverSave(const std::string& path)
{
    CSaveRecovery recovery;
    std::string bytes;
    recovery.error = XmlDisk::ReadLog(path.c_str(), bytes);
    if (recovery.error == XmlFileError::NotFound)
    {
        recovery.error = XmlFileError::None;
        return recovery;
    }
    recovery.path = path;
    if (recovery.error != XmlFileError::None)
    {
        recovery.outcome = CSaveRecovery::Outcome::Blocked;
        return recovery;
    }

    // A record cut short before its names were whole was left before any new version existed.
    const std::vector<std::vector<std::string>> lines = ReadLines(bytes);
    std::vector<CSaveRecordEntry> entries;
    SaveStage stage = SaveStage::Writing;
    const bool whole = !lines.empty() && lines[0].size() == 2 && lines[0][0] == kHeader &&
                       lines.size() > std::strtoul(lines[0][1].c_str(), nullptr, 10);
    for (std::size_t i = 1; whole && i < lines.size(); ++i)
    {
        const std::vector<std::string>& line = lines[i];
        if (line.size() == 4 && (line[0] == "replace" || line[0] == "create"))
            entries.push_back({line[1], line[2], line[3], line[0] == "replace"});
        for (int named = 0; line.size() == 2 && line[0] == "stage" && named < 4; ++named)
        {
            if (line[1] == kStageNames[named])
                stage = static_cast<SaveStage>(named);
        }
    }
    for (const CSaveRecordEntry& entry : entries)
        recovery.files.push_back(entry.target);

    // Every step is first asked whether it can be taken, for every file, so that a step that cannot
    // leaves every file as it is; then they are taken. Each can be taken again: a start cut off
    // while it recovers leaves the record for the next.
    CRecoverySteps steps{recovery, false};
    steps.Run(stage, entries, path);
    steps.act = true;
    if (recovery.error == XmlFileError::None)
        steps.Run(stage, entries, path);
    if (recovery.error != XmlFileError::None)
        recovery.outcome = CSaveRecovery::Outcome::Blocked;
    else if (entries.empty())
        recovery.outcome = CSaveRecovery::Outcome::Nothing; // cut off before it named a file
    return recovery;
}
