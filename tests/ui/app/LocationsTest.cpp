// Where the tool finds the content files: xml.ini in any of its encodings, the defaults, the full paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ContentText.h"
#include "Locations.h"
#include "Xml.h"
#include "UiTestSupport.h"

namespace
{
using Texts = std::array<std::wstring, kPageCount>;

std::string Utf16(const std::wstring& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text)
    {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::wstring CurrentDir()
{
    std::wstring dir(GetCurrentDirectoryW(0, nullptr), L'\0');
    dir.resize(GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), &dir[0]));
    return dir;
}

// A fresh scratch folder per case, as the current directory: no case reads another's xml.ini.
std::string CaseDir(const char* area, int index)
{
    return std::string(TEST_WORK_DIR) + "\\" + area + std::to_string(index);
}

TEST(Locations, XmlIniInEveryEncodingAndLayoutOrTheDefaults)
{
    ASSERT_EQ(GetACP(), 1252u) << "the ANSI case is written in code page 1252";
    const Texts defaults = {L"Content\\XML\\features.xml", L"Content\\XML\\softkeys.xml",
                            L"Content\\XML\\starthere.xml", L"Content\\XML\\interface.xml"};
    const std::wstring unicode = L"Jos\u00e9\\\u30E6\u30FC\u30B6\u30FC.xml";
    const std::wstring longPath = L"Long\\" + std::wstring(300, L'v') + L".xml";
    const std::string utf8 =
        "[XMLFiles]\nFeatures=Jos\xC3\xA9\\\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC.xml";
    const std::string marked = "\xEF\xBB\xBF[XMLFiles]\r\nSoftkeys=caf\xC3\xA9.xml\r\n";
    const std::string ansi = "[XMLFiles]\r\nStartHere=caf\xE9 \x80.xml\r\n";
    const std::string wide = Utf16(L"[XMLFiles]\r\nInterface=" + unicode + L"\r\n", false);
    const std::string wideBig = Utf16(L"[XMLFiles]\r\nInterface=" + unicode + L"\r\n", true);
    const std::string anyOrder = "[XMLFiles]\r\nInterface=i\r\nStartHere=h\r\nSoftkeys=s\r\nFeatures=f";
    const std::string longLine = "[XMLFiles]\r\nStartHere=" + std::string(longPath.begin(), longPath.end());
    // Names in any case, blanks, quotes, comments; the first key of the first section counts.
    const std::string layout =
        "; Features=comment.xml\r\n  [ xmlfiles ]  \r\n;Features=comment.xml\r\n"
        "  FEATURES  =  \"a b.xml\" \r\nfeatures=second.xml\r\nSoftkeys='s.xml'\r\n"
        "StartHere=\"h.xml'\r\n[Other]\r\nInterface=i.xml\r\n[XMLFiles]\r\nInterface=j.xml\r\n";
    // "-": no xml.ini; "<dir>": a folder of that name, which counts as a file that names nothing.
    const struct
    {
        std::string ini;
        Texts shown;
    } cases[] = {
        {"-",                                                defaults                                },
        {"<dir>",                                            {}                                      },
        {utf8,                                               {unicode, L"", L"", L""}                },
        {marked,                                             {L"", L"caf\u00e9.xml", L"", L""}       },
        {wide,                                               {L"", L"", L"", unicode}                },
        {wideBig,                                            {L"", L"", L"", unicode}                },
        {ansi,                                               {L"", L"", L"caf\u00e9 \u20AC.xml", L""}},
        {"[Other]\r\nFeatures=f.xml\r\n",                    {}                                      },
        {"[XMLFiles]\r\nSoftkeys=only.xml\r\nFeatures=\r\n", {L"", L"only.xml", L"", L""}            },
        {"[XMLFiles]\r\nFeatures=\"\"\r\nSoftkeys=''\r\nStartHere=\"h.xml\"\r\n", {L"", L"", L"h.xml", L""}},
        {anyOrder,                                           {L"f", L"s", L"h", L"i"}                },
        {longLine,                                           {L"", L"", longPath, L""}               },
        {layout,                                             {L"a b.xml", L"s.xml", L"\"h.xml'", L""}},
    };
    int index = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(index);
        CScratchDir dir(CaseDir("locations", index++), true);
        if (c.ini == "<dir>")
            CreateDirectoryA((dir / "xml.ini").c_str(), nullptr);
        else if (c.ini != "-")
            WriteBytes(dir / "xml.ini", c.ini);
        const std::array<CContentLocation, kPageCount> found = ResolveContentPaths(L"xml.ini");
        for (size_t page = 0; page < found.size(); ++page)
        {
            EXPECT_EQ(found[page].shown, c.shown[page]) << "page " << page;
            const std::wstring full = c.shown[page].empty() ? L"" : CurrentDir() + L"\\" + c.shown[page];
            EXPECT_EQ(found[page].fullPath, full) << "page " << page;
        }
    }
}

