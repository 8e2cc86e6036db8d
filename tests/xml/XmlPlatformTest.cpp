// Reading and writing files in every encoding, and every way that can fail.
#include "XmlTestSupport.h"
#include "XmlText.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_view_literals;

namespace
{
constexpr unsigned kAnsi = 0; // stands for SystemAnsiCodePage() in the tables

std::string Utf16(const std::string& utf8, bool bigEndian, bool mark)
{
    std::string bytes;
    EXPECT_TRUE(Utf8ToUtf16Bytes(utf8, bigEndian, bytes));
    return (mark ? std::string(bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "") + bytes;
}

// n of the document element, decoded to UTF-8.
std::string ValueOfN(const CXmlDocument& document)
{
    std::string utf8;
    const CXmlString& n = document.m_documentElement->FindAttribute("n")->m_value;
    return Utf16ToUtf8(DecodeXmlValue(n.str(), document.TreeCodePage()), utf8) ? utf8 : "<not UTF-16>";
}
} // namespace

// Each file comes back byte for byte, through memory and through a file in a folder whose name is
// not ASCII (on Windows through the W file functions); the tree holds 8-bit text in the code page
// the document names, and an edit is written in the file's encoding.
TEST(Files, EveryEncodingIsReadAndWrittenBackByteForByte)
{
    const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<a n=\"Caf\xC3\xA9\"/>";
    const std::string pair = "<a n=\"\xF0\x9F\x98\x80 Caf\xC3\xA9\">\xE2\x98\xBA</a>";
    // UTF-8; as it is ('8') or in UTF-16 'l'ittle or 'b'ig endian with a mark, 'L' or 'B' without; the
    // document's code page; n decoded to UTF-8 (null: not checked).
    const std::tuple<std::string, char, unsigned, const char*> rows[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a n=\"Caf\xC3\xA9\"/>\r\n",      '8', 65001, "Café"     },
        {"\xEF\xBB\xBF<a n=\"&#x263A; Caf\xC3\xA9\"/>",                                   '8', 65001, "☺ Café" },
        {pair,                                                                            'l', 65001, "😀 Café"},
        {pair,                                                                            'b', 65001, "😀 Café"},
        {declared,                                                                        'L', 65001, "Café"     },
        {declared,                                                                        'B', 65001, "Café"     },
        {"<?xml version='1.0' encoding='windows-1251'?><a n=\"\xC6\xF3\xEA\"/>",          '8', 1251,  "Жук"    },
        {"<?xml version='1.0' encoding='Shift_JIS'?><a n=\"\x93\xFA\x96\x7B\x95\x5C\"/>", '8',
         kCodePageShiftJis,                                                                           "日本表" },
        {"<a n=\"Caf\xE9\"/>",                                                            '8', kAnsi, nullptr     },
    };
    const std::string folder =
        TestFolder() + "/T\xC3\xA9l\xC3\xA9phone \xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC";
    ASSERT_TRUE(fs::create_directory(fs::u8path(folder)));
    for (const auto& [text, form, codePage, value] : rows)
    {
        const std::string bytes = form == '8' ? text : Utf16(text, form == 'b' || form == 'B', form >= 'a');
        auto document = Loaded(bytes);
        const std::string label = text + " as " + form;
        EXPECT_EQ(document->TreeCodePage(), codePage == kAnsi ? SystemAnsiCodePage() : codePage) << label;
        EXPECT_EQ(value ? ValueOfN(*document) : "", value ? value : "") << label;
        EXPECT_TRUE(document->ToString() == bytes) << label;
        const std::string path = folder + "/\xC3\xA9.xml";
        fs::remove(fs::u8path(path));
        ASSERT_TRUE(document->Save(path.c_str()));
        EXPECT_TRUE(ReadBytes(path) == bytes) << label;

        document->m_documentElement->FindAttribute("n")->m_value =
            EncodeXmlValue(u"Ñ & ☺", document->TreeCodePage());
        ASSERT_TRUE(document->Save(path.c_str()));
        auto again = std::make_unique<CXmlDocument>();
        ASSERT_TRUE(again->Load(path.c_str()));
        EXPECT_EQ(ValueOfN(*again), "Ñ & ☺") << label;
        EXPECT_EQ(again->ToString().substr(0, 6), bytes.substr(0, 6)) << label;
    }
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"\xC3\xA9.xml"});
}

