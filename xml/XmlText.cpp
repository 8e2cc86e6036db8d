#include "XmlText.h"
#include "XmlInternal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace
{
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kReplacement = 0xFFFD;
// Longest reference decoded: "&#x" or "&#", digits of at most 0x10FFFF with leading zeros, ";".
constexpr std::size_t kMaxReferenceLength = 32;
// How far into a file an XML declaration is looked for.
constexpr std::size_t kMaxDeclarationLength = 256;
constexpr std::size_t kMaxEncodingNameLength = 64;
// Longest byte sequence of one character in any known code page (GB18030).
constexpr std::size_t kMaxCharBytes = 4;

// Code pages named by number ("windows-1252", "cp437", "ibm866", "x-cp20949") and the ISO-8859 parts.
constexpr unsigned kNumberedCodePages[] = {
    437,   708,   720,   737,   775,   850,   852,   855,   857,   858,   860,   861,   862,   863,   864,
    865,   866,   869,   874,   932,   936,   949,   950,   1200,  1201,  1250,  1251,  1252,  1253,  1254,
    1255,  1256,  1257,  1258,  1361,  10000, 10001, 10002, 10003, 10004, 10005, 10006, 10007, 10008, 10010,
    10017, 10021, 10029, 10079, 10081, 10082, 20127, 20866, 20932, 20949, 21866, 28591, 28592, 28593, 28594,
    28595, 28596, 28597, 28598, 28599, 28603, 28605, 51932, 51949, 54936, 65001,
};

const struct
{
    std::string_view name;
    unsigned codePage;
} kEncodingNames[] = {
    {"utf-8",                                         65001},
    {"utf8",                                          65001},
    {"unicode-1-1-utf-8",                             65001},
    {"utf-16",                                        1200 },
    {"utf-16le",                                      1200 },
    {"unicode",                                       1200 },
    {"utf-16be",                                      1201 },
    {"unicodefffe",                                   1201 },
    {"us-ascii",                                      20127},
    {"ascii",                                         20127},
    {"ansi_x3.4-1968",                                20127},
    {"iso646-us",                                     20127},
    {"csascii",                                       20127},
    {"us",                                            20127},
    {"latin1",                                        28591},
    {"l1",                                            28591},
    {"latin2",                                        28592},
    {"l2",                                            28592},
    {"latin3",                                        28593},
    {"latin4",                                        28594},
    {"cyrillic",                                      28595},
    {"arabic",                                        28596},
    {"greek",                                         28597},
    {"hebrew",                                        28598},
    {"iso-8859-8-i",                                  28598}, // the same bytes, in logical order
    {"asmo-708",                                      708  },
    {"ibm00858",                                      858  },
    {"latin5",                                        28599},
    {"latin7",                                        28603},
    {"latin9",                                        28605},
    {"iso-8859-11",                                   874  },
    {"tis-620",                                       874  },
    {"shift_jis",                                     932  },
    {"shift-jis",                                     932  },
    {"sjis",                                          932  },
    {"x-sjis",                                        932  },
    {"ms_kanji",                                      932  },
    {"csshiftjis",                                    932  },
    {"windows-31j",                                   932  },
    {"euc-jp",                                        51932},
    {"eucjp",                                         51932},
    {"x-euc-jp",                                      51932},
    {"cseucpkdfmtjapanese",                           51932},
    {"extended_unix_code_packed_format_for_japanese", 51932},
    {"gbk",                                           936  },
    {"x-gbk",                                         936  },
    {"gb2312",                                        936  },
    {"gb_2312-80",                                    936  },
    {"csgb2312",                                      936  },
    {"csgb231280",                                    936  },
    {"euc-cn",                                        936  },
    {"x-euc-cn",                                      936  },
    {"chinese",                                       936  },
    {"gb18030",                                       54936},
    {"big5",                                          950  },
    {"big-5",                                         950  },
    {"csbig5",                                        950  },
    {"cn-big5",                                       950  },
    {"x-x-big5",                                      950  },
    {"euc-kr",                                        51949},
    {"cseuckr",                                       51949},
    {"ks_c_5601-1987",                                949  },
    {"ks_c_5601-1989",                                949  },
    {"ksc_5601",                                      949  },
    {"csksc56011987",                                 949  },
    {"korean",                                        949  },
    {"uhc",                                           949  },
    {"johab",                                         1361 },
    {"koi8-r",                                        20866},
    {"koi8",                                          20866},
    {"cskoi8r",                                       20866},
    {"koi8-u",                                        21866},
    {"koi8-ru",                                       21866},
    {"macintosh",                                     10000},
    {"mac",                                           10000},
    {"x-mac-roman",                                   10000},
    {"x-mac-japanese",                                10001},
    {"x-mac-chinesetrad",                             10002},
    {"x-mac-korean",                                  10003},
    {"x-mac-arabic",                                  10004},
    {"x-mac-hebrew",                                  10005},
    {"x-mac-greek",                                   10006},
    {"x-mac-chinesesimp",                             10008},
    {"x-mac-romanian",                                10010},
    {"x-mac-ukrainian",                               10017},
    {"x-mac-thai",                                    10021},
    {"x-mac-turkish",                                 10081},
    {"x-mac-croatian",                                10082},
    {"x-mac-cyrillic",                                10007},
    {"x-mac-ce",                                      10029},
    {"x-mac-icelandic",                               10079},
};

bool IsKnownCodePage(unsigned codePage)
{
    return std::binary_search(std::begin(kNumberedCodePages), std::end(kNumberedCodePages), codePage);
}

// The number that the whole of text spells in decimal, or 0.
unsigned ParseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return 0;
    unsigned number = 0;
    for (const char c : text)
    {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

unsigned CodePageFromIsoPart(unsigned part)
{
    if (part >= 1 && part <= 9)
        return 28590 + part;
    return part == 13 ? 28603 : part == 15 ? 28605 : 0;
}

bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// Characters a document may hold.
bool IsDocumentChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= kMaxCodePoint);
}

