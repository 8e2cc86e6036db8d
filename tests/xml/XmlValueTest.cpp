// Attribute values decoded and encoded, and read back by a real XML reader where there is one.
#include "XmlTestSupport.h"
#include "XmlText.h"

#ifdef XML_TEST_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif

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
        {"\xA2\xE1 \xBD",                                          28597, "’α ½"                           },
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
        {u"Say \"hi\" & <wave> 'now'", 65001,              '"',  "Say &quot;hi&quot; &amp; &lt;wave> 'now'"  },
        {u"Say \"hi\" & <wave> 'now'", 1252,               '\'', "Say \"hi\" &amp; &lt;wave> &apos;now&apos;"},
        {u"a\tb\r\nc",                 1252,               '"',  "a&#9;b&#13;&#10;c"                         },
        {u"Año \U0001F600",           65001,              '"',  "A\xC3\xB1o \xF0\x9F\x98\x80"               },
        {u"Café \u263A \U0001F600",   1252,               '"',  "Caf\xE9 &#x263A; &#x1F600;"                },
        {u"日本Ā表",               932,                '"',  "\x93\xFA\x96\x7B&#x100;\x95\x5C"           },
 // Only bytes of the standard form of the encoding declared, and none where there is no table.
        {u"①日本\\~",              932,                '"',  "\x87\x40\x93\xFA\x96\x7B\\~"               },
        {u"①日本\\~",              kCodePageShiftJis,  '"',  "&#x2460;\x93\xFA\x96\x7B&#x5C;&#x7E;"      },
        {u"們中",                    kCodePageGb2312,    '"',  "&#x5011;\xD6\xD0"                          },
        {u"é日",                     51932,              '"',  "&#xE9;\xC6\xFC"                            },
        {u"é€ a",                   kCodePageAsciiOnly, '"',  "&#xE9;&#x20AC; a"                          },
        {u"\u0081é",                  1252,               '"',  "&#x81;\xE9"                                },
        {u"\u02BC\u2019\u03B1",        28597,              '"',  "&#x2BC;\xA2\xE1"                           },
        {u"\u203E\u00AF \u040E\u0436", 28598,              '"',  "&#x203E;\xAF &#x40E;&#x436;"               },
        {u"\u040E\u0436",              21866,              '"',  "&#x40E;\xD6"                               },
        {u"\u2126\u03A9\u2206",        10000,              '"',  "&#x2126;\xBD&#x2206;"                      },
        {u"\uE000中%",                936,                '"',  "&#xE000;\xD6\xD0%"                         },
        {u"1%",                        864,                '"',  "1&#x25;"                                   },
 // Nothing a document may not hold: U+FFFD in its place.
        {u"a\xD800\x01\uFFFF",         1252,               '"',  "a&#xFFFD;&#xFFFD;&#xFFFD;"                 },
    };
    for (const auto& [text, codePage, quote, value] : cases)
        EXPECT_EQ(value, EncodeXmlValue(text, codePage, quote)) << Utf8(text) << " in " << codePage;
}

