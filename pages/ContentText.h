// How the text of a content file is shown and how typed text goes back: the one place each way.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

// An attribute value of a content file as the controls show it.
std::wstring ShownText(std::string_view value);
// Typed text as an attribute value of a content file; a character the file's code page lacks becomes a
// character reference.
std::string StoredText(std::wstring_view text);
// A path as the XML engine takes it.
std::string Utf8Path(std::wstring_view path);

// An attribute value as a reader of the file means it: the predefined entities and the character
// references to characters of codePage are replaced; any other reference stays as written.
std::string DecodeXmlText(std::string_view value, UINT codePage = CP_ACP);
// Text as an attribute value that every reader reads back as that text.
std::string EncodeXmlText(std::string_view text);
