// Save over a set of content files as one transaction: another program at work between its steps,
// memory running out anywhere, and a crash at any step finished or undone by the next start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ContentSet.h"
#include "FileBytes.h"
#include "xml/XmlTestSupport.h"

namespace fs = std::filesystem;

namespace
{
const std::string kFeatures = "<features>\n<i name=\"Hold\" enabled=\"1\"/>\n<i name=\"Park\" enabled=\"0\"/>\n</features>\n";
const std::string kSoftkeys = "<softkeys>\n<i name=\"Redial\" enabled=\"0\"/>\n</softkeys>\n";
const std::string kFeaturesSaved = "<features>\n<i name=\"Hold\" enabled=\"1\"/>\n<i name=\"Park\" enabled=\"1\"/>\n</features>\n";
const std::string kSoftkeysSaved = "<softkeys>\n<i name=\"Redial\" enabled=\"1\"/>\n</softkeys>\n";
const std::string kOther = "<features>\n<i name=\"New\" enabled=\"1\"/>\n</features>\n";
const char* const kNames[] = {"features.xml", "softkeys.xml", "starthere.xml", "interface.xml"};

// What happens before each step of a save that changes the disk.
std::function<void(const char*)> g_onStep;
void OnStep(const char* step)
{
    if (g_onStep)
        g_onStep(step);
}

// count files of a folder, features.xml and softkeys.xml first, in a set with the second line of
// each ticked (Park, Redial).
struct CTicked
{
    std::string folder;
    std::vector<CContentSet::CSource> sources;
    CContentSet set;
    std::vector<CSaveRecovery> recovered;

    CTicked(std::string in, std::size_t count, bool write = true)
        : folder(std::move(in)), set(std::vector<CContentFile::Kind>(count, CContentFile::Kind::List))
    {
        fs::create_directories(fs::u8path(folder));
        for (std::size_t i = 0; i < count; ++i)
        {
            sources.push_back({u"tab", folder + "/" + kNames[i], u"file"});
            if (write)
                WriteBytes(sources.back().path, i == 1 ? kSoftkeys : kFeatures);
        }
        recovered = set.Open(sources);
        for (std::size_t i = 0; write && i < count; ++i)
            EXPECT_TRUE(set.File(i).SetLine(i == 1 ? 0 : 1, true));
        XmlDisk::SetStepHook(OnStep);
    }
    std::string Bytes(std::size_t i) const
    {
        const fs::path path = fs::u8path(sources[i].path);
        return fs::is_directory(path) ? "(folder)" : fs::exists(path) ? ReadBytes(sources[i].path) : "(gone)";
    }
    // "old" or "new" for each file, and "other" for neither.
    std::string States() const
    {
        std::string states;
        for (std::size_t i = 0; i < sources.size(); ++i)
        {
            const std::string bytes = Bytes(i);
            states += std::string(i ? " " : "") + (bytes == (i == 1 ? kSoftkeys : kFeatures)            ? "old"
                                                   : bytes == (i == 1 ? kSoftkeysSaved : kFeaturesSaved) ? "new"
                                                                                                         : "other");
        }
        return states;
    }
};

// Answers every question with answer, after doing what another program does meanwhile.
struct CScriptedQuestions final : CSaveQuestions
{
    SaveAnswer answer = SaveAnswer::KeepOther;
    std::function<void()> meanwhile;
    std::string asked;

    SaveAnswer AskReplace(const CContentFile& file, XmlFileError found) override
    {
        asked += fs::u8path(file.Path()).filename().u8string() + (found == XmlFileError::NotFound ? " gone" : " changed");
        if (meanwhile)
            meanwhile();
        return answer;
    }
};

std::string Outcomes(const std::vector<CSaveResult>& results)
{
    static const char* const names[] = {"unchanged", "read-only", "kept other", "saved", "failed",
                                        "not written", "put back", "not put back", "cancelled"};
    std::string text;
    for (const CSaveResult& result : results)
    {
        text += std::string(text.empty() ? "" : ", ") + names[static_cast<int>(result.outcome)];
        if (result.error == XmlFileError::ReadOnly || result.error == XmlFileError::Changed)
            text += result.error == XmlFileError::ReadOnly ? " (read-only)" : " (changed)";
    }
    return text;
}
} // namespace

