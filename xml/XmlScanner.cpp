// The scanner. Outside markup, bytes are character data up to a "<" that opens a tag; comments,
// CDATA sections, declarations, processing instructions and template blocks ("<% ... %>") are
// character data too, each read whole, so nothing inside one is taken for a tag. Inside a tag
// the flags of RunScanner decide where each byte goes. Pieces of names, values and text are kept
// as ranges of the input as long as they are contiguous, so the common case copies nothing.
#include "Xml.h"
#include "XmlInternal.h"
#include "XmlText.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace
{

enum CharClass : std::uint8_t
{
    kOrdinary,
    kLess,
    kSlash,
    kGreater,
    kEquals,
    kQuote,
    kSeparator,
};

constexpr std::array<std::uint8_t, 256> MakeClassTable()
{
    std::array<std::uint8_t, 256> table{};
    table['<'] = kLess;
    table['/'] = kSlash;
    table['>'] = kGreater;
    table['='] = kEquals;
    table['"'] = kQuote;
    table['\''] = kQuote;
    table[' '] = kSeparator;
    table['\t'] = kSeparator;
    table['\r'] = kSeparator;
    table['\n'] = kSeparator;
    return table;
}

constexpr std::array<std::uint8_t, 256> kClass = MakeClassTable();

inline std::uint8_t ClassOf(char c)
{
    return kClass[static_cast<unsigned char>(c)];
}

// A name, value or end-tag name being collected: a range of the input while its bytes follow one
// another there, otherwise a copy.
struct Piece
{
    std::size_t start = 0;
    std::size_t end = 0;
    bool copied = false;
    std::string copy;

    std::size_t Size() const
    {
        return copied ? copy.size() : end - start;
    }
    bool Empty() const
    {
        return Size() == 0;
    }

    void Clear()
    {
        start = end = 0;
        copied = false;
        copy.clear();
    }

    void Append(const char* input, std::size_t from, std::size_t to)
    {
        if (copied)
        {
            copy.append(input + from, to - from);
        }
        else if (start == end)
        {
            start = from;
            end = to;
        }
        else if (from == end)
        {
            end = to;
        }
        else
        {
            copy.assign(input + start, end - start);
            copy.append(input + from, to - from);
            copied = true;
        }
    }

    void CopyFrom(const Piece& other)
    {
        start = other.start;
        end = other.end;
        copied = other.copied;
        copy = other.copy;
    }
};

// Index of the first occurrence of the three bytes of pattern at or after from, or size.
std::size_t FindTriple(const char* input, std::size_t size, std::size_t from, const char* pattern)
{
    while (from + 3 <= size)
    {
        const void* hit = std::memchr(input + from, pattern[0], size - from - 2);
        if (!hit)
            break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
        if (input[at + 1] == pattern[1] && input[at + 2] == pattern[2])
            return at;
        from = at + 1;
    }
    return size;
}

std::size_t FindPair(const char* input, std::size_t size, std::size_t from, char first, char second)
{
    while (from + 2 <= size)
    {
        const void* hit = std::memchr(input + from, first, size - from - 1);
        if (!hit)
            break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
        if (input[at + 1] == second)
            return at;
        from = at + 1;
    }
    return size;
}

bool StartsWith(const char* input, std::size_t size, std::size_t at, const char* prefix, std::size_t length)
{
    return size - at >= length && std::memcmp(input + at, prefix, length) == 0;
}

constexpr char kCommentOpen[] = "<!--";
constexpr char kCDataOpen[] = "<![CDATA[";

// One past the end of the construct at start, closed by the three bytes of close, or size.
std::size_t EndAfter(const char* input, std::size_t size, std::size_t from, const char* close)
{
    const std::size_t at = FindTriple(input, size, from, close);
    return at == size ? size : at + 3;
}

std::size_t InstructionEnd(const char* input, std::size_t size, std::size_t start)
{
    const std::size_t at = FindPair(input, size, start + 2, '?', '>');
    return at == size ? size : at + 2;
}

std::size_t CommentEnd(const char* input, std::size_t size, std::size_t start)
{
    return EndAfter(input, size, start + sizeof kCommentOpen - 1, "-->");
}

// A declaration ends at the first ">" outside quoted strings and outside its internal subset.
// Inside the subset, comments and processing instructions are skipped whole as well: their text
// may hold a lone quote.
std::size_t DeclarationEnd(const char* input, std::size_t size, std::size_t start)
{
    bool inSubset = false;
    std::size_t i = start + 2;
    while (i < size)
    {
        const char c = input[i];
        if (c == '"' || c == '\'')
        {
            const void* hit = std::memchr(input + i + 1, c, size - i - 1);
            if (!hit)
                return size;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - input) + 1;
            continue;
        }
        if (inSubset && c == '<' && i + 1 < size && input[i + 1] == '?')
        {
            i = InstructionEnd(input, size, i);
            continue;
        }
        if (inSubset && StartsWith(input, size, i, kCommentOpen, sizeof kCommentOpen - 1))
        {
            i = CommentEnd(input, size, i);
            continue;
        }
        if (c == '[')
            inSubset = true;
        else if (c == ']')
            inSubset = false;
        else if (c == '>' && !inSubset)
            return i + 1;
        ++i;
    }
    return size;
}

