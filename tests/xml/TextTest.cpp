#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "XmlText.h"

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

TEST(Text, DetectEncodingTakesMarkThenDeclarationThenUtf8ThenAnsi)
{
    const struct
    {
        std::string_view bytes;
        unsigned codePage;
        bool mark;
    } cases[] = {
        {"\xEF\xBB\xBF<a/>",                                               65001, true },
        {"\xFF\xFE<\0a\0/\0>\0"sv,                                         1200,  true },
        {"\xFE\xFF\0<\0a\0/\0>"sv,                                         1201,  true },
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>",        65001, true },
        {"<\0?\0x\0m\0l\0 \0"sv,                                           1200,  false},
        {"\0<\0?\0x\0m\0l\0 "sv,                                           1201,  false},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", 28591, false},
        {"<?xml version='1.0' encoding='windows-1251'?><a/>",              1251,  false},
        {"<?xml version = '1.0'\n  encoding\t=  \"Shift_JIS\" ?><a/>",     932,   false},
        {"<?xml version='1.0' encoding='euc-jp'?>",                        51932, false},
        {"<?xml version='1.0' encoding='x-unknown'?><a>\xC3\xA9</a>",      65001, false},
        {"<?xml version='1.0' encoding='x-unknown'?><a>\xE9</a>",          kAnsi, false},
        {"<?xml version='1.0' encoding='koi8-r\"?><a>\xC3\xA9</a>",        65001, false},
        {"<?xml version='1.0' encoding=koi8-r?><a/>",                      65001, false},
        {"<?xmlencoding='koi8-r'?><a/>",                                   65001, false},
        {" <?xml version='1.0' encoding='koi8-r'?><a>\xF6</a>",            kAnsi, false},
        {"<?xml version='1.0' encoding='UTF-16'?><a/>",                    65001, false},
        {"<?xml version='1.0' encoding='UTF-8'?><a>caf\xC3\xA9</a>",       65001, false},
        {"<?xml version='1.0' encoding='UTF-8'?><a>caf\xE9</a>",           kAnsi, false},
        {"<a>caf\xC3\xA9 \xF0\x9F\x98\x80</a>",                            65001, false},
        {"<a>caf\xE9</a>",                                                 kAnsi, false},
        {"<a>\xED\xA0\x80</a>",                                            kAnsi, false},
    };
    for (const auto& c : cases)
    {
        const CXmlEncoding encoding = DetectEncoding(c.bytes);
        EXPECT_EQ(c.codePage == kAnsi ? SystemAnsiCodePage() : c.codePage, encoding.codePage) << c.bytes;
        EXPECT_EQ(c.mark, encoding.byteOrderMark) << c.bytes;
    }
}

TEST(Text, EncodingNamesGiveTheirCodePages)
{
    const struct
    {
        std::string_view name;
        unsigned codePage;
    } cases[] = {
        {"UTF-8",           65001},
        {"utf-16be",        1201 },
        {"US-ASCII",        20127},
        {"Windows-1252",    1252 },
        {"CP1251",          1251 },
        {"x-cp1250",        1250 },
        {"IBM437",          437  },
        {"ibm-866",         866  },
        {"ISO-8859-15",     28605},
        {"iso_8859-1:1987", 28591},
        {"Shift_JIS",       932  },
        {"gb2312",          936  },
        {"Big5",            950  },
        {"EUC-KR",          51949},
        {"KOI8-U",          21866},
        {"",                0    },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.codePage, CodePageFromEncodingName(c.name)) << c.name;
    for (const std::string_view unknown : {"", "utf-9", "windows-9999", "iso-8859-12", "cp", "windows-1252 "})
        EXPECT_EQ(0u, CodePageFromEncodingName(unknown)) << unknown;
}

TEST(Text, EveryEncodingFamilyConvertsBothWays)
{
    const struct
    {
        unsigned codePage;
        std::string_view text; // UTF-8
        std::string_view bytes;
    } cases[] = {
        {65001, "A\xC3\xB1o",    "A\xC3\xB1o"              },
        {1200,  "A\xE2\x82\xAC", "A\0\xAC\x20"sv           },
        {1201,  "A\xE2\x82\xAC", "\0A\x20\xAC"sv           },
        {20127, "plain",         "plain"                   },
        {1252,  "Café",         "Caf\xE9"                 },
        {1251,  "Жук €",    "\xC6\xF3\xEA \x88"       },
        {1253,  "Ωμέγα",    "\xD9\xEC\xDD\xE3\xE1"    },
        {28592, "Łódź",       "\xA3\xF3\x64\xBC"        },
        {28605, "€",           "\xA4"                    },
        {932,   "日本{",       "\x93\xFA\x96\x7B{"       },
        {51932, "日本",        "\xC6\xFC\xCB\xDC"        },
        {936,   "中文",        "\xD6\xD0\xCE\xC4"        },
        {950,   "中文",        "\xA4\xA4\xA4\xE5"        },
        {51949, "한국",        "\xC7\xD1\xB1\xB9"        },
        {20866, "Жук",        "\xF6\xD5\xCB"            },
        {21866, "Ґ",            "\xBD"                    },
        {874,   "ไทย",     "\xE4\xB7\xC2"            },
        {437,   "é",            "\x82"                    },
        {866,   "Жук",        "\x86\xE3\xAA"            },
#ifndef _WIN32
  // Windows has GB18030 in a library of its own, which Wine 8 does not have.
        {54936, "中😀",       "\xD6\xD0\x94\x39\xFC\x36"},
#endif
    };
    for (const auto& c : cases)
    {
        std::u16string text;
        ASSERT_TRUE(Utf8ToUtf16(c.text, text)) << c.text;
        std::u16string decoded;
        std::string encoded;
        EXPECT_TRUE(CodePageToUtf16(c.bytes, c.codePage, decoded)) << c.codePage;
        EXPECT_EQ(c.text, Utf8(decoded)) << c.codePage;
        EXPECT_TRUE(Utf16ToCodePage(text, c.codePage, encoded)) << c.codePage;
        EXPECT_EQ(c.bytes, encoded) << c.codePage;
    }
}

