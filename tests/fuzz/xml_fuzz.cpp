// Loads arbitrary bytes and checks: a failed load leaves the document empty; parsing in place (as a
// file is) and copying give the same events; the tree holds what the events said; and the bytes
// written read back to themselves, apart from the cases the writer's tests pin as no fixed point; a
// well-formed file, unchanged, is written as it was read, and so is one repeated past the writer's
// buffer. The well-formedness check takes the same bytes and places any error it finds within them.
#include "Xml.h"
#include "XmlText.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

namespace
{
void Require(bool condition)
{
    return condition ? void() : std::abort();
}

std::string Entry(char kind, std::size_t depth, const std::string& text)
{
    return kind + std::to_string(depth) + ':' + text + '\0';
}

class CRecordingDocument : public CXmlDocument
{
public:
    std::size_t m_size = 0; // of the parsed bytes
    std::string m_log;      // every event
    std::string m_nodes;    // start and text events with their depth
    std::multiset<std::string> m_attributes;
    std::size_t m_depth = 0;
    std::string m_lastText; // of the last event, when it was text

    void Finished() const
    {
        Require(!m_input && static_cast<std::size_t>(m_pos) == m_size);
    }

protected:
    void OnStartElement(const char* name) override
    {
        CXmlDocument::OnStartElement(name);
        m_nodes += Entry('S', m_depth++, Record('S', name));
    }
    void OnEndElement(const char* name) override
    {
        CXmlDocument::OnEndElement(name);
        Record('E', name);
        m_depth -= m_depth > 0 ? 1 : 0;
    }
    void OnAttribute(const char* name, const char* value) override
    {
        CXmlDocument::OnAttribute(name, value);
        m_attributes.insert(Record('A', std::string(name) + "=\"" + value));
    }
    void OnBareAttribute(const char* name) override
    {
        CXmlDocument::OnBareAttribute(name);
        m_attributes.insert(Record('A', name));
    }
    void OnText(const char* text) override
    {
        CXmlDocument::OnText(text);
        m_nodes += Entry('T', m_depth, Record('T', text));
        m_lastText = text;
    }

private:
    // During an event the parser's members name the input and a place in it.
    std::string Record(char kind, const std::string& text)
    {
        Require(m_input && m_pos >= 0 && static_cast<std::size_t>(m_pos) <= m_size);
        m_log += Entry(kind, 0, text);
        m_lastText.clear();
        return text;
    }
};

// Requires the tree to hold what the events said; true when the bytes written may read back
// differently, as the writer's tests pin.
bool CheckTree(const CRecordingDocument& document)
{
    std::string nodes;
    std::multiset<std::string> attributes;
    bool pinned = false;
    const CXmlNode* firstElement = nullptr;
    std::vector<std::pair<const CXmlNode*, std::size_t>> pending{
        {&document.m_root, 0}
    };
    while (!pending.empty())
    {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const auto& a : node->m_attributes)
        {
            attributes.insert(a->m_bare ? a->m_name.str() : a->m_name + "=\"" + a->m_value);
            // A value decoded exactly is written so that it decodes to the same text again.
            std::u16string text;
            std::u16string again;
            const unsigned codePage = document.TreeCodePage();
            Require(
                !DecodeXmlValueExactly(a->m_value, codePage, text) ||
                (DecodeXmlValueExactly(EncodeXmlValue(text, codePage), codePage, again) && again == text));
        }
        const bool text = node->m_type == CXmlNode::NODE_TEXT;
        if (node != &document.m_root)
            nodes += Entry(text ? 'T' : 'S', depth - 1, text ? node->m_text : node->m_name);
        firstElement = firstElement || text || node == &document.m_root ? firstElement : node;
        // Written back, a name that opens a declaration, an instruction or a "<%" block is data.
        pinned = pinned || (!text && !node->m_name.empty() && std::strchr("!?%", node->m_name[0]));
        for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child)
        {
            Require((*child)->m_parent == node);
            pending.push_back({child->get(), depth + 1});
        }
    }
    Require(firstElement == document.m_documentElement && nodes == document.m_nodes &&
            attributes == document.m_attributes);
    // Character data that ends inside unterminated markup swallows whatever is written after it.
    CXmlDocument probe;
    probe.Parse(document.m_lastText + "<z/>");
    const auto& children = probe.m_root.m_children;
    return pinned || (document.m_depth > 0 && !document.m_lastText.empty() &&
                      (children.size() != 2 || children[1]->m_name != "z"));
}
// A well-formed file is written back byte for byte while unchanged; with one value changed, it reads
// back as before apart from that value.
void CheckSourceKept(CRecordingDocument& document, const std::string& input)
{
    Require(document.ToString() == input);
    // The document element's first attribute: its event follows the element's start.
    CXmlNode* element = document.m_documentElement;
    if (!element || element->m_attributes.empty() || element->m_attributes.front()->m_bare)
        return;
    CXmlAttribute* changed = element->m_attributes.front().get();
    const std::string start = Entry('S', 0, element->m_name.str());
    std::size_t first = document.m_log.find(start);
    Require(first != std::string::npos);
    first += start.size();
    Require(document.m_log.compare(first, 3, "A0:") == 0);
    // The tree holds values as written between quotes, references and all; neither quote nor "<".
    const std::string value = "a&amp;b>\tc";
    std::string expected = document.m_log;
    const std::size_t end = expected.find('\0', first);
    expected.replace(first, end + 1 - first, Entry('A', 0, changed->m_name + "=\"" + value));
    changed->m_value = value;
    const std::string written = document.ToString();
    CRecordingDocument reread;
    reread.m_size = SIZE_MAX; // UTF-16 is parsed as longer UTF-8
    Require(reread.LoadBytes(written.data(), written.size()) && reread.Syntax().error == XmlSyntaxError::None);
    Require(reread.m_log == expected);
}

