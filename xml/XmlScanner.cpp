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
// another there, otherwise a copy. A range is terminated in place when it is reported, on the
// byte after it, unless another piece took that byte (pieces of one tag can interleave).
struct Piece
{
    std::size_t start = 0;
    std::size_t end = 0;
    bool copied = false;
    bool nextTaken = false;
    std::string copy;

    bool InPlace() const
    {
        return !copied && !nextTaken && start != end;
    }

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
        nextTaken = false;
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
        nextTaken = other.nextTaken;
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
// StartTagEnd(pos, tag), Text(start, end, pos) and EndDocument; tag is the index of the "<" that
// opened the tag. Markup(at) comes first for each "<" found outside a tag, before anything there is
// changed.
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
    Piece* const pieces[] = {&elementName, &endTagName, &attributeName, &value};
    std::size_t textStart = 0;
    std::size_t tagStart = 0;
    bool startTag = false; // the tag being read started an element

    auto append = [&](Piece& target, std::size_t from, std::size_t to) {
        for (Piece* other : pieces)
        {
            if (other != &target && other->end == from && !other->copied)
                other->nextTaken = true;
        }
        target.Append(input, from, to);
    };

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
            startTag = false;
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
            startTag = false;
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
                startTag = true;
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
                startTag = true;
                sink.StartElement(elementName, i, tagStart);
            }
            endAttribute(i);
            if (startTag)
                sink.StartTagEnd(i, tagStart);
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
                startTag = true;
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

void CXmlParser::Scan(const char* text, std::size_t size, char* writable)
{
    // Hands the pieces to the virtual events as NUL-terminated strings: terminated in place when
    // the bytes are ours to change (the terminator always falls on a byte already scanned),
    // otherwise copied.
    class CEvents
    {
    public:
        CEvents(CXmlParser& parser, const char* text, std::size_t size, char* writable)
            : m_parser(parser), m_text(text), m_size(size), m_writable(writable), m_check(text, size)
        {
        }
        void Markup(std::size_t at)
        {
            m_check.Advance(at + 1);
        }
        void StartDocument()
        {
            m_parser.OnStartDocument();
        }
        void EndDocument()
        {
            m_check.Finish();
            m_parser.m_syntaxError = m_check.Error();
            m_parser.m_syntaxOffset = m_check.Offset();
            m_parser.m_pos = ClampPosition(m_size);
            m_parser.OnEndDocument();
        }
        void StartElement(const Piece& name, std::size_t pos, std::size_t tag)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.m_markupPos = ClampPosition(tag);
            m_parser.OnStartElement(Terminate(name, m_first));
        }
        void EndElement(const Piece& name, std::size_t pos, std::size_t tag)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.m_markupPos = ClampPosition(tag);
            m_parser.OnEndElement(Terminate(name, m_first));
        }
        void Attribute(const Piece& name, const Piece& value, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.m_markupPos = ClampPosition(name.start);
            const char* n = Terminate(name, m_first);
            m_parser.OnAttribute(n, Terminate(value, m_second));
        }
        void BareAttribute(const Piece& name, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.m_markupPos = ClampPosition(name.start);
            m_parser.OnBareAttribute(Terminate(name, m_first));
        }
        // What a tag's end tells is the document's own (BuildTree): no event reports it.
        void StartTagEnd(std::size_t /*pos*/, std::size_t /*tag*/)
        {
        }
        void Text(std::size_t start, std::size_t end, std::size_t pos)
        {
            m_parser.m_pos = ClampPosition(pos);
            m_parser.m_markupPos = ClampPosition(start);
            m_parser.OnText(Terminate(start, end, m_first));
        }

    private:
        const char* Terminate(std::size_t start, std::size_t end, std::string& scratch)
        {
            if (m_writable)
            {
                m_writable[end] = '\0';
                return m_writable + start;
            }
            scratch.assign(m_text + start, end - start);
            return scratch.c_str();
        }
        const char* Terminate(const Piece& piece, std::string& scratch)
        {
            if (piece.copied)
                return piece.copy.c_str();
            if (piece.start == piece.end)
                return "";
            if (!piece.InPlace())
            {
                scratch.assign(m_text + piece.start, piece.end - piece.start);
                return scratch.c_str();
            }
            return Terminate(piece.start, piece.end, scratch);
        }

        CXmlParser& m_parser;
        const char* m_text;
        std::size_t m_size;
        char* m_writable;
        std::string m_first;
        std::string m_second;
        XmlDetail::CChecker m_check;
    };

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
        }
    };

    m_input = text;
    m_inputSize = size;
    m_pos = m_markupPos = 0;
    m_syntaxError = XmlSyntaxError::None;
    m_syntaxOffset = 0;
    CParseScope scope{*this, size};
    CEvents events(*this, text, size, writable);
    RunScanner(text, size, events);
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
    Scan(text, length, nullptr);
    return true;
}

