// The controls' text and the content files' text are both UTF-16; paths go to the engine as UTF-8.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

std::wstring AsWide(std::u16string_view text);
std::u16string AsUtf16(std::wstring_view text);
// A path as the XML engine takes it, and back.
std::string Utf8Path(std::wstring_view path);
std::wstring WidePath(std::string_view utf8);