// The person ticks Park on features.xml and Redial on softkeys.xml, then saves; another program
// works on the files before the save, while its question is open, or just before a step of the
// save ("rename 1": the first file's new version taking its name). A file is replaced only while
// it holds what the person agreed to replace, deleted files come back only with a Yes, Cancel
// writes nothing, and a failed step puts back what was already replaced.
TEST(ContentSet, ChecksTheDiskBeforeAndAfterEachFileAndPutsBackWhatItReplacedWhenAStepFails)
{
    enum Before { Nothing, SoftkeysEdited, FeaturesDeleted, FeaturesFolder };
    constexpr SaveAnswer Yes = SaveAnswer::Replace, No = SaveAnswer::KeepOther, Cancel = SaveAnswer::Cancel;
    const struct
    {
        const char* name;
        Before before;
        SaveAnswer answer;
        const char* when; // "question", or a step and its count
        const char* meanwhile; // "features" edited or "moved" or made "read-only", "softkeys" edited again
        const char* asked;
        const char* outcomes;
        const char* features; // afterwards
        const char* softkeys;
    } rows[] = {
        {"both saved", Nothing, Yes, "", "", "", "saved, saved", kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"no keeps the other's version", SoftkeysEdited, No, "", "", "softkeys.xml changed", "saved, kept other",
         kFeaturesSaved.c_str(), kOther.c_str()},
        {"cancel writes nothing and keeps every choice", SoftkeysEdited, Cancel, "", "", "softkeys.xml changed",
         "cancelled, cancelled", kFeatures.c_str(), kOther.c_str()},
        {"a file changed during the question is not replaced", SoftkeysEdited, No, "question", "features",
         "softkeys.xml changed", "failed (changed), kept other", kOther.c_str(), kOther.c_str()},
        {"a file moved during the question is not recreated", SoftkeysEdited, No, "question", "moved",
         "softkeys.xml changed", "failed, kept other", "(gone)", kOther.c_str()},
        {"yes replaces what was asked about", SoftkeysEdited, Yes, "", "", "softkeys.xml changed", "saved, saved",
         kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"changed again after the question: everything put back", SoftkeysEdited, Yes, "question", "softkeys",
         "softkeys.xml changed", "put back, failed (changed)", kFeatures.c_str(), kFeatures.c_str()},
        {"a write in the last moment before the rename is kept", Nothing, Yes, "rename 1", "features", "",
         "failed (changed), not written", kOther.c_str(), kSoftkeys.c_str()},
        {"and puts back the file before it", Nothing, Yes, "rename 2", "softkeys", "",
         "put back, failed (changed)", kFeatures.c_str(), kFeatures.c_str()},
        {"marked read-only just before its turn", Nothing, Yes, "record 2", "read-only", "",
         "failed (read-only), not written", kFeatures.c_str(), kSoftkeys.c_str()},
        {"marked read-only at the last moment", Nothing, Yes, "link 1", "read-only", "",
         "failed (read-only), not written", kFeatures.c_str(), kSoftkeys.c_str()},
        {"a deleted file comes back after a yes", FeaturesDeleted, Yes, "", "", "features.xml gone", "saved, saved",
         kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"and stays away after a no", FeaturesDeleted, No, "", "", "features.xml gone", "kept other, saved",
         "(gone)", kSoftkeysSaved.c_str()},
        {"a file that cannot be read back stops the save", FeaturesFolder, Yes, "", "", "", "failed, not written",
         "(folder)", kSoftkeys.c_str()},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        CTicked ticked(TestFolder(), 2);
        const std::string& features = ticked.sources[0].path;
        const std::string& softkeys = ticked.sources[1].path;
        if (row.before == SoftkeysEdited)
            WriteBytes(softkeys, kOther);
        if (row.before != Nothing && row.before != SoftkeysEdited)
            fs::remove(features);
        if (row.before == FeaturesFolder)
            fs::create_directory(features);

        const std::string meanwhile = row.meanwhile;
        const auto act = [&] {
            if (meanwhile == "features")
                WriteBytes(features, kOther);
            if (meanwhile == "moved")
                fs::rename(features, ticked.folder + "/../moved.xml");
            if (meanwhile == "softkeys")
                WriteBytes(softkeys, kFeatures);
            if (meanwhile == "read-only")
                fs::permissions(features, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        };
        CScriptedQuestions questions;
        questions.answer = row.answer;
        if (std::string(row.when) == "question")
            questions.meanwhile = act;
        std::map<std::string, int> seen;
        g_onStep = [&](const char* step) {
            if (std::string(step) + " " + std::to_string(++seen[step]) == row.when)
                act();
        };
        const std::vector<CSaveResult> results = ticked.set.Save(&questions);
        g_onStep = nullptr;
        EXPECT_EQ(Outcomes(results), row.outcomes);
        EXPECT_EQ(questions.asked, row.asked);
        EXPECT_EQ(ticked.Bytes(0), row.features);
        EXPECT_EQ(ticked.Bytes(1), row.softkeys);
        std::error_code ignored;
        fs::permissions(features, fs::perms::owner_all, fs::perm_options::add, ignored);
        std::vector<std::string> expected;
        for (const char* name : {"features.xml", "softkeys.xml"})
            if (fs::exists(ticked.folder + "/" + name))
                expected.push_back(name);
        EXPECT_EQ(FolderContents(ticked.folder), expected) << "nothing new is left beside the files";
        // What was saved is no change any more; what failed or was cancelled still is.
        for (std::size_t i = 0; i < 2; ++i)
            EXPECT_EQ(ticked.set.File(i).HasChanges(),
                      results[i].outcome != SaveOutcome::Saved && results[i].outcome != SaveOutcome::KeptOther);
        fs::remove(ticked.folder + "/../moved.xml");
    }
}

// Ticked, saved, unticked and saved again: the second save writes the change back, a third writes
// nothing. A file a later tab names too, however spelled, is edited on the first tab only.
TEST(ContentSet, ASecondSaveWritesWhatChangedSinceTheFirstAndOneFileHasOneEditor)
{
    CTicked ticked(TestFolder(), 2);
    EXPECT_EQ(Outcomes(ticked.set.Save(nullptr)), "saved, saved");
    ASSERT_TRUE(ticked.set.File(0).SetLine(1, false));
    EXPECT_EQ(Outcomes(ticked.set.Save(nullptr)), "saved, unchanged");
    EXPECT_EQ(ticked.States(), "old new");
    EXPECT_EQ(Outcomes(ticked.set.Save(nullptr)), "unchanged, unchanged");

    CContentSet twice({CContentFile::Kind::List, CContentFile::Kind::List});
    twice.Open({{u"Features", ticked.sources[0].path, u"a"}, {u"Softkeys", ticked.folder + "/./features.xml", u"b"}});
    EXPECT_EQ(twice.File(0).Lock(), ContentLock::None);
    EXPECT_EQ(twice.File(1).Lock(), ContentLock::EditedOnOtherTab);
    EXPECT_EQ(twice.File(1).EditorTab(), u"Features");
}

// Every allocation of a save may fail: the save then ends as a failure the person is told of,
// with every file as it was and nothing left beside them.
TEST(ContentSet, RunningOutOfMemoryAnywhereInASaveLeavesEveryFileAsItWas)
{
    for (long refused = 0;; ++refused)
    {
        CTicked ticked(TestFolder(), 2);
        std::vector<CSaveResult> results;
        FailAllocationsAfter(refused);
        try
        {
            results = ticked.set.Save(nullptr);
        }
        catch (const std::bad_alloc&)
        {
        }
        const bool failed = AllowAllocations();
        ASSERT_LT(refused, 2000);
        if (!failed)
        {
            EXPECT_EQ(ticked.States(), "new new");
            break;
        }
        const std::string when = "allocation " + std::to_string(refused);
        EXPECT_EQ(ticked.States(), "old old") << when;
        EXPECT_EQ(FolderContents(ticked.folder), (std::vector<std::string>{"features.xml", "softkeys.xml"})) << when;
        const bool told = results.empty() || Outcomes(results).find("failed") != std::string::npos;
        EXPECT_TRUE(told) << when << ": " << Outcomes(results);
    }
}

// A save of four files is cut off before each of its steps, as if the process were killed there.
// Every file is whole at that moment, and the next start leaves all four as they were or all four
// saved, with nothing of the save's left beside them and the person's own files untouched.
TEST(ContentSetDeathTest, ASaveCutOffAtAnyStepIsFinishedOrUndoneByTheNextStart)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string root = TestFolder();
    int steps = 0;
    {
        CTicked ticked(root + "/count", 4);
        g_onStep = [&](const char*) { ++steps; };
        ticked.set.Save(nullptr);
        g_onStep = nullptr;
        ASSERT_EQ(ticked.States(), "new new new new");
    }
    for (int crash = 1; crash <= steps; ++crash)
    {
        const std::string folder = root + "/" + std::to_string(crash);
        CTicked ticked(folder, 4);
        WriteBytes(folder + "/features.xml.~3.tmp", "mine");
        EXPECT_EXIT(
            {
                int step = 0;
                g_onStep = [&](const char*) {
                    if (++step == crash)
                        std::_Exit(3);
                };
                ticked.set.Save(nullptr);
                std::_Exit(0);
            },
            testing::ExitedWithCode(3), "")
            << "step " << crash;
        const std::string cutOff = ticked.States();
        EXPECT_EQ(cutOff.find("other"), std::string::npos) << "step " << crash << ": " << cutOff;

        CTicked next(folder, 4, false);
        const std::string after = next.States();
        EXPECT_TRUE(after == "old old old old" || after == "new new new new") << "step " << crash << ": " << after;
        EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"features.xml", "features.xml.~3.tmp",
                                                                    "interface.xml", "softkeys.xml", "starthere.xml"}))
            << "step " << crash;
        // The start says what it found, unless the save had left nothing on the disk yet.
        const bool placed = cutOff.find("new") != std::string::npos;
        const CSaveRecovery::Outcome outcome =
            next.recovered.empty() ? CSaveRecovery::Outcome::Nothing : next.recovered[0].outcome;
        EXPECT_EQ(outcome, crash <= 2                 ? CSaveRecovery::Outcome::Nothing
                           : after == "new new new new" ? CSaveRecovery::Outcome::Finished
                           : placed                     ? CSaveRecovery::Outcome::Undone
                                                        : outcome)
            << "step " << crash;
        EXPECT_NE(outcome, CSaveRecovery::Outcome::Blocked) << "step " << crash;
        EXPECT_EQ(next.recovered.empty() ? 0u : next.recovered[0].files.size(), crash <= 2 ? 0u : 4u) << "step " << crash;
    }
}