TEST(Text, ConversionsRefuseWhatTheyCannotConvertExactly)
{
    const struct
    {
        unsigned codePage;
        std::string_view bytes;
    } badBytes[] = {
        {65001, "\xC3"        },
        {65001, "\xED\xA0\x80"},
        {20127, "\x80"        },
        {932,   "\x93"        },
        {1200,  "A\0B"sv      },
        {1201,  "\xD8\x3D"    },
        {12345, "a"           },
    };
    for (const auto& c : badBytes)
    {
        std::u16string text;
        EXPECT_FALSE(CodePageToUtf16(c.bytes, c.codePage, text)) << c.codePage << ' ' << c.bytes;
    }
    const struct
    {
        unsigned codePage;
        std::u16string_view text;
    } badText[] = {
        {1252,  u"\u263A" },
        {1252,  u"\u0100" }, // no "?", no look-alike "A"
        {28591, u"Ж"     },
        {20127, u"é"     },
        {65001, u"\xD800" },
        {1252,  u"a\xDC00"},
        {932,   u"한"    },
 // Tables that give these the bytes of another character ("\\" and a full-width "~").
        {932,   u"\u00A5" },
        {932,   u"\u301C" },
    };
    for (const auto& c : badText)
    {
        std::string bytes;
        EXPECT_FALSE(Utf16ToCodePage(c.text, c.codePage, bytes)) << c.codePage << ' ' << bytes;
    }
}

