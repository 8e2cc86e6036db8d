// Reading and writing files, and every way that can fail.
#include "XmlTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace
{

std::vector<std::string> FolderContents(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<CXmlDocument> Loaded(const std::string& text)
{
    auto document = std::make_unique<CXmlDocument>();
    document->LoadBytes(text.data(), text.size());
    return document;
}

// Files open in this process, where the system shows them.
std::size_t OpenDescriptors()
{
    std::error_code error;
    const fs::directory_iterator entries("/proc/self/fd", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(entries, fs::directory_iterator()));
}

} // namespace

TEST(Files, ParseFileReportsTheSameEventsAsParse)
{
    // A name assembled from two pieces, and a bare attribute ended by the next one's name.
    const std::string pieces = TestFolder() + "/pieces.xml";
    WriteBytes(pieces, "<a=b c d=\"1\"/>x");
    EXPECT_EQ(CRecorder::FileEvents(pieces), "S(ab)A(c)A(d=1)E(ab)T(x)");

    for (const char* name : {"features.xml", "softkeys.xml", "starthere.xml", "interface.xml", "odd.xml"})
    {
        const std::string path = DataPath(name);
        EXPECT_EQ(CRecorder::FileEvents(path), CRecorder::Events(ReadBytes(path))) << name;
    }
}

TEST(Files, UnreadableFilesFireNoEvent)
{
    const std::string folder = TestFolder();
    WriteBytes(folder + "/holds-nul.xml", std::string("<a>x\0y</a>", 10));
    WriteBytes(folder + "/utf16.xml", std::string("\xFF\xFE<\0a\0/\0>\0", 10));
    WriteBytes(folder + "/empty.xml", "");
    struct Case
    {
        std::string path;
        const char* events;
    };
    const std::vector<Case> cases = {
        {folder + "/missing.xml",       "unreadable"},
        {folder + "/no/such/dir/a.xml", "unreadable"},
        {folder,                        "unreadable"},
        {"",                            "unreadable"},
        {folder + "/holds-nul.xml",     "unreadable"},
        {folder + "/utf16.xml",         "unreadable"},
        {folder + "/empty.xml",         ""          },
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(CRecorder::FileEvents(c.path), c.events) << c.path;
        auto document = Loaded("<old/>");
        EXPECT_EQ(document->Load(c.path.c_str()), std::string(c.events).empty()) << c.path;
        // A failed load leaves the tree; an empty file adds nothing but forgets the old element.
        EXPECT_EQ(document->ToString(), "<old/>") << c.path;
    }
    EXPECT_FALSE(CXmlDocument().Load(nullptr));
}

TEST(Files, SaveReplacesTheWholeFileAndLeavesNothingBeside)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/content.xml";
    WriteBytes(path, std::string(5000, 'x'));
#ifndef _WIN32
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
#endif
    ASSERT_TRUE(Loaded("<a>short</a>")->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path), "<a>short</a>");
#ifndef _WIN32
    struct stat status; // the replacement keeps the target's permissions
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
#endif
    const std::string fresh = folder + "/new.xml";
    ASSERT_TRUE(Loaded("<b/>")->Save(fresh.c_str()));
    EXPECT_EQ(ReadBytes(fresh), "<b/>");
    ASSERT_TRUE(Loaded("")->Save(fresh.c_str()));
    EXPECT_EQ(ReadBytes(fresh), "");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"content.xml", "new.xml"}));

    // A leftover of an earlier run in the way of the new file is stepped around, not touched.
    WriteBytes(path + ".~0.tmp", "leftover");
    ASSERT_TRUE(Loaded("<c/>")->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path), "<c/>");
    EXPECT_EQ(ReadBytes(path + ".~0.tmp"), "leftover");
    EXPECT_EQ(FolderContents(folder),
              (std::vector<std::string>{"content.xml", "content.xml.~0.tmp", "new.xml"}));
}

