// The well-formedness check: one pass over the markup and the bytes for control characters, without
// recursion and without taking memory, which a scan runs alongside its own. Open elements are counted as the scanner closes them:
// an end tag closes the innermost one, whatever name it gives.
#include "Xml.h"
#include "XmlInternal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

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

} // namespace

using XmlDetail::CChecker;

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

XmlSyntaxError CChecker::Markup() noexcept
{
    const std::size_t at = m_pos;
    if (at + 1 == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    switch (m_text[at + 1])
    {
    case '%':
        return Template();
    case '?':
        return Instruction();
    case '/':
        return EndTag();
    case '!':
        break;
    default:
        return StartTag();
    }
    const bool inContent = m_depth > 0;
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

XmlSyntaxError CChecker::Instruction() noexcept
{
    const std::size_t at = m_pos;
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

// A template block ends where the scanner ends it, at the first "%>"; nothing inside it is markup.
XmlSyntaxError CChecker::Template() noexcept
{
    const std::size_t end = Find(m_pos + 2, "%>");
    if (end == m_size)
        return Fail(XmlSyntaxError::UnclosedTemplate, m_pos);
    m_pos = end + 2;
    return XmlSyntaxError::None;
}

XmlSyntaxError CChecker::Comment() noexcept
{
    // Ends where the scanner ends it, at the first "-->"; a "--" before it is kept as it is.
    const std::size_t end = Find(m_pos + 4, "-->");
    if (end == m_size)
        return Fail(XmlSyntaxError::EndInsideMarkup, m_size);
    m_pos = end + 3;
    return XmlSyntaxError::None;
}

XmlSyntaxError CChecker::DocumentType() noexcept
{
    const std::size_t start = m_pos;
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
            m_typeStart = start;
            m_typeEnd = at + 1;
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
    m_rootSeen = true;
    m_pos = Skip(at + 1, kNameChar);
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
            ++m_depth;
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
    if (m_depth == 0)
        return Fail(XmlSyntaxError::StrayEndTag, at);
    --m_depth;
    return XmlSyntaxError::None;
}

namespace
{

std::uint32_t Clamped(std::size_t count) noexcept
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    return count < kMax ? static_cast<std::uint32_t>(count) : kMax;
}

} // namespace

CChecker::CChecker(const char* text, std::size_t size) noexcept
    : m_text(text), m_size(size), m_searched(size > 0 && text[size - 1] == '\x1A' ? size - 1 : size)
{
}

void CChecker::KnowControls(std::size_t first) noexcept
{
    m_control = first < m_searched ? first : m_size;
    m_controlled = m_searched;
}

namespace
{
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

bool CChecker::Is(std::size_t at, std::uint8_t kind) const noexcept
{
    return at < m_size && (kChars[static_cast<unsigned char>(m_text[at])] & kind) != 0;
}

bool CChecker::StartsWith(std::size_t at, std::string_view what) const noexcept
{
    return what.size() <= m_size - at && std::memcmp(m_text + at, what.data(), what.size()) == 0;
}

bool CChecker::CutShort(std::size_t at, std::string_view what) const noexcept
{
    return m_size - at < what.size() && std::memcmp(m_text + at, what.data(), m_size - at) == 0;
}

std::size_t CChecker::Skip(std::size_t at, std::uint8_t kind) const noexcept
{
    while (Is(at, kind))
        ++at;
    return at;
}

XmlSyntaxError CChecker::Fail(XmlSyntaxError error, std::size_t at) noexcept
{
    m_pos = at;
    return error;
}

// The bytes up to to for the first control character.
void CChecker::Controls(std::size_t to) noexcept
{
    to = std::min(to, m_searched);
    if (m_control != m_size || m_controlled >= to)
        return;
    const std::size_t found = FirstControl(m_text, m_controlled, to);
    m_controlled = to;
    if (found != to)
        m_control = found;
}

void CChecker::Advance(std::size_t limit) noexcept
{
    while (!m_done && m_pos < limit)
    {
        const void* less = std::memchr(m_text + m_pos, '<', m_size - m_pos);
        if (!less)
        {
            m_pos = m_size;
            break;
        }
        m_pos = static_cast<std::size_t>(static_cast<const char*>(less) - m_text);
        m_error = Markup();
        if (m_error != XmlSyntaxError::None)
        {
            m_done = true;
            m_offset = m_pos;
            Controls(m_offset + 1);
            return;
        }
    }
    Controls(m_pos);
}

// Text, a second element or a declaration anywhere are carried through exactly by the scanner, so
// only markup whose extent is in doubt is an error.
void CChecker::Finish() noexcept
{
    Advance(m_size);
    if (!m_done)
    {
        m_done = true;
        m_offset = m_size;
        if (m_depth > 0)
            m_error = XmlSyntaxError::UnclosedElement;
        else if (!m_rootSeen)
            m_error = XmlSyntaxError::NoDocumentElement;
    }
    Controls(m_size);
    if (m_control < m_size && (m_error == XmlSyntaxError::None || m_control <= m_offset))
    {
        m_error = XmlSyntaxError::ControlCharacter;
        m_offset = m_control;
    }
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
    CChecker checker(text, size);
    checker.Finish();
    return checker.Error() == XmlSyntaxError::None
               ? CXmlSyntax{}
               : XmlDetail::SyntaxAt(text, size, utf8, checker.Error(), checker.Offset());
}
