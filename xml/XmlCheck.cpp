// The well-formedness check: one pass over the bytes, without recursion. The only memory it takes is
// the list of open elements, kept as ranges of the input.
#include "Xml.h"

#include <array>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace
{

enum : std::uint8_t
{
    kNameStart = 1,
    kNameChar = 2,
    kSpace = 4,
};

constexpr std::array<std::uint8_t, 256> MakeCharTable()
{
    std::array<std::uint8_t, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
    {
        // Bytes from 0x80 up belong to names: UTF-8 sequences, or letters of the file's code page.
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80)
            table[c] = kNameStart | kNameChar;
        else if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            table[c] = kNameChar;
    }
    table[' '] = table['\t'] = table['\r'] = table['\n'] = kSpace;
    return table;
}

constexpr std::array<std::uint8_t, 256> kChars = MakeCharTable();

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Range
{
    std::size_t start;
    std::size_t size;
};

class CChecker
{
public:
    CChecker(const char* text, std::size_t size) noexcept : m_text(text), m_size(size)
    {
    }

    // The first error, with m_pos at the byte where it was found.
    XmlSyntaxError Run() noexcept;

    std::size_t m_pos = 0;

private:
    bool Is(std::size_t at, std::uint8_t kind) const noexcept
    {
        return at < m_size && (kChars[static_cast<unsigned char>(m_text[at])] & kind) != 0;
    }
    bool StartsWith(std::size_t at, std::string_view what) const noexcept
    {
        return what.size() <= m_size - at && std::memcmp(m_text + at, what.data(), what.size()) == 0;
    }
    // True when the file ends inside what, which begins at at.
    bool CutShort(std::size_t at, std::string_view what) const noexcept
    {
        return m_size - at < what.size() && std::memcmp(m_text + at, what.data(), m_size - at) == 0;
    }
    std::size_t Skip(std::size_t at, std::uint8_t kind) const noexcept
    {
        while (Is(at, kind))
            ++at;
        return at;
    }
    // Index of the first what at or after from, or m_size.
    std::size_t Find(std::size_t from, std::string_view what) const noexcept;
    std::size_t Depth() const noexcept
    {
        return m_open.size() + m_unnamed;
    }
    XmlSyntaxError Fail(XmlSyntaxError error, std::size_t at) noexcept
    {
        m_pos = at;
        return error;
    }
    bool IsDeclaration(std::size_t at) const noexcept;

    // Each of these starts at the "<" of its markup and leaves m_pos after it.
    XmlSyntaxError Markup() noexcept;
    XmlSyntaxError Instruction(bool atStart) noexcept;
    XmlSyntaxError Comment() noexcept;
    XmlSyntaxError DocumentType() noexcept;
    XmlSyntaxError StartTag() noexcept;
    XmlSyntaxError EndTag() noexcept;
    // Starts at the opening quote.
    XmlSyntaxError Value() noexcept;

    const char* m_text;
    std::size_t m_size;
    std::vector<Range> m_open;
    // Open elements whose names could not be kept for want of memory: their end tags go unchecked.
    std::size_t m_unnamed = 0;
    bool m_rootSeen = false;
    bool m_documentTypeSeen = false;
};

std::size_t CChecker::Find(std::size_t from, std::string_view what) const noexcept
{
    while (from < m_size)
    {
        const void* hit = std::memchr(m_text + from, what[0], m_size - from);
        if (!hit)
            break;
        from = static_cast<std::size_t>(static_cast<const char*>(hit) - m_text);
        if (StartsWith(from, what))
            return from;
        ++from;
    }
    return m_size;
}

