// The bytes the writer makes of a tree, and of the content files.
#include "XmlTestSupport.h"
#include "XmlText.h"

// The first rewrite, and the second where markup cannot come back as it was read.
TEST(Writer, NormalisesTagsAndKeepsEverythingElse)
{
    // Input, output, and the second output (null: the first is a fixed point).
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"\n\t",                                        "\n\t",                                  nullptr           },
        {"<a></a>",                                     "<a/>",                                  nullptr           },
        {"<a  x = \"1\"\r\n\tb y='2' />",               "<a x=\"1\" b y=\"2\"/>",                nullptr           },
        {"<a x=\"1\" x=\"2\" y='3' z/>",                "<a x=\"1\" x=\"2\" y=\"3\" z/>",        nullptr           },
        {"<a><b></c>x</a></a></a>y",                    "<a><b/>x</a>y",                         nullptr           },
        {"<a><b>t",                                     "<a><b>t</b></a>",                       nullptr           },
        {"<p><a x=\"1\"/ y=\"2\"></p><b/><c/ w=\"4\">", "<p y=\"2\"><a x=\"1\"/></p><b/><c/>",   nullptr           },
        {"<a x=\"&lt;&quot;\">&amp;&bogus;</a>",        "<a x=\"&lt;&quot;\">&amp;&bogus;</a>",  nullptr           },
        {"<r>\r\n<!-- c -->\r\n<i/>\r\n</r>\r\n",       "<r>\r\n<!-- c -->\r\n<i/>\r\n</r>\r\n", nullptr           },
        {"<a><![CDATA[</a>]]><%= x %></a>",             "<a><![CDATA[</a>]]><%= x %></a>",       nullptr           },
        {"< x=\"1\"><b/>t</>u",                         "<b/>tu",                                nullptr           },
        {"</a></b>x<c/>",                               "x<c/>",                                 nullptr           },
        {"<a/</b>x",                                    "<a/>x",                                 nullptr           },
 // Content that writes nothing leaves an empty element, written as one.
        {"<t>< >< ></></></t>",                         "<t/>",                                  nullptr           },
        {"<t>< >x</></t>",                              "<t>x</t>",                              nullptr           },
 // A name that only follows an ignored "=", quote or "<%": written back it opens a
  // declaration, a processing instruction or a "<%" block, which are character data.
        {"<=!x>abc</y>",                                "<!x>abc</!x>",                          "<!x>abc"         },
        {"<\"?p>q",                                     "<?p>q</?p>",                            "<?p>q</?p>"      },
        {"<<%b>c",                                      "<%b>c</%b>",                            nullptr           },
 // Markup left unterminated at the end swallows the end tags that close the open elements,
  // so every rewrite adds one more.
        {"<a><!--x",                                    "<a><!--x</a>",                          "<a><!--x</a></a>"},
    };
    for (const auto& [input, output, second] : cases)
    {
        EXPECT_EQ(Rewrite(input), output) << "input: " << input;
        EXPECT_EQ(Rewrite(output), second ? second : output) << "input: " << input;
    }
    // Found by the fuzzer, each once a rewrite that read back differently.
    for (const char* input :
         {"<f name=\"Intercom% enabled=\"0\" text='Say \"hello\" to a colleague'/>",
          "<topic name=\"W\" en\"></ ='\"1\"B s pste<  n=\"0\">Unpa", "<Dire t<\">step\"velope keM'"})
        EXPECT_EQ(Rewrite(Rewrite(input)), Rewrite(input)) << "input: " << input;
}

TEST(Writer, QuotesEachValueSoThatItReadsBackWhole)
{
    const std::pair<const char*, const char*> cases[] = {
        {"",           "<i v/>"                       },
        {"it's",       "<i v=\"it's\"/>"              },
        {"say \"hi\"", "<i v='say \"hi\"'/>"          },
        {"\"both' \"", "<i v=\"&quot;both' &quot;\"/>"},
    };
    for (const auto& [value, written] : cases)
    {
        // Without a value: one given to it is written, and none leaves the name alone.
        CXmlDocument document;
        document.Parse("<i v/>");
        document.m_documentElement->m_attributes[0]->m_value = value;
        EXPECT_EQ(document.ToString(), written) << "value: " << value;
    }
}