bool IsUtf8(unsigned codePage)
{
    // The tree of a UTF-16 file holds UTF-8.
    return codePage == kCodePageUtf8 || IsUtf16(codePage);
}

bool IsAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

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
    if (c < min || c > kMaxCodePoint || IsSurrogate(c))
        return 0;
    return length;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
        return;
    }
    char bytes[4];
    std::size_t length = 0;
    if (c < 0x800)
        length = 2, bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    else if (c < 0x10000)
        length = 3, bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    else
        length = 4, bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    for (std::size_t k = 1; k < length; ++k)
        bytes[k] = static_cast<char>(0x80 | ((c >> (6 * (length - 1 - k))) & 0x3F));
    out.append(bytes, length);
}

void AppendUtf16(char32_t c, std::u16string& out)
{
    if (c < 0x10000)
    {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// The character at text[i] and how many units it takes; an unpaired surrogate comes back as itself.
std::size_t CharAt(std::u16string_view text, std::size_t i, char32_t& c)
{
    c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
    {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        return 2;
    }
    return 1;
}

// Invalid bytes become U+FFFD, one for each, when lenient; otherwise they fail the conversion.
bool DecodeUtf8(std::string_view utf8, bool lenient, std::u16string& text)
{
    for (std::size_t i = 0; i < utf8.size();)
    {
        char32_t c = 0;
        std::size_t length = DecodeUtf8At(utf8, i, c);
        if (length == 0)
        {
            if (!lenient)
                return false;
            c = kReplacement;
            length = 1;
        }
        AppendUtf16(c, text);
        i += length;
    }
    return true;
}

// Bytes in codePage appended to text. Bytes that do not decode show as U+FFFD, one for each.
void AppendDecoded(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    if (IsAscii(bytes))
    {
        text.append(bytes.begin(), bytes.end());
        return;
    }
    if (IsUtf8(codePage))
    {
        DecodeUtf8(bytes, true, text);
        return;
    }
    std::u16string decoded;
    if (CodePageToUtf16(bytes, codePage, decoded))
    {
        text += decoded;
        return;
    }
    // The slow way, only for bad bytes: the shortest sequence that decodes, else one replacement.
    for (std::size_t i = 0; i < bytes.size();)
    {
        std::size_t length = 1;
        for (; length <= kMaxCharBytes && i + length <= bytes.size(); ++length)
        {
            decoded.clear();
            if (CodePageToUtf16(bytes.substr(i, length), codePage, decoded) && !decoded.empty())
                break;
        }
        if (length <= kMaxCharBytes && i + length <= bytes.size())
        {
            text += decoded;
            i += length;
        }
        else
        {
            text += static_cast<char16_t>(kReplacement);
            ++i;
        }
    }
}

// The digits of "&#...;" or "&#x...;" between "#" (or "x") and ";". False when malformed.
bool ParseCharNumber(std::string_view digits, bool hex, char32_t& code)
{
    if (digits.empty())
        return false;
    code = 0;
    for (const char c : digits)
    {
        char32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<char32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<char32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<char32_t>(c - 'A' + 10);
        else
            return false;
        code = code * (hex ? 16 : 10) + digit;
        if (code > kMaxCodePoint)
            return false;
    }
    return IsDocumentChar(code);
}

// The length of the reference at text[0] ("&") with its character in code, or 0 when it cannot be decoded.
std::size_t DecodeReference(std::string_view text, char32_t& code)
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
            code = static_cast<char32_t>(entity.c);
            return end + 1;
        }
    }
    if (body.size() < 2 || body[0] != '#')
        return 0;
    // Only a lower-case "x" opens a hexadecimal reference.
    const bool hex = body[1] == 'x';
    return ParseCharNumber(body.substr(hex ? 2 : 1), hex, code) ? end + 1 : 0;
}

