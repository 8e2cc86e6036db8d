// Reads arbitrary bytes into a document that records its events, and checks that
// - a load that fails leaves the document empty;
// - the events are the same whether the bytes are parsed in place, as a file is, or copied;
// - the tree holds what the events said: elements and text in document order at the depth the
//   events give, every attribute, and the first element as document element;
// - the bytes written read back to themselves, apart from the cases pinned as no fixed point in
//   the round-trip tests, which are recognised and let through.
#include "Xml.h"
#include "XmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string Entry(char kind, std::size_t depth, const char* text)
{
    return kind + std::to_string(depth) + ':' + text + '\0';
}

class CRecordingDocument : public CXmlDocument
{
public:
    std::size_t m_size = 0;                // of the parsed bytes, for the checks of m_pos
    std::string m_log;                     // every event, in order
    std::string m_nodes;                   // start and text events with their depth
    std::vector<std::string> m_attributes; // every attribute event
    std::size_t m_depth = 0;
    std::string m_lastText; // the last event's text, if it was text

    void Finished() const
    {
        Require(!m_input && static_cast<std::size_t>(m_pos) == m_size);
    }

protected:
    void OnEndDocument() override
    {
        Require(m_input && static_cast<std::size_t>(m_pos) == m_size);
    }
    void OnStartElement(const char* name) override
    {
        CXmlDocument::OnStartElement(name);
        Record('S', name);
        m_nodes += Entry('S', m_depth++, name);
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
        m_attributes.push_back(std::string(name) + "=\"" + value);
        Record('A', m_attributes.back().c_str());
    }
    void OnBareAttribute(const char* name) override
    {
        CXmlDocument::OnBareAttribute(name);
        m_attributes.push_back(name);
        Record('A', name);
    }
    void OnText(const char* text) override
    {
        CXmlDocument::OnText(text);
        Record('T', text);
        m_nodes += Entry('T', m_depth, text);
        m_lastText = text;
    }

private:
    // During an event the parser's members name the input and a place in it.
    void Record(char kind, const char* text)
    {
        Require(m_input && m_pos >= 0 && static_cast<std::size_t>(m_pos) <= m_size);
        m_log += Entry(kind, 0, text);
        m_lastText.clear();
    }
};

// The tree as the recording notes it, and its attributes; false for a node in the wrong place.
bool Walk(const CXmlDocument& document, std::string& nodes, std::vector<std::string>& attributes)
{
    const CXmlNode* firstElement = nullptr;
    std::vector<std::pair<const CXmlNode*, std::size_t>> pending{
        {&document.m_root, 0}
    };
    while (!pending.empty())
    {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const auto& a : node->m_attributes)
            attributes.push_back(a->m_bare ? a->m_name.str() : a->m_name + "=\"" + a->m_value);
        if (node != &document.m_root)
        {
            const bool text = node->m_type == CXmlNode::NODE_TEXT;
            nodes += Entry(text ? 'T' : 'S', depth - 1, text ? node->m_text.c_str() : node->m_name.c_str());
            firstElement = firstElement || text ? firstElement : node;
        }
        for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child)
        {
            if ((*child)->m_parent != node)
                return false;
            pending.push_back({child->get(), depth + 1});
        }
    }
    return firstElement == document.m_documentElement;
}

// Written back, an element name that opens a declaration, an instruction or a "<%" block reads as
// character data; and character data that ends inside unterminated markup swallows what follows.
bool Pinned(const CRecordingDocument& document)
{
    std::vector<const CXmlNode*> pending{&document.m_root};
    while (!pending.empty())
    {
        const CXmlNode* node = pending.back();
        pending.pop_back();
        if (node->m_type == CXmlNode::NODE_ELEMENT && !node->m_name.empty() &&
            std::string("!?%").find(node->m_name[0]) != std::string::npos)
            return true;
        for (const auto& child : node->m_children)
            pending.push_back(child.get());
    }
    if (document.m_depth == 0 || document.m_lastText.empty())
        return false;
    CXmlDocument probe;
    probe.Parse(document.m_lastText + "<z/>");
    const auto& children = probe.m_root.m_children;
    return children.size() != 2 || children[1]->m_name != "z";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    CRecordingDocument document;
    // The bytes the tree is built from: UTF-16 is read as UTF-8.
    std::string bytes = input;
    const CXmlEncoding encoding = DetectEncoding(input);
    if (encoding.codePage == kCodePageUtf16LE || encoding.codePage == kCodePageUtf16BE)
        Utf16BytesToUtf8(input.substr(encoding.byteOrderMark ? 2 : 0), encoding.codePage == kCodePageUtf16BE,
                         bytes);
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

    std::string nodes;
    std::vector<std::string> attributes;
    Require(Walk(document, nodes, attributes) && nodes == document.m_nodes);
    std::sort(attributes.begin(), attributes.end());
    std::sort(document.m_attributes.begin(), document.m_attributes.end());
    Require(attributes == document.m_attributes);

    const std::string first = document.ToString();
    CXmlDocument reread;
    Require(reread.LoadBytes(first.data(), first.size()));
    Require(reread.ToString() == first || Pinned(document));
    return 0;
}