TEST(Locations, FullPathsFromTheStartFolderWithTheFilesOwnName)
{
    CScratchDir dir(CaseDir("names", 0), true);
    CreateDirectoryA((dir / "Content").c_str(), nullptr);
    CreateDirectoryA((dir / "Content\\XML").c_str(), nullptr);
    WriteBytes(dir / "Content\\XML\\features.xml", "<features/>");
    WriteBytes(dir / "Softkeys.Xml", "<softkeys/>");
    WriteBytes(dir / "xml.ini",
               "[XMLFiles]\r\nFeatures=CONTENT\\XML\\FEATURES.XML\r\nSoftkeys=softkeys.xml\r\n"
               "StartHere=Content/XML/../New.XML\r\nInterface=\"Content\\XML\\interface.xml\"\r\n");
    const std::wstring start = CurrentDir();
    // Existing files take the name on disk; the others keep the name as given, made full.
    const Texts expected = {start + L"\\CONTENT\\XML\\features.xml", start + L"\\Softkeys.Xml",
                            start + L"\\Content\\New.XML", start + L"\\Content\\XML\\interface.xml"};
    const std::array<CContentLocation, kPageCount> found = ResolveContentPaths(L"xml.ini");
    for (size_t page = 0; page < found.size(); ++page)
        EXPECT_EQ(found[page].fullPath, expected[page]) << "page " << page;
    EXPECT_EQ(found[1].shown, L"softkeys.xml");
}

TEST(Locations, SameFileHoweverThePathsAreSpelled)
{
    CScratchDir dir(CaseDir("same", 0), true);
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    WriteBytes(dir / "Same name.xml", "same");
    WriteBytes(dir / "Other.xml", "other");
    ASSERT_TRUE(CreateHardLinkA((dir / "Link.xml").c_str(), (dir / "Same name.xml").c_str(), nullptr));
    std::wstring shortName(MAX_PATH, L'\0');
    shortName.resize(GetShortPathNameW(L"Same name.xml", &shortName[0], MAX_PATH));
    ASSERT_FALSE(shortName.empty());
    ASSERT_NE(shortName, L"Same name.xml");
    const std::wstring here = CurrentDir() + L"\\";
    const struct
    {
        std::wstring a, b;
        bool same;
    } cases[] = {
        {here + L"Same name.xml", here + L"SAME NAME.XML",          true },
        {here + L"Same name.xml", here + L"sub\\..\\Same name.xml", true },
        {here + L"Same name.xml", L"sub/../Same name.xml",          true },
        {here + L"Same name.xml", shortName,                        true },
        {here + L"Same name.xml", here + L"Link.xml",               true },
        {here + L"Same name.xml", here + L"Other.xml",              false},
        {here + L"Missing.xml",   here + L"sub\\..\\MISSING.xml",   true },
        {here + L"Missing.xml",   here + L"Other.xml",              false},
        {here + L"Missing.xml",   here + L"Missing.xml.bak",        false},
        {L"",                     L"",                              false},
    };
    for (const auto& c : cases)
    {
        const std::string a = Utf8Path(c.a), b = Utf8Path(c.b);
        EXPECT_EQ(XmlDisk::SameFile(a.c_str(), b.c_str()), c.same) << a << " and " << b;
        EXPECT_EQ(XmlDisk::SameFile(b.c_str(), a.c_str()), c.same) << "the other way round";
    }
}
} // namespace
