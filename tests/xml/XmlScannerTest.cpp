// The scanner's events.
#include "XmlTestSupport.h"

namespace
{

// Events as a string: S(name) start, E(name) end, A(name=value) attribute (a bare one has an empty
// value), T(text) character data.
class CRecorder : public CXmlParser
{
public:
    std::string m_events;

protected:
    void OnStartElement(const char* name) override
    {
        m_events += "S(" + std::string(name) + ')';
    }
    void OnEndElement(const char* name) override
    {
        m_events += "E(" + std::string(name) + ')';
    }
    void OnAttribute(const char* name, const char* value) override
    {
        m_events += "A(" + std::string(name) + '=' + value + ')';
    }
    void OnText(const char* text) override
    {
        m_events += "T(" + std::string(text) + ')';
    }
};

std::string Events(const std::string& input)
{
    CRecorder recorder;
    recorder.Parse(input);
    return recorder.m_events;
}

} // namespace

TEST(ParserEvents, EachRuleOfTheScanner)
{
    const std::pair<const char*, const char*> cases[] = {
  // Character data, reported at the markup that ends it and at the end.
        {"",                                                               ""                                        },
        {"\xEF\xBB\xBF<a>",                                                "T(\xEF\xBB\xBF)S(a)"                     },
        {"<r>\n\t<i/>\n</r>\n",                                            "S(r)T(\n\t)S(i)E(i)T(\n)E(r)T(\n)"       },
        {"x>y/z=\"q\"'&amp;<a>",                                           "T(x>y/z=\"q\"'&amp;)S(a)"                },
        {"<%= v %><a>",                                                    "T(<%= v %>)S(a)"                         },
 // A template block is data to its first "%>", or to the end.
        {"<r><% if (a < b) { %><%-- <i n=\"x\"/> --%><i/></r>",  "S(r)T(<% if (a < b) { %><%-- <i n=\"x\"/> --%>)S(i)E(i)E(r)"},
        {"<%= \"<b>\" %>%><a><% x<b>",                               "T(<%= \"<b>\" %>%>)S(a)T(<% x<b>)"     },
 // Markup the engine does not model is character data, to its end or to the end of the input.
        {"a<!--c-->b<x>",                                                  "T(a<!--c-->b)S(x)"                       },
        {"<!--><b>-->",                                                    "T(<!--><b>-->)"                          },
        {"<?pi a<b>c?><a>",                                                "T(<?pi a<b>c?>)S(a)"                     },
        {"<![CDATA[<a>&</a>]]>z<b>",                                       "T(<![CDATA[<a>&</a>]]>z)S(b)"            },
        {"<![CDATA[x]>y<a>]]>",                                            "T(<![CDATA[x]>y<a>]]>)"                  },
        {"<!DOCTYPE r [<!ENTITY e \"x>y\"><!-- don't --><?p ']'?>]>\n<r>",
         "T(<!DOCTYPE r [<!ENTITY e \"x>y\"><!-- don't --><?p ']'?>]>\n)S(r)"                                        },
        {"<!DOCTYPE r SYSTEM 'a>b'><r>",                                   "T(<!DOCTYPE r SYSTEM 'a>b'>)S(r)"        },
        {"<a><!--x</a>",                                                   "S(a)T(<!--x</a>)"                        },
        {"<!DOCTYPE [ > <a>",                                              "T(<!DOCTYPE [ > <a>)"                    },
        {"x<!-",                                                           "T(x<!-)"                                 },
 // Start and end tags.
        {"<a></b></ b\n><a",                                               "S(a)E(b)E(b)"                            },
        {"<a/>",                                                           "S(a)E(a)"                                },
        {"<a/b><c=d><e <f>",                                               "S(a)E(ab)S(cd)S(e)S(f)"                  },
        {"< >x",                                                           "S()T(x)"                                 },
        {"<a <%b>",                                                        "S(a)A(%b=)"                              },
        {"<\xC3\xA9t\xC3\xA9/>",                                           "S(\xC3\xA9t\xC3\xA9)E(\xC3\xA9t\xC3\xA9)"},
 // Attributes.
        {"<a\tx = \"a\r\n >/=<b\"/>",                                      "S(a)A(x=a\r\n >/=<b)E(a)"                },
        {"<f hidden name=\"B\"\r\n on=\"0\" z/>",                          "S(f)A(hidden=)A(name=B)A(on=0)A(z=)E(f)" },
        {"<a x=1 y=\"2\">",                                                "S(a)A(x=2)"                              },
        {"<a x=\"1\"/ y=\"2\">",                                           "S(a)A(x=1)E(a)A(y=2)"                    },
        {"<a n\"x'y\">",                                                   "S(a)A(n=x'y)"                            },
        {"<a x=\"1",                                                       "S(a)"                                    },
        {"<a x=\"1\" <!-- c --> y=\"2\">",                                 "S(a)A(x=1)T(<!-- c --> y=\"2\">)"        },
        {"<a x='say \"hi\"' y=\"it's\" z='>'/>",                           "S(a)A(x=say \"hi\")A(y=it's)A(z=>)E(a)"  },
    };
    for (const auto& [input, events] : cases)
        EXPECT_EQ(Events(input), events) << "input: " << input;
}
