// Reading and writing files in every encoding, and every way that can fail.
#include "XmlTestSupport.h"
#include "XmlText.h"

#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace
{

constexpr unsigned kAnsi = 0; // stands for SystemAnsiCodePage() in the tables

std::string Utf16(const std::string& utf8, bool bigEndian, bool mark)
{
    std::string bytes;
    EXPECT_TRUE(Utf8ToUtf16Bytes(utf8, bigEndian, bytes));
    return (mark ? std::string(bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "") + bytes;
}

std::string Utf8(std::u16string_view text)
{
    std::string utf8;
    EXPECT_TRUE(Utf16ToUtf8(text, utf8));
    return utf8;
}

std::string ValueOfN(const CXmlDocument& document)
{
    const CXmlNode* element = document.m_documentElement;
    const CXmlAttribute* n = element ? element->FindAttribute("n") : nullptr;
    return n ? Utf8(DecodeXmlValue(n->m_value.str(), document.CodePage())) : "<no n>";
}

// Files open in this process, where the system shows them.
std::size_t OpenDescriptors()
{
    std::error_code error;
    const fs::directory_iterator entries("/proc/self/fd", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(entries, fs::directory_iterator()));
}

} // namespace

// Each file comes back byte for byte, through memory and through a file; the tree holds 8-bit text
// in the code page the document names, and an edit is written in the file's encoding.
TEST(Files, EveryEncodingIsReadAndWrittenBackByteForByte)
{
    const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<a n=\"Caf\xC3\xA9\"/>";
    const std::string pair = "<a n=\"\xF0\x9F\x98\x80 Caf\xC3\xA9\">\xE2\x98\xBA</a>";
    // Longer than the writer's buffer, with characters across its end.
    std::string large = "<a n=\"\xC3\xA9\">";
    for (int i = 0; i < 20000; ++i)
        large += "\xE2\x82\xAC\xF0\x9F\x98\x80";
    large += "</a>";
    const struct
    {
        std::string text; // UTF-8
        char form;        // 8-bit as it is; UTF-16 'l'ittle or 'b'ig endian with a mark, 'L' or 'B' without
        unsigned codePage;
        const char* value; // of n, decoded to UTF-8; null: not checked
    } rows[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a n=\"Caf\xC3\xA9\"/>\r\n",      '8', 65001, "Café"     },
        {"\xEF\xBB\xBF<a n=\"&#x263A; Caf\xC3\xA9\"/>",                                   '8', 65001, "☺ Café" },
        {pair,                                                                            'l', 65001, "😀 Café"},
        {pair,                                                                            'b', 65001, "😀 Café"},
        {declared,                                                                        'L', 65001, "Café"     },
        {declared,                                                                        'B', 65001, "Café"     },
        {large,                                                                           'l', 65001, "é"        },
        {"<?xml version='1.0' encoding='windows-1251'?><a n=\"\xC6\xF3\xEA\"/>",          '8', 1251,  "Жук"    },
        {"<?xml version='1.0' encoding='Shift_JIS'?><a n=\"\x93\xFA\x96\x7B\x95\x5C\"/>", '8', 932,   "日本表" },
        {"<a n=\"Caf\xE9\"/>",                                                            '8', kAnsi, nullptr     },
    };
    const std::string folder = TestFolder();
    for (const auto& row : rows)
    {
        const std::string bytes =
            row.form == '8' ? row.text : Utf16(row.text, row.form == 'b' || row.form == 'B', row.form >= 'a');
        auto document = Loaded(bytes);
        const std::string label = row.text.substr(0, 60) + " as " + row.form;
        EXPECT_EQ(document->CodePage(), row.codePage == kAnsi ? SystemAnsiCodePage() : row.codePage) << label;
        if (row.value)
        {
            EXPECT_EQ(ValueOfN(*document), row.value) << label;
        }
        EXPECT_TRUE(document->ToString() == bytes) << label;
        const std::string path = folder + "/file.xml";
        ASSERT_TRUE(document->Save(path.c_str()));
        EXPECT_TRUE(ReadBytes(path) == bytes) << label;

        document->m_documentElement->FindAttribute("n")->m_value =
            EncodeXmlValue(u"Ñ & ☺", document->CodePage());
        ASSERT_TRUE(document->Save(path.c_str()));
        auto again = std::make_unique<CXmlDocument>();
        ASSERT_TRUE(again->Load(path.c_str()));
        EXPECT_EQ(ValueOfN(*again), "Ñ & ☺") << label;
        EXPECT_EQ(again->ToString().substr(0, 6), bytes.substr(0, 6)) << label;
    }
}