bool CChecker::IsDeclaration(std::size_t at) const noexcept
{
    if (!StartsWith(at, "<?") || m_size - at < 6)
        return false;
    const char* target = m_text + at + 2;
    return (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l' &&
           (target[3] == '?' || Is(at + 5, kSpace));
}

XmlSyntaxError CChecker::Run() noexcept
{
    m_pos = StartsWith(0, kByteOrderMark) ? kByteOrderMark.size() : 0;
    if (IsDeclaration(m_pos))
    {
        const XmlSyntaxError error = Instruction(true);
        if (error != XmlSyntaxError::None)
            return error;
    }
    for (;;)
    {
        if (Depth() == 0)
        {
            m_pos = Skip(m_pos, kSpace);
            if (m_pos == m_size)
                break;
            if (m_text[m_pos] != '<')
                return Fail(XmlSyntaxError::TextOutsideElement, m_pos);
        }
        else
        {
            const void* less = std::memchr(m_text + m_pos, '<', m_size - m_pos);
            if (!less)
                return Fail(XmlSyntaxError::UnclosedElement, m_size);
            m_pos = static_cast<std::size_t>(static_cast<const char*>(less) - m_text);
        }
        const XmlSyntaxError error = Markup();
        if (error != XmlSyntaxError::None)
            return error;
    }
    return m_rootSeen ? XmlSyntaxError::None : Fail(XmlSyntaxError::NoDocumentElement, m_size);
}

XmlSyntaxError CChecker::Markup() noexcept
{
    const std::size_t at = m_pos;
    if (at + 1 == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    switch (m_text[at + 1])
    {
    case '?':
        return Instruction(false);
    case '/':
        return EndTag();
    case '!':
        break;
    default:
        return StartTag();
    }
    const bool inContent = Depth() > 0;
    const bool documentTypeAllowed = !m_rootSeen && !m_documentTypeSeen;
    if (StartsWith(at, "<!--"))
        return Comment();
    if (inContent && StartsWith(at, "<![CDATA["))
    {
        const std::size_t end = Find(at + 9, "]]>");
        m_pos = end + 3;
        return end == m_size ? Fail(XmlSyntaxError::EndInsideMarkup, m_size) : XmlSyntaxError::None;
    }
    if (documentTypeAllowed && StartsWith(at, "<!DOCTYPE") && Is(at + 9, kSpace))
        return DocumentType();
    if (CutShort(at, "<!--") || (inContent && CutShort(at, "<![CDATA[")) ||
        (documentTypeAllowed && CutShort(at, "<!DOCTYPE ")))
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    return Fail(XmlSyntaxError::BadMarkup, at);
}

XmlSyntaxError CChecker::Instruction(bool atStart) noexcept
{
    const std::size_t at = m_pos;
    if (!atStart && IsDeclaration(at))
        return Fail(XmlSyntaxError::MisplacedDeclaration, at);
    if (at + 2 == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    if (!Is(at + 2, kNameStart))
        return Fail(XmlSyntaxError::BadName, at + 2);
    const std::size_t nameEnd = Skip(at + 2, kNameChar);
    const std::size_t end = Find(nameEnd, "?>");
    if (end == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    if (end != nameEnd && !Is(nameEnd, kSpace))
        return Fail(XmlSyntaxError::BadName, nameEnd);
    m_pos = end + 2;
    return XmlSyntaxError::None;
}

XmlSyntaxError CChecker::Comment() noexcept
{
    // The first "--" after the opening one must end the comment.
    const std::size_t dashes = Find(m_pos + 4, "--");
    if (m_size - dashes <= 2)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    if (m_text[dashes + 2] != '>')
        return Fail(XmlSyntaxError::BadComment, dashes);
    m_pos = dashes + 3;
    return XmlSyntaxError::None;
}

XmlSyntaxError CChecker::DocumentType() noexcept
{
    std::size_t at = Skip(m_pos + 9, kSpace);
    if (at == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    if (!Is(at, kNameStart))
        return Fail(XmlSyntaxError::BadName, at);
    // Quoted strings may hold any of the bytes that end the subset or the declaration.
    bool subset = false;
    while (at < m_size)
    {
        const char c = m_text[at];
        if (c == '"' || c == '\'')
        {
            const void* close = std::memchr(m_text + at + 1, c, m_size - at - 1);
            if (!close)
                break;
            at = static_cast<std::size_t>(static_cast<const char*>(close) - m_text) + 1;
            continue;
        }
        if (subset && StartsWith(at, "<!--"))
        {
            m_pos = at;
            const XmlSyntaxError error = Comment();
            if (error != XmlSyntaxError::None)
                return error;
            at = m_pos;
            continue;
        }
        if (subset && StartsWith(at, "<?"))
        {
            at = Find(at + 2, "?>");
            if (at == m_size)
                break;
            at += 2;
            continue;
        }
        if (c == '>' && !subset)
        {
            m_pos = at + 1;
            m_documentTypeSeen = true;
            return XmlSyntaxError::None;
        }
        subset = c == '[' || (subset && c != ']');
        ++at;
    }
    return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
}

XmlSyntaxError CChecker::StartTag() noexcept
{
    const std::size_t at = m_pos;
    if (!Is(at + 1, kNameStart))
        return Fail(XmlSyntaxError::BadName, at + 1);
    if (Depth() == 0 && m_rootSeen)
        return Fail(XmlSyntaxError::SecondElement, at);
    m_rootSeen = true;
    m_pos = Skip(at + 1, kNameChar);
    const Range name{at + 1, m_pos - at - 1};
    bool afterValue = false;
    for (;;)
    {
        const std::size_t before = m_pos;
        m_pos = Skip(m_pos, kSpace);
        if (m_pos == m_size)
            return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
        if (m_text[m_pos] == '>')
        {
            ++m_pos;
            if (m_unnamed > 0)
                ++m_unnamed;
            else
            {
                try
                {
                    m_open.push_back(name);
                }
                catch (...)
                {
                    ++m_unnamed;
                }
            }
            return XmlSyntaxError::None;
        }
        if (m_text[m_pos] == '/')
        {
            if (m_pos + 1 == m_size)
                return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
            if (m_text[m_pos + 1] != '>')
                return Fail(XmlSyntaxError::BadName, m_pos);
            m_pos += 2;
            return XmlSyntaxError::None;
        }
        const bool spaced = m_pos > before;
        // A value's closing quote followed at once by more text is most often a quote typed inside it.
        if (afterValue && !spaced)
            return Fail(XmlSyntaxError::AttributeSyntax, m_pos);
        if (!spaced || !Is(m_pos, kNameStart))
            return Fail(XmlSyntaxError::BadName, m_pos);
        const std::size_t nameEnd = Skip(m_pos, kNameChar);
        m_pos = Skip(nameEnd, kSpace);
        if (m_pos == m_size)
            return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
        afterValue = false;
        const char c = m_text[m_pos];
        if (c == '"' || c == '\'')
            return Fail(XmlSyntaxError::AttributeSyntax, m_pos);
        if (c != '=')
        {
            m_pos = nameEnd; // a name alone: tolerated
            continue;
        }
        m_pos = Skip(m_pos + 1, kSpace);
        if (m_pos == m_size)
            return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
        if (m_text[m_pos] != '"' && m_text[m_pos] != '\'')
            return Fail(XmlSyntaxError::AttributeSyntax, m_pos);
        const XmlSyntaxError error = Value();
        if (error != XmlSyntaxError::None)
            return error;
        afterValue = true;
    }
}

XmlSyntaxError CChecker::Value() noexcept
{
    const std::size_t quote = m_pos;
    const std::size_t start = quote + 1;
    const void* close = std::memchr(m_text + start, m_text[quote], m_size - start);
    const std::size_t end =
        close ? static_cast<std::size_t>(static_cast<const char*>(close) - m_text) : m_size;
    const void* less = std::memchr(m_text + start, '<', end - start);
    if (close && !less)
    {
        m_pos = end + 1;
        return XmlSyntaxError::None;
    }
    // A value that runs on past a ">" lacks its closing quote: the tag plainly ended at the ">".
    const std::size_t stop =
        less ? static_cast<std::size_t>(static_cast<const char*>(less) - m_text) : m_size;
    if (std::memchr(m_text + start, '>', stop - start))
        return Fail(XmlSyntaxError::AttributeSyntax, quote);
    return less ? Fail(XmlSyntaxError::LessThanInValue, stop) : Fail(XmlSyntaxError::EndInsideMarkup, m_size);
}

XmlSyntaxError CChecker::EndTag() noexcept
{
    const std::size_t at = m_pos;
    const std::size_t nameStart = at + 2;
    if (nameStart == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    if (!Is(nameStart, kNameStart))
        return Fail(XmlSyntaxError::BadName, nameStart);
    const std::size_t nameEnd = Skip(nameStart, kNameChar);
    m_pos = Skip(nameEnd, kSpace);
    if (m_pos == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    // An end tag holds its name alone: whatever else is there continues a name that is not one.
    if (m_text[m_pos] != '>')
        return Fail(XmlSyntaxError::BadName, m_pos);
    ++m_pos;
    if (m_unnamed > 0)
    {
        --m_unnamed;
        return XmlSyntaxError::None;
    }
    if (m_open.empty())
        return Fail(XmlSyntaxError::StrayEndTag, at);
    const Range open = m_open.back();
    if (open.size != nameEnd - nameStart ||
        std::memcmp(m_text + open.start, m_text + nameStart, open.size) != 0)
        return Fail(XmlSyntaxError::MismatchedEndTag, nameStart);
    m_open.pop_back();
    return XmlSyntaxError::None;
}

std::uint32_t Clamped(std::size_t count) noexcept
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    return count < kMax ? static_cast<std::uint32_t>(count) : kMax;
}

} // namespace

CXmlSyntax CheckWellFormed(const char* text, std::size_t size, bool utf8) noexcept
{
    CXmlSyntax result;
    CChecker checker(text, size);
    result.error = checker.Run();
    if (result.error == XmlSyntaxError::None)
        return result;
    result.offset = checker.m_pos;
    // Lines and columns are counted only for the error, so the pass over a good file stays a plain scan.
    std::size_t line = 1;
    std::size_t column = 1;
    const bool mark =
        size >= kByteOrderMark.size() && std::memcmp(text, kByteOrderMark.data(), kByteOrderMark.size()) == 0;
    for (std::size_t i = mark ? kByteOrderMark.size() : 0; i < result.offset; ++i)
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
