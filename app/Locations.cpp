#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "Locations.h"

const char* const kLocationsSection = "XMLFiles";
const std::array<const char*, kPageCount> kLocationKeys = {"Features", "Softkeys", "StartHere", "Interface"};
const std::array<const char*, kPageCount> kDefaultContentPaths = {
    "Content\\XML\\features.xml",
    "Content\\XML\\softkeys.xml",
    "Content\\XML\\starthere.xml",
    "Content\\XML\\interface.xml",
};

namespace
{
constexpr DWORD kFirstValueCapacity = 256;
// Past this a value is not a path any more; it stops a runaway file from taking all memory.
constexpr DWORD kMaxValueCapacity = 1u << 24;
} // namespace

std::string GetCurrentDir()
{
    // The directory can change between the two calls; ask again until the buffer holds it.
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    while (needed > 0)
    {
        std::vector<char> buffer(needed);
        const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
        if (length == 0)
            break;
        if (length < needed)
            return std::string(buffer.data(), length);
        needed = length;
    }
    return std::string();
}

std::string ReadProfileValue(const std::string& path, const char* section, const char* key)
{
    // The call cuts a value that does not fit and answers size - 1: grow until it fits.
    for (DWORD capacity = kFirstValueCapacity; capacity <= kMaxValueCapacity; capacity *= 4)
    {
        std::vector<char> buffer(capacity);
        const DWORD length =
            GetPrivateProfileStringA(section, key, "", buffer.data(), capacity, path.c_str());
        if (length < capacity - 1)
            return std::string(buffer.data(), length);
    }
    return std::string();
}

std::array<std::string, kPageCount> ResolveContentPaths(const std::string& iniFileName)
{
    std::array<std::string, kPageCount> paths;
    if (PathFileExistsA(iniFileName.c_str()) == TRUE)
    {
        // The profile functions look in the Windows folder for a bare name: give the full path. Without
        // a current directory there is no such path, and every page gets the empty path.
        const std::string directory = GetCurrentDir();
        if (directory.empty())
            return paths;
        const std::string fullPath = directory + "\\" + iniFileName;
        for (size_t page = 0; page < paths.size(); ++page)
            paths[page] = ReadProfileValue(fullPath, kLocationsSection, kLocationKeys[page]);
    }
    else
    {
        for (size_t page = 0; page < paths.size(); ++page)
            paths[page] = kDefaultContentPaths[page];
    }
    return paths;
}