void AppendReference(char32_t c, std::string& out)
{
    static const char kHex[] = "0123456789ABCDEF";
    char digits[8];
    std::size_t count = 0;
    do
    {
        digits[count++] = kHex[c & 0xF];
        c >>= 4;
    } while (c != 0);
    out += "&#x";
    while (count > 0)
        out += digits[--count];
    out += ';';
}

// A run of characters from U+0080 up, in codePage where it holds them and as references where not.
void AppendEncoded(std::u16string_view run, unsigned codePage, std::string& out)
{
    const bool utf8 = IsUtf8(codePage);
    std::string bytes;
    std::u16string valid;
    valid.reserve(run.size());
    for (std::size_t i = 0; i < run.size();)
    {
        char32_t c = 0;
        i += CharAt(run, i, c);
        if (!IsDocumentChar(c))
            c = kReplacement;
        if (utf8)
            AppendUtf8(c, out);
        else
            AppendUtf16(c, valid);
    }
    if (utf8)
        return;
    // One conversion for the whole run; character by character only when some are not in the code page.
    if (Utf16ToCodePage(valid, codePage, bytes))
    {
        out += bytes;
        return;
    }
    for (std::size_t i = 0; i < valid.size();)
    {
        char32_t c = 0;
        const std::size_t length = CharAt(valid, i, c);
        bytes.clear();
        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes))
            out += bytes;
        else
            AppendReference(c, out);
        i += length;
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoding name of the XML declaration that opens bytes, or empty.
std::string_view DeclaredEncoding(std::string_view bytes)
{
    if (bytes.size() < 6 || bytes.substr(0, 5) != "<?xml" || !IsSpace(bytes[5]))
        return {};
    std::string_view declaration = bytes.substr(0, kMaxDeclarationLength);
    declaration = declaration.substr(0, declaration.find("?>"));
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos || !IsSpace(declaration[at - 1]))
        return {};
    std::size_t i = at + 8;
    const auto skipSpaces = [&] {
        while (i < declaration.size() && IsSpace(declaration[i]))
            ++i;
    };
    skipSpaces();
    if (i >= declaration.size() || declaration[i] != '=')
        return {};
    ++i;
    skipSpaces();
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos)
        return {};
    return declaration.substr(i + 1, end - i - 1);
}
} // namespace

unsigned CodePageFromEncodingName(std::string_view name)
{
    if (name.size() > kMaxEncodingNameLength)
        return 0;
    std::string lower(name);
    for (char& c : lower)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    const std::string_view key = lower;
    for (const auto& entry : kEncodingNames)
    {
        if (entry.name == key)
            return entry.codePage;
    }
    for (const std::string_view prefix : {"iso-8859-", "iso_8859-", "iso8859-", "iso8859_", "iso-8859_"})
    {
        if (key.substr(0, prefix.size()) == prefix)
        {
            std::string_view part = key.substr(prefix.size());
            // The IANA name "ISO_8859-1:1987" carries the year.
            part = part.substr(0, part.find(':'));
            return CodePageFromIsoPart(ParseNumber(part));
        }
    }
    for (const std::string_view prefix : {"windows-", "x-cp", "cp-", "cp", "ibm-", "ibm", "ms", "dos-"})
    {
        if (key.substr(0, prefix.size()) == prefix)
        {
            const unsigned codePage = ParseNumber(key.substr(prefix.size()));
            return IsKnownCodePage(codePage) ? codePage : 0;
        }
    }
    return 0;
}