// The end (one past the last byte) of the markup that the engine carries as character data and
// that begins at the "<" at start, followed by "!" or "?". Unterminated, it runs to the end.
std::size_t ConstructEnd(const char* input, std::size_t size, std::size_t start)
{
    if (input[start + 1] == '?')
        return InstructionEnd(input, size, start);
    if (StartsWith(input, size, start, kCommentOpen, sizeof kCommentOpen - 1))
        return CommentEnd(input, size, start);
    if (StartsWith(input, size, start, kCDataOpen, sizeof kCDataOpen - 1))
        return EndAfter(input, size, start + sizeof kCDataOpen - 1, "]]>");
    return DeclarationEnd(input, size, start);
}

// A template block runs from "<%" to the next "%>", whatever stands between: template code such as
// "<% if (a < b) { %>" or a commented-out item holds "<" and ">" that are no markup of the file.
std::size_t TemplateEnd(const char* input, std::size_t size, std::size_t start)
{
    const std::size_t at = FindPair(input, size, start + 2, '%', '>');
    return at == size ? size : at + 2;
}

inline bool OpensConstruct(char next)
{
    return next == '!' || next == '?';
}

// One scan over size bytes. The sink receives StartDocument, StartElement(piece, pos, tag),
// EndElement(piece, pos, tag), Attribute(name, value, pos), BareAttribute(name, pos),
// Text(start, end, pos) and EndDocument; tag is the index of the "<" that opened the tag.
// Markup(at) comes first for each "<" found outside a tag.
template <class Sink> void RunScanner(const char* input, std::size_t size, Sink& sink)
{
    bool inTag = false;
    bool inName = false;
    bool inEndTag = false;
    bool attributePending = false; // an attribute's name has begun and it is not reported yet
    bool inAttributeName = false;
    bool hasEquals = false; // the pending attribute's "=" has come
    bool inValue = false;
    char quote = 0;
    Piece elementName;
    Piece endTagName;
    Piece attributeName;
    Piece value;
    std::size_t textStart = 0;
    std::size_t tagStart = 0;

    auto append = [&](Piece& target, std::size_t from, std::size_t to) { target.Append(input, from, to); };

    // A pending name that no "=" followed is an attribute of its own; one whose value never came
    // is dropped.
    auto endAttribute = [&](std::size_t pos) {
        if (attributePending && !hasEquals)
            sink.BareAttribute(attributeName, pos);
        attributePending = inAttributeName = hasEquals = false;
    };

    auto beginAttribute = [&](std::size_t from, std::size_t to) {
        attributeName.Clear();
        append(attributeName, from, to);
        attributePending = inAttributeName = true;
        hasEquals = false;
    };

    // Ordinary bytes go to the piece that is being collected. Outside any they begin a new
    // attribute's name, after reporting a complete name that no "=" followed; between a "=" and
    // the quote they are dropped.
    auto ordinary = [&](std::size_t from, std::size_t to) {
        if (inEndTag)
        {
            append(endTagName, from, to);
        }
        else if (inName)
        {
            append(elementName, from, to);
        }
        else if (inAttributeName)
        {
            append(attributeName, from, to);
        }
        else if (!attributePending || !hasEquals)
        {
            endAttribute(from);
            beginAttribute(from, to);
        }
    };

    sink.StartDocument();
    std::size_t i = 0;
    while (i < size)
    {
        if (!inTag)
        {
            const void* hit = std::memchr(input + i, '<', size - i);
            if (!hit)
            {
                i = size;
                break;
            }
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - input);
            sink.Markup(at);
            const char next = at + 1 < size ? input[at + 1] : '\0';
            if (next == '%')
            {
                i = TemplateEnd(input, size, at);
                continue;
            }
            if (OpensConstruct(next))
            {
                i = ConstructEnd(input, size, at);
                continue;
            }
            if (at > textStart)
                sink.Text(textStart, at, at);
            inTag = true;
            inName = true;
            elementName.Clear();
            tagStart = at;
            i = at + 1;
            continue;
        }

        // Inside a value every byte but the closing quote belongs to it.
        if (inValue)
        {
            const void* hit = std::memchr(input + i, quote, size - i);
            const std::size_t at =
                hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - input) : size;
            if (at > i)
                append(value, i, at);
            if (at == size)
                break;
            sink.Attribute(attributeName, value, at);
            inValue = false;
            attributePending = false;
            i = at + 1;
            continue;
        }

        const char c = input[i];
        switch (ClassOf(c))
        {
        case kOrdinary: {
            std::size_t to = i + 1;
            while (to < size && ClassOf(input[to]) == kOrdinary)
                ++to;
            ordinary(i, to);
            i = to;
            continue;
        }
        case kLess: {
            const char next = i + 1 < size ? input[i + 1] : '\0';
            if (next == '%')
                break; // a "<%" inside a tag is no character data: the "<" is dropped
            if (OpensConstruct(next))
            {
                // The tag is abandoned, as a comment inside one always did; what follows is data.
                inTag = inName = inEndTag = attributePending = inAttributeName = hasEquals = false;
                textStart = i;
                i = ConstructEnd(input, size, i);
                continue;
            }
            endAttribute(i);
            inName = true;
            elementName.Clear();
            tagStart = i;
            break;
        }
        case kSlash:
            if (inName && elementName.Empty())
            {
                inEndTag = true;
                endTagName.Clear();
            }
            else if (inName)
            {
                inEndTag = true;
                endTagName.CopyFrom(elementName);
                sink.StartElement(elementName, i, tagStart);
            }
            else
            {
                endAttribute(i);
                sink.EndElement(elementName, i, tagStart);
            }
            break;
        case kGreater:
            if (inEndTag)
            {
                inName = false;
                inEndTag = false;
                sink.EndElement(endTagName, i, tagStart);
            }
            else if (inName)
            {
                inName = false;
                sink.StartElement(elementName, i, tagStart);
            }
            endAttribute(i);
            inTag = false;
            textStart = i + 1;
            break;
        case kEquals:
            if (attributePending)
            {
                inAttributeName = false;
                hasEquals = true;
            }
            break;
        case kQuote:
            // A quote after a name opens its value, with or without the "=" before it.
            if (attributePending)
            {
                inAttributeName = false;
                hasEquals = true;
                inValue = true;
                quote = c;
                value.Clear();
            }
            break;
        case kSeparator:
            if (inName && !inEndTag)
            {
                sink.StartElement(elementName, i, tagStart);
                inName = false;
            }
            inAttributeName = false;
            break;
        default:
            break;
        }
        ++i;
    }
    if (!inTag && size > textStart)
        sink.Text(textStart, size, size);
    sink.EndDocument();
}

