// Conversions between UTF-8, UTF-16 and the code pages.
#include "Xml.h"
#include "XmlText.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

TEST(Convert, EveryEncodingFamilyConvertsBothWaysAndRefusesWhatItCannotConvertExactly)
{
    // '=': text and bytes convert both ways; 'b': the bytes are refused; 't': the text is refused.
    const std::tuple<unsigned, std::u16string_view, std::string_view, char> cases[] = {
        {65001, u"Año",           "A\xC3\xB1o",                    '='},
        {1200,  u"A€\U0001F600", "A\0\xAC\x20\x3D\xD8\x00\xDE"sv, '='},
        {1201,  u"A€\U0001F600", "\0A\x20\xAC\xD8\x3D\xDE\x00"sv, '='},
        {20127, u"plain",          "plain",                         '='},
        {1251,  u"Жук €",     "\xC6\xF3\xEA \x88",             '='},
        {932,   u"日本{",        "\x93\xFA\x96\x7B{",             '='},
        {51932, u"日本",         "\xC6\xFC\xCB\xDC",              '='},
        {936,   u"中文",         "\xD6\xD0\xCE\xC4",              '='},
        {950,   u"中文",         "\xA4\xA4\xA4\xE5",              '='},
        {51949, u"한국",         "\xC7\xD1\xB1\xB9",              '='},
#ifndef _WIN32
  // Windows has GB18030 in a library of its own, which Wine 8 does not have.
        {54936, u"中\U0001F600",  "\xD6\xD0\x94\x39\xFC\x36",      '='},
#endif
        {65001, u"",               "\xC3",                          'b'},
        {20127, u"",               "\x80",                          'b'},
        {932,   u"",               "\x93",                          'b'},
        {1200,  u"",               "A\0B"sv,                        'b'},
        {1200,  u"",               "\x00\xDE\x3D\xD8"sv,            'b'},
        {1252,  u"\u0100",         "",                              't'}, // no "?", no look-alike "A"
        {28591, u"Ж",             "",                              't'},
        {65001, u"\xD800",         "",                              't'},
        {932,   u"한",            "",                              't'},
    };
    for (const auto& [codePage, text, bytes, way] : cases)
    {
        std::u16string decoded;
        std::string encoded;
        EXPECT_TRUE(way == 't' ||
                    (CodePageToUtf16(bytes, codePage, decoded) && decoded == text) == (way == '='))
            << codePage << ' ' << bytes;
        EXPECT_TRUE(way == 'b' ||
                    (Utf16ToCodePage(text, codePage, encoded) && encoded == bytes) == (way == '='))
            << codePage << ' ' << encoded;
    }
}

// The first byte that is not valid in its code page, counted from the start of the file on any line,
// long lines and characters of several bytes included; a file holding it loads nothing and says where.
TEST(Convert, FirstInvalidByteCountsFromTheStartOfTheFile)
{
    const std::string start = "<?xml version='1.0' encoding='Shift_JIS'?>\r\n<r>\n<a n=\"";
    const std::string longLine = std::string(5000, 'x') + "\x93\xFA";
    // A character across the first 64 KiB, and the invalid byte in a later 64 KiB.
    const std::string toPiece = start + std::string((std::size_t(1) << 16) - 1 - start.size(), 'x');
    std::string lines = "\x93\xFA\n";
    while (lines.size() < 100000)
        lines += "xxxx\n";
    // The prefix, the code page, valid bytes, invalid ones, and whether the file declares that code page.
    const std::tuple<std::string, unsigned, std::string, std::string, bool> cases[] = {
        {start,                                                932,             "\x93\xFA",  "\x81\x20\"/>\n</r>\n", true },
        {start + longLine,                                     932,             "\x93\xFA ", "\x93\"/>\n</r>\n",     true },
        {toPiece,                                              932,             lines,       "\x81\x20\"/>\n",       true },
        {start,                                                51949,           "\xC7\xD1",  "\xA1\"/>",             false},
        {"<?xml version='1.0' encoding='GB2312'?>\n\n<a n=\"", kCodePageGb2312, "",          "\x82\x20\"/>",         true },
        {"<a n=\"\xC3\xA9 ",                                   65001,           "\xC3\xA9",  "\xC3\"/>",             false},
        {"<?xml version='1.0' encoding='utf8'?>\n<a n=\"",     65001,           "\xC3\xA9",  "\xE9\"/>",             true },
        {"\xEF\xBB\xBF<a n=\"",                                65001,           "\xC3\xA9",  "\xE0\x80\x80\"/>",     true },
    };
    for (const auto& [before, codePage, valid, invalid, declared] : cases)
    {
        const std::string bytes = before + valid + invalid;
        const std::size_t expected = before.size() + valid.size();
        EXPECT_EQ(FirstInvalidByte(bytes, codePage), expected) << codePage << ' ' << bytes.substr(0, 60);
        // A load judges the bytes by the code page declared, if any; the bytes before the fault load.
        CXmlDocument document;
        EXPECT_EQ(document.LoadBytes(bytes.data(), bytes.size()), !declared) << codePage;
        EXPECT_EQ(document.FileStatus().offset, declared ? expected : 0) << codePage;
        EXPECT_TRUE(CXmlDocument().LoadBytes(bytes.data(), expected)) << codePage;
    }
}
