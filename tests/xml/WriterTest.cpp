// The bytes the writer makes of a tree, and of the content files.
#include "XmlTestSupport.h"

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
        {"<<%b>c",                                      "<%b>c</%b>",                            "<%b>c"           },
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
        // Read without a value: one given to it is written, and none leaves the name alone.
        auto document = Loaded("<i v/>");
        document->m_documentElement->m_attributes[0]->m_value = value;
        EXPECT_EQ(document->ToString(), written) << "value: " << value;
    }
}

TEST(Writer, WritesPiecesOfAnyLength)
{
    const std::string name(5000, 'n');
    const std::string value(3u << 20, 'v'); // larger than the write buffer
    const std::string text(70000, 't');
    const std::string expected = "<" + name + " " + name + "=\"" + value + "\">" + text + "</" + name + ">";
    const std::string path = TestFolder() + "/long.xml";
    ASSERT_TRUE(Loaded(expected)->Save(path.c_str()));
    EXPECT_TRUE(ReadBytes(path) == expected);
}

// The bytes come back as they were, or as name.out.xml where the file holds tags the writer
// normalises; what the writer makes reads back to the same bytes.
TEST(RoundTrip, ContentFilesComeBackWithOnlyTheirTagsNormalised)
{
    const std::string folder = TestFolder();
    for (const std::string name : {"features", "softkeys", "starthere", "interface", "odd"})
    {
        const std::string path = XML_TEST_DATA_DIR "/" + name + ".xml";
        std::string expected = ReadBytes(XML_TEST_DATA_DIR "/" + name + ".out.xml");
        expected = expected == "<missing>" ? ReadBytes(path) : expected;
        auto document = std::make_unique<CXmlDocument>();
        ASSERT_TRUE(document->Load(path.c_str())) << name;
        const std::string copy = folder + "/" + name + ".xml";
        ASSERT_TRUE(document->Save(copy.c_str())) << name;
        EXPECT_EQ(ReadBytes(copy), expected) << name;
        EXPECT_EQ(Rewrite(expected), expected) << name;
    }
}
