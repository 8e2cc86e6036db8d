// The tree that the document builds from the events, and the node operations.
#include "XmlTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace
{

// element: name[attr=value ...](children); text: "text" with CR, LF and tab escaped.
std::string Shape(const CXmlNode& node);

std::string Children(const CXmlNode& node)
{
    std::string out;
    for (const auto& child : node.m_children)
    {
        if (!out.empty())
            out += ' ';
        out += Shape(*child);
        if (child->m_parent != &node)
            out += "<wrong parent>";
    }
    return out;
}

std::string Shape(const CXmlNode& node)
{
    if (node.m_type == CXmlNode::NODE_TEXT)
    {
        std::string out = "\"";
        for (char c : node.m_text)
            out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
        if (!node.m_name.empty() || !node.m_children.empty() || !node.m_attributes.empty())
            out += "<text node with more than text>";
        return out + "\"";
    }
    std::string out = node.m_name.str();
    if (!node.m_attributes.empty())
    {
        out += '[';
        for (std::size_t i = 0; i < node.m_attributes.size(); ++i)
        {
            const CXmlAttribute& attribute = *node.m_attributes[i];
            out += (i ? " " : "") + attribute.m_name;
            out += attribute.m_bare ? "" : "=" + attribute.m_value;
        }
        out += ']';
    }
    if (!node.m_text.empty())
        out += "<element with text>";
    return out + "(" + Children(node) + ")";
}

} // namespace

TEST(Tree, ShapeFollowsTheEvents)
{
    struct Case
    {
        const char* input;
        const char* shape;
        const char* documentElement; // null: none
    };
    const std::vector<Case> cases = {
        {"",                                                           "",                                         nullptr},
        {"just text",                                                  "\"just text\"",                            nullptr},
        {"\n<r/>",                                                     "\"\\n\" r()",                              "r"    },
        {"<a/><b/>",                                                   "a() b()",                                  "a"    },
        {"<a><b></c>x</a>",                                            "a(b() \"x\")",                             "a"    },
        {"</x></y>abc<a/>",                                            "\"abc\" a()",                              "a"    },
        {"<a></a></a></a>x",                                           "a() \"x\"",                                "a"    },
        {"<a><b>",                                                     "a(b())",                                   "a"    },
        {"<a x=\"1\" x=\"2\" y='3' z/>",                               "a[x=1 x=2 y=3 z]()",                       "a"    },
        {"<?xml version=\"1.0\"?>\r\n<r>\r\n<i n=\"1\"/>\r\n</r>\r\n",
         "\"<?xml version=\"1.0\"?>\\r\\n\" r(\"\\r\\n\" i[n=1]() \"\\r\\n\") \"\\r\\n\"",                         "r"    },
        {"<r>\n<!-- c -->\n<i/>\n</r>",                                "r(\"\\n<!-- c -->\\n\" i() \"\\n\")",      "r"    },
        {"<!DOCTYPE r><r><![CDATA[<x/>]]></r>",                        "\"<!DOCTYPE r>\" r(\"<![CDATA[<x/>]]>\")", "r"    },
        {"< x=\"1\">t</>",                                             "[x=1](\"t\")",                             ""     },
    };
    for (const Case& c : cases)
    {
        auto document = std::make_unique<CXmlDocument>();
        document->Parse(c.input);
        EXPECT_EQ(Children(document->m_root), c.shape) << "input: " << c.input;
        if (c.documentElement)
        {
            ASSERT_NE(document->m_documentElement, nullptr) << "input: " << c.input;
            EXPECT_EQ(document->m_documentElement->m_name, c.documentElement) << "input: " << c.input;
            EXPECT_EQ(document->m_documentElement->m_parent, &document->m_root);
        }
        else
        {
            EXPECT_EQ(document->m_documentElement, nullptr) << "input: " << c.input;
        }
        EXPECT_EQ(document->m_root.m_parent, nullptr);
        EXPECT_TRUE(document->m_root.m_name.empty());
    }
}

TEST(Tree, AnAttributeAfterTheElementClosedGoesToTheEnclosingNode)
{
    auto document = std::make_unique<CXmlDocument>();
    document->Parse("<p q=\"0\"><a x=\"1\"/ y=\"2\"></p><b/ z=\"3\"><c v=\"5\"/ w=\"4\">");
    EXPECT_EQ(Children(document->m_root), "p[q=0 y=2](a[x=1]()) b() c[v=5]()");
    // At the top level the attribute lands on the root, which the writer never shows.
    ASSERT_EQ(document->m_root.m_attributes.size(), 1u);
    EXPECT_EQ(document->m_root.m_attributes[0]->m_name, "w");
    EXPECT_EQ(document->ToString(), "<p q=\"0\" y=\"2\"><a x=\"1\"/></p><b/><c v=\"5\"/>");
}

