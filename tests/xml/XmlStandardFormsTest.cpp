// The standard forms' table, proven against glibc's iconv, which other XML readers convert with.
#include "XmlText.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>

namespace
{
// The text bytes decode to under name, or empty when they do not decode.
std::u16string ReadByIconv(iconv_t conversion, const std::string& bytes)
{
    char16_t units[8];
    char* in = const_cast<char*>(bytes.data());
    char* out = reinterpret_cast<char*>(units);
    std::size_t inLeft = bytes.size();
    std::size_t outLeft = sizeof units;
    iconv(conversion, nullptr, nullptr, nullptr, nullptr);
    if (iconv(conversion, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return u"";
    return std::u16string(units, (sizeof units - outLeft) / sizeof(char16_t));
}
} // namespace

// Every byte and every lead and trail byte that the engine writes for a character is written as bytes
// exactly when iconv reads them as that character under the declared name; otherwise as a reference.
TEST(StandardForms, EachCodeIsWrittenAsBytesExactlyWhenIconvReadsItAlikeUnderTheDeclaredName)
{
    const std::tuple<unsigned, const char*> forms[] = {
        {kCodePageShiftJis, "SHIFT_JIS"},
        {kCodePageGb2312,   "GB2312"   },
        {kCodePageBig5,     "BIG5"     },
        {51949,             "EUC-KR"   },
        {51932,             "EUC-JP"   },
    };
    for (const auto& [codePage, name] : forms)
    {
        iconv_t conversion = iconv_open("UTF-16LE", name);
        ASSERT_NE(conversion, reinterpret_cast<iconv_t>(-1)) << name;
        int written = 0;
        for (unsigned code = 0x20; code <= 0xFFFF; code = code == 0xFF ? 0x8000 : code + 1)
        {
            std::string bytes;
            if (code > 0xFF)
                bytes += static_cast<char>(code >> 8);
            bytes += static_cast<char>(code & 0xFF);
            std::u16string c;
            std::string again;
            if (!CodePageToUtf16(bytes, codePage, c) || c.size() != 1 || c == u"&" || c == u"<" ||
                c == u"\"" || !Utf16ToCodePage(c, codePage, again) || again != bytes)
                continue;
            ++written;
            const bool asBytes = EncodeXmlValue(c, codePage) == bytes;
            ASSERT_EQ(asBytes, ReadByIconv(conversion, bytes) == c) << name << std::hex << " code " << code;
        }
        iconv_close(conversion);
        EXPECT_GT(written, 7000) << name;
    }
}
#endif
