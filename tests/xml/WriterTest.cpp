// The bytes the writer makes of a tree.
#include "XmlTestSupport.h"

#include <memory>
#include <string>
#include <vector>

TEST(Writer, NormalisesTagsAndKeepsEverythingElse)
{
    struct Case
    {
        const char* input;
        const char* output;
    };
    const std::vector<Case> cases = {
        {"",                                      ""                                     },
        {"\n\t",                                  "\n\t"                                 },
        {"<a>",                                   "<a/>"                                 },
        {"<a></a>",                               "<a/>"                                 },
        {"<a />",                                 "<a/>"                                 },
        {"<a  x = \"1\"\r\n\tb y='2' />",         "<a x=\"1\" b y=\"2\"/>"               },
        {"<a x=\"1\">t</b>",                      "<a x=\"1\">t</a>"                     },
        {"<a><b>t",                               "<a><b>t</b></a>"                      },
        {"<a>&amp;&#x41;&bogus;</a>",             "<a>&amp;&#x41;&bogus;</a>"            },
        {"<a x=\"&lt;&quot;\"/>",                 "<a x=\"&lt;&quot;\"/>"                },
        {"<a x='\"'/>",                           "<a x='\"'/>"                          },
        {"<a x=\"'\"/>",                          "<a x=\"'\"/>"                         },
        {"<r>\r\n<!-- c -->\r\n<i/>\r\n</r>\r\n", "<r>\r\n<!-- c -->\r\n<i/>\r\n</r>\r\n"},
        {"<?xml version='1.0'?><r/>",             "<?xml version='1.0'?><r/>"            },
        {"<a><![CDATA[</a>]]></a>",               "<a><![CDATA[</a>]]></a>"              },
        {"<a><%= x %></a>",                       "<a><%= x %></a>"                      },
        {"< x=\"1\"><b/>t</>u",                   "<b/>tu"                               },
        {"</a></b>x<c/>",                         "x<c/>"                                },
 // Content that writes nothing leaves an empty element, written as one.
        {"<t < >",                                "<t/>"                                 },
        {"<t>< >< ></></></t>",                   "<t/>"                                 },
        {"<t>< >x</></t>",                        "<t>x</t>"                             },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Rewrite(c.input), c.output) << "input: " << c.input;
}

TEST(Writer, QuotesEachValueSoThatItReadsBackWhole)
{
    struct Case
    {
        const char* value;
        const char* written;
    };
    const std::vector<Case> cases = {
        {"",           "<i v/>"                       },
        {"plain",      "<i v=\"plain\"/>"             },
        {"it's",       "<i v=\"it's\"/>"              },
        {"say \"hi\"", "<i v='say \"hi\"'/>"          },
        {"\"both' \"", "<i v=\"&quot;both' &quot;\"/>"},
        {"'\"",        "<i v=\"'&quot;\"/>"           },
        {"<>/=",       "<i v=\"<>/=\"/>"              },
    };
    for (const Case& c : cases)
    {
        auto document = std::make_unique<CXmlDocument>();
        // Read without a value: one given to it is written, and none leaves the name alone.
        document->Parse("<i v/>");
        document->m_documentElement->FindAttribute("v")->m_value = c.value;
        EXPECT_EQ(document->ToString(), c.written) << "value: " << c.value;
    }
}

TEST(Writer, WritesTreesBuiltByHand)
{
    auto document = std::make_unique<CXmlDocument>();
    CXmlNode& root = document->m_root;
    auto text = std::make_unique<CXmlNode>();
    text->m_type = CXmlNode::NODE_TEXT;
    text->m_text = "\n\t";
    root.m_children.push_back(std::move(text));
    auto element = std::make_unique<CXmlNode>();
    element->m_name = "e";
    element->AddAttribute("a", "1");
    element->AddAttribute("b", "");
    auto unnamed = std::make_unique<CXmlNode>();
    unnamed->AddAttribute("hidden", "1");
    auto inner = std::make_unique<CXmlNode>();
    inner->m_name = "in";
    unnamed->m_children.push_back(std::move(inner));
    element->m_children.push_back(std::move(unnamed));
    root.m_children.push_back(std::move(element));
    root.m_children.push_back(std::make_unique<CXmlNode>()); // empty name, no children: nothing
    EXPECT_EQ(document->ToString(), "\n\t<e a=\"1\" b=\"\"><in/></e>");
}

TEST(Writer, WritesPiecesOfAnyLength)
{
    const std::string name(5000, 'n');
    const std::string value(3u << 20, 'v'); // larger than the write buffer
    const std::string text(70000, 't');
    const std::string input = "<" + name + " " + name + "=\"" + value + "\">" + text + "</x>";
    const std::string expected = "<" + name + " " + name + "=\"" + value + "\">" + text + "</" + name + ">";
    auto document = std::make_unique<CXmlDocument>();
    document->Parse(input);
    EXPECT_TRUE(document->ToString() == expected);
    const std::string path = TestFolder() + "/long.xml";
    ASSERT_TRUE(document->Save(path.c_str()));
    EXPECT_TRUE(ReadBytes(path) == expected);
}
