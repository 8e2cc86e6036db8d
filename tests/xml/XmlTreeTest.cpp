// The tree's links and operations (its shape is seen through the writer's tests).
#include "XmlTestSupport.h"
#include "XmlText.h"

#ifdef XML_TEST_LIBXML2
#include <libxml/parser.h>
#endif

TEST(Tree, DocumentElementFindAttributeCopiesAndClear)
{
    EXPECT_EQ(Loaded("just text")->m_documentElement, nullptr);
    auto document = Loaded("\n<r><i name=\"A\" Name=\"B\" name=\"C\" enabled=\"1\"><sub/></i>tail</r><b/>");
    ASSERT_EQ(document->m_documentElement, document->m_root.m_children[1].get());
    ASSERT_TRUE(document->LoadBytes("<two/>", 6)); // appended, and the new first element
    EXPECT_EQ(document->m_documentElement, document->m_root.m_children[3].get());
    CXmlNode& item = *document->m_root.m_children[1]->m_children[0];
    EXPECT_EQ(item.m_parent->m_parent, &document->m_root);
    EXPECT_EQ(item.FindAttribute("name"), item.m_attributes[0].get());
    EXPECT_EQ(item.FindAttribute("Name"), item.m_attributes[1].get());
    EXPECT_EQ(item.FindAttribute("nam") || item.FindAttribute(nullptr), false);
    const CXmlNode copy(item);
    EXPECT_TRUE(copy.m_name == "i" && copy.m_attributes.size() == 4 && copy.m_children.empty() &&
                !copy.m_parent);

    // Copies own their bytes and outlive the document. So do strings moved out of it, which are
    // copied rather than take the document's bytes.
    CXmlString& name = item.m_parent->m_name;
    const char* nameBytes = name.data();
    CXmlString moved = std::move(name);
    CXmlString& value = item.m_attributes[0]->m_value;
    const char* valueBytes = value.data();
    CXmlString assigned;
    assigned = std::move(value);
    item.Clear();
    EXPECT_EQ(document->ToString(), "\n<r><i/>tail</r><b/><two/>");
    document.reset();
    EXPECT_NE(moved.data(), nameBytes);
    EXPECT_NE(assigned.data(), valueBytes);
    EXPECT_EQ(moved.str() + assigned.str() + copy.m_attributes[3]->m_value.str(), "rA1");
}

TEST(Tree, DeepNestingIsWrittenClearedAndDestroyedWithoutRecursion)
{
    constexpr std::size_t kDepth = 1000000;
    std::string input;
    for (std::size_t i = 0; i < kDepth; ++i)
        input += "<a>";
    auto document = Loaded(input);
    std::string expected = input;
    for (std::size_t i = 0; i < kDepth; ++i)
        expected += "</a>";
    const std::string path = TestFolder() + "/deep.xml";
    ASSERT_TRUE(document->Save(path.c_str()));
    EXPECT_TRUE(ReadBytes(path) == expected);

    // Neither clearing nor destroying allocates: both work when memory has run out.
    FailAllocationsAfter(0);
    document->m_root.Clear();
    EXPECT_FALSE(AllowAllocations());
    EXPECT_TRUE(document->m_root.m_children.empty());
    ASSERT_TRUE(document->Load(path.c_str()));
    FailAllocationsAfter(0);
    document.reset();
    EXPECT_FALSE(AllowAllocations());
}

// A file the engine reads and writes back exactly loads with its items and keeps every byte but the
// one changed; a control character or an encoding that keeps no ASCII bytes makes it read-only there.
TEST(Tree, FilesCarriedExactlyShowTheirItemsAndComeBackWithOnlyTheChange)
{
    using E = XmlSyntaxError;
    const std::tuple<E, std::uint32_t, std::uint32_t, std::string_view> cases[] = {
        {E::None,               0, 0,  "<F>\n<% if %>\n<f enabled=\"0\"/><!-- -- -->\n</f>\ntail<x/>"       },
        {E::None,               0, 0,  "\n <?xml version=\"1.0\"?>\r\n<r><f enabled=\"0\"/></r>\r\n\x1A"    },
        {E::ControlCharacter,   2, 1,  "<r>\n\f<f enabled=\"0\"/></r>"                                      },
        {E::UnwritableEncoding, 1, 31, "<?xml version=\"1.0\" encoding=\"UTF-7\"?><r><f enabled=\"0\"/></r>"},
        {E::UnwritableEncoding, 1, 31, "<?xml version='1.0' encoding='ibm037'?>\n<r><f enabled=\"0\"/></r>" },
    };
    for (const auto& [error, line, column, bytes] : cases)
    {
        auto document = Loaded(std::string(bytes));
        const CXmlSyntax& syntax = document->Syntax();
        EXPECT_EQ(syntax.error, error) << bytes;
        EXPECT_EQ(syntax.line * 1000 + syntax.column, line * 1000 + column) << bytes;
        ASSERT_NE(document->m_documentElement, nullptr) << bytes;
        CXmlAttribute* enabled = nullptr;
        for (const auto& child : document->m_documentElement->m_children)
            enabled = enabled ? enabled : child->FindAttribute("enabled");
        ASSERT_NE(enabled, nullptr) << bytes;
        enabled->m_value = "1";
        std::string expected(bytes);
        expected.replace(expected.find("enabled=\"0\""), 11, "enabled=\"1\"");
        EXPECT_EQ(document->ToString(), expected);
    }
}

