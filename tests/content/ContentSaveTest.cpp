// Save as one transaction over content files, with another program at work between its steps.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ContentSave.h"
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

// Answers every question with answer, after doing what another program does meanwhile.
struct CScriptedQuestions final : CSaveQuestions
{
    bool answer = false;
    std::function<void()> meanwhile;
    std::vector<std::string> asked;

    bool ReplaceAnyway(const CContentFile& file, XmlFileError found) override
    {
        asked.push_back(fs::path(file.Path()).filename().string() + (found == XmlFileError::NotFound ? " gone" : " changed"));
        if (meanwhile)
            meanwhile();
        return answer;
    }
};

std::string Outcomes(const std::vector<CSaveResult>& results)
{
    static const char* const names[] = {"unchanged", "read-only", "kept other", "saved", "failed",
                                        "not written", "put back", "not put back"};
    std::string text;
    for (const CSaveResult& result : results)
        text += std::string(text.empty() ? "" : ", ") + names[static_cast<int>(result.outcome)];
    return text;
}
} // namespace

// The person ticks Park on features.xml and Redial on softkeys.xml, then saves; another program
// works on the files before the save and while its question is open. A file is replaced only while
// it holds what the person agreed to replace, deleted files come back only with a Yes, and a failed
// step puts back what was already replaced.
TEST(ContentSave, ChecksTheDiskAgainBeforeEachFileAndPutsBackWhatItReplacedWhenAStepFails)
{
    enum Before { Nothing, SoftkeysEdited, FeaturesDeleted, FeaturesFolder };
    const struct
    {
        const char* name;
        Before before;
        bool answer;
        const char* meanwhile; // during the question: "features" edited or "moved", "softkeys" edited again
        const char* asked;
        const char* outcomes;
        const char* features; // afterwards; null: gone
        const char* softkeys;
    } rows[] = {
        {"both saved", Nothing, true, "", "", "saved, saved", kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"no keeps the other's version", SoftkeysEdited, false, "", "softkeys.xml changed", "saved, kept other",
         kFeaturesSaved.c_str(), kOther.c_str()},
        {"a file changed during the question is not replaced", SoftkeysEdited, false, "features",
         "softkeys.xml changed", "failed, kept other", kOther.c_str(), kOther.c_str()},
        {"a file moved during the question is not recreated", SoftkeysEdited, false, "moved",
         "softkeys.xml changed", "failed, kept other", nullptr, kOther.c_str()},
        {"yes replaces what was asked about", SoftkeysEdited, true, "", "softkeys.xml changed", "saved, saved",
         kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"changed again after the question: everything put back", SoftkeysEdited, true, "softkeys",
         "softkeys.xml changed", "put back, failed", kFeatures.c_str(), kFeatures.c_str()},
        {"a deleted file comes back after a yes", FeaturesDeleted, true, "", "features.xml gone", "saved, saved",
         kFeaturesSaved.c_str(), kSoftkeysSaved.c_str()},
        {"and stays away after a no", FeaturesDeleted, false, "", "features.xml gone", "kept other, saved",
         nullptr, kSoftkeysSaved.c_str()},
        {"a file that cannot be read back stops the save", FeaturesFolder, true, "", "", "failed, not written",
         "(folder)", kSoftkeys.c_str()},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const std::string folder = TestFolder();
        const std::string features = folder + "/features.xml";
        const std::string softkeys = folder + "/softkeys.xml";
        WriteBytes(features, kFeatures);
        WriteBytes(softkeys, kSoftkeys);
        CContentFile files[] = {CContentFile(CContentFile::Kind::List), CContentFile(CContentFile::Kind::List)};
        files[0].Open(features, u"features.xml");
        files[1].Open(softkeys, u"softkeys.xml");
        ASSERT_TRUE(files[0].SetLine(1, true) && files[1].SetLine(0, true));
        if (row.before == SoftkeysEdited)
            WriteBytes(softkeys, kOther);
        if (row.before != Nothing && row.before != SoftkeysEdited)
            fs::remove(features);
        if (row.before == FeaturesFolder)
            fs::create_directory(features);

        CScriptedQuestions questions;
        questions.answer = row.answer;
        const std::string meanwhile = row.meanwhile;
        questions.meanwhile = [&] {
            if (meanwhile == "features")
                WriteBytes(features, kOther);
            if (meanwhile == "moved")
                fs::rename(features, folder + "/../moved.xml");
            if (meanwhile == "softkeys")
                WriteBytes(softkeys, kFeatures);
        };
        const std::vector<CSaveResult> results = SaveContentFiles({&files[0], &files[1]}, &questions);
        EXPECT_EQ(Outcomes(results), row.outcomes);
        std::string asked;
        for (const std::string& question : questions.asked)
            asked += question;
        EXPECT_EQ(asked, row.asked);
        const std::string now = fs::is_directory(features) ? "(folder)" : fs::exists(features) ? ReadBytes(features) : "(gone)";
        EXPECT_EQ(now, row.features ? row.features : "(gone)");
        EXPECT_EQ(ReadBytes(softkeys), row.softkeys);
        std::vector<std::string> expected;
        for (const char* name : {"features.xml", "softkeys.xml"})
            if (fs::exists(folder + "/" + name))
                expected.push_back(name);
        EXPECT_EQ(FolderContents(folder), expected) << "nothing new is left beside the files";
        // What was saved is no change any more; what failed still is.
        const bool saved = results[0].outcome == SaveOutcome::Saved;
        EXPECT_EQ(files[0].HasChanges(), !saved && results[0].outcome != SaveOutcome::KeptOther);
        fs::remove(folder + "/../moved.xml");
    }
}

// A rollback the system refuses leaves the previous version where the save says, for good.
TEST(ContentSave, APreviousVersionThatCannotBePutBackIsKept)
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
        ASSERT_EQ(file.Prepare(save, nullptr), XmlFileError::None);
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