TEST(Text, Utf16BytesConvertAndRefuseBrokenPairs)
{
    std::string utf8;
    std::string bytes;
    const std::string_view littleEndian = "A\0\xAC\x20\x3D\xD8\x00\xDE"sv;
    const std::string_view bigEndian = "\0A\x20\xAC\xD8\x3D\xDE\x00"sv;
    EXPECT_TRUE(Utf16BytesToUtf8(littleEndian, false, utf8));
    EXPECT_EQ("A€😀", utf8);
    EXPECT_TRUE(Utf16BytesToUtf8(bigEndian, true, utf8));
    EXPECT_EQ("A€😀", utf8);
    EXPECT_TRUE(Utf8ToUtf16Bytes("A€😀", false, bytes));
    EXPECT_EQ(littleEndian, bytes);
    EXPECT_TRUE(Utf8ToUtf16Bytes("A€😀", true, bytes));
    EXPECT_EQ(bigEndian, bytes);

    for (const std::string_view bad : {"A\0B"sv, "\x3D\xD8"sv, "\x3D\xD8\x41\x00"sv, "\x00\xDE\x3D\xD8"sv})
        EXPECT_FALSE(Utf16BytesToUtf8(bad, false, utf8)) << bad.size();
    for (const std::string_view bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x82"})
        EXPECT_FALSE(Utf8ToUtf16Bytes(bad, false, bytes)) << bad;
}

TEST(Text, DecodeReplacesWhatAReaderReplacesAndKeepsTheRestAsWritten)
{
    const struct
    {
        std::string_view value;
        unsigned codePage;
        std::string_view text; // UTF-8
    } cases[] = {
        {"",                                     1252,  ""                                   },
        {"&amp;&lt;&gt;&quot;&apos;",            1252,  "&<>\"'"                             },
        {"a&amp;amp;b",                          1252,  "a&amp;b"                            }, // decoded once only
        {"&#38;&#x26;&#0000000038;&#x3c;&#x3C;", 1252,  "&&&<<"                              },
        {"&#9;&#10;&#13;",                       1252,  "\t\n\r"                             },
        {"Caf\xE9 Anruf &#xE9;",                 1252,  "Café Anruf é"                     },
        {"Caf\xC3\xA9 Anruf",                    65001, "Café Anruf"                        },
        {"Gu\xC3\xAD"
         "a &amp; manual &#x263A;",     65001, "Guía & manual ☺"                 },
        {"\xC3\xA9",                             1200,  "é"                                 }, // a UTF-16 file's tree
        {"&#x263A; &#x1F600;",                   1252,  "☺ 😀"                           },
        {"\xC6&#x20AC;\x88",                     1251,  "Ж€€"                           },
        {"\x93\xFA\x96\x7B&amp;\x95\x5C",        932,   "日本&表"                         },
 // Malformed, declared in a DTD, or a character no document may hold.
        {"&#X26;&nbsp;",                         1252,  "&#X26;&nbsp;"                       },
        {"&#x;&#;&;&#x26 &amp",                  1252,  "&#x;&#;&;&#x26 &amp"                },
        {"&#0;&#x1;&#xD800;&#xFFFE;&#x110000;",  1252,  "&#0;&#x1;&#xD800;&#xFFFE;&#x110000;"},
        {"&#99999999999999999999;",              1252,  "&#99999999999999999999;"            },
        {"&#x2g;&#1a;&bogus;&AMP;",              1252,  "&#x2g;&#1a;&bogus;&AMP;"            },
        {"&&amp;R&D",                            1252,  "&&R&D"                              },
        {"fish &amp chips &lt;3",                1252,  "fish &amp chips <3"                 },
 // Bytes the code page does not have: one replacement character for each.
        {"a\xFF\xFE&amp;b",                      65001, "a\uFFFD\uFFFD&b"                    },
        {"\xE9t\xE9",                            65001, "\uFFFDt\uFFFD"                      },
        {"\x93\xFA\x93&amp;\x93",                932,   "日\uFFFD&\uFFFD"                   },
        {"\xE9",                                 20127, "\uFFFD"                             },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, Utf8(DecodeXmlValue(c.value, c.codePage))) << c.value;
}

TEST(Text, EncodeEscapesMarkupAndWritesWhatTheCodePageCannotHoldAsReferences)
{
    const struct
    {
        std::u16string_view text;
        unsigned codePage;
        char quote;
        std::string_view value;
    } cases[] = {
        {u"",                          65001, '"',  ""                                          },
        {u"Say \"hi\" & <wave> 'now'", 65001, '"',  "Say &quot;hi&quot; &amp; &lt;wave> 'now'"  },
        {u"Say \"hi\" & <wave> 'now'", 1252,  '\'', "Say \"hi\" &amp; &lt;wave> &apos;now&apos;"},
        {u"&amp;",                     65001, '"',  "&amp;amp;"                                 },
        {u"a\tb\r\nc",                 1252,  '"',  "a&#9;b&#13;&#10;c"                         },
        {u"Año",                      65001, '"',  "A\xC3\xB1o"                                },
        {u"Año",                      1252,  '"',  "A\xF1o"                                    },
        {u"Año",                      20127, '"',  "A&#xF1;o"                                  },
        {u"Café \u263A \U0001F600",   1252,  '"',  "Caf\xE9 &#x263A; &#x1F600;"                },
        {u"\U0001F600",                65001, '"',  "\xF0\x9F\x98\x80"                          },
        {u"Жук €",                1251,  '"',  "\xC6\xF3\xEA \x88"                         },
        {u"日本Ā表",               932,   '"',  "\x93\xFA\x96\x7B&#x100;\x95\x5C"           },
        {u"\u0100",                    1252,  '"',  "&#x100;"                                   },
 // Nothing a document may not hold: U+FFFD in its place.
        {u"a\xD800"
         u"b\xDE00\xD83D",    65001, '"',
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\xEF\xBF\xBD"                                                            },
        {u"a\xD800\x01\uFFFF",         1252,  '"',  "a&#xFFFD;&#xFFFD;&#xFFFD;"                 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, EncodeXmlValue(c.text, c.codePage, c.quote))
            << Utf8(c.text) << " in " << c.codePage;
}

TEST(Text, EncodedTextDecodesToItselfInEveryCodePage)
{
    const std::u16string_view texts[] = {
        u"plain ASCII",          u"<a href=\"x\">&amp; 'q'</a>", u"Año",       u"Café Anruf",
        u"日本語と中文, 한국어", u"\U0001F600 \u263A",           u"\t\r\n \t", u"Жук & Ґ",
    };
    for (const unsigned codePage :
         {65001u, 1200u, 20127u, 1252u, 1251u, 28591u, 932u, 51932u, 936u, 950u, 51949u, 20866u, 874u})
    {
        for (const auto text : texts)
        {
            for (const char quote : {'"', '\''})
            {
                const std::string value = EncodeXmlValue(text, codePage, quote);
                EXPECT_EQ(std::string_view::npos, value.find_first_of(std::string{'<', quote, '\t', '\n'}));
                EXPECT_EQ(Utf8(text), Utf8(DecodeXmlValue(value, codePage))) << codePage << ": " << value;
            }
        }
    }
}
