// What the well-formedness check needs beside the reader, which notes the first error as it reads
// each construct (XmlScanner.cpp): the search for control characters, and the line and column of
// an error.
#include "Xml.h"
#include "XmlInternal.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace
{

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::uint32_t Clamped(std::size_t count) noexcept
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    return count < kMax ? static_cast<std::uint32_t>(count) : kMax;
}

inline bool IsControl(unsigned char c) noexcept
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

} // namespace

// Eight bytes at a time: a word without a byte below 0x20, the common case, is passed at once;
// one with such a byte (mostly a line break or a tab) is looked at byte by byte.
std::size_t XmlDetail::FirstControl(const char* text, std::size_t from, std::size_t size) noexcept
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    std::size_t at = from;
    while (at < size)
    {
        if (size - at >= sizeof(std::uint64_t))
        {
            std::uint64_t word;
            std::memcpy(&word, text + at, sizeof word);
            // Nonzero exactly when some byte is below 0x20.
            if (((word - kOnes * 0x20) & ~word & kOnes * 0x80) == 0)
            {
                at += sizeof word;
                continue;
            }
        }
        const std::size_t end = std::min(size, at + sizeof(std::uint64_t));
        for (; at < end; ++at)
        {
            if (IsControl(static_cast<unsigned char>(text[at])))
                return at;
        }
    }
    return size;
}

std::size_t XmlDetail::FirstNul(const char* text, std::size_t size, std::size_t& control) noexcept
{
    control = FirstControl(text, 0, size);
    if (control == size || text[control] == '\0')
        return control;
    const void* nul = std::memchr(text + control, '\0', size - control);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
}

CXmlSyntax XmlDetail::SyntaxAt(const char* text, std::size_t size, bool utf8, XmlSyntaxError error,
                               std::size_t offset) noexcept
{
    CXmlSyntax result;
    result.error = error;
    result.offset = offset;
    // Lines and columns are counted only for the error, so the pass over a good file stays a plain scan.
    std::size_t line = 1;
    std::size_t column = 1;
    const bool mark =
        size >= kByteOrderMark.size() && std::memcmp(text, kByteOrderMark.data(), kByteOrderMark.size()) == 0;
    for (std::size_t i = mark ? kByteOrderMark.size() : 0; i < offset && i < size; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || (c == '\n' && (i == 0 || text[i - 1] != '\r')))
        {
            ++line;
            column = 1;
        }
        else if (c != '\n' && (!utf8 || (c & 0xC0) != 0x80))
        {
            ++column;
        }
    }
    result.line = Clamped(line);
    result.column = Clamped(column);
    return result;
}

CXmlSyntax CheckWellFormed(const char* text, std::size_t size, bool utf8) noexcept
{
    std::size_t offset = 0;
    const XmlSyntaxError error = XmlDetail::ReadMarkup(text, size, offset);
    return error == XmlSyntaxError::None ? CXmlSyntax{} : XmlDetail::SyntaxAt(text, size, utf8, error, offset);
}
