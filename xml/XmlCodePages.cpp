// The code pages the engine knows, in one table: what each is called, how its bytes are read, and
// what the platform unit needs to convert it.
#include "XmlInternal.h"
#include "XmlText.h"

#include <algorithm>
#include <iterator>

using XmlDetail::CCodePage;
using XmlDetail::CodePageForm;

namespace
{
constexpr CodePageForm kUtf8 = CodePageForm::Utf8;
constexpr CodePageForm kUtf16LE = CodePageForm::Utf16LE;
constexpr CodePageForm kUtf16BE = CodePageForm::Utf16BE;
constexpr CodePageForm kUsAscii = CodePageForm::UsAscii;
constexpr CodePageForm kAsciiOnly = CodePageForm::AsciiOnly;
constexpr CodePageForm kSystem = CodePageForm::SystemTable;

// Number, how its bytes are read, ISO 8859 part, iconv's name, Windows' stand-in, whether it holds every
// character, and the other names a declaration may give it.
// clang-format off
constexpr CCodePage kCodePages[] = {
    {437,   kSystem,  0,  "CP437",             0,     false, ""},
    {708,   kSystem,  0,  nullptr,             0,     false, "asmo-708"},
    {720,   kSystem,  0,  nullptr,             0,     false, ""},
    {737,   kSystem,  0,  "CP737",             0,     false, ""},
    {775,   kSystem,  0,  "CP775",             0,     false, ""},
    {850,   kSystem,  0,  "CP850",             0,     false, ""},
    {852,   kSystem,  0,  "CP852",             0,     false, ""},
    {855,   kSystem,  0,  "CP855",             0,     false, ""},
    {857,   kSystem,  0,  "CP857",             0,     false, ""},
    {858,   kSystem,  0,  "CP858",             0,     false, "ibm00858"},
    {860,   kSystem,  0,  "CP860",             0,     false, ""},
    {861,   kSystem,  0,  "CP861",             0,     false, ""},
    {862,   kSystem,  0,  "CP862",             0,     false, ""},
    {863,   kSystem,  0,  "CP863",             0,     false, ""},
    {864,   kSystem,  0,  "CP864",             0,     false, ""},
    {865,   kSystem,  0,  "CP865",             0,     false, ""},
    {866,   kSystem,  0,  "CP866",             0,     false, ""},
    {869,   kSystem,  0,  "CP869",             0,     false, ""},
    {874,   kSystem,  0,  "CP874",             0,     false, "iso-8859-11 tis-620"},
    {932,   kSystem,  0,  "CP932",             0,     false, "windows-31j"},
    {936,   kSystem,  0,  "CP936",             0,     false, "gbk x-gbk"},
    {949,   kSystem,  0,  "CP949",             0,     false, "ks_c_5601-1987 ks_c_5601-1989 ksc_5601 "
                                                             "csksc56011987 korean uhc"},
    {950,   kSystem,  0,  "CP950",             0,     false, ""},
    {1200,  kUtf16LE, 0,  nullptr,             0,     true,  "utf-16 utf-16le unicode"},
    {1201,  kUtf16BE, 0,  nullptr,             0,     true,  "utf-16be unicodefffe"},
    {1250,  kSystem,  0,  "CP1250",            0,     false, ""},
    {1251,  kSystem,  0,  "CP1251",            0,     false, ""},
    {1252,  kSystem,  0,  "CP1252",            0,     false, ""},
    {1253,  kSystem,  0,  "CP1253",            0,     false, ""},
    {1254,  kSystem,  0,  "CP1254",            0,     false, ""},
    {1255,  kSystem,  0,  "CP1255",            0,     false, ""},
    {1256,  kSystem,  0,  "CP1256",            0,     false, ""},
    {1257,  kSystem,  0,  "CP1257",            0,     false, ""},
    {1258,  kSystem,  0,  "CP1258",            0,     false, ""},
    {1361,  kSystem,  0,  "JOHAB",             0,     false, "johab"},
    {10000, kSystem,  0,  "MACINTOSH",         0,     false, "macintosh mac x-mac-roman"},
    {10001, kSystem,  0,  nullptr,             0,     false, "x-mac-japanese"},
    {10002, kSystem,  0,  nullptr,             0,     false, "x-mac-chinesetrad"},
    {10003, kSystem,  0,  nullptr,             0,     false, "x-mac-korean"},
    {10004, kSystem,  0,  nullptr,             0,     false, "x-mac-arabic"},
    {10005, kSystem,  0,  nullptr,             0,     false, "x-mac-hebrew"},
    {10006, kSystem,  0,  nullptr,             0,     false, "x-mac-greek"},
    {10007, kSystem,  0,  "CP10007",           0,     false, "x-mac-cyrillic"},
    {10008, kSystem,  0,  nullptr,             0,     false, "x-mac-chinesesimp"},
    {10010, kSystem,  0,  nullptr,             0,     false, "x-mac-romanian"},
    {10017, kSystem,  0,  nullptr,             0,     false, "x-mac-ukrainian"},
    {10021, kSystem,  0,  nullptr,             0,     false, "x-mac-thai"},
    {10029, kSystem,  0,  "MAC-CENTRALEUROPE", 0,     false, "x-mac-ce mac-centraleurope"},
    {10079, kSystem,  0,  "MAC-IS",            0,     false, "x-mac-icelandic mac-is"},
    {10081, kSystem,  0,  nullptr,             0,     false, "x-mac-turkish"},
    {10082, kSystem,  0,  nullptr,             0,     false, "x-mac-croatian"},
    {20127, kUsAscii, 0,  nullptr,             0,     false, "us-ascii ascii ansi_x3.4-1968 iso646-us "
                                                             "csascii us"},
    {20866, kSystem,  0,  "KOI8-R",            0,     false, "koi8-r cskoi8r"},
    {20932, kSystem,  0,  "EUC-JP",            0,     false, ""},
    {20949, kSystem,  0,  "EUC-KR",            0,     false, ""},
    {21866, kSystem,  0,  "KOI8-U",            0,     false, "koi8-u koi8-ru"},
    {28591, kSystem,  1,  "ISO-8859-1",        0,     false, "latin1 l1 iso-latin-1 iso-ir-100 csisolatin1 cp819 ibm819"},
    {28592, kSystem,  2,  "ISO-8859-2",        0,     false, "latin2 l2"},
    {28593, kSystem,  3,  "ISO-8859-3",        0,     false, "latin3"},
    {28594, kSystem,  4,  "ISO-8859-4",        0,     false, "latin4"},
    {28595, kSystem,  5,  "ISO-8859-5",        0,     false, "cyrillic"},
    {28596, kSystem,  6,  "ISO-8859-6",        0,     false, "arabic"},
    {28597, kSystem,  7,  "ISO-8859-7",        0,     false, "greek"},
    // ISO-8859-8-I holds the same bytes, in logical order.
    {28598, kSystem,  8,  "ISO-8859-8",        0,     false, "hebrew iso-8859-8-i"},
    {28599, kSystem,  9,  "ISO-8859-9",        0,     false, "latin5"},
    {28603, kSystem,  13, "ISO-8859-13",       0,     false, "latin7"},
    {28605, kSystem,  15, "ISO-8859-15",       0,     false, "latin9"},
    {51932, kSystem,  0,  "EUC-JP",            20932, false, "euc-jp eucjp x-euc-jp cseucpkdfmtjapanese "
                                                             "extended_unix_code_packed_format_for_japanese"},
    {51949, kSystem,  0,  "EUC-KR",            20949, false, "euc-kr cseuckr"},
    {54936, kSystem,  0,  "GB18030",           0,     true,  "gb18030"},
    {65001, kUtf8,    0,  nullptr,             0,     true,  "utf-8 utf8 unicode-1-1-utf-8"},
    {kCodePageAsciiOnly, kAsciiOnly, 0, nullptr, 0,  false, ""},
    {kCodePageShiftJis,  kSystem, 0, "CP932",    932, false, "shift_jis shift-jis sjis x-sjis ms_kanji csshiftjis"},
    {kCodePageGb2312,    kSystem, 0, "CP936",    936, false, "gb2312 gb_2312-80 csgb2312 csgb231280 euc-cn "
                                                             "x-euc-cn chinese"},
    {kCodePageBig5,      kSystem, 0, "CP950",    950, false, "big5 big-5 csbig5 cn-big5 x-x-big5"},
};
// clang-format on

constexpr bool IsAscending()
{
    for (std::size_t i = 1; i < std::size(kCodePages); ++i)
    {
        if (kCodePages[i - 1].number >= kCodePages[i].number)
            return false;
    }
    return true;
}
static_assert(IsAscending(), "the code pages are looked up by binary search");

constexpr CodePageForm FormInTable(unsigned number)
{
    for (const CCodePage& entry : kCodePages)
    {
        if (entry.number == number)
            return entry.form;
    }
    return kSystem;
}
static_assert(FormInTable(kCodePageUtf8) == kUtf8 && FormInTable(kCodePageUtf16LE) == kUtf16LE &&
                  FormInTable(kCodePageUtf16BE) == kUtf16BE && FormInTable(kCodePageUsAscii) == kUsAscii,
              "the named code pages are those of the table");
} // namespace

