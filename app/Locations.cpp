#include <windows.h>

#include "Locations.h"

const wchar_t* const kLocationsSection = L"XMLFiles";

namespace
{
// An xml.ini is a few lines; past this it is not one, and it is not read into memory.
constexpr LONGLONG kMaxIniSize = 1 << 20;

class CFileHandle
{
public:
    explicit CFileHandle(HANDLE handle) : m_handle(handle)
    {
    }
    ~CFileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    operator HANDLE() const
    {
        return m_handle;
    }

private:
    HANDLE m_handle;
};

// A full path, whatever its length; empty when it cannot be formed.
std::wstring FullPath(const std::wstring& path)
{
    // The current directory can change between the two calls; ask again until the buffer holds it.
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    while (needed > 0)
    {
        std::wstring buffer(needed, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), needed, &buffer[0], nullptr);
        if (length == 0)
            break;
        if (length < needed)
        {
            buffer.resize(length);
            return buffer;
        }
        needed = length;
    }
    return std::wstring();
}

// A full path as the file functions take it past MAX_PATH on Windows: with the \\?\ prefix.
std::wstring LongForm(const std::wstring& fullPath)
{
    if (fullPath.size() < MAX_PATH || fullPath.compare(0, 4, L"\\\\?\\") == 0)
        return fullPath;
    if (fullPath.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return L"\\\\?\\" + fullPath;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool ReadBytes(const std::wstring& fullPath, std::string& bytes)
{
    CFileHandle file(CreateFileW(LongForm(fullPath).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart > kMaxIniSize)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

std::wstring DecodeUtf16(const std::string& bytes, size_t start, bool bigEndian)
{
    std::wstring text((bytes.size() - start) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto first = static_cast<unsigned char>(bytes[start + 2 * i]);
        const auto second = static_cast<unsigned char>(bytes[start + 2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

// Text in a code page; empty when the bytes are invalid in it (MB_ERR_INVALID_CHARS) or there are none.
std::wstring DecodeCodePage(const std::string& bytes, size_t start, UINT codePage, DWORD flags)
{
    const char* data = bytes.data() + start;
    const int size = static_cast<int>(bytes.size() - start);
    const int length = size > 0 ? MultiByteToWideChar(codePage, flags, data, size, nullptr, 0) : 0;
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, flags, data, size, &text[0], length);
    return text;
}

// Editors write UTF-8 without a mark today; older tools wrote the ANSI code page.
std::wstring DecodeIniText(const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return DecodeCodePage(bytes, 3, CP_UTF8, 0);
    if (bytes.compare(0, 2, "\xFF\xFE") == 0)
        return DecodeUtf16(bytes, 2, false);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0)
        return DecodeUtf16(bytes, 2, true);
    const std::wstring utf8 = DecodeCodePage(bytes, 0, CP_UTF8, MB_ERR_INVALID_CHARS);
    return !utf8.empty() || bytes.empty() ? utf8 : DecodeCodePage(bytes, 0, CP_ACP, 0);
}

std::wstring Trim(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring()
                                       : text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// Reads as the profile functions do: names in any case, blanks around names and values dropped, a
// value's matching quotes dropped, ';' lines skipped, the first key of the first such section.
bool FindIniValue(const std::wstring& text, const wchar_t* section, const wchar_t* key, std::wstring& value)
{
    bool inSection = false;
    for (size_t start = 0; start <= text.size();)
    {
        size_t end = text.find_first_of(L"\r\n", start);
        end = end == std::wstring::npos ? text.size() : end;
        const std::wstring line = Trim(text.substr(start, end - start));
        start = end + 1;
        const size_t close = line.rfind(L']');
        if (!line.empty() && line[0] == L'[' && close != std::wstring::npos)
        {
            if (inSection)
                return false;
            inSection = SameText(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        const size_t equals = line.find(L'=');
        // A ';' comment line never matches: its name starts with the ';'.
        if (!inSection || equals == std::wstring::npos || !SameText(Trim(line.substr(0, equals)), key))
            continue;
        value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return true;
    }
    return false;
}

// The full path with its last part as the file system spells it: Save then keeps the file's own name.
std::wstring WithOwnName(const std::wstring& fullPath)
{
    const size_t slash = fullPath.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == fullPath.size() ||
        fullPath.find_first_of(L"*?", slash) != std::wstring::npos)
        return fullPath;
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW(LongForm(fullPath).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return fullPath;
    FindClose(find);
    return fullPath.substr(0, slash + 1) + found.cFileName;
}

} // namespace

std::array<CContentLocation, kPageCount> ResolveContentPaths(const std::wstring& iniFileName)
{
    std::array<CContentLocation, kPageCount> locations;
    const std::wstring iniPath = FullPath(iniFileName);
    if (GetFileAttributesW(LongForm(iniPath).c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        for (size_t page = 0; page < locations.size(); ++page)
            locations[page].shown = kPageKinds[page].defaultPath;
    }
    else
    {
        // An xml.ini that cannot be read sets no file for any page.
        std::string bytes;
        const std::wstring text = ReadBytes(iniPath, bytes) ? DecodeIniText(bytes) : std::wstring();
        for (size_t page = 0; page < locations.size(); ++page)
            FindIniValue(text, kLocationsSection, kPageKinds[page].iniKey, locations[page].shown);
    }
    for (CContentLocation& location : locations)
    {
        if (!location.shown.empty())
            location.fullPath = WithOwnName(FullPath(location.shown));
    }
    return locations;
}
