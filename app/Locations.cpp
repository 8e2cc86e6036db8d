#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "Locations.h"

const wchar_t* const kLocationsSection = L"XMLFiles";
const std::array<const wchar_t*, kPageCount> kLocationKeys = {L"Features", L"Softkeys", L"StartHere",
                                                              L"Interface"};
const std::array<const wchar_t*, kPageCount> kDefaultContentPaths = {
    L"Content\\XML\\features.xml",
    L"Content\\XML\\softkeys.xml",
    L"Content\\XML\\starthere.xml",
    L"Content\\XML\\interface.xml",
};

namespace
{
constexpr DWORD kFirstValueCapacity = 256;
// Past this a value is not a path any more; it stops a runaway file from taking all memory.
constexpr DWORD kMaxValueCapacity = 1u << 24;
} // namespace

std::wstring GetCurrentDir()
{
    // The directory can change between the two calls; ask again until the buffer holds it.
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    while (needed > 0)
    {
        std::vector<wchar_t> buffer(needed);
        const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
        if (length == 0)
            break;
        if (length < needed)
            return std::wstring(buffer.data(), length);
        needed = length;
    }
    return std::wstring();
}

std::wstring ReadProfileValue(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    // The call cuts a value that does not fit and answers size - 1: grow until it fits.
    for (DWORD capacity = kFirstValueCapacity; capacity <= kMaxValueCapacity; capacity *= 4)
    {
        std::vector<wchar_t> buffer(capacity);
        const DWORD length =
            GetPrivateProfileStringW(section, key, L"", buffer.data(), capacity, path.c_str());
        if (length < capacity - 1)
            return std::wstring(buffer.data(), length);
    }
    return std::wstring();
}

std::array<std::wstring, kPageCount> ResolveContentPaths(const std::wstring& iniFileName)
{
    std::array<std::wstring, kPageCount> paths;
    if (PathFileExistsW(iniFileName.c_str()) == TRUE)
    {
        // The profile functions look in the Windows folder for a bare name: give the full path. Without
        // a current directory there is no such path, and every page gets the empty path.
        const std::wstring directory = GetCurrentDir();
        if (directory.empty())
            return paths;
        const std::wstring fullPath = directory + L"\\" + iniFileName;
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