const CCodePage* XmlDetail::CodePageByNumber(unsigned number) noexcept
{
    const auto* found = std::lower_bound(std::begin(kCodePages), std::end(kCodePages), number,
                                         [](const CCodePage& entry, unsigned n) { return entry.number < n; });
    return found != std::end(kCodePages) && found->number == number ? found : nullptr;
}

namespace
{
// Readers take an encoding name in any case and with or without the separators of its parts.
bool IsNameSeparator(char c)
{
    return c == '-' || c == '_' || c == '.';
}

char LowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNormalName(std::string_view name, std::string_view normal)
{
    std::size_t at = 0;
    for (const char c : name)
    {
        if (IsNameSeparator(c))
            continue;
        if (at == normal.size() || LowerCase(c) != normal[at])
            return false;
        ++at;
    }
    return at == normal.size();
}
} // namespace

std::string XmlDetail::NormalEncodingName(std::string_view name)
{
    std::string normal;
    normal.reserve(name.size());
    for (const char c : name)
    {
        if (!IsNameSeparator(c))
            normal += LowerCase(c);
    }
    return normal;
}

const CCodePage* XmlDetail::CodePageByName(std::string_view normalName) noexcept
{
    if (normalName.empty())
        return nullptr;
    for (const CCodePage& entry : kCodePages)
    {
        for (std::string_view names = entry.names; !names.empty();)
        {
            const std::size_t space = std::min(names.find(' '), names.size());
            if (SameNormalName(names.substr(0, space), normalName))
                return &entry;
            names.remove_prefix(std::min(space + 1, names.size()));
        }
    }
    return nullptr;
}

