// Conversions between UTF-8, UTF-16 and the code pages, exact or refused, and where bytes stop being
// valid in their code page.
#include "XmlText.h"
#include "XmlInternal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

using XmlDetail::CodePageForm;

namespace
{
// The length of the UTF-8 sequence at s[i] with its character in c, or 0 when it is invalid.
std::size_t DecodeUtf8At(std::string_view s, std::size_t i, char32_t& c)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
    {
        c = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, min = 0x80, c = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, min = 0x800, c = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, min = 0x10000, c = lead & 0x07u;
    else
        return 0;
    if (s.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k)
    {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i + k) & 0x3Fu);
    }
    if (c < min || c > XmlDetail::kMaxCodePoint || XmlDetail::IsSurrogate(c))
        return 0;
    return length;
}
} // namespace

bool XmlDetail::AppendUtf8AsUtf16(std::string_view utf8, bool lenient, std::u16string& text)
{
    for (std::size_t i = 0; i < utf8.size();)
    {
        char32_t c = 0;
        std::size_t length = DecodeUtf8At(utf8, i, c);
        if (length == 0)
        {
            if (!lenient)
                return false;
            c = kReplacementChar;
            length = 1;
        }
        AppendUtf16(c, text);
        i += length;
    }
    return true;
}

bool IsValidUtf8(std::string_view bytes)
{
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size;)
    {
        // ASCII 32 bytes at a time: every file is checked, and most are ASCII throughout.
        constexpr std::uint64_t kHighBits = 0x8080808080808080u;
        std::uint64_t words[4];
        while (size - i >= sizeof words)
        {
            std::memcpy(words, bytes.data() + i, sizeof words);
            if ((words[0] | words[1] | words[2] | words[3]) & kHighBits)
                break;
            i += sizeof words;
        }
        std::uint64_t word = 0;
        while (size - i >= sizeof word &&
               (std::memcpy(&word, bytes.data() + i, sizeof word), !(word & kHighBits)))
            i += sizeof word;
        if (i == size)
            break;
        if (static_cast<unsigned char>(bytes[i]) < 0x80)
        {
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, i, c);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string& text)
{
    text.clear();
    text.reserve(utf8.size());
    return XmlDetail::AppendUtf8AsUtf16(utf8, false, text);
}

bool Utf16ToUtf8(std::u16string_view text, std::string& utf8)
{
    utf8.clear();
    utf8.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
    {
        char32_t c = 0;
        i += XmlDetail::CharAt(text, i, c);
        if (XmlDetail::IsSurrogate(c))
            return false;
        XmlDetail::AppendUtf8(c, utf8);
    }
    return true;
}

bool Utf16BytesToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8)
{
    if (bytes.size() % 2 != 0)
        return false;
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return Utf16ToUtf8(text, utf8);
}

bool Utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian, std::string& bytes)
{
    std::u16string text;
    if (!Utf8ToUtf16(utf8, text))
        return false;
    bytes.clear();
    bytes.reserve(2 * text.size());
    for (const char16_t unit : text)
    {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return true;
}

bool CodePageToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    const CodePageForm form = XmlDetail::FormOfCodePage(codePage);
    switch (form)
    {
    case CodePageForm::Utf8:
        return Utf8ToUtf16(bytes, text);
    case CodePageForm::Utf16LE:
    case CodePageForm::Utf16BE: {
        std::string utf8;
        return Utf16BytesToUtf8(bytes, form == CodePageForm::Utf16BE, utf8) && Utf8ToUtf16(utf8, text);
    }
    case CodePageForm::UsAscii:
    case CodePageForm::AsciiOnly:
        for (const char c : bytes)
        {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
            text += static_cast<char16_t>(c);
        }
        return true;
    case CodePageForm::SystemTable:
        break;
    }
    return bytes.size() <= INT_MAX && XmlDetail::PlatformToUtf16(bytes, codePage, text);
}