std::int32_t ClampPosition(std::size_t pos)
{
    return static_cast<std::int32_t>(std::min<std::size_t>(pos, INT32_MAX));
}

} // namespace


namespace XmlDetail
{

// Hands the pieces to the virtual events as NUL-terminated strings: terminated in place while the
// event runs when the bytes are ours to change, and put back after it, so that the text is as it
// was read once the parse ends; otherwise copied. Checks the text as the scan goes.
class CScanEvents
{
public:
    CScanEvents(CXmlParser& parser, const char* text, std::size_t size, char* writable, bool checkUtf8)
        : m_parser(parser), m_text(text), m_size(size), m_writable(writable), m_utf8(checkUtf8),
          m_check(text, size)
    {
    }
    // The bytes up to a "<" were just scanned: they are checked while they are at hand. No
    // character of several bytes holds a "<", so the pieces hold whole characters.
    void Markup(std::size_t at)
    {
        m_check.Advance(at + 1);
        CheckText(at);
    }
    void StartDocument()
    {
        m_parser.OnStartDocument();
    }
    void EndDocument()
    {
        CheckText(m_size);
        m_check.Finish();
        m_parser.m_syntaxError = m_check.Error();
        m_parser.m_syntaxOffset = m_check.Offset();
        m_parser.m_pos = ClampPosition(m_size);
        m_parser.OnEndDocument();
    }
    void StartElement(const Piece& name, std::size_t pos, std::size_t tag)
    {
        Place(pos, tag);
        const CArgument n(*this, name, 0);
        m_parser.OnStartElement(n.text);
    }
    void EndElement(const Piece& name, std::size_t pos, std::size_t tag)
    {
        Place(pos, tag);
        const CArgument n(*this, name, 0);
        m_parser.OnEndElement(n.text);
    }
    void Attribute(const Piece& name, const Piece& value, std::size_t pos)
    {
        Place(pos, name.start);
        m_parser.m_valueQuote = m_text[pos];
        const CArgument n(*this, name, 0);
        const CArgument v(*this, value, 1);
        m_parser.OnAttribute(n.text, v.text);
    }
    void BareAttribute(const Piece& name, std::size_t pos)
    {
        Place(pos, name.start);
        const CArgument n(*this, name, 0);
        m_parser.OnBareAttribute(n.text);
    }
    void Text(std::size_t start, std::size_t end, std::size_t pos)
    {
        Place(pos, start);
        Piece text;
        text.start = start;
        text.end = end;
        const CArgument t(*this, text, 0);
        m_parser.OnText(t.text);
    }
    void KnowControls(std::size_t first)
    {
        m_check.KnowControls(first);
    }
    bool Utf8() const
    {
        return m_utf8;
    }
    std::string_view DocumentType() const
    {
        return m_check.DocumentTypeText();
    }

private:
    // One argument of an event, valid while it lives.
    class CArgument
    {
    public:
        CArgument(CScanEvents& events, const Piece& piece, int index) : text(events.Terminate(piece, index, m_at, m_saved))
        {
            events.m_parser.m_arguments[index] = text;
            events.m_parser.m_argumentSizes[index] = piece.Size();
        }
        CArgument(const CArgument&) = delete;
        CArgument& operator=(const CArgument&) = delete;
        ~CArgument()
        {
            if (m_at)
                *m_at = m_saved;
        }