void CXmlParser::ParseInPlace(char* text, std::size_t size)
{
    Scan(text, size, text);
}

bool CXmlParser::ParseFile(const char* path)
{
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    XmlFileError error = XmlDetail::ReadWholeFile(path, bytes, size);
    const void* nul = error == XmlFileError::None ? std::memchr(bytes.get(), '\0', size) : nullptr;
    if (nul)
        error = XmlFileError::NotText;
    if (error != XmlFileError::None)
    {
        OnFileNotParsed(error, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.get()) : 0);
        return false;
    }
    ParseInPlace(bytes.get(), size);
    return true;
}

// A load builds the tree straight from the scan: the tree's strings refer to the bytes where they
// lie, which stay as they are, and with recordSource every node and attribute records where the
// file has it, for the writer.
std::string_view CXmlDocument::BuildTree(const char* text, std::size_t size, bool recordSource, bool& utf8,
                                         std::size_t& nul)
{
    class CBuilder
    {
    public:
        CBuilder(CXmlDocument& document, const char* text, std::size_t size, bool recordSource, bool checkUtf8)
            : m_document(document), m_text(text), m_size(size), m_record(recordSource), m_utf8(checkUtf8),
              m_nul(size), m_check(text, size)
        {
        }
        // The bytes up to a "<" were just scanned: they are checked while they are at hand. No
        // character of several bytes holds a "<", so the pieces hold whole characters.
        void Markup(std::size_t at)
        {
            m_check.Advance(at + 1);
            CheckText(at);
        }
        bool Utf8() const
        {
            return m_utf8;
        }
        std::size_t Nul() const
        {
            return m_nul;
        }
        void StartDocument()
        {
            m_current = &m_document.m_root;
            m_document.m_documentElement = nullptr;
        }
        void EndDocument()
        {
            CheckText(m_size);
            Flush();
            for (CXmlNode* open = m_current; open; open = open->m_parent)
                Fit(open->m_children);
            m_check.Finish();
            m_document.m_syntaxError = m_check.Error();
            m_document.m_syntaxOffset = m_check.Offset();
        }
        std::string_view DocumentType() const
        {
            return m_check.DocumentTypeText();
        }
        void StartElement(const Piece& name, std::size_t /*pos*/, std::size_t tag)
        {
            Flush();
            CXmlNode& parent = *m_current;
            auto node = std::make_unique<CXmlNode>();
            Store(node->m_name, name);
            node->m_source = Offset(tag);
            node->m_parent = &parent;
            parent.m_children.push_back(std::move(node));
            m_current = parent.m_children.back().get();
            if (!m_document.m_documentElement)
                m_document.m_documentElement = m_current;
        }
        // Any end tag closes the innermost open element; one that finds none open is ignored. An
        // empty-element tag ends where it began; another end tag is the element's own.
        void EndElement(const Piece& /*name*/, std::size_t /*pos*/, std::size_t tag)
        {
            Flush();
            if (m_current == &m_document.m_root || !m_current->m_parent)
                return;
            Fit(m_current->m_children);
            const std::uint32_t at = Offset(tag);
            if (at != m_current->m_source)
                m_current->m_sourceEnd = at;
            m_current = m_current->m_parent;
        }
        // pos is the value's closing quote.
        void Attribute(const Piece& name, const Piece& value, std::size_t pos)
        {
            CXmlAttribute& attribute = Add(name);
            Store(attribute.m_value, value);
            const std::size_t valueAt = pos - attribute.m_value.size();
            if (attribute.m_source != kXmlNoSource && valueAt > attribute.m_source &&
                valueAt - attribute.m_source < CXmlAttribute::kNoValueOffset)
            {
                attribute.m_quote = m_text[pos];
                attribute.m_valueOffset = static_cast<std::uint16_t>(valueAt - attribute.m_source);
            }
        }
        void BareAttribute(const Piece& name, std::size_t /*pos*/)
        {
            Add(name).m_bare = true;
        }
        // The tag's element is the current one, or, for an empty-element tag, the last it closed.
        void StartTagEnd(std::size_t pos, std::size_t tag)
        {
            Flush();
            const std::uint32_t at = Offset(tag);
            CXmlNode* node = m_current;
            if (node->m_source != at && !node->m_children.empty())
                node = node->m_children.back().get();
            if (at != kXmlNoSource && node->m_source == at && node->m_type == CXmlNode::NODE_ELEMENT)
                node->m_sourceTagEnd = Offset(pos);
        }
        void Text(std::size_t start, std::size_t end, std::size_t /*pos*/)
        {
            Flush();
            auto node = std::make_unique<CXmlNode>();
            node->m_type = CXmlNode::NODE_TEXT;
            node->m_text.Borrow(m_text + start, end - start);
            node->m_source = Offset(start);
            node->m_parent = m_current;
            m_current->m_children.push_back(std::move(node));
        }

    private:
        void CheckText(std::size_t to)
        {
            if (to <= m_checked || m_nul != m_size)
                return;
            const std::size_t size = to - m_checked;
            const void* nul = std::memchr(m_text + m_checked, '\0', size);
            if (nul)
                m_nul = static_cast<std::size_t>(static_cast<const char*>(nul) - m_text);
            else if (m_utf8)
                m_utf8 = IsValidUtf8(std::string_view(m_text + m_checked, size));
            m_checked = to;
        }
        std::uint32_t Offset(std::size_t at) const
        {
            return m_record && at < kXmlNoSource ? static_cast<std::uint32_t>(at) : kXmlNoSource;
        }
        // A name or value whose pieces lay apart in the file is a string of its own.
        void Store(CXmlString& target, const Piece& piece)
        {
            if (piece.copied)
                target.Assign(piece.copy.data(), piece.copy.size());
            else
                target.Borrow(m_text + piece.start, piece.end - piece.start);
        }
        // A tag's attributes wait until the tag is read, and then go into an array of their size.
        CXmlAttribute& Add(const Piece& name)
        {
            if (m_pendingNode != m_current)
                Flush();
            m_pendingNode = m_current;
            auto attribute = std::make_unique<CXmlAttribute>();
            Store(attribute->m_name, name);
            attribute->m_source = Offset(name.start);
            m_pending.push_back(std::move(attribute));
            return *m_pending.back();
        }
        void Flush()
        {
            if (m_pending.empty())
                return;
            auto& attributes = m_pendingNode->m_attributes;
            attributes.reserve(attributes.size() + m_pending.size());
            for (auto& attribute : m_pending)
                attributes.push_back(std::move(attribute));
            m_pending.clear();
        }
        // Children arrive one by one into room that doubles; a closed element's array gives up
        // the room it does not use, unless that is too little to be worth a copy.
        static void Fit(CXmlArray<CXmlNode>& children)
        {
            constexpr std::size_t kSmallArray = 16;
            const std::size_t spare = children.capacity() - children.size();
            if (spare != 0 && (children.capacity() <= kSmallArray || spare > children.capacity() / 8))
                children.shrink_to_fit();
        }

        CXmlDocument& m_document;
        const char* m_text;
        std::size_t m_size;
        bool m_record;
        bool m_utf8;
        std::size_t m_nul;
        std::size_t m_checked = 0;
        CXmlNode* m_current = nullptr;
        XmlDetail::CChecker m_check;
        std::vector<std::unique_ptr<CXmlAttribute>> m_pending;
        CXmlNode* m_pendingNode = nullptr;
    };

    m_syntaxError = XmlSyntaxError::None;
    m_syntaxOffset = 0;
    CBuilder builder(*this, text, size, recordSource, utf8);
    RunScanner(text, size, builder);
    m_pos = m_markupPos = ClampPosition(size);
    utf8 = builder.Utf8();
    nul = builder.Nul();
    return builder.DocumentType();
}
