// The scanner's events, one table per group of rules.
#include "XmlTestSupport.h"

#include <string>
#include <vector>

namespace
{

struct EventCase
{
    const char* input;
    const char* events;
};

void ExpectEvents(const std::vector<EventCase>& cases)
{
    for (const EventCase& c : cases)
        EXPECT_EQ(CRecorder::Events(c.input), c.events) << "input: " << c.input;
}

} // namespace

TEST(ParserEvents, CharacterDataIsReportedAtTheMarkupThatEndsItAndAtTheEnd)
{
    ExpectEvents({
        {"",                       ""                                     },
        {"abc",                    "T(abc)"                               },
        {"\xEF\xBB\xBF<a>",        "T(\xEF\xBB\xBF)S(a)"                  },
        {"<a>\r\n",                "S(a)T(\\r\\n)"                        },
        {"<r>\n\t<i/>\n</r>\n",    "S(r)T(\\n\\t)S(i)E(i)T(\\n)E(r)T(\\n)"},
        {" \t\r\n<a>",             "T( \\t\\r\\n)S(a)"                    },
        {"a&amp;b&#10;<a>",        "T(a&amp;b&#10;)S(a)"                  },
        {"x>y/z=\"q\"'<a>",        "T(x>y/z=\"q\"')S(a)"                  },
        {"a<b",                    "T(a)"                                 },
        {"<",                      ""                                     },
        {"<%= v %><a>",            "T(<%= v %>)S(a)"                      },
        {"<a><% if (x<%y) %></a>", "S(a)T(<% if (x<%y) %>)E(a)"           },
        {"text<%",                 "T(text<%)"                            },
    });
}

TEST(ParserEvents, UnmodelledMarkupJoinsTheCharacterDataAroundIt)
{
    ExpectEvents({
        {"a<!--c-->b<x>",                                                  "T(a<!--c-->b)S(x)"                       },
        {"<!-- a > b <c> -->",                                             "T(<!-- a > b <c> -->)"                   },
        {"<!--><b>-->",                                                    "T(<!--><b>-->)"                          },
        {"<![CDATA[x]>y<a>]]>",                                            "T(<![CDATA[x]>y<a>]]>)"                  },
        {"<!-->x-->y<a>",                                                  "T(<!-->x-->y)S(a)"                       },
        {"<!--->-->",                                                      "T(<!--->-->)"                            },
        {"<?xml version=\"1.0\"?>\r\n<r/>",                                "T(<?xml version=\"1.0\"?>\\r\\n)S(r)E(r)"},
        {"<?pi a<b>c?><a>",                                                "T(<?pi a<b>c?>)S(a)"                     },
        {"<?>x?>",                                                         "T(<?>x?>)"                               },
        {"<![CDATA[<a>&</a>]]>z<b>",                                       "T(<![CDATA[<a>&</a>]]>z)S(b)"            },
        {"<![CDATA[x]]y]>]]><b>",                                          "T(<![CDATA[x]]y]>]]>)S(b)"               },
        {"<!DOCTYPE r [<!ENTITY e \"x>y\"><!-- don't --><?p ']'?>]>\n<r>",
         "T(<!DOCTYPE r [<!ENTITY e \"x>y\"><!-- don't --><?p ']'?>]>\\n)S(r)"                                       },
        {"<!DOCTYPE r SYSTEM 'a>b'><r>",                                   "T(<!DOCTYPE r SYSTEM 'a>b'>)S(r)"        },
        {"<!x>",                                                           "T(<!x>)"                                 },
        {"<!>a<b>",                                                        "T(<!>a)S(b)"                             },
        {"<!-a>b<c>",                                                      "T(<!-a>b)S(c)"                           },
        {"<![if x]>y<c>",                                                  "T(<![if x]>y)S(c)"                       },
        {"<a><!--c--></a>",                                                "S(a)T(<!--c-->)E(a)"                     },
        {"<r>\n<!-- c -->\n<i/>",                                          "S(r)T(\\n<!-- c -->\\n)S(i)E(i)"         },
    });
}

