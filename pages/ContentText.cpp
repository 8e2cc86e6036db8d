#include <windows.h>

#include "ContentText.h"
#include "XmlText.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the controls' text is UTF-16");

std::wstring AsWide(std::u16string_view text)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string AsUtf16(std::wstring_view text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::string Utf8Path(std::wstring_view path)
{
    std::string utf8;
    // An unpaired surrogate names no file that could be opened: the path reads as empty.
    if (!Utf16ToUtf8(AsUtf16(path), utf8))
        utf8.clear();
    return utf8;
}

std::wstring WidePath(std::string_view utf8)
{
    std::u16string path;
    Utf8ToUtf16(utf8, path);
    return AsWide(path);
}