// A save cut off after both files took their places; a start that cannot undo one of them (a folder
// stands in its place) says which and changes nothing, and the next start undoes both.
TEST(ContentSet, AStartThatCannotFinishARecoveryLeavesEveryFileAsItIs)
{
    const std::string folder = TestFolder();
    std::vector<CSaveRecordEntry> entries;
    for (const char* name : {"features.xml", "softkeys.xml"})
    {
        const std::string target = folder + "/" + name;
        WriteBytes(target, kFeaturesSaved);
        WriteBytes(target + ".~0.old", kFeatures);
        entries.push_back({target, target + ".~0.tmp", target + ".~0.old", true});
    }
    CSaveRecord record;
    ASSERT_EQ(record.Begin(folder + "/" + kSaveRecordName, entries), XmlFileError::None);
    ASSERT_EQ(record.Mark(SaveStage::Placing), XmlFileError::None);
    record.Leave();
    fs::remove(entries[0].target);
    fs::create_directory(entries[0].target);
    const std::vector<std::string> before = FolderContents(folder);

    CTicked blocked(folder, 2, false);
    ASSERT_EQ(blocked.recovered.size(), 1u);
    EXPECT_EQ(blocked.recovered[0].outcome, CSaveRecovery::Outcome::Blocked);
    EXPECT_EQ(blocked.recovered[0].path, entries[0].target);
    EXPECT_EQ(FolderContents(folder), before);
    EXPECT_EQ(ReadBytes(entries[1].target), kFeaturesSaved) << "nothing was undone";

    fs::remove(entries[0].target);
    CTicked next(folder, 2, false);
    ASSERT_EQ(next.recovered.size(), 1u);
    EXPECT_EQ(next.recovered[0].outcome, CSaveRecovery::Outcome::Undone);
    EXPECT_EQ(ReadBytes(entries[0].target) + ReadBytes(entries[1].target), kFeatures + kFeatures);
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"features.xml", "softkeys.xml"}));
}

// A rollback the system refuses leaves the previous version where the save says, for good.
TEST(ContentSet, APreviousVersionThatCannotBePutBackIsKept)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/features.xml";
    WriteBytes(path, kFeatures);
    CContentFile file(CContentFile::Kind::List);
    file.Open(path, u"features.xml");
    ASSERT_TRUE(file.SetLine(1, true));
    std::string kept;
    {
        CXmlPendingSave save;
        ASSERT_EQ(file.Prepare(save, nullptr, nullptr), XmlFileError::None);
        ASSERT_EQ(save.Commit(), XmlFileError::None);
        // Another program puts a folder in the file's place.
        fs::remove(path);
        fs::create_directories(path + "/inside");
        EXPECT_NE(save.Rollback(), XmlFileError::None);
        kept = save.KeptPath();
    }
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadBytes(kept), kFeatures);
}
