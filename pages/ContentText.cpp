#include <windows.h>

#include "ContentText.h"
#include "XmlText.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the controls' text is UTF-16");

namespace
{
std::u16string_view AsUtf16(std::wstring_view text)
{
    return std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
} // namespace

std::wstring ShownText(std::string_view value, unsigned codePage)
{
    const std::u16string text = DecodeXmlValue(value, codePage);
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::string StoredText(std::wstring_view text, unsigned codePage)
{
    // The writer puts a value between double quotes unless it holds one, and this one never does.
    return EncodeXmlValue(AsUtf16(text), codePage, '"');
}

std::string Utf8Path(std::wstring_view path)
{
    std::string utf8;
    // An unpaired surrogate names no file that could be opened: the path reads as empty.
    if (!Utf16ToUtf8(AsUtf16(path), utf8))
        utf8.clear();
    return utf8;
}
