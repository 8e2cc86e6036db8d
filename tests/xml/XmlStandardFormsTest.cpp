// The standard forms' table, proven against glibc's iconv, which other XML readers convert with.
#include "XmlInternal.h"
#include "XmlText.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>

#include <sstream>
#include <vector>

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
    if (iconv(conversion, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
        iconv(conversion, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1))
        return u"";
    return std::u16string(units, (sizeof units - outLeft) / sizeof(char16_t));
}
} // namespace

// Every byte and every lead and trail byte that the engine writes for a character is written as bytes
// exactly when iconv reads them as that character under every name of the code page it knows; in
// ASCII alone where it knows none.
TEST(StandardForms, EachCodeIsWrittenAsBytesExactlyWhenIconvReadsItAlikeUnderEveryDeclaredName)
{
    for (std::size_t f = 0; f < XmlDetail::kStandardFormCount; ++f)
    {
        const XmlDetail::CStandardForm& form = XmlDetail::kStandardForms[f];
        const unsigned page = form.codePage;
        const XmlDetail::CCodePage* entry = XmlDetail::CodePageByNumber(page);
        ASSERT_TRUE(entry && (f == 0 || XmlDetail::kStandardForms[f - 1].codePage < page)) << page;
        std::string names(entry->names);
        // The spellings of its numbers that iconv may know; "ibm" only for the IBM PC pages.
        const unsigned number = page < 0x10000 ? page : 0;
        const std::pair<const char*, unsigned> spellings[] = {
            {" cp",        number                   },
            {" windows-",  number                   },
            {" ms",        number                   },
            {" ibm",       number < 870 ? number : 0},
            {" iso-8859-", entry->isoPart           }
        };
        for (const auto& [prefix, n] : spellings)
            names += n != 0 ? prefix + std::to_string(n) : "";
        std::vector<iconv_t> readers;
        std::istringstream words(names);
        for (std::string name; words >> name;)
        {
            if (iconv_t reader = iconv_open("UTF-16LE", name.c_str());
                reader != reinterpret_cast<iconv_t>(-1))
                readers.push_back(reader);
        }
        int written = 0;
        for (unsigned code = 0x20; code <= (form.chars ? 0xFF : 0xFFFF);
             code = code == 0xFF ? 0x8000 : code + 1)
        {
            std::string bytes;
            if (code > 0xFF)
                bytes += static_cast<char>(code >> 8);
            bytes += static_cast<char>(code & 0xFF);
            std::u16string c;
            std::string again;
            if (!CodePageToUtf16(bytes, page, c) || c.size() != 1 || c == u"&" || c == u"<" || c == u"\"" ||
                !Utf16ToCodePage(c, page, again) || again != bytes)
                continue;
            ++written;
            bool readAlike = readers.empty() ? code < 0x80 : true;
            for (iconv_t reader : readers)
                readAlike = readAlike && ReadByIconv(reader, bytes) == c;
            ASSERT_EQ(EncodeXmlValue(c, page) == bytes, readAlike) << names << std::hex << " code " << code;
        }
        for (iconv_t reader : readers)
            iconv_close(reader);
        EXPECT_TRUE(written > 90 || !entry->iconvName) << page << " converts natively";
    }
}
#endif