bool IsValidUtf8(std::string_view bytes)
{
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size;)
    {
        // Eight ASCII bytes at a time: every file is checked, and most are ASCII throughout.
        constexpr std::uint64_t kHighBits = 0x8080808080808080u;
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

CXmlEncoding DetectEncoding(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return {kCodePageUtf8, true};
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return {kCodePageUtf16LE, true};
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return {kCodePageUtf16BE, true};
    using namespace std::string_view_literals;
    if (bytes.substr(0, 4) == "<\0?\0"sv)
        return {kCodePageUtf16LE, false};
    if (bytes.substr(0, 4) == "\0<\0?"sv)
        return {kCodePageUtf16BE, false};

    const unsigned codePage = CodePageFromEncodingName(DeclaredEncoding(bytes));
    // A declared UTF-16 over 8-bit bytes says nothing true about them.
    if (codePage != 0 && codePage != kCodePageUtf8 && !IsUtf16(codePage))
        return {codePage, false, true};
    if (IsValidUtf8(bytes))
        return {kCodePageUtf8, false, codePage == kCodePageUtf8};
    return {SystemAnsiCodePage(), false};
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string& text)
{
    text.clear();
    text.reserve(utf8.size());
    return DecodeUtf8(utf8, false, text);
}

bool Utf16ToUtf8(std::u16string_view text, std::string& utf8)
{
    utf8.clear();
    utf8.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
    {
        char32_t c = 0;
        i += CharAt(text, i, c);
        if (IsSurrogate(c))
            return false;
        AppendUtf8(c, utf8);
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
    if (codePage == kCodePageUtf8)
        return Utf8ToUtf16(bytes, text);
    if (IsUtf16(codePage))
    {
        std::string utf8;
        return Utf16BytesToUtf8(bytes, codePage == kCodePageUtf16BE, utf8) && Utf8ToUtf16(utf8, text);
    }
    if (codePage == kCodePageUsAscii)
    {
        for (const char c : bytes)
        {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
            text += static_cast<char16_t>(c);
        }
        return true;
    }
    return bytes.size() <= INT_MAX && XmlDetail::PlatformToUtf16(bytes, codePage, text);
}

std::size_t FirstInvalidByte(std::string_view bytes, unsigned codePage)
{
    if (IsUtf16(codePage))
    {
        const bool bigEndian = codePage == kCodePageUtf16BE;
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
    // Line by line, which no code page the scanner reads splits a character across; then, in the
    // first line that fails, the longest start of it that converts.
    constexpr std::size_t kLongestSearchedLine = 4096;
    std::u16string text;
    std::size_t lineStart = 0;
    while (lineStart < bytes.size())
    {
        std::size_t lineEnd = bytes.find('\n', lineStart);
        lineEnd = lineEnd == std::string_view::npos ? bytes.size() : lineEnd + 1;
        const std::string_view line = bytes.substr(lineStart, lineEnd - lineStart);
        if (!CodePageToUtf16(line, codePage, text))
        {
            if (line.size() > kLongestSearchedLine)
                return lineStart;
            std::size_t good = 0;
            for (std::size_t length = 1; length < line.size(); ++length)
            {
                if (CodePageToUtf16(line.substr(0, length), codePage, text))
                    good = length;
            }
            return lineStart + good;
        }
        lineStart = lineEnd;
    }
    return bytes.size();
}

bool Utf16ToCodePage(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    if (codePage == kCodePageUtf8)
        return Utf16ToUtf8(text, bytes);
    if (IsUtf16(codePage))
    {
        std::string utf8;
        return Utf16ToUtf8(text, utf8) && Utf8ToUtf16Bytes(utf8, codePage == kCodePageUtf16BE, bytes);
    }
    if (codePage == kCodePageUsAscii)
    {
        for (const char16_t c : text)
        {
            if (c >= 0x80)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    }
    // Some tables map several characters to the same bytes (a full-width and a plain one, say): only
    // bytes that read back as the same text are exact.
    std::u16string readBack;
    return text.size() <= INT_MAX / 4 && XmlDetail::PlatformFromUtf16(text, codePage, bytes) &&
           XmlDetail::PlatformToUtf16(bytes, codePage, readBack) && readBack == text;
}

std::u16string DecodeXmlValue(std::string_view value, unsigned codePage)
{
    std::u16string text;
    text.reserve(value.size());
    std::size_t start = 0;
    for (std::size_t i = value.find('&'); i != std::string_view::npos; i = value.find('&', i + 1))
    {
        char32_t code = 0;
        const std::size_t length = DecodeReference(value.substr(i), code);
        if (length == 0)
            continue;
        // No multi-byte code page uses the byte of "&" inside a character, so runs split there.
        AppendDecoded(value.substr(start, i - start), codePage, text);
        AppendUtf16(code, text);
        start = i + length;
        i = start - 1;
    }
    AppendDecoded(value.substr(start), codePage, text);
    return text;
}

std::string EncodeXmlValue(std::u16string_view text, unsigned codePage, char quote)
{
    std::string value;
    value.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
    {
        const char16_t c = text[i];
        if (c >= 0x80)
        {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] >= 0x80)
                ++end;
            AppendEncoded(text.substr(i, end - i), codePage, value);
            i = end;
            continue;
        }
        ++i;
        if (c == '&')
            value += "&amp;";
        else if (c == '<')
            value += "&lt;";
        else if (c == '\'' && quote == '\'')
            value += "&apos;";
        else if (c == '"' && quote != '\'')
            value += "&quot;";
        else if (c == '\t' || c == '\n' || c == '\r')
            value += c == '\t' ? "&#9;" : c == '\n' ? "&#10;" : "&#13;";
        else if (c < 0x20)
            AppendEncoded(u"\uFFFD", codePage, value);
        else
            value += static_cast<char>(c);
    }
    return value;
}
