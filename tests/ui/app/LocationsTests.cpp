// Where the four content files are found: the locations file in the current directory, or the defaults.
#include <windows.h>

#include <gtest/gtest.h>

#include "Locations.h"
#include "UiTestSupport.h"

namespace
{
using Paths = std::array<std::wstring, kPageCount>;

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(Locations, EachKeyOnItsOwnOrTheDefaultsWithoutAFile)
{
    const std::wstring unicode = L"C:\\Users\\Jos\u00e9\\\u30E6\u30FC\u30B6\u30FC.xml";
    const std::string longValue = "Long\\" + std::string(300, 'v') + ".xml";
    const struct
    {
        const char* what;
        std::string ini; // "-": no locations file; "<dir>": a folder named xml.ini
        Paths expected;
    } cases[] = {
        {"no file: the defaults",
         "-",                                                                                {L"Content\\XML\\features.xml", L"Content\\XML\\softkeys.xml", L"Content\\XML\\starthere.xml",
          L"Content\\XML\\interface.xml"}                                                                                           },
        {"every key, in page order",
         "[XMLFiles]\r\nInterface=d\\i.xml\r\nStartHere=c\\h.xml\r\nSoftkeys=b\\s.xml\r\nFeatures=a\\f."
         "xml\r\n",                                                                          {L"a\\f.xml", L"b\\s.xml", L"c\\h.xml", L"d\\i.xml"}},
        {"lower case names, blanks and quotes",
         "[xmlfiles]\r\nfeatures = f.xml \r\nsoftkeys=\"s s.xml\"\r\nstarthere='h.xml'\r\n", {L"f.xml", L"s s.xml", L"h.xml", L""}               },
        {"one key: the others empty, not their defaults",
         "[XMLFiles]\r\nSoftkeys=only.xml\r\n",                                              {L"", L"only.xml", L"", L""}                        },
        {"another section",                               "[Other]\r\nFeatures=f.xml\r\n",   {L"", L"", L"", L""}                                },
        {"a folder named xml.ini",                        "<dir>",                           {L"", L"", L"", L""}                                },
        {"a long value, whole",
         "[XMLFiles]\r\nStartHere=" + longValue + "\r\n",
         {L"", L"", std::wstring(longValue.begin(), longValue.end()), L""}                                                                       },
        {"UTF-16: any path",
         Utf16(L"\uFEFF[XMLFiles]\r\nInterface=" + unicode + L"\r\n"),
         {L"", L"", L"", unicode}                                                                                                                },
    };
    int index = 0;
    for (const auto& c : cases)
    {
        // A folder per case: a profile read must not be answered from an earlier case's file.
        CScratchDir dir(std::string(TEST_WORK_DIR) + "\\locations" + std::to_string(index++), true);
        const bool made = c.ini == "<dir>" ? CreateDirectoryA((dir / "xml.ini").c_str(), nullptr) != FALSE
                          : c.ini == "-"   ? true
                                           : WriteBytes(dir / "xml.ini", c.ini);
        ASSERT_TRUE(made) << c.what;
        EXPECT_EQ(ResolveContentPaths(L"xml.ini"), c.expected) << c.what;
    }
}

TEST(Locations, UsesTheCurrentDirectoryNotTheProgramFolder)
{
    CScratchDir outer(std::string(TEST_WORK_DIR) + "\\outer", true);
    ASSERT_TRUE(WriteBytes(outer / "xml.ini", "[XMLFiles]\r\nFeatures=outer.xml\r\n"));
    CScratchDir inner(outer / "inner", true);
    EXPECT_EQ(ResolveContentPaths(L"xml.ini")[0], L"Content\\XML\\features.xml");
    ASSERT_TRUE(WriteBytes(inner / "xml.ini", "[XMLFiles]\r\nFeatures=inner.xml\r\n"));
    EXPECT_EQ(ResolveContentPaths(L"xml.ini")[0], L"inner.xml");
    EXPECT_EQ(GetCurrentDir(), std::wstring(inner.Path().begin(), inner.Path().end()));
}
} // namespace