// A file that cannot be read whole, or does not convert cleanly, loads nothing and changes nothing.
TEST(Files, UnreadableFilesLeaveTheDocumentAsItWas)
{
    const std::string folder = TestFolder();
    fs::create_directory(fs::u8path(folder + "/dir.xml"));
    const struct
    {
        const char* name;
        std::string bytes; // written first unless empty
        bool parsable;     // by ParseFile, which reads any 8-bit file without a NUL
    } cases[] = {
        {"missing.xml",                       "",                                false                 },
        {"no/such/dir/a.xml",                 "",                                false                 },
        {"dir.xml",                           "",                                false                 },
        {"",                                  "",                                false                 },
        {"nul.xml",                           std::string("<a>x\0y</a>",         10),                    false},
        {"odd.xml",                                   std::string("\xFF\xFE<\0a\0/\0>",                                                            9),                false},
        {"surrogate.xml",                              std::string("\xFF\xFE<\0a\0\x3D\xD8/\0>\0",                                                               12),                                                        false},
        {"reversed.xml",                                std::string("\0<\0?\xDC\0\xD8\x3D",8),false},
        {"utf16nul.xml",std::string("\xFE\xFF\0<\0\0\0>",    8),                                                         false},
        {"sjis.xml",                      "<?xml version='1.0' encoding='Shift_JIS'?><a n=\"\x93\"/>",                                                      true                                                                      },
        {"ascii.xml",                                   "<?xml version='1.0' encoding='us-ascii'?><a n=\"\xE9\"/>",                                                           true},
    };
    const std::string old = "<?xml version='1.0' encoding='koi8-r'?><old/>";
    for (const auto& c : cases)
    {
        const std::string path = *c.name ? folder + "/" + c.name : "";
        if (!c.bytes.empty())
            WriteBytes(path, c.bytes);
        EXPECT_EQ(CRecorder::FileEvents(path) != "unreadable", c.parsable) << c.name;
        auto document = Loaded(old);
        const CXmlNode* element = document->m_documentElement;
        EXPECT_FALSE(document->Load(path.c_str())) << c.name;
        EXPECT_FALSE(!c.bytes.empty() && document->LoadBytes(c.bytes.data(), c.bytes.size())) << c.name;
        EXPECT_EQ(document->ToString(), old) << c.name;
        EXPECT_EQ(document->CodePage(), 20866u) << c.name;
        EXPECT_EQ(document->m_documentElement, element) << c.name;
    }
    EXPECT_FALSE(CXmlDocument().Load(nullptr));
    EXPECT_EQ(CXmlDocument().CodePage(), 65001u);
}

TEST(Files, ParseFileReportsTheSameEventsAsParse)
{
    // A name assembled from two pieces, and a bare attribute ended by the next one's name.
    const std::string pieces = TestFolder() + "/pieces.xml";
    WriteBytes(pieces, "<a=b c d=\"1\"/>x");
    EXPECT_EQ(CRecorder::FileEvents(pieces), "S(ab)A(c)A(d=1)E(ab)T(x)");
    for (const char* name : {"features.xml", "softkeys.xml", "starthere.xml", "interface.xml", "odd.xml"})
        EXPECT_EQ(CRecorder::FileEvents(DataPath(name)), CRecorder::Events(ReadBytes(DataPath(name))))
            << name;
}

// Created, replaced and read again in a folder whose name is not ASCII (on Windows through the
// W file functions).
TEST(Files, Utf8PathsAreReadAndWritten)
{
    const std::string folder =
        TestFolder() + "/T\xC3\xA9l\xC3\xA9phone \xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC";
    ASSERT_TRUE(fs::create_directory(fs::u8path(folder)));
    const std::string path = folder + "/\xC3\xA9.xml";
    const std::string bytes = Utf16("<a n=\"x\"/>", false, true);
    ASSERT_TRUE(Loaded("<old/>")->Save(path.c_str()));
    ASSERT_TRUE(Loaded(bytes)->Save(path.c_str()));
    auto document = std::make_unique<CXmlDocument>();
    ASSERT_TRUE(document->Load(path.c_str()));
    EXPECT_EQ(document->ToString(), bytes);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"\xC3\xA9.xml"});
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
    // A leftover of an earlier run in the way of the new file is stepped around, not touched.
    WriteBytes(path + ".~0.tmp", "leftover");
    ASSERT_TRUE(Loaded("")->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(ReadBytes(path + ".~0.tmp"), "leftover");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"content.xml", "content.xml.~0.tmp"}));
}

