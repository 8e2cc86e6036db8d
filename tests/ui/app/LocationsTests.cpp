#include <windows.h>

#include <gtest/gtest.h>

#include "Locations.h"
#include "TestFiles.h"

namespace
{
using Paths = std::array<std::string, kPageCount>;

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
         nullptr,                                                                                           {"Content\\XML\\features.xml", "Content\\XML\\softkeys.xml", "Content\\XML\\starthere.xml",
          "Content\\XML\\interface.xml"}                                                                                                   },
        {"every key",
         "[XMLFiles]\r\nFeatures=a\\f.xml\r\nSoftkeys=b\\s.xml\r\nStartHere=c\\h.xml\r\nInterface=d\\i."
         "xml\r\n",                                                                                         {"a\\f.xml", "b\\s.xml", "c\\h.xml", "d\\i.xml"}},
        {"names in lower case, blanks and quotes around values",
         "[xmlfiles]\r\nfeatures = f.xml \r\nsoftkeys=\"s "
         "s.xml\"\r\nstarthere='h.xml'\r\ninterface=C:\\x\\i.xml\r\n",                                      {"f.xml", "s s.xml", "h.xml", "C:\\x\\i.xml"}   },
        {"only one key: the others get the empty path, not their default",
         "[XMLFiles]\r\nSoftkeys=only.xml\r\n",                                                             {"", "only.xml", "", ""}                        },
        {"no section",                                                     "[Other]\r\nFeatures=f.xml\r\n", {"", "", "", ""}                                },
        {"an empty file",                                                  "",                              {"", "", "", ""}                                },
        {"a folder named xml.ini counts as present",                       "<dir>",                         {"", "", "", ""}                                },
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
        EXPECT_EQ(ResolveContentPaths("xml.ini"), c.expected) << c.what;
    }

    // A value is never cut, whatever its length.
    CScratchDir dir("locations-long");
    ASSERT_TRUE(WriteBytes(dir / "xml.ini", "[XMLFiles]\r\nFeatures=" + longValue + "\r\n"));
    const Paths paths = ResolveContentPaths("xml.ini");
    EXPECT_EQ(paths[0], longValue);
    EXPECT_EQ(paths[0].size(), 309u);
}

TEST(Locations, UsesTheCurrentDirectoryNotTheProgramFolder)
{
    CScratchDir outer("outer");
    ASSERT_TRUE(WriteBytes(outer / "xml.ini", "[XMLFiles]\r\nFeatures=outer.xml\r\n"));
    ASSERT_TRUE(CreateDirectoryA((outer / "inner").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA((outer / "inner").c_str()));
    EXPECT_EQ(ResolveContentPaths("xml.ini")[0], "Content\\XML\\features.xml");
    ASSERT_TRUE(WriteBytes(outer / "inner\\xml.ini", "[XMLFiles]\r\nFeatures=inner.xml\r\n"));
    EXPECT_EQ(ResolveContentPaths("xml.ini")[0], "inner.xml");

    const std::string current = GetCurrentDir();
    EXPECT_EQ(current, outer / "inner");
}
} // namespace
