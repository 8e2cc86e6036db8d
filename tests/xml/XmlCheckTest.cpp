// The well-formedness check: each error where a reader finds it, the forms the files rely on, and the
// content files themselves.
#include "XmlTestSupport.h"

#include <ostream>

// Failure messages name an error by its number.
static void PrintTo(XmlSyntaxError error, std::ostream* out)
{
    *out << static_cast<int>(error);
}

namespace
{
using E = XmlSyntaxError;

void ExpectCheck(const std::string& bytes, bool utf8, E error, std::uint32_t line, std::uint32_t column)
{
    const CXmlSyntax found = CheckWellFormed(bytes.data(), bytes.size(), utf8);
    EXPECT_EQ(error, found.error) << bytes;
    if (error != E::None)
    {
        EXPECT_EQ(line, found.line) << bytes;
        EXPECT_EQ(column, found.column) << bytes;
        EXPECT_LE(found.offset, bytes.size()) << bytes;
    }
}
} // namespace

TEST(XmlCheck, FindsTheFirstErrorOfEachKindAndToleratesWhatTheFilesHold)
{
    const std::tuple<std::string_view, E, std::uint32_t, std::uint32_t> cases[] = {
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<?pi x?><!-- c --><r/> \n<!---->", E::None,              0, 0 },
        {"<!DOCTYPE r [\n<!ENTITY v \"> ]\"> <!-- ] --> <?p ]> ?>\n]>\n<r/>",       E::None,              0, 0 },
        {"<?xml-stylesheet href='a'?><r><![CDATA[<x>]]><?p?>&nope; & &amp;</r>",    E::None,              0, 0 },
        {"<item hidden name=\"a\" name = 'b' last/>",                               E::None,              0, 0 },
 // Read and written back exactly: stored files rely on these.
        {"<r>\n<%= v %><% if (a) %>\n</r><%-- x --%>",                              E::None,              0, 0 },
        {"<r><% for (i=0;i<n;i++) { %><%-- <i a='1' --%><%= \"<b>\" %>%></r>",        E::None,              0, 0 },
        {"<!-- ---- keys ---- --><r><!-- a -- b --></r>",                           E::None,              0, 0 },
        {"<Features><f></g></features>",                                            E::None,              0, 0 },
        {"x <r/>\ntext<s a='1'/><t></t>",                                           E::None,              0, 0 },
        {" <?xml version=\"1.0\"?><r/><?xml?>",                                     E::None,              0, 0 },
        {"<r/>\r\n\x1A",                                                            E::None,              0, 0 },
        {"<!-- only -->",                                                           E::NoDocumentElement, 1, 14},
        {"<r><!-- x",                                                               E::EndInsideMarkup,   1, 10},
        {"<r><!-- a -- b --",                                                       E::EndInsideMarkup,   1, 18},
        {"<r><![CDATA[x]]",                                                         E::EndInsideMarkup,   1, 16},
        {"<r><!-",                                                                  E::EndInsideMarkup,   1, 7 },
        {"<!DOCTYPE r [ <!ENTITY v '>]'> \n",                                       E::EndInsideMarkup,   2, 1 },
        {"<r a='1'",                                                                E::EndInsideMarkup,   1, 9 },
        {"<r>\n<a>text",                                                            E::UnclosedElement,   2, 8 },
        {"<r>\r\r\n\n<a></b>",                                                      E::UnclosedElement,   4, 8 },
        {"<r/></r>",                                                                E::StrayEndTag,       1, 5 },
        {"<r><a></b></c></d>",                                                      E::StrayEndTag,       1, 15},
        {"<r>< a/></r>",                                                            E::BadName,           1, 5 },
        {"<r></r x>",                                                               E::BadName,           1, 8 },
        {"<r a='1' 2='3'/>",                                                        E::BadName,           1, 10},
        {"<r><?pi\"x\"?></r>",                                                      E::BadName,           1, 8 },
        {"<list>\r\n<item name=\"Paging enabled=\"1\"/>\r\n</list>",                E::AttributeSyntax,   2, 29},
        {"<r a='1'b='2'/>",                                                         E::AttributeSyntax,   1, 9 },
        {"<r a '1'/>",                                                              E::AttributeSyntax,   1, 6 },
        {"<r a=1/>",                                                                E::AttributeSyntax,   1, 6 },
        {"<r>\n<item name=\"x/>\n<item/></r>",                                      E::AttributeSyntax,   2, 12},
        {"<r a=\"1 < 2\"/>",                                                        E::LessThanInValue,   1, 9 },
        {"<r><!ELEMENT r></r>",                                                     E::BadMarkup,         1, 4 },
        {"<r/><!DOCTYPE r>",                                                        E::BadMarkup,         1, 5 },
        {"<![CDATA[x]]><r/>",                                                       E::BadMarkup,         1, 1 },
        {"<r>\n <% if (a) { </r>",                                                  E::UnclosedTemplate,  2, 2 },
 // A control character no reader accepts, where it comes before any other error.
        {"<r>\n\f</r>",                                                             E::ControlCharacter,  2, 1 },
        {"<r/>\x1A\x1A",                                                            E::ControlCharacter,  1, 5 },
        {"<r \x01 a=1/>",                                                           E::ControlCharacter,  1, 4 },
        {"<r a=1 \x01/>",                                                           E::AttributeSyntax,   1, 6 },
        {"<r>\x1B",                                                                 E::ControlCharacter,  1, 4 },
    };
    for (const auto& [bytes, error, line, column] : cases)
        ExpectCheck(std::string(bytes), true, error, line, column);
}

TEST(XmlCheck, CountsColumnsInCharactersOfUtf8AndElseInBytes)
{
    ExpectCheck("\xEF\xBB\xBF<\xC3\xA9 b=\"\xC3\xBC\"c='1'/>", true, E::AttributeSyntax, 1, 9);
    ExpectCheck("\xEF\xBB\xBF<\xC3\xA9 b=\"\xC3\xBC\"c='1'/>", false, E::AttributeSyntax, 1, 11);
}

TEST(XmlCheck, ContentFilesAreWellFormedButTheOddOne)
{
    const std::string data = XML_TEST_DATA_DIR;
    for (const std::string& folder : {data, data + "/../../../samples/Content/XML"})
    {
        for (const std::string& name : FolderContents(folder))
        {
            const bool odd = name.rfind("odd", 0) == 0; // "/ >" on its third line
            ExpectCheck(ReadBytes(folder + '/' + name), true, odd ? E::BadName : E::None, 3, 15);
        }
    }
}