const CCodePage* XmlDetail::CodePageByIsoPart(unsigned part) noexcept
{
    if (part == 0)
        return nullptr;
    for (const CCodePage& entry : kCodePages)
    {
        if (entry.isoPart == part)
            return &entry;
    }
    return nullptr;
}

XmlDetail::CodePageForm XmlDetail::FormOfCodePage(unsigned number) noexcept
{
    const CCodePage* entry = CodePageByNumber(number);
    return entry ? entry->form : kSystem;
}

const XmlDetail::CStandardForm* XmlDetail::StandardFormOf(unsigned codePage) noexcept
{
    const CStandardForm* end = kStandardForms + kStandardFormCount;
    const CStandardForm* found =
        std::lower_bound(kStandardForms, end, codePage,
                         [](const CStandardForm& form, unsigned n) { return form.codePage < n; });
    return found != end && found->codePage == codePage ? found : nullptr;
}

bool XmlDetail::InStandardForm(const CStandardForm& form, std::string_view bytes, char32_t c) noexcept
{
    if (bytes.empty() || bytes.size() > (form.chars ? 1u : 2u))
        return false;
    unsigned code = 0;
    for (const char byte : bytes)
        code = code << 8 | static_cast<unsigned char>(byte);
    if (form.chars)
        return StandardChar(form, static_cast<unsigned char>(code)) == c;
    const CCodeRange* end = form.ranges + form.count;
    const CCodeRange* range =
        std::lower_bound(form.ranges, end, code, [](const CCodeRange& r, unsigned n) { return r.last < n; });
    return range != end && range->first <= code;
}

char16_t XmlDetail::StandardChar(const CStandardForm& form, unsigned char byte) noexcept
{
    return byte < form.firstByte ? byte : form.chars[byte - form.firstByte];
}

int XmlDetail::StandardByte(const CStandardForm& form, char32_t c) noexcept
{
    for (unsigned byte = form.firstByte; c != 0 && byte <= 0xFF; ++byte)
    {
        if (form.chars[byte - form.firstByte] == c)
            return static_cast<int>(byte);
    }
    return -1;
}

bool XmlDetail::ReadsAsciiAsAscii(const CStandardForm& form) noexcept
{
    if (form.chars)
        return form.firstByte == 0x80;
    return form.count != 0 && form.ranges[0].first == 0 && form.ranges[0].last >= 0x7F;
}

bool IsUtf16(unsigned codePage)
{
    const CodePageForm form = XmlDetail::FormOfCodePage(codePage);
    return form == kUtf16LE || form == kUtf16BE;
}

bool IsUtf16BigEndian(unsigned codePage)
{
    return XmlDetail::FormOfCodePage(codePage) == kUtf16BE;
}

bool HeldAsUtf8(unsigned codePage)
{
    const CodePageForm form = XmlDetail::FormOfCodePage(codePage);
    return form == kUtf8 || form == kUtf16LE || form == kUtf16BE;
}