// Whichever way the text came, FileStatus and Syntax describe the last load alone: one that failed
// reports no syntax, and an inherited Parse reports on its own text. Each load is from a file (f),
// a path with no file (m), bytes (b), a Parse (p), or a ParseFile (r; of no file when empty).
TEST(Tree, EachLoadReportsItsOwnStatusAndSyntax)
{
    using E = XmlSyntaxError;
    using F = XmlFileError;
    using namespace std::literals;
    const std::tuple<char, std::string_view, char, std::string_view, F, E, std::uint32_t> cases[] = {
        {'f', "<r",   'p', "<r/>",                                       F::None,        E::None,               0},
        {'b', "<r",   'p', "<r>\n\f</r>",                                F::None,        E::ControlCharacter,   2},
        {'f', "<r/>", 'p', "<?xml version='1.0' encoding='UTF-7'?><r/>", F::None,        E::UnwritableEncoding, 1},
        {'m', "",     'p', "<r/>",                                       F::None,        E::None,               0},
        {'b', "<r",   'm', "",                                           F::NotFound,    E::None,               0},
        {'f', "</r>", 'b', "\xFF\xFE<\0r"sv,                             F::BadEncoding, E::None,               0},
        {'p', "<r",   'f', "<r><a>\n</r>",                               F::None,        E::UnclosedElement,    2},
        {'b', "<r",   'r', "<r>\n\f</r>",                                F::None,        E::ControlCharacter,   2},
        {'f', "<r",   'r', "",                                           F::NotFound,    E::None,               0},
    };
    const std::string folder = TestFolder();
    for (const auto& [firstHow, first, secondHow, second, status, error, line] : cases)
    {
        CXmlDocument document;
        for (const auto& [how, bytes] : {std::pair(firstHow, first), std::pair(secondHow, second)})
        {
            const bool missing = how == 'm' || (how == 'r' && bytes.empty());
            const std::string path = folder + (missing ? "/missing.xml" : "/file.xml");
            EXPECT_TRUE(missing || (how != 'f' && how != 'r') || WriteBytes(path, std::string(bytes)));
            if (how == 'r')
                document.ParseFile(path.c_str());
            else if (how == 'p')
                document.Parse(bytes.data(), bytes.size());
            else if (how == 'b')
                document.LoadBytes(bytes.data(), bytes.size());
            else
                document.Load(path.c_str());
        }
        EXPECT_EQ(document.FileStatus().error, status) << first << " then " << second;
        EXPECT_EQ(document.Syntax().error, error) << first << " then " << second;
        EXPECT_EQ(document.Syntax().line, line) << first << " then " << second;
    }
}

