// The reader of the markup (CReader): it fires the parser's events and notes the first
// well-formedness error as it goes, so that a parse, a load and CheckWellFormed read every file
// alike. Pieces of names, values and text are kept as ranges of the input as long as they are
// contiguous, so the common case copies nothing.
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
// may hold a lone quote. closed is false when the input ends first.
std::size_t DeclarationEnd(const char* input, std::size_t size, std::size_t start, bool& closed)
{
    closed = false;
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
        {
            closed = true;
            return i + 1;
        }
        ++i;
    }
    return size;
}

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

inline bool IsKind(char c, std::uint8_t kind)
{
    return (kChars[static_cast<unsigned char>(c)] & kind) != 0;
}

// Where the well-formedness check stands in the tag being read. The check follows the tag only up
// to its first error; once one is noted, the reader goes on for the events alone.
enum class TagCheck : std::uint8_t
{
    Off,               // the tag is checked to its end, or an error was noted
    ElementName,
    Spaces,            // after the element name, an attribute or a value
    Slash,             // a "/" that must be followed by ">"
    AttributeName,
    AfterAttributeName,
    AfterEquals,
    EndName,
    AfterEndName,
};

// What a scan without events reports to: the well-formedness check alone.
struct CNoEvents
{
    static constexpr bool kEvents = false;
    void Markup(std::size_t)
    {
    }
    void StartDocument()
    {
    }
    void EndDocument(XmlSyntaxError, std::size_t)
    {
    }
    void StartElement(const Piece&, std::size_t, std::size_t)
    {
    }
    void EndElement(const Piece&, std::size_t, std::size_t)
    {
    }
    void Attribute(const Piece&, const Piece&, std::size_t)
    {
    }
    void BareAttribute(const Piece&, std::size_t)
    {
    }
    void Text(std::size_t, std::size_t, std::size_t)
    {
    }
};

