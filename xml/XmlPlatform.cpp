// The engine's only platform unit: reading a whole file, replacing a file by a new one written
// beside it, and the code-page conversions that need the system's tables (Windows' own, or
// glibc's iconv elsewhere). On Windows the engine's UTF-8 paths go to the W file functions.
#include "XmlInternal.h"
#include "XmlText.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <new>

namespace
{

constexpr int kTempNameAttempts = 100;

#ifdef _WIN32
// False for a path that is not UTF-8.
bool NativePath(const char* path, XmlDetail::PathString& native)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0)
        return false;
    native.resize(static_cast<std::size_t>(length));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, native.data(), length) != length)
        return false;
    native.pop_back(); // the terminator
    return true;
}

std::FILE* OpenForReading(const XmlDetail::PathString& path)
{
    return ::_wfopen(path.c_str(), L"rb");
}

int RemoveFile(const XmlDetail::PathString& path) noexcept
{
    return ::_wremove(path.c_str());
}
#else
bool NativePath(const char* path, XmlDetail::PathString& native)
{
    native = path;
    return true;
}

std::FILE* OpenForReading(const XmlDetail::PathString& path)
{
    return std::fopen(path.c_str(), "rb");
}

int RemoveFile(const XmlDetail::PathString& path) noexcept
{
    return std::remove(path.c_str());
}
#endif

} // namespace

bool XmlDetail::ReadWholeFile(const char* path, std::unique_ptr<char[]>& bytes, std::size_t& size)
{
    PathString native;
    if (!path || !NativePath(path, native))
        return false;
    std::FILE* file = OpenForReading(native);
    if (!file)
        return false;
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0)
    {
        const long end = std::ftell(file);
        if (end >= 0 && static_cast<unsigned long>(end) <= kMaxFileSize && std::fseek(file, 0, SEEK_SET) == 0)
        {
            const std::size_t length = static_cast<std::size_t>(end);
            std::unique_ptr<char[]> data(new (std::nothrow) char[length + 1]);
            // The file must end where its size said: a failed or short read, or more bytes than
            // expected, leave it unread.
            if (data && std::fread(data.get(), 1, length, file) == length && std::fgetc(file) == EOF &&
                !std::ferror(file))
            {
                data[length] = '\0';
                bytes = std::move(data);
                size = length;
                ok = true;
            }
        }
    }
    std::fclose(file);
    return ok;
}

XmlDetail::CFileReplacement::~CFileReplacement()
{
    Discard();
}

bool XmlDetail::CFileReplacement::Create(const char* target)
{
    if (!target || !*target || m_file || !NativePath(target, m_target))
        return false;

#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(m_target.c_str());
    m_targetExists = attributes != INVALID_FILE_ATTRIBUTES;
    if (m_targetExists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
#else
    struct stat status;
    m_targetExists = ::stat(target, &status) == 0;
    // rename() would replace a file we may not write to, so ask first.
    if (m_targetExists && (!S_ISREG(status.st_mode) || ::access(target, W_OK) != 0))
        return false;
#endif

    // Created exclusively, so that nothing else is overwritten. The name is made before the file,
    // so that the destructor can always remove what was created.
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt)
    {
#ifdef _WIN32
        m_temp = m_target + L".~" + std::to_wstring(attempt) + L".tmp";
        fd = ::_wopen(m_temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        m_temp = m_target + ".~" + std::to_string(attempt) + ".tmp";
        fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

#ifdef _WIN32
    m_file = ::_fdopen(fd, "wb");
#else
    // The replacement keeps the target's permissions.
    if (!m_targetExists || ::fchmod(fd, status.st_mode & 07777) == 0)
        m_file = ::fdopen(fd, "wb");
#endif
    if (!m_file)
    {
#ifdef _WIN32
        ::_close(fd);
#else
        ::close(fd);
#endif
        RemoveFile(m_temp);
        return false;
    }
    return true;
}

bool XmlDetail::CFileReplacement::Write(const char* data, std::size_t size) noexcept
{
    m_ok = m_ok && m_file && std::fwrite(data, 1, size, m_file) == size;
    return m_ok;
}

bool XmlDetail::CFileReplacement::Commit() noexcept
{
    if (!m_file)
        return false;
    bool written = m_ok && std::fflush(m_file) == 0;
#ifdef _WIN32
    written = written && ::_commit(::_fileno(m_file)) == 0;
#else
    written = written && ::fsync(::fileno(m_file)) == 0;
#endif
    written = std::fclose(m_file) == 0 && written;
    m_file = nullptr;

    bool replaced = false;
    if (written)
    {
#ifdef _WIN32
        if (m_targetExists)
            replaced = ReplaceFileW(m_target.c_str(), m_temp.c_str(), nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        else
            replaced = MoveFileExW(m_temp.c_str(), m_target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
        replaced = std::rename(m_temp.c_str(), m_target.c_str()) == 0;
#endif
    }
    if (!replaced)
        RemoveFile(m_temp);
    m_temp.clear();
    return replaced;
}

void XmlDetail::CFileReplacement::Discard() noexcept
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    RemoveFile(m_temp);
}

namespace
{
#ifdef _WIN32
UINT WindowsCodePage(unsigned codePage)
{
    // Where the EUC numbers are MLang's alone, these code pages hold the same tables.
    if (codePage == 51932 && !IsValidCodePage(codePage))
        return 20932;
    if (codePage == 51949 && !IsValidCodePage(codePage))
        return 20949;
    return codePage;
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
#endif
} // namespace

#ifdef _WIN32
unsigned SystemAnsiCodePage()
{
    return GetACP();
}

bool XmlDetail::PlatformToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
{
    const UINT windowsCodePage = WindowsCodePage(codePage);
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(windowsCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                               reinterpret_cast<wchar_t*>(text.data()), length) == length;
}

bool XmlDetail::PlatformFromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
{
    const UINT windowsCodePage = WindowsCodePage(codePage);
    // GB18030 holds every character and refuses the best-fit flag and the question.
    const bool complete = windowsCodePage == 54936;
    const DWORD flags = complete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = complete ? nullptr : &usedDefault;
    const int length =
        WideCharToMultiByte(windowsCodePage, flags, wide, size, nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(windowsCodePage, flags, wide, size, bytes.data(), length, nullptr,
                               usedDefaultOut) == length &&
           !usedDefault;
}
#else
unsigned SystemAnsiCodePage()
{
    return 1252;
}

bool XmlDetail::PlatformToUtf16(std::string_view bytes, unsigned codePage, std::u16string& text)
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

bool XmlDetail::PlatformFromUtf16(std::u16string_view text, unsigned codePage, std::string& bytes)
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
