// Which encoding a file is in.
#include "XmlText.h"

#include <gtest/gtest.h>

namespace
{
constexpr unsigned kAnsi = 0; // stands for SystemAnsiCodePage() in the tables
} // namespace

// Marks and UTF-16 are in the file tests.
TEST(Encoding, DetectEncodingTakesMarkThenDeclarationThenUtf8ThenAnsi)
{
    const std::tuple<std::string_view, unsigned, bool> cases[] = {
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>",        65001,              true },
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", 28591,              false},
        {"<?xml version='1.0' encoding='x-cp1250'?>",                      1250,               false},
        {"<?xml version='1.0' encoding='ibm-866'?>",                       866,                false},
        {"<?xml version='1.0' encoding='iso_8859-2:1987'?>",               28592,              false},
        {"<?xml version='1.0' encoding='EUC-KR'?>",                        51949,              false},
        {"<?xml version='1.0' encoding='windows-9999'?>",                  kCodePageAsciiOnly, false},
        {"<?xml version = '1.0'\n  encoding\t=  \"Shift_JIS\" ?><a/>",     kCodePageShiftJis,  false},
        {"<?xml version='1.0' encoding='cp932'?><a/>",                     932,                false},
        {"<?xml version='1.0' encoding='GB2312'?><a/>",                    kCodePageGb2312,    false},
        {"<?xml version='1.0' encoding='x-unknown'?><a>\xC3\xA9</a>",      kCodePageAsciiOnly, false},
        {"<?xml version='1.0' encoding='ISO-8859-16'?><a>\xC3\xA9</a>",    kCodePageAsciiOnly, false},
        {"<?xml version='1.0' encoding='UTF-7'?><a>\xC3\xA9</a>",          65001,              false},
        {"<?xml version='1.0' encoding='koi8-r\"?><a>\xC3\xA9</a>",        65001,              false},
        {" <?xml version='1.0' encoding='koi8-r'?><a>\xF6</a>",            kAnsi,              false},
        {"<?xml version='1.0' encoding='UTF-16'?><a/>",                    65001,              false},
        {"<?xml version='1.0' encoding='UTF-8'?><a>caf\xE9</a>",           65001,              false},
        {"<?xml version='1.0' encoding='Utf_8'?><a>caf\xC3\xA9</a>",       65001,              false},
        {"<?xml version='1.0' encoding='LATIN-1'?>",                       28591,              false},
        {"<?xml version='1.0' encoding='windows_1252'?>",                  1252,               false},
        {"<?xml version='1.0' encoding='ibm932'?>",                        kCodePageAsciiOnly, false},
        {"<?xml version='1.0' encoding='IBM-Thai'?><a>\xC3\xA9</a>",       65001,              false},
        {"<a>0123456789abcdef\xE9",                                        kAnsi,              false},
    };
    for (const auto& [bytes, codePage, mark] : cases)
    {
        const CXmlEncoding encoding = DetectEncoding(bytes);
        EXPECT_EQ(codePage == kAnsi ? SystemAnsiCodePage() : codePage, encoding.codePage) << bytes;
        EXPECT_EQ(mark, encoding.byteOrderMark) << bytes;
    }
}