// What the internal subset declares, as the engine reads it: an item's n with the declared entities
// (null where it cannot be sure of it), and what makes the tool leave the file alone: an entity that
// is markup among the items (e), a declared default or type of n (a), a subset not read whole (u).
// Where nothing does (-), libxml2 substituting entities and applying defaults reads n alike;
// where something does, libxml2 reads what the engine does not.
TEST(Tree, TheDocumentTypesDeclarationsReadAsReadersReadThem)
{
    const std::tuple<std::string_view, std::string_view, std::string_view, const char*, char> cases[] = {
        {"<!ENTITY on \"1\"><!ENTITY on \"0\"><!ENTITY amp2 '&amp;'>", " n=\"&on;&amp2;\"", "", "1&", '-'},
        {"<!ENTITY a \"&#38;#49;\"><!ENTITY b '&a;&#x31;'>",             " n='&b;'",          "", "11", '-'},
        {"<!ENTITY t \"a&#9;b\r\nc&#13;&#10;\">",                      " n=\"&t;\"",        "", "a b c  ", '-'},
        {"<!-- <!ENTITY s 'x'> --><?p ]>?><!ELEMENT r ANY><!ENTITY s ' '><!ENTITY m '<i/>'><!ATTLIST i n CDATA #IMPLIED>",
         " n=\"x\"", "&s;<!-- &m; --><![CDATA[&m;]]><?p &m;?>", "x", '-'},
        {"<!ENTITY m '<b/>'><!ENTITY e SYSTEM 'e.txt'><!ENTITY r '&r;'>", " n=\"&m;\"", "<% &m; %>", nullptr, '-'},
        {"<!ENTITY more '<i n=\"E\"/>'>",                               " n=\"1\"",          "&more;", "1", 'e'},
        {"<!ENTITY lt2 '&#60;i/>'>",                                     "",                  "&lt2;", nullptr, 'e'},
        {"<!ATTLIST i x CDATA #IMPLIED n NMTOKEN #IMPLIED>",             " n=\" 1 \"",        "", " 1 ", 'a'},
        {"<!ATTLIST i n CDATA #FIXED \"1\">",                            "",                  "", nullptr, 'a'},
        {"<!ENTITY % p '<!ENTITY on \"1\">'>%p;",                        " n=\"&on;\"",       "", nullptr, 'u'},
    };
    for (const auto& [subset, attribute, content, n, lock] : cases)
    {
        const std::string bytes = "<!DOCTYPE r [" + std::string(subset) + "]>\n<r><i" +
                                  std::string(attribute) + "/>" + std::string(content) + "</r>";
        auto document = Loaded(bytes);
        ASSERT_EQ(document->Syntax().error, XmlSyntaxError::None) << bytes;
        const CXmlDocumentType& type = document->DocumentType();
        const CXmlAttribute* value = document->m_documentElement->m_children[0]->FindAttribute("n");
        std::u16string text;
        const bool exact = value && DecodeXmlValueExactly(value->m_value, 65001, text, &type);
        std::string read;
        EXPECT_TRUE(Utf16ToUtf8(text, read));
        EXPECT_EQ(exact ? read.c_str() : "(none)", std::string(n ? n : "(none)")) << bytes;
        const CXmlAttributeDeclaration* declared = type.FindAttribute("i", "n");
        const char found = type.m_unread                          ? 'u'
                           : !type.MarkupEntityIn(content, 65001).empty() ? 'e'
                           : declared && (!declared->cdata || declared->defaulted) ? 'a'
                                                                                   : '-';
        EXPECT_EQ(found, lock) << bytes;
#ifdef XML_TEST_LIBXML2
        constexpr int kOptions =
            XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
        xmlDocPtr parsed = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kOptions);
        std::string other = "(none)";
        int items = 0;
        xmlNodePtr child = parsed ? xmlDocGetRootElement(parsed)->children : nullptr;
        for (; child; child = child->next)
        {
            xmlChar* got = child->type == XML_ELEMENT_NODE && items++ == 0
                               ? xmlGetProp(child, reinterpret_cast<const xmlChar*>("n"))
                               : nullptr;
            other = got ? reinterpret_cast<const char*>(got) : other;
            xmlFree(got);
        }
        xmlFreeDoc(parsed);
        if (lock == '-' && n)
        {
            EXPECT_EQ(other, n) << bytes;
        }
        if (lock != '-')
        {
            EXPECT_TRUE(items > 1 || other != (exact ? read : "(none)")) << bytes << " libxml2: " << other;
        }
#endif
    }
}

// Every string of a loaded tree reads as a C string, and asking for one leaves the file's bytes as
// they were read: the document is written back unchanged.
TEST(Tree, StringsReadAsCStringsWithTheFileKept)
{
    const std::string input = "<a x=\"xy\" b='z' c>t<i/>\n</a>";
    auto document = Loaded(input);
    const CXmlNode& a = *document->m_documentElement;
    const std::pair<const CXmlString*, const char*> cases[] = {
        {&a.m_name,                   "a" },
        {&a.m_attributes[0]->m_name,  "x" },
        {&a.m_attributes[0]->m_value, "xy"},
        {&a.m_attributes[1]->m_value, "z" },
        {&a.m_attributes[2]->m_name,  "c" },
        {&a.m_children[0]->m_text,    "t" },
        {&a.m_children[1]->m_name,    "i" },
        {&a.m_children[2]->m_text,    "\n"},
    };
    const CXmlString& value = a.m_attributes[0]->m_value;
    // The check's own message would allocate while allocations fail: the result is kept for later.
    bool threw = false;
    FailAllocationsAfter(0);
    try
    {
        value.c_str();
    }
    catch (const std::bad_alloc&)
    {
        threw = true;
    }
    // Under the sanitizers an array's allocation is theirs and does not fail.
    EXPECT_EQ(threw, AllowAllocations());
    EXPECT_EQ(value, "xy");
    for (const auto& [string, expected] : cases)
        EXPECT_STREQ(string->c_str(), expected);
    EXPECT_EQ(document->ToString(), input);
}