TEST(Tree, FindAttributeReturnsTheFirstExactMatch)
{
    auto document = std::make_unique<CXmlDocument>();
    document->Parse("<i name=\"A\" Name=\"B\" name=\"C\" n=\"D\"/>text");
    const CXmlNode& item = *document->m_documentElement;
    ASSERT_NE(item.FindAttribute("name"), nullptr);
    EXPECT_EQ(item.FindAttribute("name"), item.m_attributes[0].get());
    EXPECT_EQ(item.FindAttribute("Name"), item.m_attributes[1].get());
    EXPECT_EQ(item.FindAttribute("n"), item.m_attributes[3].get());
    EXPECT_EQ(item.FindAttribute("nam"), nullptr);
    EXPECT_EQ(item.FindAttribute("names"), nullptr);
    EXPECT_EQ(item.FindAttribute(""), nullptr);
    EXPECT_EQ(item.FindAttribute(nullptr), nullptr);
    const CXmlNode& text = *document->m_root.m_children[1];
    ASSERT_EQ(text.m_type, CXmlNode::NODE_TEXT);
    EXPECT_EQ(text.FindAttribute("name"), nullptr);
}

TEST(Tree, AddAttributeAppendsAndValuesAreAssignedInPlace)
{
    auto document = std::make_unique<CXmlDocument>();
    document->Parse("<i name=\"A\" enabled=\"0\"/>");
    CXmlNode& item = *document->m_documentElement;
    CXmlAttribute* added = item.AddAttribute("extra", "x y");
    ASSERT_EQ(item.m_attributes.size(), 3u);
    EXPECT_EQ(item.m_attributes[2].get(), added);
    item.FindAttribute("enabled")->m_value = "1";
    item.FindAttribute("name")->m_value = std::string("B");
    EXPECT_EQ(document->ToString(), "<i name=\"B\" enabled=\"1\" extra=\"x y\"/>");
}

TEST(Tree, CopiesHoldKindNameTextAndOwnAttributesButNoChildren)
{
    auto document = Loaded("<r><i name=\"A\" enabled=\"1\"><sub/></i>tail</r>");
    const CXmlNode& item = *document->m_documentElement->m_children[0];
    CXmlNode copy(item);
    EXPECT_EQ(copy.m_type, CXmlNode::NODE_ELEMENT);
    EXPECT_EQ(copy.m_name, "i");
    EXPECT_EQ(copy.m_parent, nullptr);
    EXPECT_TRUE(copy.m_children.empty());
    ASSERT_EQ(copy.m_attributes.size(), 2u);
    EXPECT_NE(copy.m_attributes[0].get(), item.m_attributes[0].get());
    copy.m_attributes[0]->m_value = "changed";
    EXPECT_EQ(item.m_attributes[0]->m_value, "A");

    const CXmlNode textCopy(*document->m_documentElement->m_children[1]);
    EXPECT_EQ(textCopy.m_type, CXmlNode::NODE_TEXT);
    EXPECT_EQ(textCopy.m_text, "tail");

    const CXmlAttribute missing(item.FindAttribute("absent"));
    EXPECT_TRUE(missing.m_name.empty());
    EXPECT_TRUE(missing.m_value.empty());
    const CXmlAttribute present(item.FindAttribute("enabled"));
    EXPECT_EQ(present.m_name, "enabled");
    EXPECT_EQ(present.m_value, "1");

    // The copies own their bytes: they outlive the document they came from. So do strings moved
    // out of it, which are copied rather than take the document's bytes.
    CXmlString& name = document->m_documentElement->m_name;
    const char* bytes = name.c_str();
    CXmlString moved = std::move(name);
    CXmlString& value = document->m_documentElement->m_children[0]->m_attributes[0]->m_value;
    const char* valueBytes = value.c_str();
    CXmlString assigned;
    assigned = std::move(value);
    document.reset();
    EXPECT_NE(moved.c_str(), bytes);
    EXPECT_NE(assigned.c_str(), valueBytes);
    EXPECT_EQ(moved, "r");
    EXPECT_EQ(assigned, "A");
    EXPECT_EQ(copy.m_attributes[1]->m_value, "1");
    EXPECT_EQ(present.m_value, "1");
}

