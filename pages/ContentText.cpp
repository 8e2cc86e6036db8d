#include <windows.h>
#include <cstdint>
#include <cstdio>

#include "ContentText.h"

namespace
{
constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;
// Longest reference decoded: "&#x" or "&#", digits of at most 0x10FFFF with leading zeros, ";".
constexpr std::size_t kMaxReferenceLength = 32;

// Characters a document may hold; a reference to anything else (NUL, surrogates) is malformed.
bool IsDocumentChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= kMaxCodePoint);
}

// The digits of "&#...;" or "&#x...;" between "#" (or "x") and ";". False when malformed.
bool ParseCharNumber(std::string_view digits, bool hex, std::uint32_t& code)
{
    if (digits.empty())
        return false;
    code = 0;
    for (const char c : digits)
    {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        code = code * (hex ? 16 : 10) + digit;
        if (code > kMaxCodePoint)
            return false;
    }
    return IsDocumentChar(code);
}

// The character in codePage; false when the code page has no exact equivalent for it.
bool ToCodePage(std::uint32_t code, UINT codePage, std::string& out)
{
    if (code < 0x80)
    {
        out += static_cast<char>(code);
        return true;
    }
    wchar_t wide[2];
    int wideLength = 1;
    if (code >= 0x10000)
    {
        code -= 0x10000;
        wide[0] = static_cast<wchar_t>(0xD800 + (code >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        wideLength = 2;
    }
    else
    {
        wide[0] = static_cast<wchar_t>(code);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    // UTF-8 maps everything and refuses both the flag and the question.
    const bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
    const int length = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes,
                                           sizeof(bytes), nullptr, utf8 ? nullptr : &usedDefault);
    if (length <= 0 || usedDefault)
        return false;
    out.append(bytes, static_cast<std::size_t>(length));
    return true;
}

// The reference that starts at text[0] ("&"): its meaning appended to out and its length, or 0.
std::size_t DecodeReference(std::string_view text, UINT codePage, std::string& out)
{
    const std::size_t end = text.substr(0, kMaxReferenceLength).find(';');
    if (end == std::string_view::npos)
        return 0;
    const std::string_view body = text.substr(1, end - 1);
    static const struct
    {
        std::string_view name;
        char c;
    } kEntities[] = {
        {"amp",  '&' },
        {"lt",   '<' },
        {"gt",   '>' },
        {"quot", '"' },
        {"apos", '\''},
    };
    for (const auto& entity : kEntities)
    {
        if (body == entity.name)
        {
            out += entity.c;
            return end + 1;
        }
    }
    if (body.size() < 2 || body[0] != '#')
        return 0;
    // Only a lower-case "x" opens a hexadecimal reference.
    const bool hex = body[1] == 'x';
    std::uint32_t code = 0;
    if (!ParseCharNumber(body.substr(hex ? 2 : 1), hex, code) || !ToCodePage(code, codePage, out))
        return 0;
    return end + 1;
}
} // namespace

std::string DecodeXmlText(std::string_view value, UINT codePage)
{
    std::string text;
    text.reserve(value.size());
    std::size_t i = 0;
    while (i < value.size())
    {
        if (value[i] == '&')
        {
            if (const std::size_t length = DecodeReference(value.substr(i), codePage, text))
            {
                i += length;
                continue;
            }
        }
        text += value[i++];
    }
    return text;
}

std::string EncodeXmlText(std::string_view text)
{
    std::string value;
    value.reserve(text.size());
    for (const char c : text)
    {
        switch (c)
        {
        case '&':
            value += "&amp;";
            break;
        case '<':
            value += "&lt;";
            break;
        case '"':
            value += "&quot;";
            break;
        default:
            value += c;
            break;
        }
    }
    return value;
}

std::wstring ShownText(std::string_view value)
{
    const std::string decoded = DecodeXmlText(value, CP_ACP);
    std::wstring text;
    if (decoded.empty())
        return text;
    const int length =
        MultiByteToWideChar(CP_ACP, 0, decoded.data(), static_cast<int>(decoded.size()), nullptr, 0);
    if (length <= 0)
        return text;
    text.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, decoded.data(), static_cast<int>(decoded.size()), &text[0], length);
    return text;
}

std::string StoredText(std::wstring_view text)
{
    std::string value;
    value.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
        {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        std::string bytes;
        if (IsDocumentChar(code) && ToCodePage(code, CP_ACP, bytes))
        {
            value += EncodeXmlText(bytes);
        }
        else
        {
            // What the code page cannot hold is stored as a reference to the character, never as "?".
            char reference[16];
            std::snprintf(reference, sizeof(reference), "&#x%X;", static_cast<unsigned>(code));
            value += reference;
        }
    }
    return value;
}

std::string Utf8Path(std::wstring_view path)
{
    std::string utf8;
    if (path.empty())
        return utf8;
    const int length = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0)
        return utf8;
    utf8.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), &utf8[0], length, nullptr,
                        nullptr);
    return utf8;
}