TEST(Files, AFailedSaveLeavesTheOriginalUntouched)
{
    const std::string folder = TestFolder();
    WriteBytes(folder + "/keep.xml", "<original/>");
    fs::create_directory(folder + "/dir.xml");
    auto document = Loaded("<replacement/>");
    for (const char* name : {"/no/such/dir/a.xml", "/dir.xml", "/keep.xml/a.xml"})
        EXPECT_FALSE(document->Save((folder + name).c_str())) << name;
    EXPECT_FALSE(document->Save(""));
    EXPECT_FALSE(document->Save(nullptr));
    // A UTF-16 file's tree given bytes that are not UTF-8 cannot be written.
    auto utf16 = Loaded(Utf16("<a n=\"x\"/>", true, true));
    utf16->m_documentElement->FindAttribute("n")->m_value = "\xE9";
    EXPECT_FALSE(utf16->Save((folder + "/keep.xml").c_str()));
    EXPECT_EQ(utf16->ToString(), "");
    EXPECT_TRUE(fs::is_empty(folder + "/dir.xml"));
    EXPECT_EQ(ReadBytes(folder + "/keep.xml"), "<original/>");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"dir.xml", "keep.xml"}));
}

TEST(Files, AReadOnlyTargetIsNotReplaced)
{
#ifndef _WIN32
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write to a read-only file; the refusal is tested with a folder as target";
#endif
    const std::string folder = TestFolder();
    const std::string path = folder + "/locked.xml";
    WriteBytes(path, "<locked/>");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(Loaded("<new/>")->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path), "<locked/>");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"locked.xml"}));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

#ifndef _WIN32
// A write that fails part-way (past the file size limit of the process) leaves the target as it was
// and removes the new file.
TEST(Files, AWriteThatFailsLeavesTheOriginalAndNoNewFile)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/big.xml";
    WriteBytes(path, "<small/>");
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
    EXPECT_EQ(ReadBytes(path), "<small/>");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"big.xml"}));
}
#endif

// Each allocation of a Load and of a Save in turn is refused, with every one after it: the call
// gives false and leaves the tree, the file, the folder and the open files as they were, until
// the run in which nothing is refused succeeds.
TEST(Files, LoadAndSaveSurviveRunningOutOfMemoryAtEveryAllocation)
{
    const std::string folder = TestFolder();
    const std::string target = folder + "/content.xml";
    const std::string utf16 = folder + "/utf16.xml";
    const std::string utf16Bytes = Utf16("<u n=\"\xC3\xA9\"/>", true, true);
    const std::string source = DataPath("features.xml");
    const std::string before = "<old a=\"1\" b/>\n";
    struct Case
    {
        const char* operation;
        std::function<bool(CXmlDocument&)> run;
        std::string tree;   // after success
        std::string target; // after success
    };
    const std::vector<Case> cases = {
        {"Load",         [&](CXmlDocument& d) { return d.Load(source.c_str()); },
         before + ReadBytes(DataPath("features.out.xml")), "<original/>"                 },
        {"Load UTF-16",  [&](CXmlDocument& d) { return d.Load(utf16.c_str()); },
         Utf16(before + "<u n=\"\xC3\xA9\"/>",             true,                           true), "<original/>"},
        {"Save", [&](CXmlDocument& d) { return d.Save(target.c_str()); },                                                        before,                          before},
    };
    for (const Case& c : cases)
    {
        for (long refused = 0;; ++refused)
        {
            ASSERT_LT(refused, 1000) << c.operation;
            std::error_code error;
            fs::remove(utf16, error);
            WriteBytes(target, "<original/>");
            auto document = Loaded(before);
            const CXmlNode* element = document->m_documentElement;
            WriteBytes(utf16, utf16Bytes);
            const std::size_t descriptors = OpenDescriptors();
            FailAllocationsAfter(refused);
            const bool result = c.run(*document);
            const bool failed = AllowAllocations();
            const std::string when = std::string(c.operation) + ", allocation " + std::to_string(refused);
            EXPECT_EQ(result, !failed) << when;
            EXPECT_EQ(document->ToString(), failed ? before : c.tree) << when;
            EXPECT_EQ(ReadBytes(target), failed ? "<original/>" : c.target) << when;
            EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"content.xml", "utf16.xml"})) << when;
            EXPECT_EQ(OpenDescriptors(), descriptors) << when;
            EXPECT_EQ(document->CodePage(), 65001u) << when;
            if (failed)
                EXPECT_EQ(document->m_documentElement, element) << when;
            else
                break;
        }
    }
}
