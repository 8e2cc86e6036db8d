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

// Collects the output in a large buffer and appends it to a string in big pieces; for a UTF-16
// file converted on the way.
class COutput
{
public:
    COutput(std::string& target, unsigned codePage, bool mark)
        : m_string(&target), m_buffer(new char[kWriteBufferSize])
    {
        m_utf16 = IsUtf16(codePage);
        m_bigEndian = IsUtf16BigEndian(codePage);
        if (m_utf16 && mark)
            m_string->append(m_bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
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

    // False when a conversion failed.
    bool Flush()
    {
        if (m_used != 0)
            Deliver(m_buffer.get(), m_used);
        m_used = 0;
        return m_ok;
    }

private:
    void Deliver(const char* data, std::size_t size)
    {
        if (!m_utf16)
        {
            m_string->append(data, size);
            return;
        }
        // Pieces end at markup or at the end of a string of the tree, so a delivery holds whole
        // characters.
        if (Utf8ToUtf16Bytes(std::string_view(data, size), m_bigEndian, m_converted))
            m_string->append(m_converted);
        else
            m_ok = false;
    }

    std::string* m_string;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    bool m_ok = true;
    bool m_utf16 = false;
    bool m_bigEndian = false;
    std::string m_converted;
};

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

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An attribute of a start tag as the file has it.
struct CSourceAttribute
{
    std::size_t name;     // first byte of the name
    std::size_t nameEnd;
    std::size_t value;    // first byte of the value; nameEnd for an attribute without one
    std::size_t valueEnd; // the closing quote
    char quote;           // 0 without a value
    bool unchanged;       // the tree's value is the file's
};

// Walks the tree with its own stack. A start tag's ">" waits until the element's first content
// byte: an element whose content writes nothing (no children, or only nameless elements that
// hold nothing) is written as an empty-element tag, which is how it reads back.
//
// Given the bytes the tree was read from, an element read from them is written as the file had
// it: its tags are copied, and only the values that differ from the file's, and attributes added
// since, are written anew. Runs of copied bytes are handed on whole, so an unchanged tree is one
// copy of its file.
template <class Output> class CTreeWriter
{
public:
    // source: the bytes the tree was read from, which its strings borrow from.
    CTreeWriter(Output& out, std::string_view source) : m_out(out), m_source(source)
    {
    }

    void Write(const CXmlNode& root)
    {
        struct Frame
        {
            const CXmlNode* node;
            std::size_t next;
            bool copied; // its start tag came from the source
        };
        std::vector<Frame> stack;
        bool copied = false;
        if (Open(root, copied))
            stack.push_back({&root, 0, copied});
        while (!stack.empty())
        {
            Frame& top = stack.back();
            if (top.next < top.node->m_children.size())
            {
                const CXmlNode& child = *top.node->m_children[top.next++];
                if (Open(child, copied))
                    stack.push_back({&child, 0, copied});
            }
            else
            {
                Close(*top.node, top.copied);
                stack.pop_back();
            }
        }
        Flush();
    }

private:
    // Writes what comes before a node's children; true when the node needs a frame.
    bool Open(const CXmlNode& node, bool& copied)
    {
        copied = false;
        if (node.m_type == CXmlNode::NODE_TEXT)
        {
            if (!node.m_text.empty())
            {
                Content();
                if (!CopiedText(node))
                    Put(node.m_text.data(), node.m_text.size());
            }
            return false;
        }
        if (node.m_name.empty())
            return !node.m_children.empty();
        Content();
        bool emptyTag = false;
        if (CopiedStartTag(node, emptyTag))
        {
            copied = true;
            return !emptyTag;
        }
        Put('<');
        Put(node.m_name.data(), node.m_name.size());
        for (const auto& attribute : node.m_attributes)
            PutAttribute(*attribute);
        if (node.m_children.empty())
        {
            Put("/>", 2);
            return false;
        }
        m_tagOpen = true;
        return true;
    }

    void Close(const CXmlNode& node, bool copied)
    {
        if (node.m_type != CXmlNode::NODE_ELEMENT || node.m_name.empty())
            return;
        if (m_tagOpen)
        {
            Put("/>", 2);
            m_tagOpen = false;
            return;
        }
        if (copied && CopiedEndTag(node))
            return;
        Put("</", 2);
        Put(node.m_name.data(), node.m_name.size());
        Put('>');
    }

    void Content()
    {
        if (m_tagOpen)
        {
            Put('>');
            m_tagOpen = false;
        }
    }

    bool HasSource(std::uint32_t offset) const
    {
        return offset != kXmlNoSource && offset < m_source.size();
    }

    // A string still borrowed from where it was read holds the file's bytes without comparing them.
    bool SourceHolds(std::size_t at, const CXmlString& bytes) const
    {
        if (!m_source.empty() && bytes.data() == m_source.data() + at)
            return true;
        return at <= m_source.size() && bytes.size() <= m_source.size() - at &&
               std::memcmp(m_source.data() + at, bytes.data(), bytes.size()) == 0;
    }

    bool CopiedText(const CXmlNode& node)
    {
        if (!HasSource(node.m_source) || !SourceHolds(node.m_source, node.m_text))
            return false;
        Copy(node.m_source, node.m_source + node.m_text.size());
        return true;
    }

    // Bytes from..to that are all blanks.
    bool Blanks(std::size_t from, std::size_t to) const
    {
        for (; from < to; ++from)
        {
            if (!IsBlank(m_source[from]))
                return false;
        }
        return true;
    }

    std::size_t SkipBlanks(std::size_t at) const
    {
        while (at < m_source.size() && IsBlank(m_source[at]))
            ++at;
        return at;
    }

    // Where the file has each attribute the node's start tag was read with, as the load recorded
    // them. False unless the tag holds exactly those attributes, in the tree's order, each with its
    // name as the tree has it, separated by blanks alone, "=" and blanks before each value, and
    // then blanks and its ">" or "/>", which end the tag as they ended it when it was read.
    bool LocateStartTag(const CXmlNode& node, std::size_t& nameEnd, std::size_t& end, bool& emptyTag)
    {
        if (m_source[node.m_source] != '<' || !SourceHolds(node.m_source + 1, node.m_name))
            return false;
        nameEnd = node.m_source + 1 + node.m_name.size();
        const std::size_t bodyEnd = m_source.size();
        std::size_t at = nameEnd;
        m_tag.clear();
        for (const auto& attribute : node.m_attributes)
        {
            if (attribute->m_source == kXmlNoSource)
                break;
            CSourceAttribute read{attribute->m_source, attribute->m_source + attribute->m_name.size(), 0, 0, 0,
                                  true};
            if (read.name < at || read.name == nameEnd || read.nameEnd > bodyEnd || !Blanks(at, read.name) ||
                !SourceHolds(read.name, attribute->m_name))
                return false;
            read.value = read.valueEnd = at = read.nameEnd;
            if (attribute->m_quote != 0)
            {
                read.value = read.name + attribute->m_valueOffset;
                read.quote = attribute->m_quote;
                if (attribute->m_valueOffset == CXmlAttribute::kNoValueOffset || read.value > bodyEnd ||
                    read.value <= at || m_source[read.value - 1] != read.quote)
                    return false;
                const std::size_t equals = SkipBlanks(at);
                if (equals >= bodyEnd || m_source[equals] != '=' || !Blanks(equals + 1, read.value - 1))
                    return false;
                const CXmlString& value = attribute->m_value;
                if (value.data() == m_source.data() + read.value)
                {
                    read.valueEnd = read.value + value.size();
                }
                else
                {
                    const void* quote = std::memchr(m_source.data() + read.value, read.quote, bodyEnd - read.value);
                    if (!quote)
                        return false;
                    read.valueEnd = static_cast<std::size_t>(static_cast<const char*>(quote) - m_source.data());
                    read.unchanged = read.valueEnd - read.value == value.size() && SourceHolds(read.value, value);
                }
                at = read.valueEnd + 1;
            }
            m_tag.push_back(read);
        }
        const std::size_t close = SkipBlanks(at);
        emptyTag = close + 1 < bodyEnd && m_source[close] == '/' && m_source[close + 1] == '>';
        end = close + (emptyTag ? 2 : 1);
        return close < bodyEnd && (emptyTag || m_source[close] == '>');
    }

    bool CopiedStartTag(const CXmlNode& node, bool& emptyTag)
    {
        std::size_t nameEnd = 0;
        std::size_t end = 0;
        if (!HasSource(node.m_source) || !LocateStartTag(node, nameEnd, end, emptyTag))
            return false;
        if (emptyTag && !node.m_children.empty())
            return false;
        // The tree's attributes read from this tag come first; those added since come after them.
        const std::size_t matched = m_tag.size();
        for (std::size_t i = matched; i < node.m_attributes.size(); ++i)
        {
            if (node.m_attributes[i]->m_source != kXmlNoSource)
                return false;
        }

        std::size_t from = node.m_source;
        for (std::size_t i = 0; i < matched; ++i)
        {
            const CSourceAttribute& read = m_tag[i];
            const CXmlAttribute& attribute = *node.m_attributes[i];
            const CXmlString& value = attribute.m_value;
            if (read.quote == 0)
            {
                if (value.empty())
                    continue;
                Copy(from, read.nameEnd);
                Put("=\"", 2);
                PutValue(value, '"');
                Put('"');
                from = read.nameEnd;
            }
            else if (!read.unchanged)
            {
                Copy(from, read.value);
                PutValue(value, read.quote);
                from = read.valueEnd;
            }
        }
        const std::size_t insertAt = m_tag.empty() ? nameEnd
                                     : m_tag.back().quote ? m_tag.back().valueEnd + 1
                                                          : m_tag.back().nameEnd;
        Copy(from, insertAt);
        for (std::size_t i = matched; i < node.m_attributes.size(); ++i)
            PutAttribute(*node.m_attributes[i]);
        Copy(insertAt, end);
        return true;
    }

    // The end tag as the file has it, whatever name it gives: it closed the element all the same.
    bool CopiedEndTag(const CXmlNode& node)
    {
        if (!HasSource(node.m_sourceEnd))
            return false;
        const std::size_t size = m_source.size();
        std::size_t at = node.m_sourceEnd;
        if (at + 2 > size || m_source[at + 1] != '/')
            return false;
        at += 2;
        while (at < size && !IsBlank(m_source[at]) && m_source[at] != '>' && m_source[at] != '<')
            ++at;
        while (at < size && IsBlank(m_source[at]))
            ++at;
        if (at >= size || m_source[at] != '>')
            return false;
        Copy(node.m_sourceEnd, at + 1);
        return true;
    }

    // A value between the file's quotes: the quote and "<" escaped, the rest as the tree holds it.
    void PutValue(const CXmlString& value, char quote)
    {
        const char* run = value.data();
        for (const char& c : value)
        {
            const char* entity = c == quote ? (quote == '"' ? "&quot;" : "&apos;") : c == '<' ? "&lt;" : nullptr;
            if (!entity)
                continue;
            Put(run, static_cast<std::size_t>(&c - run));
            Put(entity, std::strlen(entity));
            run = &c + 1;
        }
        Put(run, static_cast<std::size_t>(value.end() - run));
    }

    // Double quotes, unless the value holds a double quote and no single quote; a value holding both
    // has its double quotes written as references, the only way it can be read back whole.
    void PutAttribute(const CXmlAttribute& attribute)
    {
        const CXmlString& value = attribute.m_value;
        const bool hasDouble = Holds(value, '"');
        const bool hasSingle = hasDouble && Holds(value, '\'');
        Put(' ');
        Put(attribute.m_name.data(), attribute.m_name.size());
        if (attribute.m_bare && value.empty())
            return;
        if (!hasDouble)
        {
            Put("=\"", 2);
            Put(value.data(), value.size());
            Put('"');
        }
        else if (!hasSingle)
        {
            Put("='", 2);
            Put(value.data(), value.size());
            Put('\'');
        }
        else
        {
            Put("=\"", 2);
            PutValue(value, '"');
            Put('"');
        }
    }

    // Source bytes wait in a run that grows while what is copied follows on, up to a length that
    // the walk has just read, so that they are copied while they are still at hand.
    void Copy(std::size_t from, std::size_t to)
    {
        if (from == to)
            return;
        if (m_runEnd != from || m_runStart == m_runEnd)
        {
            Flush();
            m_runStart = from;
        }
        m_runEnd = to;
        constexpr std::size_t kRunInCache = std::size_t(1) << 18;
        if (m_runEnd - m_runStart >= kRunInCache)
            Flush();
    }
    void Flush()
    {
        if (m_runStart != m_runEnd)
            m_out.Put(m_source.data() + m_runStart, m_runEnd - m_runStart);
        m_runStart = m_runEnd = 0;
    }
    void Put(const char* data, std::size_t size)
    {
        Flush();
        m_out.Put(data, size);
    }
    void Put(char c)
    {
        Flush();
        m_out.Put(c);
    }

    Output& m_out;
    std::string_view m_source;
    std::vector<CSourceAttribute> m_tag;
    std::size_t m_runStart = 0;
    std::size_t m_runEnd = 0;
    bool m_tagOpen = false;
};

// None when the file at path holds exactly bytes, Changed when it holds others, else why it could
// not be read.
XmlFileError CompareFile(const char* path, std::string_view bytes)
{
    std::unique_ptr<char[]> onDisk;
    std::size_t size = 0;
    const XmlFileError error = XmlDetail::ReadWholeFile(path, onDisk, size);
    if (error != XmlFileError::None)
        return error;
    return size == bytes.size() && std::memcmp(onDisk.get(), bytes.data(), size) == 0 ? XmlFileError::None
                                                                                     : XmlFileError::Changed;
}
} // namespace

std::string CXmlDocument::ToString() const
{
    // A loaded document writes about as many bytes as it read: reserving them spares the copies
    // of a growing string without a pass to count the bytes.
    std::string text;
    text.reserve(m_loadedSize);
    COutput out(text, m_fileCodePage, m_fileMark);
    CTreeWriter<COutput> writer(out, m_source);
    writer.Write(m_root);
    if (!out.Flush())
        text.clear();
    return text;
}

XmlFileError CXmlDiskState::Read(const char* path)
{
    std::unique_ptr<char[]> onDisk;
    std::size_t size = 0;
    const XmlFileError error = XmlDetail::ReadWholeFile(path, onDisk, size);
    exists = error != XmlFileError::NotFound;
    bytes.clear();
    if (error == XmlFileError::None)
        bytes.assign(onDisk.get(), size);
    return error == XmlFileError::NotFound ? XmlFileError::None : error;
}

namespace
{
// None when the file at path is in the state given; Changed or NotFound when it is not.
XmlFileError CompareState(const char* path, bool exists, std::string_view bytes)
{
    const XmlFileError error = CompareFile(path, bytes);
    if (error == XmlFileError::NotFound)
        return exists ? XmlFileError::NotFound : XmlFileError::None;
    if (!exists && (error == XmlFileError::None || error == XmlFileError::Changed))
        return XmlFileError::Changed;
    return error;
}
} // namespace

// The file the document was read from or last written to is replaced only while it holds those
// bytes; a file at any other path is the caller's to replace, whatever it holds.
XmlFileError CXmlDocument::CheckReplaceable(const char* path, const CXmlDiskState* replacing) const
{
    if (replacing)
        return CompareState(path, replacing->exists, replacing->bytes);
    return IsOwnFile(path) ? CompareState(path, true, FileBytes()) : XmlFileError::None;
}

bool CXmlDocument::IsOwnFile(const char* path) const noexcept
{
    return path && !m_filePath.empty() && m_filePath == path;
}

CXmlPendingSave::CXmlPendingSave() noexcept = default;

CXmlPendingSave::~CXmlPendingSave()
{
    Discard();
}

void CXmlPendingSave::Discard() noexcept
{
    if (m_committed)
    {
        Complete();
        return;
    }
    if (m_file)
        m_file->Discard();
    m_file.reset();
    m_document = nullptr;
    std::string().swap(m_bytes);
    m_expected = CXmlDiskState();
}

XmlFileError CXmlPendingSave::Commit() noexcept
{
    if (!m_file || m_committed)
        return XmlFileError::None;
    XmlFileError error = XmlFileError::Failed;
    try
    {
        error = m_expectDocument ? m_document->CheckReplaceable(m_path.c_str(), nullptr)
                                 : CompareState(m_path.c_str(), m_expected.exists, m_expected.bytes);
    }
    catch (...)
    {
    }
    if (error == XmlFileError::None)
        error = m_file->Commit();
    if (error != XmlFileError::None)
    {
        Discard();
        return error;
    }
    // A write by another program between the check and the rename landed in what is now the
    // previous version: that version goes back, so the other program's work is not lost.
    if (!m_file->Backup().empty() && (!m_expectDocument || m_document->IsOwnFile(m_path.c_str())))
    {
        XmlFileError previous = XmlFileError::Failed;
        try
        {
            const std::string backup = XmlDetail::Utf8Path(m_file->Backup());
            previous = m_expectDocument ? CompareFile(backup.c_str(), m_document->FileBytes())
                                        : CompareState(backup.c_str(), m_expected.exists, m_expected.bytes);
        }
        catch (...)
        {
        }
        if (previous != XmlFileError::None)
        {
            const XmlFileError undone = m_file->Rollback();
            if (m_file->Kept().empty())
                m_file.reset();
            return undone == XmlFileError::None ? XmlFileError::Changed : undone;
        }
    }
    m_committed = true;
    m_previousIsSource = m_document->m_fileIsSource;
    m_document->m_fileBytes.swap(m_bytes);
    m_document->m_fileIsSource = false;
    m_previousPath.swap(m_document->m_filePath);
    m_document->m_filePath.swap(m_path);
    return XmlFileError::None;
}

XmlFileError CXmlPendingSave::Rollback() noexcept
{
    if (!m_committed)
        return XmlFileError::None;
    const XmlFileError error = m_file->Rollback();
    m_document->m_fileBytes.swap(m_bytes);
    m_document->m_fileIsSource = m_previousIsSource;
    m_document->m_filePath.swap(m_previousPath);
    m_committed = false;
    std::string().swap(m_bytes);
    // A previous version that could not be put back stays with the replacement, which keeps it.
    if (m_file->Kept().empty())
        m_file.reset();
    return error;
}

void CXmlPendingSave::Complete() noexcept
{
    if (m_file)
        m_file->Complete();
    m_file.reset();
    m_committed = false;
    m_document = nullptr;
    std::string().swap(m_bytes);
}

std::string CXmlPendingSave::KeptPath() const
{
    if (!m_file)
        return std::string();
    const XmlDetail::PathString& kept = m_file->Kept();
#ifdef _WIN32
    std::string utf8;
    Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(kept.data()), kept.size()), utf8);
    return utf8;
