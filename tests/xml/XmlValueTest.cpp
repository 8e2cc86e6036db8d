// Attribute values decoded and encoded.
#include "XmlText.h"

#include <gtest/gtest.h>

namespace
{
std::string Utf8(std::u16string_view text)
{
    std::string utf8;
    EXPECT_TRUE(Utf16ToUtf8(text, utf8));
    return utf8;
}
} // namespace

TEST(Value, DecodeReplacesWhatAReaderReplacesAndKeepsTheRestAsWritten)
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

TEST(Value, EncodeEscapesMarkupAndWritesWhatTheCodePageCannotHoldAsReferences)
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
