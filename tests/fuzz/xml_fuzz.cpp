// Reads arbitrary bytes into a document that records its events, and checks that
// - the events are the same whether the bytes are parsed in place, as a file is, or copied;
// - the tree holds what the events said: its elements and text in document order at the depth
//   the start and end events give, every attribute, and the first element as document element;
// - the bytes written read back to themselves, apart from the cases pinned as no fixed point in
//   the round-trip tests, which are recognised and let through.
#include "Xml.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

std::string Entry(char kind, std::size_t depth, const char* text)
{
    return kind + std::to_string(depth) + ':' + text + '\0';
}

class CRecordingDocument : public CXmlDocument
{
public:
    std::size_t m_size = 0;                // of the input, for the checks of m_pos
    std::string m_log;                     // every event, in order
    std::string m_nodes;                   // start and text events with their depth
    std::vector<std::string> m_attributes; // every attribute event
    std::size_t m_depth = 0;
    bool m_lastWasText = false;
    std::string m_lastText;

    // The parser's members during an event: the input, and a place in it.
    void CheckPosition() const
    {
        if (!m_input || m_pos < 0 || static_cast<std::size_t>(m_pos) > m_size)
            std::abort();
    }
    // After the parse: no input, and the place past its end.
    void CheckFinished() const
    {
        if (m_input || static_cast<std::size_t>(m_pos) != m_size)
            std::abort();
    }

protected:
    void OnEndDocument() override
    {
        CheckPosition();
        if (static_cast<std::size_t>(m_pos) != m_size)
            std::abort();
    }
    void OnStartElement(const char* name) override
    {
        CXmlDocument::OnStartElement(name);
        CheckPosition();
        m_log += Entry('S', 0, name);
        m_nodes += Entry('S', m_depth++, name);
        m_lastWasText = false;
    }
    void OnEndElement(const char* name) override
    {
        CXmlDocument::OnEndElement(name);
        CheckPosition();
        m_log += Entry('E', 0, name);
        if (m_depth > 0)
            --m_depth;
        m_lastWasText = false;
    }
    void OnAttribute(const char* name, const char* value) override
    {
        CXmlDocument::OnAttribute(name, value);
        CheckPosition();
        m_attributes.push_back(std::string(name) + "=\"" + value);
        m_log += Entry('A', 0, m_attributes.back().c_str());
        m_lastWasText = false;
    }
    void OnBareAttribute(const char* name) override
    {
        CXmlDocument::OnBareAttribute(name);
        CheckPosition();
        m_attributes.push_back(name);
        m_log += Entry('A', 0, name);
        m_lastWasText = false;
    }
    void OnText(const char* text) override
    {
        CXmlDocument::OnText(text);
        CheckPosition();
        m_log += Entry('T', 0, text);
        m_nodes += Entry('T', m_depth, text);
        m_lastWasText = true;
        m_lastText = text;
    }
};

// The tree's nodes as the recording notes them, and its attributes; false for a node in the
// wrong place.
bool Walk(const CXmlDocument& document, std::string& nodes, std::vector<std::string>& attributes)
{
    struct Frame
    {
        const CXmlNode* node;
        std::size_t depth;
    };
    const CXmlNode* firstElement = nullptr;
    std::vector<Frame> pending{
        {&document.m_root, 0}
    };
    while (!pending.empty())
    {
        const Frame frame = pending.back();
        pending.pop_back();
        const CXmlNode& node = *frame.node;
        for (const auto& attribute : node.m_attributes)
            attributes.push_back(attribute->m_bare ? attribute->m_name.str()
                                                   : attribute->m_name + "=\"" + attribute->m_value);
        if (&node != &document.m_root)
        {
            const bool text = node.m_type == CXmlNode::NODE_TEXT;
            nodes +=
                Entry(text ? 'T' : 'S', frame.depth - 1, text ? node.m_text.c_str() : node.m_name.c_str());
            if (!text && !firstElement)
                firstElement = &node;
        }
        for (auto child = node.m_children.rbegin(); child != node.m_children.rend(); ++child)
        {
            if ((*child)->m_parent != &node)
                return false;
            pending.push_back({child->get(), frame.depth + 1});
        }
    }
    return firstElement == document.m_documentElement;
}

// An element name that, written back, opens a declaration, an instruction or a "<%" block.
bool HasNameReadAsData(const CXmlNode& root)
{
    std::vector<const CXmlNode*> pending{&root};
    while (!pending.empty())
    {
        const CXmlNode* node = pending.back();
        pending.pop_back();
        const char first = node->m_name.empty() ? '\0' : node->m_name[0];
        if (node->m_type == CXmlNode::NODE_ELEMENT && (first == '!' || first == '?' || first == '%'))
            return true;
        for (const auto& child : node->m_children)
            pending.push_back(child.get());
    }
    return false;
}

// Character data that ends inside unterminated markup swallows whatever is written after it.
bool SwallowsWhatFollows(const std::string& text)
{
    CXmlDocument probe;
    probe.Parse(text + "<z/>");
    const auto& children = probe.m_root.m_children;
    return !(children.size() == 2 && children[1]->m_type == CXmlNode::NODE_ELEMENT &&
             children[1]->m_name == "z");
}

bool Pinned(const CRecordingDocument& document)
{
    if (HasNameReadAsData(document.m_root))
        return true;
    return document.m_depth > 0 && document.m_lastWasText && SwallowsWhatFollows(document.m_lastText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A file with a NUL is not read; what comes before one is still worth reading.
    const char* text = reinterpret_cast<const char*>(data);
    if (const void* nul = std::memchr(text, '\0', size))
        size = static_cast<std::size_t>(static_cast<const char*>(nul) - text);

    CRecordingDocument document;
    document.m_size = size;
    if (!document.LoadBytes(text, size))
        std::abort();
    document.CheckFinished();
    CRecordingDocument copied;
    copied.m_size = size;
    copied.Parse(text, size);
    copied.CheckFinished();
    if (copied.m_log != document.m_log)
        std::abort();

    std::string nodes;
    std::vector<std::string> attributes;
    if (!Walk(document, nodes, attributes) || nodes != document.m_nodes)
        std::abort();
    std::sort(attributes.begin(), attributes.end());
    std::vector<std::string> reported = document.m_attributes;
    std::sort(reported.begin(), reported.end());
    if (attributes != reported)
        std::abort();

    const std::string first = document.ToString();
    CXmlDocument reread;
    if (!reread.LoadBytes(first.data(), first.size()))
        std::abort();
    const std::string second = reread.ToString();
    if (second != first && !Pinned(document))
        std::abort();
    return 0;
}
