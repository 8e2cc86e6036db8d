// How the text of a content file is shown and how typed text goes back: the one place each way. The
// text rules themselves are the engine's.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

#include "Xml.h"

// An attribute value of a content file as the controls show it.
std::wstring ShownText(std::string_view value, unsigned codePage);
// Typed text as an attribute value of a content file: what the code page lacks becomes a character
// reference.
std::string StoredText(std::wstring_view text, unsigned codePage);
// A path as the XML engine takes it.
std::string Utf8Path(std::wstring_view path);
