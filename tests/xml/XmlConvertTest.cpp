// Conversions between UTF-8, UTF-16 and the code pages.
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
