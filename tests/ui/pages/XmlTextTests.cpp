#include <windows.h>
#include <gtest/gtest.h>
#include <string>

#include "ContentText.h"

namespace
{
constexpr UINT kWestern = 1252;
constexpr UINT kCyrillic = 1251;
} // namespace

TEST(XmlText, DecodeReplacesWhatAReaderReplacesAndKeepsTheRestAsWritten)
{
    const struct
    {
        const char* value;
        UINT codePage;
        const char* text;
    } cases[] = {
        {"",                                     kWestern,  ""                                   },
        {"plain text, no references",            kWestern,  "plain text, no references"          },
        {"&amp;&lt;&gt;&quot;&apos;",            kWestern,  "&<>\"'"                             },
        {"a&amp;amp;b",                          kWestern,  "a&amp;b"                            }, // decoded once only
        {"&#38;&#x26;&#0000000038;&#x3c;&#x3C;", kWestern,  "&&&<<"                              },
        {"&#65;&#x42;",                          kWestern,  "AB"                                 },
        {"&#9;&#10;&#13;",                       kWestern,  "\t\n\r"                             },
        {"caf&#233; &#xE9;",                     kWestern,  "caf\xE9 \xE9"                       },
        {"&#x20AC;",                             kWestern,  "\x80"                               }, // the euro sign
        {"&#x20AC;",                             kCyrillic, "\x88"                               },
        {"&#x416;",                              kCyrillic, "\xC6"                               },
 // Not in the code page: no look-alike ("A" for the A with macron), no "?".
        {"&#x416;",                              kWestern,  "&#x416;"                            },
        {"&#x100;",                              kWestern,  "&#x100;"                            },
        {"&#x263A; &#x1F600;",                   kWestern,  "&#x263A; &#x1F600;"                 },
 // Malformed, or a character no document may hold.
        {"&#X26;",                               kWestern,  "&#X26;"                             },
        {"&#x;&#;&;&#x26 &amp",                  kWestern,  "&#x;&#;&;&#x26 &amp"                },
        {"&#0;&#x1;&#xD800;&#xFFFE;&#x110000;",  kWestern,  "&#0;&#x1;&#xD800;&#xFFFE;&#x110000;"},
        {"&#99999999999999999999;",              kWestern,  "&#99999999999999999999;"            },
        {"&#x2g;&#1a;&bogus;&AMP;",              kWestern,  "&#x2g;&#1a;&bogus;&AMP;"            },
        {"&&amp;",                               kWestern,  "&&"                                 },
        {"R&D",                                  kWestern,  "R&D"                                },
        {"fish &amp chips &lt;3",                kWestern,  "fish &amp chips <3"                 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, DecodeXmlText(c.value, c.codePage)) << "value: " << c.value;
}

TEST(XmlText, EncodeGuardsQuoteAmpersandAndLessThanSoThatDecodingGivesTheTextBack)
{
    EXPECT_EQ("", EncodeXmlText(""));
    EXPECT_EQ("Quick Reference Guide", EncodeXmlText("Quick Reference Guide"));
    EXPECT_EQ("Say &quot;hi&quot; &amp; &lt;wave> 'now'", EncodeXmlText("Say \"hi\" & <wave> 'now'"));
    EXPECT_EQ("&amp;amp;", EncodeXmlText("&amp;"));
    EXPECT_EQ("caf\xE9", EncodeXmlText("caf\xE9"));

    for (const char* text : {"&amp;", "&#38;", "\"\"", "<<>>", "a & b < c \" d", "&#x263A;", "caf\xE9"})
        EXPECT_EQ(text, DecodeXmlText(EncodeXmlText(text), kWestern)) << "text: " << text;
}
