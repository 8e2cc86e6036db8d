// The writer: turns the tree back into bytes. It walks the tree with its own stack, so depth
// costs heap, not call stack, and writes each piece straight into a large buffer.
#include "Xml.h"
#include "XmlInternal.h"
#include "XmlText.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr std::size_t kWriteBufferSize = std::size_t(1) << 16;

// Collects the output in a large buffer and hands it on in big pieces: appended to a string, or
// written to a new file; for a UTF-16 file converted on the way.
class COutput
{
public:
    COutput(std::string& target, unsigned codePage, bool mark)
        : m_string(&target), m_buffer(new char[kWriteBufferSize])
    {
        Start(codePage, mark);
    }
    COutput(XmlDetail::CFileReplacement& file, unsigned codePage, bool mark)
        : m_file(&file), m_buffer(new char[kWriteBufferSize])
    {
        Start(codePage, mark);
    }
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    void Put(const char* data, std::size_t size)
    {
        if (size <= kWriteBufferSize - m_used)
        {
            std::memcpy(m_buffer.get() + m_used, data, size);
            m_used += size;
            return;
        }
        Flush();
        if (size < kWriteBufferSize)
        {
            std::memcpy(m_buffer.get(), data, size);
            m_used = size;
        }
        else
        {
            Deliver(data, size);
        }
    }
    void Put(const CXmlString& s)
    {
        Put(s.data(), s.size());
    }
    void Put(char c)
    {
        if (m_used == kWriteBufferSize)
            Flush();
        m_buffer[m_used++] = c;
    }

    // False when any write or conversion failed.
    bool Flush()
    {
        if (m_used != 0)
            Deliver(m_buffer.get(), m_used);
        m_used = 0;
        return m_ok;
    }

private:
    void Start(unsigned codePage, bool mark)
    {
        m_utf16 = IsUtf16(codePage);
        m_bigEndian = codePage == kCodePageUtf16BE;
        if (m_utf16 && mark)
            Send(m_bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
    }

    void Deliver(const char* data, std::size_t size)
    {
        if (!m_utf16)
        {
            Send(data, size);
            return;
        }
        // Put never splits a piece of the tree, so a delivery holds whole characters.
        if (Utf8ToUtf16Bytes(std::string_view(data, size), m_bigEndian, m_converted))
            Send(m_converted.data(), m_converted.size());
        else
            m_ok = false;
    }

    void Send(const char* data, std::size_t size)
    {
        if (m_string)
            m_string->append(data, size);
        else if (!m_file->Write(data, size))
            m_ok = false;
    }

    std::string* m_string = nullptr;
    XmlDetail::CFileReplacement* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    bool m_ok = true;
    bool m_utf16 = false;
    bool m_bigEndian = false;
    std::string m_converted;
};

constexpr char kQuotEntity[] = "&quot;";

// Values are mostly short: a plain loop beats a call for them.
bool Holds(const CXmlString& s, char c)
{
    constexpr std::size_t kShort = 32;
    if (s.size() > kShort)
        return std::memchr(s.data(), c, s.size()) != nullptr;
    for (char b : s)
    {
        if (b == c)
            return true;
    }
    return false;
}

// Double quotes, unless the value holds a double quote and no single quote; a value holding both
// has its double quotes written as references, the only way it can be read back whole.
template <class Output> void PutAttribute(Output& out, const CXmlAttribute& attribute)
{
    const CXmlString& value = attribute.m_value;
    const bool hasDouble = Holds(value, '"');
    const bool hasSingle = hasDouble && Holds(value, '\'');
    out.Put(' ');
    out.Put(attribute.m_name);
    if (attribute.m_bare && value.empty())
        return;
    if (!hasDouble)
    {
        out.Put("=\"", 2);
        out.Put(value);
        out.Put('"');
    }
    else if (!hasSingle)
    {
        out.Put("='", 2);
        out.Put(value);
        out.Put('\'');
    }
    else
    {
        out.Put("=\"", 2);
        const char* p = value.data();
        const char* end = p + value.size();
        while (p < end)
        {
            const void* hit = std::memchr(p, '"', static_cast<std::size_t>(end - p));
            const char* stop = hit ? static_cast<const char*>(hit) : end;
            out.Put(p, static_cast<std::size_t>(stop - p));
            if (stop == end)
                break;
            out.Put(kQuotEntity, sizeof kQuotEntity - 1);
            p = stop + 1;
        }
        out.Put('"');
    }
}

// Walks the tree with its own stack. A start tag's ">" waits until the element's first content
// byte: an element whose content writes nothing (no children, or only nameless elements that
// hold nothing) is written as an empty-element tag, which is how it reads back.
template <class Output> void WriteTree(Output& out, const CXmlNode& root)
{
    struct Frame
    {
        const CXmlNode* node;
        std::size_t next;
    };
    bool tagOpen = false;
    auto content = [&]() {
        if (tagOpen)
        {
            out.Put('>');
            tagOpen = false;
        }
    };
    // Writes what comes before a node's children; true when the node needs a frame.
    auto open = [&](const CXmlNode& node) {
        if (node.m_type == CXmlNode::NODE_TEXT)
        {
            if (!node.m_text.empty())
            {
                content();
                out.Put(node.m_text);
            }
            return false;
        }
        if (node.m_name.empty())
            return !node.m_children.empty();
        content();
        out.Put('<');
        out.Put(node.m_name);
        for (const auto& attribute : node.m_attributes)
            PutAttribute(out, *attribute);
        if (node.m_children.empty())
        {
            out.Put("/>", 2);
            return false;
        }
        tagOpen = true;
        return true;
    };
    auto close = [&](const CXmlNode& node) {
        if (node.m_type != CXmlNode::NODE_ELEMENT || node.m_name.empty())
            return;
        if (tagOpen)
        {
            out.Put("/>", 2);
            tagOpen = false;
            return;
        }
        out.Put("</", 2);
        out.Put(node.m_name);
        out.Put('>');
    };

    std::vector<Frame> stack;
    if (open(root))
        stack.push_back({&root, 0});
    while (!stack.empty())
    {
        Frame& top = stack.back();
        if (top.next < top.node->m_children.size())
        {
            const CXmlNode& child = *top.node->m_children[top.next++];
            if (open(child))
                stack.push_back({&child, 0});
        }
        else
        {
            close(*top.node);
            stack.pop_back();
        }
    }
}

} // namespace

std::string CXmlDocument::ToString() const
{
    // A loaded document writes about as many bytes as it read: reserving them spares the copies
    // of a growing string without a pass to count the bytes.
    std::string text;
    text.reserve(m_loadedSize);
    COutput out(text, m_fileCodePage, m_fileMark);
    WriteTree(out, m_root);
    if (!out.Flush())
        text.clear();
    return text;
}

// A failure at any step, running out of memory included, drops the new file: the replacement's
// destructor removes it while the exception passes.
bool CXmlDocument::Save(const char* path) const noexcept
{
    try
    {
        XmlDetail::CFileReplacement file;
        if (!file.Create(path))
            return false;
        COutput out(file, m_fileCodePage, m_fileMark);
        WriteTree(out, m_root);
        return out.Flush() && file.Commit();
    }
    catch (...)
    {
        return false;
    }
}