namespace
{
// A document that logs the events it sees, and builds its tree from them unless told to skip the
// start of elements.
class CEventLog : public CXmlDocument
{
public:
    std::string m_log;
    bool m_skipStarts = false;

protected:
    void OnStartElement(const char* name) override
    {
        m_log += "S(" + std::string(name) + ')';
        if (!m_skipStarts)
            CXmlDocument::OnStartElement(name);
    }
    void OnEndElement(const char* name) override
    {
        m_log += "E(" + std::string(name) + ')';
        CXmlDocument::OnEndElement(name);
    }
    void OnAttribute(const char* name, const char* value) override
    {
        m_log += "A(" + std::string(name) + '=' + value + ')';
        CXmlDocument::OnAttribute(name, value);
    }
    void OnBareAttribute(const char* name) override
    {
        m_log += "B(" + std::string(name) + ')';
        CXmlDocument::OnBareAttribute(name);
    }
    void OnText(const char* text) override
    {
        m_log += "T(" + std::string(text) + ')';
        CXmlDocument::OnText(text);
    }
};
} // namespace

// A load, a ParseFile and a Parse of the same bytes fire the same events, each argument a C string
// of its own, and build the same tree; a subclass's override sees every load.
TEST(Tree, LoadParseFileAndParseFireTheSameEvents)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<r a=\"1\" b c='x'>\n\t<i/>y</r>\n", "S(r)A(a=1)B(b)A(c=x)T(\n\t)S(i)E(i)T(y)E(r)T(\n)"},
        {"<?xml version='1.0'?><!--c--><r><![CDATA[<a>]]></r>", "T(<?xml version='1.0'?><!--c-->)S(r)"
                                                                 "T(<![CDATA[<a>]]>)E(r)"},
        {"<a b=\"1\"/><c d=\"2\" />", "S(a)A(b=1)E(a)S(c)A(d=2)E(c)"},
        {"", ""},
    };
    const std::string path = TestFolder() + "/events.xml";
    for (const auto& [input, expected] : cases)
    {
        ASSERT_TRUE(WriteBytes(path, input));
        CEventLog loaded, filed, parsed;
        EXPECT_TRUE(loaded.Load(path.c_str()));
        EXPECT_TRUE(filed.ParseFile(path.c_str()));
        EXPECT_TRUE(parsed.Parse(input));
        const std::string& want = expected;
        EXPECT_EQ(loaded.m_log, want) << input;
        EXPECT_EQ(filed.m_log, want) << input;
        EXPECT_EQ(parsed.m_log, want) << input;
        // Built from the same events, the trees write the same bytes.
        EXPECT_EQ(loaded.ToString(), input) << input;
        EXPECT_EQ(filed.ToString(), parsed.ToString()) << input;
        CEventLog skipping;
        skipping.m_skipStarts = true;
        EXPECT_TRUE(skipping.Load(path.c_str()));
        EXPECT_TRUE(skipping.m_log == want && !skipping.m_documentElement) << input;
    }
}

// A file with neither mark nor declaration is UTF-8 only when every byte is, wherever it stands;
// and a NUL makes the load fail at the NUL's offset from the file's first byte, wherever it stands.
TEST(Tree, UndeclaredEncodingAndNulAreFoundAnywhereInTheFile)
{
    using namespace std::literals;
    const std::pair<std::string_view, unsigned> encodings[] = {
        {"<r>caf\xC3\xA9</r>",          65001               },
        {"<r>caf\xE9</r>",              SystemAnsiCodePage()},
        {"<r><i/>\n<i>caf\xE9</i></r>", SystemAnsiCodePage()},
        {"<r a=\"\xE9\"/>",             SystemAnsiCodePage()},
        {"<r/>\n\xE9",                  SystemAnsiCodePage()},
    };
    for (const auto& [input, codePage] : encodings)
        EXPECT_EQ(Loaded(std::string(input))->TreeCodePage(), codePage) << input;
    const std::pair<std::string_view, std::size_t> nuls[] = {
        {"\0<r/>"sv,                  0},
        {"<r>a\0</r>"sv,              4},
        {"<r><i/>\n<i/>\n\0</r>"sv,   13},
        {"<r/>\n\0"sv,                5},
        {"\xFF\xFE<\0r\0\0\0"sv,      6},
    };
    for (const auto& [input, offset] : nuls)
    {
        CXmlDocument document;
        EXPECT_FALSE(document.LoadBytes(input.data(), input.size()));
        EXPECT_EQ(document.FileStatus().error, XmlFileError::NotText);
        EXPECT_EQ(document.FileStatus().offset, offset) << input;
        EXPECT_TRUE(document.m_root.m_children.empty());
    }
}