    private:
        char* m_at = nullptr;
        char m_saved = 0;

    public:
        const char* const text;
    };

    void Place(std::size_t pos, std::size_t markup)
    {
        m_parser.m_pos = ClampPosition(pos);
        m_parser.m_markupPos = ClampPosition(markup);
    }
    const char* Terminate(const Piece& piece, int index, char*& at, char& saved)
    {
        if (piece.copied)
            return piece.copy.c_str();
        if (piece.start == piece.end)
            return "";
        if (m_writable)
        {
            at = m_writable + piece.end;
            saved = *at;
            *at = '\0';
            return m_writable + piece.start;
        }
        std::string& scratch = m_scratch[index];
        scratch.assign(m_text + piece.start, piece.end - piece.start);
        return scratch.c_str();
    }
    void CheckText(std::size_t to)
    {
        if (!m_utf8 || to <= m_checked)
            return;
        m_utf8 = IsValidUtf8(std::string_view(m_text + m_checked, to - m_checked));
        m_checked = to;
    }

    CXmlParser& m_parser;
    const char* m_text;
    std::size_t m_size;
    char* m_writable;
    bool m_utf8;
    std::size_t m_checked = 0;
    std::string m_scratch[2];
    CChecker m_check;
};

} // namespace XmlDetail

void CXmlParser::Scan(const char* text, std::size_t size, char* writable, std::size_t control, bool checkUtf8,
                      bool* utf8, std::string_view* documentType)
{
    // Whatever ends the parse, an event that throws included, leaves the members as defined.
    struct CParseScope
    {
        CXmlParser& parser;
        std::size_t size;
        ~CParseScope()
        {
            parser.m_pos = parser.m_markupPos = ClampPosition(size);
            parser.m_input = nullptr;
            parser.m_inputSize = 0;
            parser.m_arguments[0] = parser.m_arguments[1] = nullptr;
        }
    };

    m_input = text;
    m_inputSize = size;
    m_pos = m_markupPos = 0;
    m_syntaxError = XmlSyntaxError::None;
    m_syntaxOffset = 0;
    CParseScope scope{*this, size};
    XmlDetail::CScanEvents events(*this, text, size, writable, checkUtf8);
    if (control != kUnknownControl)
        events.KnowControls(control);
    RunScanner(text, size, events);
    if (utf8)
        *utf8 = events.Utf8();
    if (documentType)
        *documentType = events.DocumentType();
}

std::size_t CXmlParser::ArgumentSize(const char* argument) const noexcept
{
    if (!argument)
        return 0;
    for (int i = 0; i < 2; ++i)
    {
        if (argument == m_arguments[i])
            return m_argumentSizes[i];
    }
    return std::strlen(argument);
}

bool CXmlParser::Parse(const char* text)
{
    return Parse(text, text ? std::strlen(text) : 0);
}

bool CXmlParser::Parse(const char* text, std::size_t length)
{
    if (!text)
        text = "";
    const void* nul = std::memchr(text, '\0', length);
    if (nul)
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    Scan(text, length, nullptr, kUnknownControl, false, nullptr, nullptr);
    return true;
}

void CXmlParser::ParseInPlace(char* text, std::size_t size, std::size_t control, bool checkUtf8, bool& utf8,
                              std::string_view& documentType)
{
    Scan(text, size, text, control, checkUtf8, &utf8, &documentType);
}

bool CXmlParser::ParseFile(const char* path)
{
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    XmlFileError error = XmlDetail::ReadWholeFile(path, bytes, size);
    std::size_t control = size;
    std::size_t nul = size;
    if (error == XmlFileError::None)
        nul = XmlDetail::FirstNul(bytes.get(), size, control);
    if (nul != size)
        error = XmlFileError::NotText;
    if (error != XmlFileError::None)
    {
        OnFileNotParsed(error, nul != size ? nul : 0);
        return false;
    }
    Scan(bytes.get(), size, bytes.get(), control, false, nullptr, nullptr);
    return true;
}