TEST(ParserEvents, UnterminatedMarkupIsCharacterDataToTheEnd)
{
    ExpectEvents({
        {"<!--x",               "T(<!--x)"              },
        {"<a><!--x</a>",        "S(a)T(<!--x</a>)"      },
        {"<a><!-- x --</a>",    "S(a)T(<!-- x --</a>)"  },
        {"<?xml version='1.0'", "T(<?xml version='1.0')"},
        {"<![CDATA[a]]",        "T(<![CDATA[a]])"       },
        {"<!DOCTYPE [ > <a>",   "T(<!DOCTYPE [ > <a>)"  },
        {"<!DOCTYPE \"> <a>",   "T(<!DOCTYPE \"> <a>)"  },
        {"<!",                  "T(<!)"                 },
        {"<?",                  "T(<?)"                 },
        {"x<!-",                "T(x<!-)"               },
    });
}

TEST(ParserEvents, StartAndEndTags)
{
    ExpectEvents({
        {"<a>",                  "S(a)"                                    },
        {"<a/>",                 "S(a)E(a)"                                },
        {"<a />",                "S(a)E(a)"                                },
        {"<a></a>",              "S(a)E(a)"                                },
        {"<a></b>",              "S(a)E(b)"                                },
        {"</b>",                 "E(b)"                                    },
        {"</ b >",               "E(b)"                                    },
        {"<a\r\n/>",             "S(a)E(a)"                                },
        {"<a/b>",                "S(a)E(ab)"                               },
        {"<a/b/c>",              "S(a)S(a)E(ac)"                           },
        {"<a=b>",                "S(ab)"                                   },
        {"<a\"x'y>",             "S(axy)"                                  },
        {"< >x",                 "S()T(x)"                                 },
        {"<>x",                  "S()T(x)"                                 },
        {"</>",                  "E()"                                     },
        {"<a <b>",               "S(a)S(b)"                                },
        {"<a <%b>",              "S(a)A(%b)"                               },
        {"<<%b>",                "S(%b)"                                   },
        {"<a/<b>",               "S(a)E(ab)"                               },
        {"<a",                   ""                                        },
        {"</a",                  ""                                        },
        {"<ab",                  ""                                        },
        {"<a:b.c-d_e>",          "S(a:b.c-d_e)"                            },
        {"<\xC3\xA9t\xC3\xA9/>", "S(\xC3\xA9t\xC3\xA9)E(\xC3\xA9t\xC3\xA9)"},
    });
}

TEST(ParserEvents, Attributes)
{
    ExpectEvents({
        {"<a b=\"1\">",                     "S(a)A(b=1)"                       },
        {"<a b=\"1\" c=\"\"/>",             "S(a)A(b=1)A(c=)E(a)"              },
        {"<a b=\"1\"/>",                    "S(a)A(b=1)E(a)"                   },
        {"<a b = \"1\" >",                  "S(a)A(b=1)"                       },
        {"<a x=\"v>/=<\"/>",                "S(a)A(x=v>/=<)E(a)"               },
        {"<a x=\"<!--\"><b>",               "S(a)A(x=<!--)S(b)"                },
        {"<a x=\"<?x\"/>",                  "S(a)A(x=<?x)E(a)"                 },
        {"<a x=\"a\r\n b\"/>",              "S(a)A(x=a\\r\\n b)E(a)"           },
        {"<a x=\"&amp;&quot;\"/>",          "S(a)A(x=&amp;&quot;)E(a)"         },
        {"<a x><b y=\"1\" z/>",             "S(a)A(x)S(b)A(y=1)A(z)E(b)"       },
        {"<f hidden name=\"B\" on=\"0\"/>", "S(f)A(hidden)A(name=B)A(on=0)E(f)"},
        {"<a x=1 y=\"2\">",                 "S(a)A(x=2)"                       },
        {"<a x=\"1\"y=\"2\">",              "S(a)A(x=1)A(y=2)"                 },
        {"<a x=\"1\" x=\"2\">",             "S(a)A(x=1)A(x=2)"                 },
        {"<a x=\"1\"/ y=\"2\">",            "S(a)A(x=1)E(a)A(y=2)"             },
        {"<a x=\"1\"//>",                   "S(a)A(x=1)E(a)E(a)"               },
        {"<a n\"x'y\">",                    "S(a)A(n=x'y)"                     },
        {"<a/ n='x\"y'>",                   "S(a)E(anxy)"                      },
        {"</a x=\"1\">",                    "E(ax1)"                           },
        {"<a x=\"1",                        "S(a)"                             },
        {"<a x=\"1\" <!-- c --> y=\"2\">",  "S(a)A(x=1)T(<!-- c --> y=\"2\">)" },
    });
}

