// The conversions between code pages and UTF-16 that the platform does: Windows' own tables, or
// glibc's iconv elsewhere. UTF-8, UTF-16 and US-ASCII are converted here alike on both.
#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#include <memory>
#endif

#include "XmlText.h"

#include <climits>

namespace
{
#ifdef _WIN32
UINT PlatformCodePage(unsigned codePage)
{
    // Where the EUC numbers are MLang's alone, these code pages hold the same tables.
    if (codePage == 51932 && !IsValidCodePage(codePage))
        return 20932;
    if (codePage == 51949 && !IsValidCodePage(codePage))
        return 20949;
    return codePage;
}

bool ToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const UINT platformCodePage = PlatformCodePage(codePage);
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(platformCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(platformCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                               reinterpret_cast<wchar_t*>(text.data()), length) == length;
}

bool FromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    const UINT platformCodePage = PlatformCodePage(codePage);
    // GB18030 holds every character and refuses the best-fit flag and the question.
    const bool complete = platformCodePage == 54936;
    const DWORD flags = complete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = complete ? nullptr : &usedDefault;
    const int length =
        WideCharToMultiByte(platformCodePage, flags, wide, size, nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(platformCodePage, flags, wide, size, bytes.data(), length, nullptr,
                               usedDefaultOut) == length &&
           !usedDefault;
}
#else
const struct
{
    unsigned codePage;
    const char* name;
} kIconvNames[] = {
    {437,   "CP437"            },
    {737,   "CP737"            },
    {775,   "CP775"            },
    {850,   "CP850"            },
    {852,   "CP852"            },
    {855,   "CP855"            },
    {857,   "CP857"            },
    {858,   "CP858"            },
    {860,   "CP860"            },
    {861,   "CP861"            },
    {862,   "CP862"            },
    {863,   "CP863"            },
    {864,   "CP864"            },
    {865,   "CP865"            },
    {866,   "CP866"            },
    {869,   "CP869"            },
    {874,   "CP874"            },
    {932,   "CP932"            },
    {936,   "CP936"            },
    {949,   "CP949"            },
    {950,   "CP950"            },
    {1250,  "CP1250"           },
    {1251,  "CP1251"           },
    {1252,  "CP1252"           },
    {1253,  "CP1253"           },
    {1254,  "CP1254"           },
    {1255,  "CP1255"           },
    {1256,  "CP1256"           },
    {1257,  "CP1257"           },
    {1258,  "CP1258"           },
    {1361,  "JOHAB"            },
    {10000, "MACINTOSH"        },
    {10007, "CP10007"          },
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"           },
    {20866, "KOI8-R"           },
    {20932, "EUC-JP"           },
    {20949, "EUC-KR"           },
    {21866, "KOI8-U"           },
    {28591, "ISO-8859-1"       },
    {28592, "ISO-8859-2"       },
    {28593, "ISO-8859-3"       },
    {28594, "ISO-8859-4"       },
    {28595, "ISO-8859-5"       },
    {28596, "ISO-8859-6"       },
    {28597, "ISO-8859-7"       },
    {28598, "ISO-8859-8"       },
    {28599, "ISO-8859-9"       },
    {28603, "ISO-8859-13"      },
    {28605, "ISO-8859-15"      },
    {51932, "EUC-JP"           },
    {51949, "EUC-KR"           },
    {54936, "GB18030"          },
};

// An open conversion, closed when it goes.
class CIconv
{
public:
    CIconv(const char* to, const char* from) : m_handle(iconv_open(to, from))
    {
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    ~CIconv()
    {
        if (IsOpen())
            iconv_close(m_handle);
    }

    // The whole input converted, or false when any of it is invalid, incomplete or converted
    // only approximately.
    bool Convert(const char* input, std::size_t size, std::string& output) const
    {
        if (!IsOpen())
            return false;
        // A conversion that failed may have stopped inside a sequence.
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        output.resize(2 * size + 16);
        auto* in = const_cast<char*>(input);
        std::size_t inLeft = size;
        std::size_t done = 0;
        for (;;)
        {
            char* out = output.data() + done;
            std::size_t outLeft = output.size() - done;
            const std::size_t result = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            done = output.size() - outLeft;
            if (result != static_cast<std::size_t>(-1))
            {
                output.resize(done);
                return result == 0 && inLeft == 0;
            }
            if (errno != E2BIG)
                return false;
            output.resize(2 * output.size());
        }
    }

private:
    bool IsOpen() const
    {
        return m_handle != reinterpret_cast<iconv_t>(-1);
    }

    iconv_t m_handle;
};

const char* IconvName(unsigned codePage)
{
    for (const auto& entry : kIconvNames)
    {
        if (entry.codePage == codePage)
            return entry.name;
    }
    return nullptr;
}

// Opening a conversion costs more than most conversions: each thread keeps its last one each way.
const CIconv& Conversion(bool toUtf16, unsigned codePage, const char* name)
{
    struct CCached
    {
        unsigned codePage = 0;
        std::unique_ptr<CIconv> conversion;
    };
    thread_local CCached cached[2];
    CCached& slot = cached[toUtf16 ? 1 : 0];
    if (!slot.conversion || slot.codePage != codePage)
    {
        slot.conversion = std::make_unique<CIconv>(toUtf16 ? "UTF-16LE" : name, toUtf16 ? name : "UTF-16LE");
        slot.codePage = codePage;
    }
    return *slot.conversion;
}

bool ToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const char* name = IconvName(codePage);
    std::string units;
    if (name == nullptr || !Conversion(true, codePage, name).Convert(bytes.data(), bytes.size(), units))
        return false;
    text.resize(units.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                        static_cast<unsigned char>(units[2 * i + 1]) << 8);
    }
    return true;
}

bool FromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    const char* name = IconvName(codePage);
    if (name == nullptr)
        return false;
    std::string units;
    units.reserve(2 * text.size());
    for (const char16_t unit : text)
    {
        units += static_cast<char>(unit & 0xFF);
        units += static_cast<char>(unit >> 8);
    }
    return Conversion(false, codePage, name).Convert(units.data(), units.size(), bytes);
}
#endif
} // namespace

#ifdef _WIN32
unsigned SystemAnsiCodePage()
{
    return GetACP();
}
#else
unsigned SystemAnsiCodePage()
{
    return 1252;
}
#endif

bool CodePageToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    if (codePage == kCodePageUtf8)
        return Utf8ToUtf16(bytes, text);
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE)
    {
        std::string utf8;
        return Utf16BytesToUtf8(bytes, codePage == kCodePageUtf16BE, utf8) && Utf8ToUtf16(utf8, text);
    }
    if (codePage == kCodePageUsAscii)
    {
        for (const char c : bytes)
        {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
            text += static_cast<char16_t>(c);
        }
        return true;
    }
    return bytes.size() <= INT_MAX && ToUtf16(bytes, codePage, text);
}

bool Utf16ToCodePage(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    if (codePage == kCodePageUtf8)
        return Utf16ToUtf8(text, bytes);
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE)
    {
        std::string utf8;
        return Utf16ToUtf8(text, utf8) && Utf8ToUtf16Bytes(utf8, codePage == kCodePageUtf16BE, bytes);
    }
    if (codePage == kCodePageUsAscii)
    {
        for (const char16_t c : text)
        {
            if (c >= 0x80)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    }
    // Some tables map several characters to the same bytes (a full-width and a plain one, say): only
    // bytes that read back as the same text are exact.
    std::u16string readBack;
    return text.size() <= INT_MAX / 4 && FromUtf16(text, codePage, bytes) &&
           ToUtf16(bytes, codePage, readBack) && readBack == text;
}