TEST(Files, AFailedSaveLeavesTheOriginalUntouched)
{
    const std::string folder = TestFolder();
    const std::string original = "<original/>\n";
    WriteBytes(folder + "/keep.xml", original);
    fs::create_directory(folder + "/dir.xml");
    auto document = Loaded("<replacement/>");

    EXPECT_FALSE(document->Save((folder + "/no/such/dir/a.xml").c_str()));
    EXPECT_FALSE(document->Save((folder + "/dir.xml").c_str()));
    EXPECT_TRUE(fs::is_directory(folder + "/dir.xml"));
    EXPECT_TRUE(fs::is_empty(folder + "/dir.xml"));
    EXPECT_FALSE(document->Save(""));
    EXPECT_FALSE(document->Save(nullptr));
    EXPECT_EQ(ReadBytes(folder + "/keep.xml"), original);
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"dir.xml", "keep.xml"}));
}

// A read-only file is not replaced. Natively the check is the one the system makes for the
// user (root may write anything), so the expectation follows access().
TEST(Files, AReadOnlyTargetIsNotReplaced)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/locked.xml";
    const std::string original = "<locked/>";
    WriteBytes(path, original);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifdef _WIN32
    const bool writable = false;
#else
    const bool writable = ::access(path.c_str(), W_OK) == 0;
#endif
    EXPECT_EQ(Loaded("<new/>")->Save(path.c_str()), writable);
    EXPECT_EQ(ReadBytes(path), writable ? "<new/>" : original);
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"locked.xml"}));
#ifndef _WIN32
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
#endif
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

#ifndef _WIN32
// A write that fails part-way (here: past the file size limit of the process) leaves the target as
// it was and removes the new file.
TEST(Files, AWriteThatFailsLeavesTheOriginalAndNoNewFile)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/big.xml";
    const std::string original = "<small/>";
    WriteBytes(path, original);
    auto document = Loaded("<big>" + std::string(4u << 20, 'x') + "</big>");

    rlimit normal{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &normal), 0);
    rlimit limited = normal;
    limited.rlim_cur = 1u << 20;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool result = document->Save(path.c_str());
    ::setrlimit(RLIMIT_FSIZE, &normal);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"big.xml"}));
    ASSERT_TRUE(document->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), (4u << 20) + 11);
}
#endif

// Each allocation of a Load and of a Save in turn is refused, with every one after it: the call
// gives false and leaves the tree, the file, the folder and the open files as they were, until
// the run in which nothing is refused succeeds.
TEST(Files, LoadAndSaveSurviveRunningOutOfMemoryAtEveryAllocation)
{
    const std::string folder = TestFolder();
    const std::string target = folder + "/content.xml";
    const std::string source = DataPath("features.xml");
    const std::string original = "<original/>";
    const std::string before = "<old a=\"1\" b/>\n";
    struct Case
    {
        const char* operation;
        std::function<bool(CXmlDocument&)> run;
        std::string tree;   // after success
        std::string target; // after success
    };
    const std::vector<Case> cases = {
        {"Load", [&](CXmlDocument& d) { return d.Load(source.c_str()); },
         before + ReadBytes(DataPath("features.out.xml")),                        original},
        {"Save", [&](CXmlDocument& d) { return d.Save(target.c_str()); }, before, before  },
    };
    for (const Case& c : cases)
    {
        for (long refused = 0;; ++refused)
        {
            ASSERT_LT(refused, 1000) << c.operation;
            WriteBytes(target, original);
            auto document = Loaded(before);
            const CXmlNode* element = document->m_documentElement;
            const std::size_t descriptors = OpenDescriptors();
            FailAllocationsAfter(refused);
            const bool result = c.run(*document);
            const bool failed = AllowAllocations();
            const std::string when = std::string(c.operation) + ", allocation " + std::to_string(refused);
            EXPECT_EQ(result, !failed) << when;
            EXPECT_EQ(document->ToString(), failed ? before : c.tree) << when;
            EXPECT_EQ(ReadBytes(target), failed ? original : c.target) << when;
            EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"content.xml"}) << when;
            EXPECT_EQ(OpenDescriptors(), descriptors) << when;
            if (failed)
                EXPECT_EQ(document->m_documentElement, element) << when;
            else
                break;
        }
    }
}
