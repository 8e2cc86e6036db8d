// Loads arbitrary bytes and checks: a failed load leaves the document empty; a load, a ParseFile and
// a Parse of the same text fire the same events and build the same tree, which holds what the
// events said; and the bytes
// written read back to themselves, apart from the cases the writer's tests pin as no fixed point; a
// well-formed file, unchanged, is written as it was read, and so is one repeated past the writer's
// buffer. The well-formedness check takes the same bytes and places any error it finds within them.
#include "Xml.h"
#include "XmlText.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <unistd.h>

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
    std::string m_nodes;    // start and text events with their depth
    std::multiset<std::string> m_attributes;
    std::size_t m_depth = 0;
    std::string m_lastText; // of the last event, when it was text
    std::string m_events;   // every event with its arguments, in order

    void Finished() const
    {
        Require(!m_input && static_cast<std::size_t>(m_pos) == m_size);
    }

protected:
    void OnStartDocument() override
    {
        CXmlDocument::OnStartDocument();
        m_events += "<<";
    }
    void OnStartElement(const char* name) override
    {
        CXmlDocument::OnStartElement(name);
        m_nodes += Entry('S', m_depth++, Record(name));
        m_events += Entry('S', 0, name);
    }
    void OnEndElement(const char* name) override
    {
        CXmlDocument::OnEndElement(name);
        Record(name);
        m_depth -= m_depth > 0 ? 1 : 0;
        m_events += Entry('E', 0, name);
    }
    void OnAttribute(const char* name, const char* value) override
    {
        CXmlDocument::OnAttribute(name, value);
        m_attributes.insert(Record(std::string(name) + "=\"" + value));
        m_events += Entry('A', 0, std::string(name) + '=' + value);
    }
    void OnBareAttribute(const char* name) override
    {
        CXmlDocument::OnBareAttribute(name);
        m_attributes.insert(Record(name));
        m_events += Entry('B', 0, name);
    }
    void OnText(const char* text) override
    {
        CXmlDocument::OnText(text);
        m_nodes += Entry('T', m_depth, Record(text));
        m_lastText = text;
        m_events += Entry('T', 0, text);
    }
    void OnEndDocument() override
    {
        CXmlDocument::OnEndDocument();
        m_events += ">>";
    }

private:
    // During an event the parser's members name the input and a place in it.
    std::string Record(const std::string& text)
    {
        Require(m_input && m_pos >= 0 && static_cast<std::size_t>(m_pos) <= m_size);
        m_lastText.clear();
        return text;
    }
};

// The tree in document order: each node with its depth, each element followed by its attributes.
std::string TreeLog(const CXmlNode& root)
{
    std::string log;
    std::vector<std::pair<const CXmlNode*, std::size_t>> pending{
        {&root, 0}
    };
    while (!pending.empty())
    {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        log += Entry(node->m_type == CXmlNode::NODE_TEXT ? 'T' : 'S', depth,
                     node->m_type == CXmlNode::NODE_TEXT ? node->m_text.str() : node->m_name.str());
        for (const auto& a : node->m_attributes)
            log += Entry('A', 0, a->m_bare ? a->m_name.str() : a->m_name + "=\"" + a->m_value);
        for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child)
            pending.push_back({child->get(), depth + 1});
    }
    return log;
}

// Requires the tree to hold what the events said; true when the bytes written may read back
// differently, as the writer's tests pin.
bool CheckTree(const CXmlDocument& document, const CRecordingDocument& events)
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
    Require(firstElement == document.m_documentElement && nodes == events.m_nodes &&
            attributes == events.m_attributes);
    // Character data that ends inside unterminated markup swallows whatever is written after it.
    CXmlDocument probe;
    probe.Parse(events.m_lastText + "<z/>");
    const auto& children = probe.m_root.m_children;
    return pinned || (events.m_depth > 0 && !events.m_lastText.empty() &&
                      (children.size() != 2 || children[1]->m_name != "z"));
}
// A well-formed file is written back byte for byte while unchanged; with one value changed, it reads
// back as before apart from that value.
void CheckSourceKept(CXmlDocument& document, const std::string& input)
{
    Require(document.ToString() == input);
    CXmlNode* element = document.m_documentElement;
    if (!element || element->m_attributes.empty() || element->m_attributes.front()->m_bare)
        return;
    // The tree holds values as written between quotes, references and all; neither quote nor "<".
    element->m_attributes.front()->m_value = "a&amp;b>\tc";
    const std::string written = document.ToString();
    CXmlDocument reread;
    Require(reread.LoadBytes(written.data(), written.size()) && reread.Syntax().error == XmlSyntaxError::None);
    Require(TreeLog(reread.m_root) == TreeLog(document.m_root));
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
    CXmlDocument document;
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
        Require(document.m_root.m_children.empty() && !document.m_documentElement);
        return 0;
    }
    document.Finished();
    CRecordingDocument copied;
    copied.m_size = bytes.size();
    copied.Parse(bytes);
    copied.Finished();
    // The text as a file: ParseFile fires the events of the load and of the parse, and builds their tree.
    static const std::string path = "/tmp/xml_fuzz_" + std::to_string(getpid()) + ".xml";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    CRecordingDocument filed;
    filed.m_size = bytes.size();
    Require(filed.ParseFile(path.c_str()));
    filed.Finished();
    Require(document.m_events == copied.m_events && filed.m_events == copied.m_events);
    Require(TreeLog(copied.m_root) == TreeLog(document.m_root) && TreeLog(filed.m_root) == TreeLog(document.m_root));
    // Parsed, the same text gets the same report as loaded, which the whole-text check gives.
    const CXmlSyntax whole = CheckWellFormed(bytes.data(), bytes.size(), HeldAsUtf8(encoding.codePage));
    Require(document.Syntax().error == XmlSyntaxError::UnwritableEncoding ||
            (whole.error == document.Syntax().error && whole.offset == document.Syntax().offset &&
             whole.line == document.Syntax().line && whole.column == document.Syntax().column));
    Require(IsUtf16(encoding.codePage) || (copied.Syntax().error == document.Syntax().error &&
                                           copied.Syntax().offset == document.Syntax().offset));
    CheckTree(copied, copied);
    const bool pinned = CheckTree(document, copied);
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