// A file that cannot be read whole, or does not convert cleanly, loads nothing and changes nothing.
TEST(Files, UnreadableFilesLeaveTheDocumentAsItWas)
{
    const std::string folder = TestFolder();
    fs::create_directory(fs::u8path(folder + "/dir.xml"));
    // Name, the bytes written first unless empty, and whether ParseFile (which reads any 8-bit file
    // without a NUL) reads it.
    const std::tuple<const char*, std::string_view, bool> cases[] = {
        {"missing.xml",       ""sv,                                                          false},
        {"no/such/dir/a.xml", ""sv,                                                          false},
        {"dir.xml",           ""sv,                                                          false},
        {"",                  ""sv,                                                          false},
        {"holds-nul.xml",     "<a>x\0y</a>"sv,                                               false},
        {"odd.xml",           "\xFF\xFE<\0a\0/\0>"sv,                                        false},
        {"surrogate.xml",     "\xFF\xFE<\0a\0\x3D\xD8/\0>\0"sv,                              false},
        {"utf16nul.xml",      "\xFE\xFF\0<\0\0\0>"sv,                                        false},
        {"sjis.xml",          "<?xml version='1.0' encoding='Shift_JIS'?><a n=\"\x93\"/>"sv, true },
        {"ascii.xml",         "<?xml version='1.0' encoding='us-ascii'?><a n=\"\xE9\"/>"sv,  true },
    };
    const std::string old = "<?xml version='1.0' encoding='koi8-r'?><old/>";
    for (const auto& [name, bytes, parsable] : cases)
    {
        const std::string path = *name ? folder + "/" + name : "";
        if (!bytes.empty())
            WriteBytes(path, std::string(bytes));
        EXPECT_EQ(CXmlParser().ParseFile(path.c_str()), parsable) << name;
        auto document = Loaded(old);
        const CXmlNode* element = document->m_documentElement;
        EXPECT_FALSE(document->Load(path.c_str())) << name;
        EXPECT_FALSE(!bytes.empty() && document->LoadBytes(bytes.data(), bytes.size())) << name;
        EXPECT_EQ(document->ToString() + std::to_string(document->TreeCodePage()), old + "20866") << name;
        EXPECT_EQ(document->m_documentElement, element) << name;
    }
    EXPECT_FALSE(CXmlDocument().Load(nullptr));
    EXPECT_EQ(CXmlDocument().TreeCodePage(), 65001u);
}

// Save replaces the whole file, keeping its permissions and stepping around a leftover of an
// earlier run; when it cannot, it leaves the original and the folder as they were.
TEST(Files, SaveReplacesTheFileOrLeavesItUntouched)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/content.xml";
    WriteBytes(path, std::string(5000, 'x'));
    fs::permissions(fs::u8path(path), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteBytes(path + ".~0.tmp", "leftover");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"content.xml", "content.xml.~0.tmp"}));
    EXPECT_TRUE(Loaded("<a>other</a>")->Save(path.c_str())) << "a file it did not read is written as told";
    CXmlDiskState disk;
    ASSERT_EQ(disk.Read(path.c_str()), XmlFileError::None);
    EXPECT_EQ(disk.bytes, "<a>other</a>");
    ASSERT_TRUE(Loaded("<a>short</a>")->Save(path.c_str(), &disk));
    EXPECT_EQ(ReadBytes(path) + ReadBytes(path + ".~0.tmp"), "<a>short</a>leftover");
#ifndef _WIN32
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    fs::create_directory(folder + "/dir.xml");
    auto document = Loaded("<replacement/>");
    for (const char* name : {"/no/such/dir/a.xml", "/dir.xml", "/content.xml/a.xml", ""})
        EXPECT_FALSE(document->Save((*name ? folder + name : "").c_str())) << name;
    EXPECT_FALSE(document->Save(nullptr));
    // A UTF-16 file's tree given bytes that are not UTF-8 cannot be written.
    auto utf16 = Loaded(Utf16("<a n=\"x\"/>", true, true));
    utf16->m_documentElement->FindAttribute("n")->m_value = "\xE9";
    EXPECT_FALSE(utf16->Save(path.c_str()));
    EXPECT_EQ(utf16->ToString(), "");
    EXPECT_TRUE(fs::is_empty(folder + "/dir.xml"));
    EXPECT_EQ(ReadBytes(path), "<a>short</a>");
    EXPECT_EQ(FolderContents(folder),
              (std::vector<std::string>{"content.xml", "content.xml.~0.tmp", "dir.xml"}));
}