TEST(ParserEvents, SingleQuotedValuesAreRecognisedLikeDoubleQuotedOnes)
{
    ExpectEvents({
        {"<a x='1'/>",              "S(a)A(x=1)E(a)"         },
        {"<a x='say \"hi\"'/>",     "S(a)A(x=say \"hi\")E(a)"},
        {"<a x=\"it's\"/>",         "S(a)A(x=it's)E(a)"      },
        {"<a x='1' y=\"2\" z='3'>", "S(a)A(x=1)A(y=2)A(z=3)" },
        {"<a x='>' y='/'/>",        "S(a)A(x=>)A(y=/)E(a)"   },
        {"<a x='1",                 "S(a)"                   },
    });
}

TEST(ParserEvents, TabCrAndLfSeparateInsideTags)
{
    ExpectEvents({
        {"<a\tx=\"1\">",                   "S(a)A(x=1)"          },
        {"<a\r\n  x=\"1\"\r\n  y=\"2\"/>", "S(a)A(x=1)A(y=2)E(a)"},
        {"<a\nx=\"1\"\ty='2'\r/>",         "S(a)A(x=1)A(y=2)E(a)"},
        {"<a\n>",                          "S(a)"                },
        {"</a\n>",                         "E(a)"                },
        {"<a\tb>",                         "S(a)A(b)"            },
    });
}

TEST(ParserEvents, PiecesOfAnyLengthAreKeptWhole)
{
    const std::string name(12000, 'n');
    const std::string value(30000, 'v');
    const std::string text(25000, 't');
    const std::string input =
        text + "<" + name + " " + name + "=\"" + value + "\">" + text + "</" + name + ">";
    EXPECT_EQ(CRecorder::Events(input),
              "T(" + text + ")S(" + name + ")A(" + name + "=" + value + ")T(" + text + ")E(" + name + ")");
    // Pieces that are not contiguous in the input are assembled whole as well.
    const std::string broken = "<" + name + "=" + name + ">";
    EXPECT_EQ(CRecorder::Events(broken), "S(" + name + name + ")");
}

// Each parse starts fresh: nothing of a tag that an earlier parse left open carries over.
TEST(ParserEvents, ParseStopsAtNulAndAtTheGivenLengthAndStartsFresh)
{
    CRecorder recorder;
    const char text[] = "<a>x\0<b>";
    recorder.Parse(text, sizeof text - 1);
    EXPECT_EQ(recorder.Result(), "S(a)T(x)");
    recorder.Reset();
    recorder.Parse("<a>xyz<b x=\"1", 5);
    EXPECT_EQ(recorder.Result(), "S(a)T(xy)");
    recorder.Reset();
    EXPECT_TRUE(recorder.Parse("<a x=\"1"));
    EXPECT_EQ(recorder.Result(), "S(a)");
    recorder.Reset();
    recorder.Parse("b\">");
    EXPECT_EQ(recorder.Result(), "T(b\">)");
}