TEST(Tree, ClearDestroysChildrenAndAttributesOnly)
{
    auto document = std::make_unique<CXmlDocument>();
    document->Parse("<r a=\"1\"><i><j/></i>x</r>");
    CXmlNode& r = *document->m_documentElement;
    r.Clear();
    EXPECT_TRUE(r.m_children.empty());
    EXPECT_TRUE(r.m_attributes.empty());
    EXPECT_EQ(r.m_name, "r");
    EXPECT_EQ(r.m_type, CXmlNode::NODE_ELEMENT);
    EXPECT_EQ(r.m_parent, &document->m_root);
    EXPECT_EQ(document->ToString(), "<r/>");
}

TEST(Tree, LoadAppendsToTheTreeAndAFailedLoadChangesNothing)
{
    const std::string folder = TestFolder();
    WriteBytes(folder + "/one.xml", "<one/>\n");
    WriteBytes(folder + "/two.xml", "<two>x</two>");
    auto document = std::make_unique<CXmlDocument>();
    ASSERT_TRUE(document->Load((folder + "/one.xml").c_str()));
    ASSERT_TRUE(document->Load((folder + "/two.xml").c_str()));
    EXPECT_EQ(Children(document->m_root), "one() \"\\n\" two(\"x\")");
    ASSERT_NE(document->m_documentElement, nullptr);
    EXPECT_EQ(document->m_documentElement->m_name, "two");

    CXmlNode* before = document->m_documentElement;
    EXPECT_FALSE(document->Load((folder + "/missing.xml").c_str()));
    EXPECT_EQ(document->m_documentElement, before);
    EXPECT_EQ(document->ToString(), "<one/>\n<two>x</two>");
}

TEST(Tree, DeepNestingIsWrittenClearedAndDestroyedWithoutRecursion)
{
    constexpr std::size_t kDepth = 1000000;
    std::string input;
    input.reserve(kDepth * 3);
    for (std::size_t i = 0; i < kDepth; ++i)
        input += "<a>";
    auto document = std::make_unique<CXmlDocument>();
    document->Parse(input);

    std::string expected;
    expected.reserve(kDepth * 7);
    for (std::size_t i = 1; i < kDepth; ++i)
        expected += "<a>";
    expected += "<a/>";
    for (std::size_t i = 1; i < kDepth; ++i)
        expected += "</a>";
    EXPECT_TRUE(document->ToString() == expected);

    const std::string path = TestFolder() + "/deep.xml";
    ASSERT_TRUE(document->Save(path.c_str()));
    EXPECT_TRUE(ReadBytes(path) == expected);

    // Neither clearing nor destroying allocates: both work when memory has run out.
    FailAllocationsAfter(0);
    document->m_root.Clear();
    EXPECT_FALSE(AllowAllocations());
    EXPECT_TRUE(document->m_root.m_children.empty());

    // Destruction alone, of a file-loaded tree and of one built by hand.
    ASSERT_TRUE(document->Load(path.c_str()));
    FailAllocationsAfter(0);
    document.reset();
    EXPECT_FALSE(AllowAllocations());
    auto top = std::make_unique<CXmlNode>();
    CXmlNode* node = top.get();
    for (std::size_t i = 0; i < kDepth; ++i)
    {
        node->m_children.push_back(std::make_unique<CXmlNode>());
        node->m_children.back()->m_parent = node;
        node = node->m_children.back().get();
    }
    FailAllocationsAfter(0);
    top.reset();
    EXPECT_FALSE(AllowAllocations());
}

TEST(Tree, StringsReadLikeStdString)
{
    CXmlString s = "abc";
    EXPECT_EQ(s.size(), 3u);
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_TRUE(s == "abc");
    EXPECT_TRUE("abc" == s);
    EXPECT_TRUE(s == std::string("abc"));
    EXPECT_TRUE(std::string("abc") == s);
    EXPECT_TRUE(s != "abd");
    EXPECT_TRUE(s != "ab");
    EXPECT_TRUE(s != std::string("abc\0", 4));
    EXPECT_EQ(std::string(s) + "!", "abc!");
    EXPECT_EQ("<" + s + ">", "<abc>");
    CXmlString empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_STREQ(empty.c_str(), "");
    EXPECT_TRUE(empty == "");
    EXPECT_TRUE(empty == nullptr);
    s = s.c_str() + 1; // assignment from its own bytes
    EXPECT_EQ(s, "bc");
    s = std::string(20000, 'z');
    EXPECT_EQ(s.size(), 20000u);
    CXmlString copy = s;
    s = nullptr;
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(copy.size(), 20000u);
}