// A save in two steps: the new file waits beside the target until Commit, and goes when the save is
// dropped. Before either, the document tells whether the disk still holds what it read.
TEST(Files, ATwoStepSaveReplacesOnlyOnCommitAndLeavesNothingWhenDropped)
{
    const std::string folder = TestFolder();
    const std::string path = folder + "/content.xml";
    const std::string read = "<a x='1'  y=\"2\"/>";
    WriteBytes(path, read);
    CXmlDocument document;
    ASSERT_TRUE(document.Load(path.c_str()));
    document.m_documentElement->FindAttribute("x")->m_value = "3";
    const std::string written = "<a x='3'  y=\"2\"/>";
    {
        CXmlPendingSave save;
        ASSERT_EQ(document.PrepareSave(path.c_str(), save), XmlFileError::None);
        EXPECT_EQ(FolderContents(folder).size(), 2u) << "the new file waits beside the target";
        EXPECT_EQ(ReadBytes(path), read);
        save.Discard();
        EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"content.xml"});
        ASSERT_EQ(document.PrepareSave(path.c_str(), save), XmlFileError::None);
    }
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"content.xml"}) << "dropped with the save";
    EXPECT_EQ(document.CompareWithFile(path.c_str()), XmlFileError::None);

    CXmlPendingSave save;
    ASSERT_EQ(document.PrepareSave(path.c_str(), save), XmlFileError::None);
    ASSERT_EQ(save.Commit(), XmlFileError::None);
    EXPECT_EQ(ReadBytes(path), written);
    EXPECT_EQ(FolderContents(folder).size(), 2u) << "the previous version waits beside it";
    save.Complete();
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"content.xml"});
    EXPECT_EQ(document.CompareWithFile(path.c_str()), XmlFileError::None) << "the file written is the one read";
    ASSERT_EQ(document.PrepareSave(path.c_str(), save), XmlFileError::None);
    EXPECT_TRUE(save.IsEmpty()) << "nothing to write: the disk holds it";

    // Nobody changed the tree: another program's version is not replaced by it.
    WriteBytes(path, read);
    EXPECT_EQ(document.CompareWithFile(path.c_str()), XmlFileError::Changed);
    EXPECT_FALSE(document.Save(path.c_str()));
    EXPECT_EQ(document.FileStatus().error, XmlFileError::Changed);
    EXPECT_EQ(ReadBytes(path), read);
    fs::remove(fs::u8path(path));
    EXPECT_EQ(document.CompareWithFile(path.c_str()), XmlFileError::NotFound);
}

#ifndef _WIN32
// A write that fails part-way (past the process's file size limit) leaves the target and no new file.
TEST(Files, AWriteThatFailsLeavesTheOriginalAndNoNewFile)
{
    const std::string folder = TestFolder();
    WriteBytes(folder + "/big.xml", "<small/>");
    auto document = Loaded("<big>" + std::string(4u << 20, 'x') + "</big>");
    rlimit normal{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &normal), 0);
    const rlimit limited{1u << 20, normal.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_FALSE(document->Save((folder + "/big.xml").c_str()));
    ::setrlimit(RLIMIT_FSIZE, &normal);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(ReadBytes(folder + "/big.xml"), "<small/>");
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"big.xml"});
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
    WriteBytes(utf16, Utf16("<u/>", true, true));
    const std::string before = "<old a=\"1\" b/>\n";
    const std::string utf16Tree = Utf16(before + "<u/>", true, true);
    // Files open in this process, where the system shows them.
    auto openFiles = [error = std::error_code()]() mutable {
        return std::distance(fs::directory_iterator("/proc/self/fd", error), fs::directory_iterator());
    };
    // The file loaded (or "save"), then the tree and the target after success.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {XML_TEST_DATA_DIR "/features.xml", before + Rewrite(ReadBytes(XML_TEST_DATA_DIR "/features.xml")),
         "<original/>"                                                                                              },
        {utf16,                             utf16Tree,                                                 "<original/>"},
        {"save",                            before,                                                    before       },
    };
    for (const auto& [load, tree, after] : cases)
    {
        for (long refused = 0;; ++refused)
        {
            WriteBytes(target, "<original/>");
            auto document = Loaded(before);
            const CXmlNode* element = document->m_documentElement;
            const auto descriptors = openFiles();
            CXmlDiskState disk;
            disk.Read(target.c_str());
            FailAllocationsAfter(refused);
            const bool result =
                load == "save" ? document->Save(target.c_str(), &disk) : document->Load(load.c_str());
            const bool failed = AllowAllocations();
            const std::string when = load + ", allocation " + std::to_string(refused);
            ASSERT_LT(refused, 1000) << when;
            EXPECT_EQ(result, !failed) << when;
            EXPECT_EQ(document->ToString(), failed ? before : tree) << when;
            EXPECT_EQ(ReadBytes(target), failed ? "<original/>" : after) << when;
            EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"content.xml", "utf16.xml"})) << when;
            EXPECT_EQ(openFiles(), descriptors) << when;
            EXPECT_TRUE(!failed || document->m_documentElement == element) << when;
            if (!failed)
                break;
        }
    }
}