TEST(Value, DecodeExactlyReadsAValueAsEveryReaderDoesOrRefusesIt)
{
    // The text, or nullptr where the engine cannot be sure of it.
    const std::tuple<std::string_view, unsigned, const char*> cases[] = {
        {"&#49;",                           65001,              "1"            },
        {"&#x31;&amp;&lt;&gt;&quot;&apos;", 1252,               "1&<>\"'"      },
        {"A & B &",                         1252,               "A & B &"      },
        {"a\tb\r\nc\rd\ne",                 65001,              "a b c d e"    },
        {"\x93\xFA \xB1",                   932,                "\u65E5 \uFF71"},
        {"\x87\x40\\",                      932,                "\u2460\\"     },
        {"\x93\xFA\x96\x7B",                kCodePageShiftJis,  "\u65E5\u672C" },
        {"plain",                           kCodePageAsciiOnly, "plain"        },
        {"\xA2\xE1%",                       28597,              "\u2019\u03B1%"},
        {"1%",                              864,                "1\u066A"      },
        {"\xE9\x81",                        1252,               nullptr        },
        {"&co; Guide",                      65001,              nullptr        },
        {"&nbsp;",                          1252,               nullptr        },
        {"&#X31;",                          1252,               nullptr        },
        {"&#49",                            1252,               nullptr        },
        {"&#0;",                            1252,               nullptr        },
        {"a\xFF",                           65001,              nullptr        },
        {"a\x1E\xEF\xBF\xBF",               65001,              nullptr        },
        {"\x87\x40",                        kCodePageShiftJis,  nullptr        },
        {"\\",                              kCodePageShiftJis,  nullptr        },
        {"Caf\xE9",                         kCodePageAsciiOnly, nullptr        },
    };
    for (const auto& [value, codePage, expected] : cases)
    {
        std::u16string text;
        const bool exact = DecodeXmlValueExactly(value, codePage, text);
        EXPECT_EQ(exact, expected != nullptr) << value << " in " << codePage;
        EXPECT_EQ(exact ? Utf8(text) : "", expected ? expected : "") << value << " in " << codePage;
    }
}

#ifdef XML_TEST_LIBXML2
namespace
{
// n of the document element as libxml2 reads the bytes, in UTF-8.
std::string ReadByLibxml2(const std::string& bytes)
{
    xmlDocPtr document = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document)
        return "<not well-formed>";
    xmlChar* value = xmlGetProp(xmlDocGetRootElement(document), reinterpret_cast<const xmlChar*>("n"));
    std::string text = value ? reinterpret_cast<const char*>(value) : "<none>";
    xmlFree(value);
    xmlFreeDoc(document);
    return text;
}
} // namespace

TEST(Value, TypedTextIsWrittenSoThatLibxml2ReadsItUnderEveryDeclaredEncoding)
{
    const std::tuple<const char*, std::u16string_view> cases[] = {
        {"UTF-8",        u"\u00D1 & \u263A <\"'>"          },
        {"UTF-16",       u"\u00D1 \U0001F600"              },
        {"windows-1252", u"Caf\u00E9 \u20AC \u263A"        },
        {"ISO-8859-16",  u"Caf\u00E9 \u20AC"               },
        {"KOI8-R",       u"\u0416\u0443\u043A \u00E9"      },
        {"Shift_JIS",    u"\u65E5\u672C \u2460 \\ ~ \u00A5"},
        {"Windows-31J",  u"\u65E5\u672C \u2460 \\ ~"       },
        {"EUC-JP",       u"\u65E5\u672C \u00E9 \u2460"     },
        {"GB2312",       u"\u4E2D\u6587 \u5011 \u00B7"     },
        {"GBK",          u"\u4E2D\u6587 \u5011"            },
        {"EUC-KR",       u"\uD55C\uAD6D \uB620"            },
        {"Big5",         u"\u4E2D\u6587 \u20AC"            },
    };
    for (const auto& [name, typed] : cases)
    {
        const std::string file =
            std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?>\n<a n=\"x\"/>\n";
        std::string bytes = file;
        if (std::string(name) == "UTF-16" && Utf8ToUtf16Bytes(file, false, bytes))
            bytes.insert(0, "\xFF\xFE");
        auto document = Loaded(bytes);
        ASSERT_EQ(document->Syntax().error, XmlSyntaxError::None) << name;
        CXmlString& value = document->m_documentElement->FindAttribute("n")->m_value;
        value = EncodeXmlValue(typed, document->TreeCodePage());
        EXPECT_EQ(ReadByLibxml2(document->ToString()), Utf8(typed)) << name;
        std::u16string reread;
        EXPECT_TRUE(DecodeXmlValueExactly(value, document->TreeCodePage(), reread) && reread == typed)
            << name;
    }
}
#endif