#else
    return kept;
#endif
}

// A failure at any step, running out of memory included, drops the new file: the replacement's
// destructor removes it while the exception passes.
XmlFileError CXmlDocument::PrepareSave(const char* path, CXmlPendingSave& save, const CXmlDiskState* replacing,
                                       const CXmlSaveNames* names) noexcept
{
    save.Discard();
    try
    {
        std::string bytes = ToString();
        if (bytes.empty() && !(m_root.m_children.empty() && m_root.m_attributes.empty()))
            return XmlFileError::Failed; // bytes the file's encoding cannot take
        if (path && *path && CompareFile(path, bytes) == XmlFileError::None)
        {
            std::string filePath(path);
            m_fileBytes.swap(bytes);
            m_fileIsSource = false;
            m_filePath.swap(filePath);
            return XmlFileError::None;
        }
        auto file = std::make_unique<XmlDetail::CFileReplacement>();
        XmlFileError error =
            names ? file->Create(path, names->temp.c_str(), names->backup.c_str()) : file->Create(path);
        if (error == XmlFileError::None)
            error = file->Write(bytes.data(), bytes.size());
        if (error == XmlFileError::None)
            error = file->Finish();
        if (error != XmlFileError::None)
            return error;
        save.m_file = std::move(file);
        save.m_document = this;
        save.m_bytes.swap(bytes);
        save.m_path = path;
        save.m_expectDocument = !replacing;
        if (replacing)
            save.m_expected = *replacing;
        return XmlFileError::None;
    }
    catch (...)
    {
        save.Discard();
        return XmlFileError::Failed;
    }
}

bool CXmlDocument::Save(const char* path, const CXmlDiskState* replacing) noexcept
{
    CXmlPendingSave save;
    m_status = CXmlFileStatus{PrepareSave(path, save, replacing), 0};
    if (m_status.error == XmlFileError::None)
        m_status.error = save.Commit();
    save.Complete();
    return m_status.error == XmlFileError::None;
}

XmlFileError CXmlDocument::CompareWithFile(const char* path) const noexcept
{
    try
    {
        return CompareFile(path, FileBytes());
    }
    catch (...)
    {
        return XmlFileError::Failed;
    }
}
