// Which encoding a file is in: its byte-order mark, the encoding its XML declaration names, or what
// its bytes are valid in.
#include "XmlText.h"
#include "XmlInternal.h"

#include <string>

using XmlDetail::CCodePage;

namespace
{
// How far into a file an XML declaration is looked for.
constexpr std::size_t kMaxDeclarationLength = 256;
constexpr std::size_t kMaxEncodingNameLength = 64;

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

unsigned NumberOf(const CCodePage* codePage)
{
    return codePage ? codePage->number : 0;
}

// Prefixes of names that give a code page by its number, as NormalEncodingName leaves them: "windows-1252",
// "cp437", "x-cp20949", "ms936". "ibm" names only the IBM PC pages: IBM's own tables of the
// others' numbers (ibm932, ibm1252) are not Windows'.
constexpr std::string_view kNumberPrefixes[] = {"windows", "xcp", "cp", "ms", "dos"};
constexpr std::string_view kIbmPrefix = "ibm";
constexpr unsigned kLastIbmPcPage = 869;

// False for an encoding that writes ASCII characters as other bytes, or as more than one byte: UTF-7,
// HZ, the wide Unicode forms, and EBCDIC, by name or by IBM or Windows number. The name is normal.
bool KeepsAscii(std::string_view key)
{
    // Between spaces, so that a name is found whole.
    static constexpr std::string_view kOthers =
        " utf7 unicode11utf7 csunicode11utf7 xunicode20utf7 hzgb2312 utf32 utf32le utf32be ucs4 ucs2 "
        "ucs2le ucs2be iso10646ucs2 iso10646ucs4 csucs4 csunicode ibmthai csibmthai ";
    // The EBCDIC pages Windows has, by IBM number and by Windows number.
    static constexpr unsigned kEbcdic[] = {
        37,    273,   277,   278,   280,   284,   285,   290,   297,   420,   423,   424,   500,   833,
        838,   870,   871,   875,   880,   905,   924,   1025,  1026,  1027,  1047,  1140,  1141,  1142,
        1143,  1144,  1145,  1146,  1147,  1148,  1149,  20273, 20277, 20278, 20280, 20284, 20285, 20290,
        20297, 20420, 20423, 20424, 20833, 20838, 20871, 20880, 20905, 20924, 21025, 21027};
    if (key.find("ebcdic") != std::string_view::npos ||
        (key.find(' ') == std::string_view::npos &&
         kOthers.find(' ' + std::string(key) + ' ') != std::string_view::npos))
        return false;
    for (const std::string_view prefix : {"csibm", "ccsid", "ibm", "windows", "xcp", "cp", "ms"})
    {
        if (key.substr(0, prefix.size()) == prefix)
        {
            const unsigned number = ParseNumber(key.substr(prefix.size()));
            for (const unsigned ebcdic : kEbcdic)
            {
                if (number == ebcdic)
                    return false;
            }
            break;
        }
    }
    return true;
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
    const std::string normal = XmlDetail::NormalEncodingName(name);
    const std::string_view key = normal;
    if (const CCodePage* named = XmlDetail::CodePageByName(key))
        return named->number;
    constexpr std::string_view kIso8859 = "iso8859";
    if (key.substr(0, kIso8859.size()) == kIso8859)
    {
        std::string_view part = key.substr(kIso8859.size());
        // The IANA name "ISO_8859-1:1987" carries the year.
        part = part.substr(0, part.find(':'));
        return NumberOf(XmlDetail::CodePageByIsoPart(ParseNumber(part)));
    }
    // Any known code page may be named by its number.
    if (key.substr(0, kIbmPrefix.size()) == kIbmPrefix)
    {
        const unsigned number = ParseNumber(key.substr(kIbmPrefix.size()));
        return number <= kLastIbmPcPage ? NumberOf(XmlDetail::CodePageByNumber(number)) : 0;
    }
    for (const std::string_view prefix : kNumberPrefixes)
    {
        if (key.substr(0, prefix.size()) == prefix)
            return NumberOf(XmlDetail::CodePageByNumber(ParseNumber(key.substr(prefix.size()))));
    }
    return 0;
}

CXmlEncoding DetectEncoding(std::string_view bytes)
{
    bool utf8Unchecked = false;
    const CXmlEncoding encoding = DetectEncodingUnchecked(bytes, utf8Unchecked);
    return utf8Unchecked && !IsValidUtf8(bytes) ? NotUtf8Encoding(encoding) : encoding;
}

CXmlEncoding NotUtf8Encoding(const CXmlEncoding& utf8)
{
    return {SystemAnsiCodePage(), false, false, utf8.unwritableName};
}

CXmlEncoding DetectEncodingUnchecked(std::string_view bytes, bool& utf8Unchecked)
{
    utf8Unchecked = false;
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

    const std::string_view name = DeclaredEncoding(bytes);
    const unsigned codePage = CodePageFromEncodingName(name);
    // A declared UTF-16 over 8-bit bytes says nothing true about them.
    if (codePage != 0 && !IsUtf16(codePage))
        return {codePage, false, true};
    std::size_t unwritableName = 0;
    if (codePage == 0 && !name.empty())
    {
        if (KeepsAscii(XmlDetail::NormalEncodingName(name)))
            return {kCodePageAsciiOnly, false, true};
        unwritableName = static_cast<std::size_t>(name.data() - bytes.data());
    }
    utf8Unchecked = true;
    return {kCodePageUtf8, false, false, unwritableName};
}
