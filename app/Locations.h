// Where the four content files are: named in "xml.ini" in the start folder, or at fixed places.
#pragma once

#include <array>
#include <string>

#include "PageTable.h"

// The section of the locations file; each page's key and default path are in its row of the page table.
extern const wchar_t* const kLocationsSection;

struct CContentLocation
{
    std::wstring shown; // as xml.ini or the default gives it, for the tab's messages; empty when none is set
    std::wstring fullPath; // resolved against the current directory, the file's own letter case when it
                           // exists; empty when none is set
};

// The content locations, in page order. Call it at start-up: relative paths are resolved against the
// current directory. With iniFileName there, each page has its own key (a missing key sets no file);
// otherwise the defaults.
std::array<CContentLocation, kPageCount> ResolveContentPaths(const std::wstring& iniFileName);