// The same past the writer's buffer: the input repeated (behind its byte-order mark) to a file longer
// than it, so that a change at the start is followed by a long stretch copied from the file.
void CheckLongSourceKept(const std::string& input, std::size_t markSize)
{
    constexpr std::size_t kPastWriteBuffer = (std::size_t(1) << 16) + 1;
    const std::string body = input.substr(markSize);
    if (body.empty())
        return;
    std::string repeated = input.substr(0, markSize);
    while (repeated.size() < kPastWriteBuffer)
        repeated += body;
    CRecordingDocument document;
    document.m_size = SIZE_MAX;
    if (document.LoadBytes(repeated.data(), repeated.size()) && document.Syntax().error == XmlSyntaxError::None)
        CheckSourceKept(document, repeated);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The bytes the tree is built from: UTF-16 is read as UTF-8.
    std::string bytes = input;
    const CXmlEncoding encoding = DetectEncoding(input);
    if (IsUtf16(encoding.codePage))
        Utf16BytesToUtf8(input.substr(encoding.byteOrderMark ? 2 : 0), IsUtf16BigEndian(encoding.codePage),
                         bytes);
    for (const bool utf8 : {true, false})
    {
        const CXmlSyntax syntax = CheckWellFormed(bytes.data(), bytes.size(), utf8);
        Require(syntax.error == XmlSyntaxError::None ||
                (syntax.offset <= bytes.size() && syntax.line >= 1 && syntax.column >= 1));
    }
    CRecordingDocument document;
    document.m_size = bytes.size();
    if (!document.LoadBytes(input.data(), input.size()))
    {
        Require(document.m_root.m_children.empty() && !document.m_documentElement && document.m_log.empty());
        return 0;
    }
    document.Finished();
    CRecordingDocument copied;
    copied.m_size = bytes.size();
    copied.Parse(bytes);
    copied.Finished();
    Require(copied.m_log == document.m_log);
    // Parsed, the same text gets the same report as loaded, which the whole-text check gives.
    const CXmlSyntax whole = CheckWellFormed(bytes.data(), bytes.size(), HeldAsUtf8(encoding.codePage));
    Require(document.Syntax().error == XmlSyntaxError::UnwritableEncoding ||
            (whole.error == document.Syntax().error && whole.offset == document.Syntax().offset &&
             whole.line == document.Syntax().line && whole.column == document.Syntax().column));
    Require(IsUtf16(encoding.codePage) || (copied.Syntax().error == document.Syntax().error &&
                                           copied.Syntax().offset == document.Syntax().offset));
    const bool pinned = CheckTree(document);
    if (document.Syntax().error == XmlSyntaxError::None)
    {
        CheckSourceKept(document, input);
        CheckLongSourceKept(input, IsUtf16(encoding.codePage) && encoding.byteOrderMark ? 2 : 0);
    }
    const std::string first = document.ToString();
    CXmlDocument reread;
    // Markup dropped from the start may leave a mark or a declaration there that tells another encoding.
    const CXmlEncoding again = DetectEncoding(first);
    const bool redeclared = again.codePage != encoding.codePage || again.declared != encoding.declared;
    Require(reread.LoadBytes(first.data(), first.size()) || redeclared);
    Require(reread.ToString() == first || pinned || redeclared);
    return 0;
}
