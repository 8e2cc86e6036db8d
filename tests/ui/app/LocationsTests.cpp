#include <windows.h>

#include <gtest/gtest.h>

#include "Locations.h"
#include "TestFiles.h"

namespace
{
using Paths = std::array<std::wstring, kPageCount>;

struct LocationsCase
{
    const char* what;
    const char* ini; // null: no locations file; "<dir>": a folder named xml.ini
    Paths expected;
};

TEST(Locations, ChoosesBetweenTheLocationsFileAndTheDefaults)
{
    const std::string longValue = "Long\\" + std::string(300, 'v') + ".xml";
    const LocationsCase cases[] = {
        {"no locations file: the defaults",
         nullptr,                                                                                           {L"Content\\XML\\features.xml", L"Content\\XML\\softkeys.xml", L"Content\\XML\\starthere.xml",
          L"Content\\XML\\interface.xml"}                                                                                                      },
        {"every key",
         "[XMLFiles]\r\nFeatures=a\\f.xml\r\nSoftkeys=b\\s.xml\r\nStartHere=c\\h.xml\r\nInterface=d\\i."
         "xml\r\n",                                                                                         {L"a\\f.xml", L"b\\s.xml", L"c\\h.xml", L"d\\i.xml"}},
        {"names in lower case, blanks and quotes around values",
         "[xmlfiles]\r\nfeatures = f.xml \r\nsoftkeys=\"s "
         "s.xml\"\r\nstarthere='h.xml'\r\ninterface=C:\\x\\i.xml\r\n",                                      {L"f.xml", L"s s.xml", L"h.xml", L"C:\\x\\i.xml"}   },
        {"only one key: the others get the empty path, not their default",
         "[XMLFiles]\r\nSoftkeys=only.xml\r\n",                                                             {L"", L"only.xml", L"", L""}                        },
        {"no section",                                                     "[Other]\r\nFeatures=f.xml\r\n", {L"", L"", L"", L""}                                },
        {"an empty file",                                                  "",                              {L"", L"", L"", L""}                                },
        {"a folder named xml.ini counts as present",                       "<dir>",                         {L"", L"", L"", L""}                                },
    };
    int index = 0;
    for (const LocationsCase& c : cases)
    {
        // A folder per case: a profile read must not be answered from an earlier case's file.
        CScratchDir dir("locations" + std::to_string(index++));
        if (c.ini && std::string(c.ini) == "<dir>")
        {
            ASSERT_TRUE(CreateDirectoryA((dir / "xml.ini").c_str(), nullptr));
        }
        else if (c.ini)
        {
            ASSERT_TRUE(WriteBytes(dir / "xml.ini", c.ini));
        }
        EXPECT_EQ(ResolveContentPaths(L"xml.ini"), c.expected) << c.what;
    }

    // A value is never cut, whatever its length.
    CScratchDir dir("locations-long");
    ASSERT_TRUE(WriteBytes(dir / "xml.ini", "[XMLFiles]\r\nFeatures=" + longValue + "\r\n"));
    const Paths paths = ResolveContentPaths(L"xml.ini");
    EXPECT_EQ(paths[0], std::wstring(longValue.begin(), longValue.end()));
    EXPECT_EQ(paths[0].size(), 309u);

    // Saved as UTF-16, the file may name any path.
    CScratchDir unicode("locations-utf16");
    const std::wstring path = L"C:\\Users\\Jos\u00e9\\\u30E6\u30FC\u30B6\u30FC.xml";
    const std::wstring text = L"\uFEFF[XMLFiles]\r\nFeatures=" + path + L"\r\n";
    ASSERT_TRUE(WriteBytes(unicode / "xml.ini", std::string(reinterpret_cast<const char*>(text.data()),
                                                            text.size() * sizeof(wchar_t))));
    EXPECT_EQ(ResolveContentPaths(L"xml.ini")[0], path);
}

TEST(Locations, UsesTheCurrentDirectoryNotTheProgramFolder)
{
    CScratchDir outer("outer");
    ASSERT_TRUE(WriteBytes(outer / "xml.ini", "[XMLFiles]\r\nFeatures=outer.xml\r\n"));
    ASSERT_TRUE(CreateDirectoryA((outer / "inner").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA((outer / "inner").c_str()));
    EXPECT_EQ(ResolveContentPaths(L"xml.ini")[0], L"Content\\XML\\features.xml");
    ASSERT_TRUE(WriteBytes(outer / "inner\\xml.ini", "[XMLFiles]\r\nFeatures=inner.xml\r\n"));
    EXPECT_EQ(ResolveContentPaths(L"xml.ini")[0], L"inner.xml");

    const std::string inner = outer / "inner";
    EXPECT_EQ(GetCurrentDir(), std::wstring(inner.begin(), inner.end()));
}
} // namespace
