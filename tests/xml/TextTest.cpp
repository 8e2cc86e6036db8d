// The text rules: encodings, conversions, and attribute values decoded and encoded.
#include "XmlText.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace
{
constexpr unsigned kAnsi = 0; // stands for SystemAnsiCodePage() in the tables

std::string Utf8(std::u16string_view text)
{
    std::string utf8;
    EXPECT_TRUE(Utf16ToUtf8(text, utf8));
    return utf8;
}
} // namespace

// Marks and UTF-16 are in the file tests.
TEST(Text, DetectEncodingTakesMarkThenDeclarationThenUtf8ThenAnsi)
{
    const std::tuple<std::string_view, unsigned, bool> cases[] = {
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>",        65001, true },
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", 28591, false},
        {"<?xml version='1.0' encoding='x-cp1250'?>",                      1250,  false},
        {"<?xml version='1.0' encoding='ibm-866'?>",                       866,   false},
        {"<?xml version='1.0' encoding='iso_8859-2:1987'?>",               28592, false},
        {"<?xml version='1.0' encoding='EUC-KR'?>",                        51949, false},
        {"<?xml version='1.0' encoding='windows-9999'?>",                  65001, false},
        {"<?xml version = '1.0'\n  encoding\t=  \"Shift_JIS\" ?><a/>",     932,   false},
        {"<?xml version='1.0' encoding='x-unknown'?><a>\xC3\xA9</a>",      65001, false},
        {"<?xml version='1.0' encoding='koi8-r\"?><a>\xC3\xA9</a>",        65001, false},
        {" <?xml version='1.0' encoding='koi8-r'?><a>\xF6</a>",            kAnsi, false},
        {"<?xml version='1.0' encoding='UTF-16'?><a/>",                    65001, false},
        {"<?xml version='1.0' encoding='UTF-8'?><a>caf\xE9</a>",           kAnsi, false},
        {"<a>0123456789abcdef\xE9",                                        kAnsi, false},
    };
    for (const auto& [bytes, codePage, mark] : cases)
    {
        const CXmlEncoding encoding = DetectEncoding(bytes);
        EXPECT_EQ(codePage == kAnsi ? SystemAnsiCodePage() : codePage, encoding.codePage) << bytes;
        EXPECT_EQ(mark, encoding.byteOrderMark) << bytes;
    }
}

TEST(Text, EveryEncodingFamilyConvertsBothWaysAndRefusesWhatItCannotConvertExactly)
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

TEST(Text, DecodeReplacesWhatAReaderReplacesAndKeepsTheRestAsWritten)
{
    const std::tuple<std::string_view, unsigned, std::string_view> cases[] = {
        {"&amp;&lt;&gt;&quot;&apos;",                              1252,  "&<>\"'"                             },
        {"a&amp;amp;b",                                            1252,  "a&amp;b"                            },
        {"&#38;&#x26;&#0000000038;&#x3c;&#x3C;",                   1252,  "&&&<<"                              },
        {"Caf\xE9 &#xE9;",                                         1252,  "Café é"                           },
        {"Caf\xC3\xA9 &amp; &#x263A; &#x1F600;",                   65001, "Café & ☺ 😀"                   },
        {"\xC6&#x20AC;\x88",                                       1251,  "Ж€€"                           },
        {"\x93\xFA\x96\x7B&amp;\x95\x5C",                          932,   "日本&表"                         },
 // Malformed, declared in a DTD, or a character no document may hold: kept as written.
        {"&#X26;&nbsp;&#x;&#;&;&#x26 &amp&#99999999999999999999;", 1252,
         "&#X26;&nbsp;&#x;&#;&;&#x26 &amp&#99999999999999999999;"                                              },
        {"&#0;&#x1;&#xD800;&#xFFFE;&#x110000;",                    1252,  "&#0;&#x1;&#xD800;&#xFFFE;&#x110000;"},
 // Bytes the code page does not have: one replacement character for each.
        {"a\xFF\xFE&amp;b",                                        65001, "a\uFFFD\uFFFD&b"                    },
        {"\x93\xFA\x93&amp;\x93",                                  932,   "日\uFFFD&\uFFFD"                   },
    };
    for (const auto& [value, codePage, text] : cases)
        EXPECT_EQ(text, Utf8(DecodeXmlValue(value, codePage))) << value;
}

TEST(Text, EncodeEscapesMarkupAndWritesWhatTheCodePageCannotHoldAsReferences)
{
    const std::tuple<std::u16string_view, unsigned, char, std::string_view> cases[] = {
        {u"Say \"hi\" & <wave> 'now'", 65001, '"',  "Say &quot;hi&quot; &amp; &lt;wave> 'now'"  },
        {u"Say \"hi\" & <wave> 'now'", 1252,  '\'', "Say \"hi\" &amp; &lt;wave> &apos;now&apos;"},
        {u"a\tb\r\nc",                 1252,  '"',  "a&#9;b&#13;&#10;c"                         },
        {u"Año \U0001F600",           65001, '"',  "A\xC3\xB1o \xF0\x9F\x98\x80"               },
        {u"Café \u263A \U0001F600",   1252,  '"',  "Caf\xE9 &#x263A; &#x1F600;"                },
        {u"日本Ā表",               932,   '"',  "\x93\xFA\x96\x7B&#x100;\x95\x5C"           },
 // Nothing a document may not hold: U+FFFD in its place.
        {u"a\xD800\x01\uFFFF",         1252,  '"',  "a&#xFFFD;&#xFFFD;&#xFFFD;"                 },
    };
    for (const auto& [text, codePage, quote, value] : cases)
        EXPECT_EQ(value, EncodeXmlValue(text, codePage, quote)) << Utf8(text) << " in " << codePage;
}
