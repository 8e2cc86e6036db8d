// Attribute values as a reader means them and as a writer must put them: entities and character
// references, and the code page of the tree's bytes.
#include "XmlText.h"
#include "XmlInternal.h"

#include <algorithm>

using XmlDetail::kMaxCodePoint;
using XmlDetail::kReplacementChar;

namespace
{
// Longest reference decoded: "&#x" or "&#", digits of at most 0x10FFFF with leading zeros, ";".
constexpr std::size_t kMaxReferenceLength = 32;
// Longest byte sequence of one character in any known code page (GB18030).
constexpr std::size_t kMaxCharBytes = 4;

bool IsAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes in codePage appended to text. Bytes that do not decode show as U+FFFD, one for each.
void AppendDecoded(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const XmlDetail::CStandardForm* standard = XmlDetail::StandardFormOf(codePage);
    if (standard && standard->chars)
    {
        // What readers read, byte by byte; what the system reads where they do not agree on one.
        for (std::size_t i = 0; i < bytes.size(); ++i)
        {
            const char16_t c = XmlDetail::StandardChar(*standard, static_cast<unsigned char>(bytes[i]));
            std::u16string system;
            if (c != 0)
                text += c;
            else
                text += CodePageToUtf16(bytes.substr(i, 1), codePage, system) ? system : u"\uFFFD";
        }
        return;
    }
    if (IsAscii(bytes))
    {
        text.append(bytes.begin(), bytes.end());
        return;
    }
    if (HeldAsUtf8(codePage))
    {
        XmlDetail::AppendUtf8AsUtf16(bytes, true, text);
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
            text += static_cast<char16_t>(kReplacementChar);
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
    return XmlDetail::IsDocumentChar(code);
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
    const XmlDetail::CStandardForm* standard = XmlDetail::StandardFormOf(codePage);
    const bool utf8 = HeldAsUtf8(codePage);
    std::string bytes;
    std::u16string valid;
    valid.reserve(run.size());
    for (std::size_t i = 0; i < run.size();)
    {
        char32_t c = 0;
        i += XmlDetail::CharAt(run, i, c);
        if (!XmlDetail::IsDocumentChar(c))
            c = kReplacementChar;
        if (utf8)
            XmlDetail::AppendUtf8(c, out);
        else
            XmlDetail::AppendUtf16(c, valid);
    }
    if (utf8)
        return;
    if (standard && standard->chars)
    {
        // A single-byte page is written by what readers read, whatever the system's table says.
        for (std::size_t i = 0; i < valid.size();)
        {
            char32_t c = 0;
            i += XmlDetail::CharAt(valid, i, c);
            const int byte = XmlDetail::StandardByte(*standard, c);
            if (byte >= 0)
                out += static_cast<char>(byte);
            else
                AppendReference(c, out);
        }
        return;
    }
    // One conversion for the whole run; character by character only when some are not in the code page
    // or when each character's bytes must be checked.
    if (!standard && Utf16ToCodePage(valid, codePage, bytes))
    {
        out += bytes;
        return;
    }
    for (std::size_t i = 0; i < valid.size();)
    {
        char32_t c = 0;
        const std::size_t length = XmlDetail::CharAt(valid, i, c);
        bytes.clear();
        if (Utf16ToCodePage(valid.substr(i, length), codePage, bytes) &&
            (!standard || XmlDetail::InStandardForm(*standard, bytes, c)))
            out += bytes;
        else
            AppendReference(c, out);
        i += length;
    }
}

// Bytes in codePage appended to text as every reader reads them; false unless exact.
bool AppendExactly(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const XmlDetail::CStandardForm* standard = XmlDetail::StandardFormOf(codePage);
    std::u16string decoded;
    const bool ascii = IsAscii(bytes) && (!standard || XmlDetail::ReadsAsciiAsAscii(*standard));
    if (ascii)
        decoded.assign(bytes.begin(), bytes.end());
    else if (standard && standard->chars)
    {
        // A single-byte page is read as readers read it, whatever the system's table says.
        for (const char byte : bytes)
        {
            const char16_t c = XmlDetail::StandardChar(*standard, static_cast<unsigned char>(byte));
            if (c == 0)
                return false;
            decoded += c;
        }
    }
    else if (!CodePageToUtf16(bytes, codePage, decoded))
        return false;
    if (standard && !standard->chars && !ascii)
    {
        // Each character must come from bytes of the standard form, and from those that the engine
        // writes for it: bytes that read as the same character in another way may not in other readers.
        std::string again;
        std::string bytesOfOne;
        for (std::size_t i = 0; i < decoded.size();)
        {
            char32_t c = 0;
            const std::size_t length = XmlDetail::CharAt(decoded, i, c);
            if (!Utf16ToCodePage(std::u16string_view(decoded).substr(i, length), codePage, bytesOfOne) ||
                !XmlDetail::InStandardForm(*standard, bytesOfOne, c))
                return false;
            again += bytesOfOne;
            i += length;
        }
        if (again != bytes)
            return false;
    }
    // Readers take a line break as one LF, and every tab and LF of a value as a space; a character no
    // document may hold they do not read at all.
    for (std::size_t i = 0; i < decoded.size(); ++i)
    {
        const char16_t c = decoded[i];
        if (!XmlDetail::IsDocumentChar(c) && !XmlDetail::IsSurrogate(c))
            return false;
        if (c == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n')
            continue;
        text += c == u'\t' || c == u'\n' || c == u'\r' ? u' ' : c;
    }
    return true;
}

// Whether what follows an "&" is meant as a reference: a name or "#".
bool BeginsReference(std::string_view rest)
{
    if (rest.empty())
        return false;
    const auto c = static_cast<unsigned char>(rest[0]);
    return c == '#' || c == '_' || c == ':' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

// Entities within entities are read this deep, this many times and to this much text for one value,
// which keeps an entity that refers to itself, or one that multiplies, from reading on without end.
constexpr std::size_t kMaxEntityDepth = 32;
constexpr std::size_t kMaxEntityExpansions = 10000;
constexpr std::size_t kMaxExpandedSize = 1 << 20;
// Longest "&name;" looked up among the declared entities.
constexpr std::size_t kMaxEntityReferenceLength = 256;

// A value as readers read it, with the entities the document type declares replaced by their
// replacement text, which is read the same way.
class CValueReader
{
public:
    CValueReader(unsigned codePage, const CXmlDocumentType* type) : m_codePage(codePage), m_type(type)
    {
    }

    // Appends the value's text; false when it cannot be sure of it. A replacement text is in UTF-8,
    // and a "<" in it is markup, which no value may hold.
    bool Read(std::string_view value, unsigned codePage, bool replacement, std::u16string& text)
    {
        if (replacement && value.find('<') != std::string_view::npos)
            return false;
        std::size_t start = 0;
        for (std::size_t i = value.find('&'); i != std::string_view::npos; i = value.find('&', i + 1))
        {
            char32_t code = 0;
            std::size_t length = DecodeReference(value.substr(i), code);
            const CXmlEntityDeclaration* entity = length == 0 ? Declared(value.substr(i), length) : nullptr;
            if (length == 0)
            {
                if (BeginsReference(value.substr(i + 1)))
                    return false;
                continue;
            }
            if (!AppendExactly(value.substr(start, i - start), codePage, text))
                return false;
            if (!entity)
                XmlDetail::AppendUtf16(code, text);
            else if (!ReadEntity(*entity, text))
                return false;
            start = i + length;
            i = start - 1;
        }
        return AppendExactly(value.substr(start), codePage, text);
    }

    // The declared entity that the reference at text[0] ("&") names, with the reference's length.
    const CXmlEntityDeclaration* Declared(std::string_view text, std::size_t& length) const
    {
        const std::size_t end =
            m_type ? text.substr(0, kMaxEntityReferenceLength).find(';') : std::string_view::npos;
        if (end == std::string_view::npos)
            return nullptr;
        const CXmlEntityDeclaration* entity = m_type->FindEntity(text.substr(1, end - 1));
        length = entity ? end + 1 : 0;
        return entity;
    }

private:
    // The replacement text is the literal with its character references replaced and other references
    // kept; in a value, its tabs and line breaks read as spaces, those of character references too.
    bool ReadEntity(const CXmlEntityDeclaration& entity, std::u16string& text)
    {
        if (entity.external || m_depth == kMaxEntityDepth || ++m_expansions > kMaxEntityExpansions ||
            entity.literal.find('%') != std::string_view::npos)
            return false;
        const std::string_view literal = entity.literal;
        std::u16string replacement;
        std::size_t start = 0;
        for (std::size_t i = literal.find('&'); i != std::string_view::npos; i = literal.find('&', i + 1))
        {
            const std::size_t end = literal.find(';', i);
            if (end == std::string_view::npos || !BeginsReference(literal.substr(i + 1)) ||
                !AppendExactly(literal.substr(start, i - start), m_codePage, replacement))
                return false;
            char32_t code = 0;
            start = end + 1;
            if (literal[i + 1] != '#')
                start = i;
            else if (DecodeReference(literal.substr(i), code) != end + 1 - i)
                return false;
            else if (code == '\t' || code == '\n' || code == '\r')
                replacement += u' ';
            else
                XmlDetail::AppendUtf16(code, replacement);
            i = end;
        }
        std::string utf8;
        if (!AppendExactly(literal.substr(start), m_codePage, replacement) || !Utf16ToUtf8(replacement, utf8))
            return false;
        ++m_depth;
        const bool read = Read(utf8, kCodePageUtf8, true, text) && text.size() <= kMaxExpandedSize;
        --m_depth;
        return read;
    }

    unsigned m_codePage;
    const CXmlDocumentType* m_type;
    std::size_t m_depth = 0;
    std::size_t m_expansions = 0;
};
} // namespace

bool DecodeXmlValueExactly(std::string_view value, unsigned codePage, std::u16string& text,
                           const CXmlDocumentType* type)
{
    text.clear();
    return CValueReader(codePage, type).Read(value, codePage, false, text);
}

std::u16string DecodeXmlValue(std::string_view value, unsigned codePage, const CXmlDocumentType* type)
{
    std::u16string text;
    text.reserve(value.size());
    std::u16string entityText;
    std::size_t start = 0;
    for (std::size_t i = value.find('&'); i != std::string_view::npos; i = value.find('&', i + 1))
    {
        char32_t code = 0;
        std::size_t length = DecodeReference(value.substr(i), code);
        CValueReader reader(codePage, type);
        entityText.clear();
        // A declared entity that cannot be read exactly stays as written, as other references do.
        const bool entity = length == 0 && reader.Declared(value.substr(i), length);
        if (entity && !reader.Read(value.substr(i, length), codePage, false, entityText))
            length = 0;
        if (length == 0)
            continue;
        // No multi-byte code page uses the byte of "&" inside a character, so runs split there.
        AppendDecoded(value.substr(start, i - start), codePage, text);
        if (entity)
            text += entityText;
        else
            XmlDetail::AppendUtf16(code, text);
        start = i + length;
        i = start - 1;
    }
    AppendDecoded(value.substr(start), codePage, text);
    return text;
}

std::string EncodeXmlValue(std::u16string_view text, unsigned codePage, char quote)
{
    const XmlDetail::CStandardForm* standard = XmlDetail::StandardFormOf(codePage);
    const bool asciiAlike = !standard || XmlDetail::ReadsAsciiAsAscii(*standard);
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
        const char ascii = static_cast<char>(c);
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
        else if (!asciiAlike && !XmlDetail::InStandardForm(*standard, std::string_view(&ascii, 1), c))
            AppendReference(c, value); // "\\" and "~" are other characters in Shift_JIS, "%" in CP864
        else
            value += ascii;
    }
    return value;
}