// The one reader of the markup. Outside tags, bytes are character data up to a "<" that opens a
// tag; comments, CDATA sections, declarations, processing instructions and template blocks are
// character data too, each read whole by a function of its own, so nothing inside one is taken for
// a tag. Inside a tag the flags decide where each byte goes. Every construct notes the first
// well-formedness error as it is read. The sink receives StartDocument, StartElement(piece, pos,
// tag), EndElement(piece, pos, tag), Attribute(name, value, pos), BareAttribute(name, pos),
// Text(start, end, pos) and EndDocument(error, offset); tag is the index of the "<" that opened the
// tag. Markup(at) comes first for each "<" found outside a tag.
template <class Sink> class CReader
{
public:
    // control: the offset of the text's first control character, or size.
    CReader(const char* text, std::size_t size, std::size_t control, Sink& sink)
        : m_text(text), m_size(size), m_sink(sink)
    {
        // DOS's end-of-file mark is carried through as the last byte.
        const bool eofMark = size > 0 && text[size - 1] == '\x1A';
        m_control = control < size - (eofMark ? 1 : 0) ? control : size;
    }

    void Run()
    {
        m_sink.StartDocument();
        Content();
        Finish();
        m_sink.EndDocument(m_error, m_offset);
    }
    XmlSyntaxError Error() const
    {
        return m_error;
    }
    std::size_t Offset() const
    {
        return m_offset;
    }
    // The document type declaration before the document element, whole, or empty.
    std::string_view DocumentType() const
    {
        return std::string_view(m_text + m_typeStart, m_typeEnd - m_typeStart);
    }

private:
    void Note(XmlSyntaxError error, std::size_t at)
    {
        if (!m_noted)
        {
            m_error = error;
            m_offset = at;
            m_noted = true;
        }
        m_check = TagCheck::Off;
    }
    bool Checking() const
    {
        return !m_noted;
    }

    void Content()
    {
        std::size_t i = 0;
        while (i < m_size)
        {
            const void* hit = std::memchr(m_text + i, '<', m_size - i);
            if (!hit)
                break;
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - m_text);
            m_sink.Markup(at);
            const char next = at + 1 < m_size ? m_text[at + 1] : '\0';
            if (next == '%')
                i = Template(at);
            else if (next == '!' || next == '?')
                i = Construct(at);
            else
            {
                if (at > m_textStart)
                    m_sink.Text(m_textStart, at, at);
                i = Tag(at);
            }
        }
        if (!m_inTag && m_size > m_textStart)
            m_sink.Text(m_textStart, m_size, m_size);
    }

    // Text, a second element or a declaration anywhere are carried through exactly, so only markup
    // whose extent is in doubt is an error; and a control character before the first other error.
    void Finish()
    {
        if (!m_noted)
        {
            m_noted = true;
            m_offset = m_size;
            if (m_depth > 0)
                m_error = XmlSyntaxError::UnclosedElement;
            else if (!m_rootSeen)
                m_error = XmlSyntaxError::NoDocumentElement;
        }
        if (m_control < m_size && (m_error == XmlSyntaxError::None || m_control <= m_offset))
        {
            m_error = XmlSyntaxError::ControlCharacter;
            m_offset = m_control;
        }
    }

    // A template block runs from "<%" to the next "%>", whatever stands between: template code such
    // as "<% if (a < b) { %>" or a commented-out item holds "<" and ">" that are no markup of the
    // file. Unclosed, it runs to the end.
    std::size_t Template(std::size_t at)
    {
        const std::size_t end = FindPair(m_text, m_size, at + 2, '%', '>');
        if (end != m_size)
            return end + 2;
        Note(XmlSyntaxError::UnclosedTemplate, at);
        return m_size;
    }

    // Markup that begins "<!" or "<?" at at, carried as character data; returns its end.
    std::size_t Construct(std::size_t at)
    {
        if (m_text[at + 1] == '?')
            return Instruction(at);
        if (StartsWith(m_text, m_size, at, kCommentOpen, sizeof kCommentOpen - 1))
            return Comment(at);
        if (StartsWith(m_text, m_size, at, kCDataOpen, sizeof kCDataOpen - 1))
            return CData(at);
        return Declaration(at);
    }

    std::size_t Instruction(std::size_t at)
    {
        const std::size_t close = FindPair(m_text, m_size, at + 2, '?', '>');
        const std::size_t end = close == m_size ? m_size : close + 2;
        if (!Checking())
            return end;
        if (at + 2 == m_size)
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        else if (!IsKind(m_text[at + 2], kNameStart))
            Note(XmlSyntaxError::BadName, at + 2);
        else
        {
            // No "?" is a name character: the "?>" comes after the name.
            std::size_t nameEnd = at + 3;
            while (nameEnd < m_size && IsKind(m_text[nameEnd], kNameChar))
                ++nameEnd;
            if (close == m_size)
                Note(XmlSyntaxError::EndInsideMarkup, m_size);
            else if (close != nameEnd && !IsKind(m_text[nameEnd], kSpace))
                Note(XmlSyntaxError::BadName, nameEnd);
        }
        return end;
    }

    // Ends at the first "-->"; a "--" before it is kept as it is.
    std::size_t Comment(std::size_t at)
    {
        const std::size_t end = FindTriple(m_text, m_size, at + sizeof kCommentOpen - 1, "-->");
        if (end == m_size)
        {
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
            return m_size;
        }
        return end + 3;
    }

    // A CDATA section belongs inside the document element.
    std::size_t CData(std::size_t at)
    {
        const std::size_t end = FindTriple(m_text, m_size, at + sizeof kCDataOpen - 1, "]]>");
        if (m_depth == 0)
            Note(XmlSyntaxError::BadMarkup, at);
        else if (end == m_size)
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        return end == m_size ? m_size : end + 3;
    }

    // "<!" that opens no comment or CDATA section: the document type declaration, or markup the
    // engine does not know, read to its ">" all the same.
    std::size_t Declaration(std::size_t at)
    {
        bool closed = false;
        const std::size_t end = DeclarationEnd(m_text, m_size, at, closed);
        if (!Checking())
            return end;
        const bool typeAllowed = !m_rootSeen && !m_typeSeen;
        if (typeAllowed && StartsWith(m_text, m_size, at, "<!DOCTYPE", 9) && at + 9 < m_size &&
            IsKind(m_text[at + 9], kSpace))
            DocumentTypeCheck(at, end, closed);
        else if (CutShort(at, "<!--") || (m_depth > 0 && CutShort(at, "<![CDATA[")) ||
                 (typeAllowed && CutShort(at, "<!DOCTYPE ")))
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        else
            Note(XmlSyntaxError::BadMarkup, at);
        return end;
    }

    void DocumentTypeCheck(std::size_t at, std::size_t end, bool closed)
    {
        std::size_t name = at + 9;
        while (name < m_size && IsKind(m_text[name], kSpace))
            ++name;
        if (name == m_size)
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        else if (!IsKind(m_text[name], kNameStart))
            Note(XmlSyntaxError::BadName, name);
        else if (!closed)
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        else
        {
            m_typeSeen = true;
            m_typeStart = at;
            m_typeEnd = end;
        }
    }

    // True when the input ends inside what, which begins at at.
    bool CutShort(std::size_t at, std::string_view what) const
    {
        return m_size - at < what.size() && std::memcmp(m_text + at, what.data(), m_size - at) == 0;
    }

    // A tag, from its "<" at to the ">" that ends it; or to a "<!" or "<?" inside it, which
    // abandons it and whose construct is character data; or to the end of the input.
    std::size_t Tag(std::size_t at)
    {
        m_inTag = true;
        m_inName = true;
        m_elementName.Clear();
        m_tagStart = at;
        BeginTagCheck(at);
        std::size_t i = at + 1;
        while (i < m_size)
        {
            if (m_inValue)
            {
                i = ValueBytes(i);
                continue;
            }
            const char c = m_text[i];
            switch (ClassOf(c))
            {
            case kOrdinary:
                i = Ordinary(i);
                continue;
            case kLess:
                if (Less(i))
                    return Construct(i);
                break;
            case kSlash:
                Slash(i);
                break;
            case kGreater:
                Greater(i);
                return i + 1;
            case kEquals:
                Equals(i);
                break;
            case kQuote:
                Quote(i);
                break;
            default:
                Separator(i);
                break;
            }
            ++i;
        }
        if (m_check != TagCheck::Off)
            Note(XmlSyntaxError::EndInsideMarkup, m_size);
        return m_size;
    }

    void BeginTagCheck(std::size_t at)
    {
        m_check = TagCheck::Off;
        if (!Checking())
            return;
        if (at + 1 == m_size)
            return Note(XmlSyntaxError::EndInsideMarkup, m_size);
        if (m_text[at + 1] == '/')
        {
            if (at + 2 == m_size)
                return Note(XmlSyntaxError::EndInsideMarkup, m_size);
            if (!IsKind(m_text[at + 2], kNameStart))
                return Note(XmlSyntaxError::BadName, at + 2);
            m_check = TagCheck::EndName;
            m_checkFrom = at + 3;
            m_checkTag = at;
            return;
        }
        if (!IsKind(m_text[at + 1], kNameStart))
            return Note(XmlSyntaxError::BadName, at + 1);
        m_rootSeen = true;
        m_check = TagCheck::ElementName;
        m_checkFrom = at + 2;
    }

    void Append(Piece& target, std::size_t from, std::size_t to)
    {
        if constexpr (Sink::kEvents)
            target.Append(m_text, from, to);
    }

    // A pending name that no "=" followed is an attribute of its own; one whose value never came
    // is dropped.
    void EndAttribute(std::size_t pos)
    {
        if (m_attributePending && !m_hasEquals)
            m_sink.BareAttribute(m_attributeName, pos);
        m_attributePending = m_inAttributeName = m_hasEquals = false;
    }

    // Ordinary bytes go to the piece that is being collected. Outside any they begin a new
    // attribute's name, after reporting a complete name that no "=" followed; between a "=" and
    // the quote they are dropped.
    std::size_t Ordinary(std::size_t from)
    {
        std::size_t to = from + 1;
        while (to < m_size && ClassOf(m_text[to]) == kOrdinary)
            ++to;
        CheckRun(from, to);
        if (m_inEndTag)
            Append(m_endTagName, from, to);
        else if (m_inName)
            Append(m_elementName, from, to);
        else if (m_inAttributeName)
            Append(m_attributeName, from, to);
        else if (!m_attributePending || !m_hasEquals)
        {
            EndAttribute(from);
            m_attributeName.Clear();
            Append(m_attributeName, from, to);
            m_attributePending = m_inAttributeName = true;
            m_hasEquals = false;
        }
        return to;
    }

    // True when the "<" at i opens a comment, section, declaration or instruction: the tag is
    // abandoned, as a comment inside one always did, and what follows is data. A "<%" inside a
    // tag is no character data: the "<" is dropped. Any other "<" begins a new tag.
    bool Less(std::size_t i)
    {
        CheckByte(i);
        const char next = i + 1 < m_size ? m_text[i + 1] : '\0';
        if (next == '%')
            return false;
        if (next == '!' || next == '?')
        {
            m_inTag = m_inName = m_inEndTag = m_attributePending = m_inAttributeName = m_hasEquals = false;
            m_textStart = i;
            return true;
        }
        EndAttribute(i);
        m_inName = true;
        m_elementName.Clear();
        m_tagStart = i;
        return false;
    }

    void Slash(std::size_t i)
    {
        CheckByte(i);
        if (m_inName && m_elementName.Empty())
        {
            m_inEndTag = true;
            m_endTagName.Clear();
        }
        else if (m_inName)
        {
            m_inEndTag = true;
            m_endTagName.CopyFrom(m_elementName);
            m_sink.StartElement(m_elementName, i, m_tagStart);
        }
        else
        {
            EndAttribute(i);
            m_sink.EndElement(m_elementName, i, m_tagStart);
        }
    }

    void Greater(std::size_t i)
    {
        CheckByte(i);
        if (m_inEndTag)
        {
            m_inName = m_inEndTag = false;
            m_sink.EndElement(m_endTagName, i, m_tagStart);
        }
        else if (m_inName)
        {
            m_inName = false;
            m_sink.StartElement(m_elementName, i, m_tagStart);
        }
        EndAttribute(i);
        m_inTag = false;
        m_textStart = i + 1;
    }

    void Equals(std::size_t i)
    {
        CheckByte(i);
        if (m_attributePending)
        {
            m_inAttributeName = false;
            m_hasEquals = true;
        }
    }

    // A quote after a name opens its value, with or without the "=" before it.
    void Quote(std::size_t i)
    {
        CheckByte(i);
        if (m_attributePending)
        {
            m_inAttributeName = false;
            m_hasEquals = true;
            m_inValue = true;
            m_quote = m_text[i];
            m_value.Clear();
        }
    }

    void Separator(std::size_t i)
    {
        CheckByte(i);
        if (m_inName && !m_inEndTag)
        {
            m_sink.StartElement(m_elementName, i, m_tagStart);
            m_inName = false;
        }
        m_inAttributeName = false;
    }

    // Inside a value every byte but the closing quote belongs to it.
    std::size_t ValueBytes(std::size_t i)
    {
        const void* hit = std::memchr(m_text + i, m_quote, m_size - i);
        const std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text) : m_size;
        if (at > i)
            Append(m_value, i, at);
        if (at == m_size)
            return m_size;
        m_sink.Attribute(m_attributeName, m_value, at);
        m_inValue = false;
        m_attributePending = false;
        return at + 1;
    }

    // The check of a run of ordinary bytes: names run on through name characters.
    void CheckRun(std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to && m_check != TagCheck::Off; ++i)
        {
            const bool inName = m_check == TagCheck::ElementName || m_check == TagCheck::AttributeName ||
                                m_check == TagCheck::EndName;
            if (!(inName && IsKind(m_text[i], kNameChar)))
                CheckByte(i);
        }
    }

    // One byte of the tag, in the check's reading of it.
    void CheckByte(std::size_t i)
    {
        if (m_check == TagCheck::Off || i < m_checkFrom)
            return;
        const char c = m_text[i];
        const bool space = IsKind(c, kSpace);
        switch (m_check)
        {
        case TagCheck::ElementName:
            return space ? Spaces(true, false) : AfterSpaces(i, false, false);
        case TagCheck::Spaces:
            return space ? Spaces(true, m_afterValue) : AfterSpaces(i, m_spaced, m_afterValue);
        case TagCheck::Slash:
            return c == '>' ? Accepted(false) : Note(XmlSyntaxError::BadName, i - 1);
        case TagCheck::AttributeName:
        case TagCheck::AfterAttributeName:
            return AfterAttributeName(i, space);
        case TagCheck::AfterEquals:
            if (space)
                return;
            if (c != '"' && c != '\'')
                return Note(XmlSyntaxError::AttributeSyntax, i);
            return ValueCheck(i);
        default:
            return EndTagByte(i, space);
        }
    }

    void Spaces(bool spaced, bool afterValue)
    {
        m_check = TagCheck::Spaces;
        m_spaced = spaced;
        m_afterValue = afterValue;
    }

    // The first byte after the blanks that follow a name or a value.
    void AfterSpaces(std::size_t i, bool spaced, bool afterValue)
    {
        const char c = m_text[i];
        if (c == '>')
            return Accepted(true);
        if (c == '/')
        {
            m_check = TagCheck::Slash;
            return;
        }
        // A value's closing quote followed at once by more text is most often a quote typed inside it.
        if (afterValue && !spaced)
            return Note(XmlSyntaxError::AttributeSyntax, i);
        if (!spaced || !IsKind(c, kNameStart))
            return Note(XmlSyntaxError::BadName, i);
        m_check = TagCheck::AttributeName;
    }

    // After an attribute's name: its "=", or nothing (a name alone is tolerated), never a quote.
    void AfterAttributeName(std::size_t i, bool space)
    {
        const char c = m_text[i];
        if (space)
        {
            m_check = TagCheck::AfterAttributeName;
            return;
        }
        if (c == '"' || c == '\'')
            return Note(XmlSyntaxError::AttributeSyntax, i);
        if (c == '=')
        {
            m_check = TagCheck::AfterEquals;
            return;
        }
        AfterSpaces(i, m_check == TagCheck::AfterAttributeName, false);
    }

    // A value that runs on past a ">" lacks its closing quote: the tag plainly ended at the ">".
    void ValueCheck(std::size_t quote)
    {
        const std::size_t start = quote + 1;
        const void* close = std::memchr(m_text + start, m_text[quote], m_size - start);
        const std::size_t end = close ? static_cast<std::size_t>(static_cast<const char*>(close) - m_text) : m_size;
        const void* less = std::memchr(m_text + start, '<', end - start);
        if (close && !less)
        {
            m_checkFrom = end + 1;
            return Spaces(false, true);
        }
        const std::size_t stop = less ? static_cast<std::size_t>(static_cast<const char*>(less) - m_text) : m_size;
        if (std::memchr(m_text + start, '>', stop - start))
            return Note(XmlSyntaxError::AttributeSyntax, quote);
        Note(less ? XmlSyntaxError::LessThanInValue : XmlSyntaxError::EndInsideMarkup, less ? stop : m_size);
    }

    // An end tag holds its name alone: whatever else is there continues a name that is not one.
    void EndTagByte(std::size_t i, bool space)
    {
        if (space)
        {
            m_check = TagCheck::AfterEndName;
            return;
        }
        if (m_text[i] != '>')
            return Note(XmlSyntaxError::BadName, i);
        m_check = TagCheck::Off;
        if (m_depth == 0)
            return Note(XmlSyntaxError::StrayEndTag, m_checkTag);
        --m_depth;
    }

    void Accepted(bool opens)
    {
        m_check = TagCheck::Off;
        if (opens)
            ++m_depth;
    }

    const char* m_text;
    std::size_t m_size;
    Sink& m_sink;
    std::size_t m_textStart = 0;
    // The tag's flags.
    bool m_inTag = false;
    bool m_inName = false;
    bool m_inEndTag = false;
    bool m_attributePending = false; // an attribute's name has begun and it is not reported yet
    bool m_inAttributeName = false;
    bool m_hasEquals = false; // the pending attribute's "=" has come
    bool m_inValue = false;
    char m_quote = 0;
    std::size_t m_tagStart = 0;
    Piece m_elementName;
    Piece m_endTagName;
    Piece m_attributeName;
    Piece m_value;
    // The check's state: open elements as an end tag closes the innermost one, whatever its name.
    TagCheck m_check = TagCheck::Off;
    std::size_t m_checkFrom = 0; // bytes before it are the check's already
    std::size_t m_checkTag = 0;
    bool m_spaced = false;
    bool m_afterValue = false;
    std::size_t m_depth = 0;
    bool m_rootSeen = false;
    bool m_typeSeen = false;
    std::size_t m_typeStart = 0;
    std::size_t m_typeEnd = 0;
    bool m_noted = false;
    XmlSyntaxError m_error = XmlSyntaxError::None;
    std::size_t m_offset = 0;
    std::size_t m_control;
};

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
    static constexpr bool kEvents = true;
    CScanEvents(CXmlParser& parser, const char* text, std::size_t size, char* writable, bool checkUtf8)
        : m_parser(parser), m_text(text), m_size(size), m_writable(writable), m_utf8(checkUtf8)
    {
    }
    // The bytes up to a "<" were just scanned: they are checked while they are at hand. No
    // character of several bytes holds a "<", so the pieces hold whole characters.
    void Markup(std::size_t at)
    {
        CheckText(at);
    }
    void StartDocument()
    {
        m_parser.OnStartDocument();
    }
    void EndDocument(XmlSyntaxError error, std::size_t offset)
    {
        CheckText(m_size);
        m_parser.m_syntaxError = error;
        m_parser.m_syntaxOffset = offset;
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
    bool Utf8() const
    {
        return m_utf8;
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
    if (control == kUnknownControl)
        control = XmlDetail::FirstControl(text, 0, size);
    CReader<XmlDetail::CScanEvents> reader(text, size, control, events);
    reader.Run();
    if (utf8)
        *utf8 = events.Utf8();
    if (documentType)
        *documentType = reader.DocumentType();
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

XmlSyntaxError XmlDetail::ReadMarkup(const char* text, std::size_t size, std::size_t& offset) noexcept
{
    CNoEvents events;
    CReader<CNoEvents> reader(text, size, FirstControl(text, 0, size), events);
    reader.Run();
    offset = reader.Offset();
    return reader.Error();
}