bool IsValidInCodePage(std::string_view bytes, unsigned codePage)
{
    // A piece at a time, so that a long file costs no second copy twice its size. A piece ends
    // after a line feed, which no code page continues a character with. The encodings that shift
    // between character sets (ISO-2022, HZ, UTF-7) are read whole: a shift may span lines.
    constexpr std::size_t kPiece = std::size_t(1) << 16;
    const bool shifting = (codePage >= 50220 && codePage <= 50229) || codePage == 52936 || codePage == 65000;
    std::u16string text;
    if (shifting)
        return CodePageToUtf16(bytes, codePage, text);
    for (std::size_t from = 0; from < bytes.size();)
    {
        std::size_t to = std::min(bytes.size(), from + kPiece);
        while (to < bytes.size() && bytes[to - 1] != '\n')
            ++to;
        if (!CodePageToUtf16(bytes.substr(from, to - from), codePage, text))
            return false;
        from = to;
    }
    return true;
}

namespace
{
// The first unit of an unpaired surrogate, or of an odd last byte.
std::size_t FirstInvalidUtf16(std::string_view bytes, bool bigEndian)
{
    auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
    {
        const int u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF)
            return i;
        if (u >= 0xD800 && u <= 0xDBFF)
        {
            if (i + 3 >= bytes.size() || unit(i + 2) < 0xDC00 || unit(i + 2) > 0xDFFF)
                return i;
            i += 2;
        }
    }
    return i;
}

std::size_t FirstInvalidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    char32_t c = 0;
    for (std::size_t length = 0; i < bytes.size(); i += length)
    {
        length = DecodeUtf8At(bytes, i, c);
        if (length == 0)
            break;
    }
    return i;
}

// In a code page the system converts: found by halves, then character by character.
std::size_t FirstInvalidInCodePage(std::string_view bytes, unsigned codePage)
{
    std::u16string text;
    if (CodePageToUtf16(bytes, codePage, text))
        return bytes.size();
    // No code page the scanner reads continues a character with a byte below '0' (a line break, a
    // space, a quote), so a character begins after each. Between two such boundaries lo, before
    // which all converts, and hi, before which something does not, the halves are tried in turn.
    const auto isBoundary = [&](std::size_t at) {
        return at == 0 || at == bytes.size() || static_cast<unsigned char>(bytes[at - 1]) < '0';
    };
    std::size_t lo = 0;
    std::size_t hi = bytes.size();
    for (;;)
    {
        const std::size_t middle = lo + (hi - lo) / 2;
        std::size_t at = middle;
        while (at > lo && !isBoundary(at))
            --at;
        if (at == lo)
        {
            at = middle + 1;
            while (at < hi && !isBoundary(at))
                ++at;
        }
        if (at >= hi)
            break;
        if (CodePageToUtf16(bytes.substr(lo, at - lo), codePage, text))
            lo = at;
        else
            hi = at;
    }
    // Then character by character: the shortest sequence that converts.
    constexpr std::size_t kMaxCharBytes = 4; // GB18030's longest
    std::size_t at = lo;
    while (at < hi)
    {
        std::size_t length = 1;
        while (length <= kMaxCharBytes && at + length <= hi &&
               !CodePageToUtf16(bytes.substr(at, length), codePage, text))
            ++length;
        if (length > kMaxCharBytes || at + length > hi)
            break;
        at += length;
    }
    return at;
}
} // namespace

std::size_t FirstInvalidByte(std::string_view bytes, unsigned codePage)
{
    if (IsUtf16(codePage))
        return FirstInvalidUtf16(bytes, IsUtf16BigEndian(codePage));
    if (codePage == kCodePageUtf8)
        return FirstInvalidUtf8(bytes);
    return FirstInvalidInCodePage(bytes, codePage);
}

bool Utf16ToCodePage(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    const CodePageForm form = XmlDetail::FormOfCodePage(codePage);
    switch (form)
    {
    case CodePageForm::Utf8:
        return Utf16ToUtf8(text, bytes);
    case CodePageForm::Utf16LE:
    case CodePageForm::Utf16BE: {
        std::string utf8;
        return Utf16ToUtf8(text, utf8) && Utf8ToUtf16Bytes(utf8, form == CodePageForm::Utf16BE, bytes);
    }
    case CodePageForm::UsAscii:
    case CodePageForm::AsciiOnly:
        for (const char16_t c : text)
        {
            if (c >= 0x80)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    case CodePageForm::SystemTable:
        break;
    }
    // Some tables map several characters to the same bytes (a full-width and a plain one, say): only
    // bytes that read back as the same text are exact.
    std::u16string readBack;
    return text.size() <= INT_MAX / 4 && XmlDetail::PlatformFromUtf16(text, codePage, bytes) &&
           XmlDetail::PlatformToUtf16(bytes, codePage, readBack) && readBack == text;
}
