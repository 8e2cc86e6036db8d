// Where the four content files are: named in "xml.ini" in the current directory, or at fixed places.
#pragma once

#include <array>
#include <string>

constexpr int kPageCount = 4;

// The section and keys of the locations file, and the paths used without one, in page order.
extern const wchar_t* const kLocationsSection;
extern const std::array<const wchar_t*, kPageCount> kLocationKeys;
extern const std::array<const wchar_t*, kPageCount> kDefaultContentPaths;

// The process's current directory, whole, whatever its length; empty when it cannot be read.
std::wstring GetCurrentDir();

// A value of a private-profile file, whole, whatever its length; empty when missing.
std::wstring ReadProfileValue(const std::wstring& path, const wchar_t* section, const wchar_t* key);

// The content paths, in page order: from iniFileName (relative to the current directory) when that
// exists, each key on its own (a missing key gives an empty path); otherwise the defaults.
std::array<std::wstring, kPageCount> ResolveContentPaths(const std::wstring& iniFileName);