// A document read from a file writes the file's own bytes; only what changed is written anew.
TEST(Writer, CopiesTheFileAroundWhatChanged)
{
    struct Row
    {
        const char* input;
        const char* name;  // the attribute of the first item that is set or added; null: no change
        const char* value;
        const char* expected;
    };
    const Row rows[] = {
        {"<r>\r\n <i name='A'  enabled = \"yes\" \r\n/>\r\n</r>\r\n", nullptr, nullptr, nullptr},
        {"<r><i name='A'  enabled = \"yes\" /></r>", "enabled", "0", "<r><i name='A'  enabled = \"0\" /></r>"},
        {"<r><i a=\"1\"></i><i a=\"1\"/></r>", "a", "2", "<r><i a=\"2\"></i><i a=\"1\"/></r>"},
        {"<r><i name='A'/></r>", "name", "it's <b> \"", "<r><i name='it&apos;s &lt;b> \"'/></r>"},
        {"<r><i name=\"A\"/></r>", "enabled", "1", "<r><i name=\"A\" enabled=\"1\"/></r>"},
        {"<r><i name=\"A\" /></r>", "enabled", "1", "<r><i name=\"A\" enabled=\"1\" /></r>"},
        {"<r><i\n></i></r>", "enabled", "1", "<r><i enabled=\"1\"\n></i></r>"},
        {"<r><i hidden name=\"A\"/></r>", "hidden", "x", "<r><i hidden=\"x\" name=\"A\"/></r>"},
        {"<r><i a=\"1\" a=\"2\" b/></r>", "a", "3", "<r><i a=\"3\" a=\"2\" b/></r>"},
        {"<?xml version=\"1.0\"?>\n<!-- c --><r\n><i a='&amp;'/><![CDATA[<x>]]></r >\n", "a", "&lt;",
         "<?xml version=\"1.0\"?>\n<!-- c --><r\n><i a='&lt;'/><![CDATA[<x>]]></r >\n"},
    };
    for (const Row& row : rows)
    {
        auto document = Loaded(row.input);
        CXmlNode* item = document->m_documentElement;
        for (const auto& child : item->m_children)
        {
            if (child->m_type == CXmlNode::NODE_ELEMENT)
            {
                item = child.get();
                break;
            }
        }
        if (row.name)
        {
            if (CXmlAttribute* attribute = item->FindAttribute(row.name))
                attribute->m_value = row.value;
            else
                item->AddAttribute(row.name, row.value);
        }
        EXPECT_EQ(document->ToString(), row.expected ? row.expected : row.input) << row.input;
    }
    // What the file's bytes cannot say is written in the engine's form: a renamed element, an added
    // child, a removed attribute.
    auto document = Loaded("<r x = '1'  y='2'><i  a='1'/></r>");
    CXmlNode& root = *document->m_documentElement;
    root.m_children[0]->m_name = "j";
    auto text = std::make_unique<CXmlNode>();
    text->m_type = CXmlNode::NODE_TEXT;
    text->m_text = "t";
    root.m_children[0]->m_children.push_back(std::move(text));
    root.m_attributes.erase(root.m_attributes.begin());
    EXPECT_EQ(document->ToString(), "<r y=\"2\"><j a=\"1\">t</j></r>");
}

// A file longer than the write buffer, around a value and a text each longer than it, keeps every
// byte but the one value changed at its start, middle or end, in UTF-8 as in UTF-16.
TEST(Writer, LongFilesComeBackWithOnlyTheirChange)
{
    const std::string value(70000, 'v');
    std::string file = "<?xml version=\"1.0\"?>\r\n<r>\r\n";
    const std::string middle = "<v t=\"" + value + "\xC3\xA9\">" + std::string(70000, 't') + "\xE2\x98\xBA</v>";
    for (int i = 0; i < 6000; ++i)
        file += "<i n=\"" + std::to_string(i) + "\" e=\"0\"/>\r\n" + (i == 3000 ? middle : "");
    file += "</r>\r\n";
    // The element (its n, or v), the attribute, its value as the file has it, and the new one.
    const std::tuple<std::string, std::string, std::string, std::string> changes[] = {
        {"",     "",  "",                ""                     },
        {"0",    "e", "0",               "1"                    },
        {"3000", "e", "0",               "1"                    },
        {"5999", "e", "0",               "1"                    },
        {"v",    "t", value + "\xC3\xA9", std::string(80000, 'w')},
    };
    // UTF-8, UTF-16 LE with a mark, UTF-16 BE without one.
    for (const auto& [utf16, bigEndian, mark] :
         {std::tuple(false, false, ""), {true, false, "\xFF\xFE"}, {true, true, ""}})
    {
        auto encode = [&, utf16 = utf16, bigEndian = bigEndian, mark = mark](const std::string& utf8) {
            std::string bytes;
            return utf16 && Utf8ToUtf16Bytes(utf8, bigEndian, bytes) ? mark + bytes : utf8;
        };
        for (const auto& [key, name, was, now] : changes)
        {
            auto document = Loaded(encode(file));
            std::string expected = file;
            for (const auto& child : document->m_documentElement->m_children)
            {
                const CXmlAttribute* n = child->FindAttribute("n");
                if (!key.empty() && (n ? n->m_value == key : child->m_name == key))
                    child->FindAttribute(name.c_str())->m_value = now;
            }
            const std::size_t element = expected.find(key == "v" ? "<v" : "=\"" + key);
            const std::size_t at = expected.find(name + "=\"" + was, element);
            expected.replace(at, name.size() + 2 + was.size(), name + "=\"" + now);
            EXPECT_TRUE(document->ToString() == encode(expected)) << key << (utf16 ? " UTF-16" : " UTF-8");
        }
    }
}

// The content files come back byte for byte, through a file as through a string.
TEST(RoundTrip, ContentFilesComeBackAsTheyWere)
{
    const std::string folder = TestFolder();
    for (const std::string name : {"features", "softkeys", "starthere", "interface"})
    {
        const std::string path = XML_TEST_DATA_DIR "/" + name + ".xml";
        auto document = std::make_unique<CXmlDocument>();
        ASSERT_TRUE(document->Load(path.c_str())) << name;
        const std::string copy = folder + "/" + name + ".xml";
        ASSERT_TRUE(document->Save(copy.c_str())) << name;
        EXPECT_EQ(ReadBytes(copy), ReadBytes(path)) << name;
    }
}
