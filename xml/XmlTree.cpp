// The tree: nodes, attributes, and the document that builds them from the parser's events.
#include "Xml.h"
#include "XmlInternal.h"
#include "XmlText.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace
{

// What a reader finds wrong first: in the markup, as the scan of the text found it, or the declared
// encoding's name. The text is as it was before the scan.
CXmlSyntax SyntaxOf(std::string_view text, XmlSyntaxError error, std::size_t offset, const CXmlEncoding& encoding)
{
    const bool utf8 = HeldAsUtf8(encoding.codePage);
    const char* const data = text.data();
    const std::size_t size = text.size();
    CXmlSyntax syntax;
    if (error != XmlSyntaxError::None)
        syntax = XmlDetail::SyntaxAt(data, size, utf8, error, offset);
    if (encoding.unwritableName != 0 &&
        (syntax.error == XmlSyntaxError::None || syntax.offset > encoding.unwritableName))
        syntax = XmlDetail::SyntaxAt(data, size, utf8, XmlSyntaxError::UnwritableEncoding,
                                     encoding.unwritableName);
    return syntax;
}

} // namespace

void* CXmlNode::operator new(std::size_t /*size*/)
{
    return XmlDetail::AllocateNodeBlock();
}

void CXmlNode::operator delete(void* block, std::size_t /*size*/) noexcept
{
    if (block)
        XmlDetail::FreeNodeBlock(block);
}

void* CXmlAttribute::operator new(std::size_t /*size*/)
{
    return XmlDetail::AllocateAttributeBlock();
}

void CXmlAttribute::operator delete(void* block, std::size_t /*size*/) noexcept
{
    if (block)
        XmlDetail::FreeAttributeBlock(block);
}

CXmlAttribute::CXmlAttribute(const CXmlAttribute* other)
{
    if (other)
    {
        m_name = other->m_name;
        m_value = other->m_value;
        m_bare = other->m_bare;
    }
}

CXmlAttribute::CXmlAttribute(CXmlString name, CXmlString value)
    : m_name(std::move(name)), m_value(std::move(value))
{
}

CXmlNode::CXmlNode(const CXmlNode& other) : m_type(other.m_type), m_name(other.m_name), m_text(other.m_text)
{
    m_attributes.reserve(other.m_attributes.size());
    for (const auto& attribute : other.m_attributes)
        m_attributes.push_back(std::make_unique<CXmlAttribute>(attribute.get()));
}

CXmlNode::~CXmlNode()
{
    Clear();
}

CXmlAttribute* CXmlNode::FindAttribute(const char* name) const
{
    if (!name)
        return nullptr;
    const std::size_t size = std::strlen(name);
    for (const auto& attribute : m_attributes)
    {
        if (XmlDetail::SameBytes(attribute->m_name.data(), attribute->m_name.size(), name, size))
            return attribute.get();
    }
    return nullptr;
}

CXmlAttribute* CXmlNode::AddAttribute(const char* name, const char* value)
{
    m_attributes.push_back(std::make_unique<CXmlAttribute>(CXmlString(name), CXmlString(value)));
    return m_attributes.back().get();
}

// Goes down the last children to a node whose last child is a leaf, and destroys the leaf; a node
// is destroyed once it has no children left. The way back up is each visited node's m_parent,
// set on the way down (a tree built by hand may not have it), so nothing is allocated.
void CXmlNode::Clear() noexcept
{
    CXmlNode* node = this;
    for (;;)
    {
        if (!node->m_children.empty())
        {
            CXmlNode* last = node->m_children.back().get();
            if (last->m_children.empty())
            {
                node->m_children.pop_back();
            }
            else
            {
                last->m_parent = node;
                node = last;
            }
            continue;
        }
        if (node == this)
            break;
        node = node->m_parent;
        node->m_children.pop_back();
    }
    m_children.clear();
    m_attributes.clear();
}

CXmlDocument::~CXmlDocument()
{
    m_root.Clear(); // before m_storage, which the tree's strings refer to
}

// Only the events of a parse set the current node; an event fired outside one goes to the root.
CXmlNode& CXmlDocument::Current()
{
    if (!m_current)
        m_current = &m_root;
    return *m_current;
}

// The events build the tree of every parse. During a load the strings refer to the bytes parsed,
// which the document keeps; the strings of any other parse are copies, as its text is gone after it.
void CXmlDocument::Keep(CXmlString& target, const char* text)
{
    const std::size_t size = ArgumentSize(text);
    if (m_loading && text >= m_input && text < m_input + m_inputSize)
        target.Borrow(text, size);
    else
        target.Assign(text, size);
}

std::uint32_t CXmlDocument::SourceOffset(std::int32_t at) const noexcept
{
    return m_recordSource && at >= 0 ? static_cast<std::uint32_t>(at) : kXmlNoSource;
}

CXmlAttribute& CXmlDocument::PendingAttribute(const char* name)
{
    CXmlNode& node = Current();
    if (m_pendingNode != &node)
        FlushAttributes();
    m_pendingNode = &node;
    auto attribute = std::make_unique<CXmlAttribute>();
    Keep(attribute->m_name, name);
    attribute->m_source = SourceOffset(m_markupPos);
    m_pending.push_back(std::move(attribute));
    return *m_pending.back();
}

void CXmlDocument::FlushAttributes()
{
    if (m_pending.empty())
        return;
    auto& attributes = m_pendingNode->m_attributes;
    attributes.reserve(attributes.size() + m_pending.size());
    for (auto& attribute : m_pending)
        attributes.push_back(std::move(attribute));
    m_pending.clear();
}

namespace
{
// Children arrive one by one into room that doubles; a closed element's array gives up the room it
// does not use, unless that is too little to be worth a copy.
void Fit(CXmlArray<CXmlNode>& children)
{
    constexpr std::size_t kSmallArray = 16;
    const std::size_t spare = children.capacity() - children.size();
    if (spare != 0 && (children.capacity() <= kSmallArray || spare > children.capacity() / 8))
        children.shrink_to_fit();
}
} // namespace

void CXmlDocument::OnStartDocument()
{
    // A load that fails keeps the document type it had.
    if (!m_loading)
        m_documentType = CXmlDocumentType();
    m_pending.clear();
    m_pendingNode = nullptr;
    m_current = &m_root;
    m_documentElement = nullptr;
}

void CXmlDocument::OnStartElement(const char* name)
{
    FlushAttributes();
    CXmlNode& parent = Current();
    auto node = std::make_unique<CXmlNode>();
    Keep(node->m_name, name);
    node->m_source = SourceOffset(m_markupPos);
    node->m_parent = &parent;
    parent.m_children.push_back(std::move(node));
    m_current = parent.m_children.back().get();
    if (!m_documentElement)
        m_documentElement = m_current;
}

// Any end tag closes the innermost open element; one that finds none open is ignored. An
// empty-element tag ends where it began; another end tag is the element's own.
void CXmlDocument::OnEndElement(const char* /*name*/)
{
    FlushAttributes();
    CXmlNode& current = Current();
    if (&current == &m_root || !current.m_parent)
        return;
    Fit(current.m_children);
    const std::uint32_t at = SourceOffset(m_markupPos);
    if (at != current.m_source)
        current.m_sourceEnd = at;
    m_current = current.m_parent;
}

// m_pos is the value's closing quote, and the value lies before it.
void CXmlDocument::OnAttribute(const char* name, const char* value)
{
    CXmlAttribute& attribute = PendingAttribute(name);
    Keep(attribute.m_value, value);
    const std::size_t size = attribute.m_value.size();
    const std::size_t quote = static_cast<std::size_t>(m_pos);
    if (attribute.m_source == kXmlNoSource || !m_input || quote >= m_inputSize || quote < size)
        return;
    const std::size_t valueAt = quote - size;
    if (valueAt > attribute.m_source && valueAt - attribute.m_source < CXmlAttribute::kNoValueOffset)
    {
        attribute.m_quote = m_valueQuote;
        attribute.m_valueOffset = static_cast<std::uint16_t>(valueAt - attribute.m_source);
    }
}

void CXmlDocument::OnBareAttribute(const char* name)
{
    PendingAttribute(name).m_bare = true;
}

void CXmlDocument::OnText(const char* text)
{
    FlushAttributes();
    CXmlNode& parent = Current();
    auto node = std::make_unique<CXmlNode>();
    node->m_type = CXmlNode::NODE_TEXT;
    Keep(node->m_text, text);
    node->m_source = SourceOffset(m_markupPos);
    node->m_parent = &parent;
    parent.m_children.push_back(std::move(node));
}

// A load reports on its text itself, once it has checked the encoding.
void CXmlDocument::OnEndDocument()
{
    FlushAttributes();
    for (CXmlNode* open = m_current; open; open = open->m_parent)
        Fit(open->m_children);
    if (!m_input || m_loading)
        return;
    try
    {
        const std::string_view text(m_input, m_inputSize);
        m_syntax = SyntaxOf(text, m_syntaxError, m_syntaxOffset, DetectEncoding(text));
        m_status = CXmlFileStatus{};
    }
    catch (...)
    {
        Failed(XmlFileError::Failed, 0);
    }
}

bool CXmlDocument::Load(const char* path) noexcept
{
    try
    {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        XmlFileError error = XmlDetail::ReadWholeFile(path, bytes, size);
        // Copied first: a load that succeeded stays whole.
        std::string filePath(error == XmlFileError::None ? path : "");
        if (error == XmlFileError::None && LoadFile(std::move(bytes), size) == XmlFileError::None)
        {
            m_filePath.swap(filePath);
            return true;
        }
        if (error != XmlFileError::None)
            Failed(error, 0);
    }
    catch (...)
    {
        Failed(XmlFileError::Failed, 0);
    }
    return false;
}

bool CXmlDocument::LoadBytes(const char* bytes, std::size_t size) noexcept
{
    if (!bytes)
        size = 0;
    std::unique_ptr<char[]> copy(new (std::nothrow) char[size + 1]);
    if (!copy)
    {
        Failed(XmlFileError::Failed, 0);
        return false;
    }
    if (size != 0)
        std::memcpy(copy.get(), bytes, size);
    copy[size] = '\0';
    try
    {
        if (LoadFile(std::move(copy), size) != XmlFileError::None)
            return false;
        m_filePath.clear();
        return true;
    }
    catch (...)
    {
        Failed(XmlFileError::Failed, 0);
        return false;
    }
}

namespace
{
// A text file holds no NUL: in UTF-16, a code unit of two zero bytes. (In other files the parse finds
// it.) Other control characters are text that no XML reader accepts, which the check reports.
std::size_t FirstNulUnit(std::string_view bytes)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0')
            return i;
    }
    return bytes.size();
}

} // namespace

XmlFileError CXmlDocument::LoadFile(std::unique_ptr<char[]> bytes, std::size_t size)
{
    const std::string_view file(bytes.get(), size);
    // Whether the bytes are UTF-8, when that decides, is checked as they are parsed.
    bool utf8Unchecked = false;
    CXmlEncoding encoding = DetectEncodingUnchecked(file, utf8Unchecked);
    const std::size_t markSize = IsUtf16(encoding.codePage) && encoding.byteOrderMark ? 2 : 0;
    auto fail = [&](XmlFileError error, std::size_t offset) {
        Failed(error, offset);
        return error;
    };
    // The tree may keep the bytes it parses, to write them back, only while it holds no other file.
    const bool singleFile = m_root.m_children.empty() && m_root.m_attributes.empty() && m_storage.empty();
    // Bytes kept apart from those parsed: a UTF-16 file's, and those of a file loaded after another.
    const bool fileIsSource = singleFile && !IsUtf16(encoding.codePage);
    std::string fileBytes(fileIsSource ? std::string_view() : file);
    if (IsUtf16(encoding.codePage))
    {
        // The disk's bytes are kept in fileBytes: the buffer they came in goes before the
        // converted copy is made.
        bytes.reset();
        const std::string_view units = std::string_view(fileBytes).substr(markSize);
        const bool bigEndian = IsUtf16BigEndian(encoding.codePage);
        const std::size_t nul = FirstNulUnit(units);
        if (nul != units.size())
            return fail(XmlFileError::NotText, markSize + nul);
        std::string utf8;
        if (!Utf16BytesToUtf8(units, bigEndian, utf8))
            return fail(XmlFileError::BadEncoding, markSize + FirstInvalidByte(units, encoding.codePage));
        size = utf8.size();
        bytes.reset(new char[size + 1]);
        std::memcpy(bytes.get(), utf8.c_str(), size + 1);
    }
    // Bytes outside ASCII in an encoding the engine has no table for are not its to judge. A NUL,
    // valid in any code page, is found by the parse.
    else if (encoding.declared && encoding.codePage != kCodePageUtf8 && encoding.codePage != kCodePageAsciiOnly &&
             !IsValidInCodePage(file, encoding.codePage))
    {
        return fail(XmlFileError::BadEncoding, FirstInvalidByte(file, encoding.codePage));
    }
    // A mark or a declaration that says UTF-8 is kept to, as readers keep to it.
    const bool utf8Required = encoding.codePage == kCodePageUtf8 && !utf8Unchecked;
    bool utf8 = utf8Unchecked || utf8Required;
    std::size_t nul = size;
    const XmlFileError error = LoadOwned(std::move(bytes), size, singleFile, utf8, nul, utf8Required);
    if (error != XmlFileError::None)
        return fail(error, error == XmlFileError::NotText || error == XmlFileError::BadEncoding ? nul : 0);
    const std::string_view parsed(m_storage.back().get(), size);
    if (utf8Unchecked && !utf8)
        encoding = NotUtf8Encoding(encoding);
    m_syntax = SyntaxOf(parsed, m_syntaxError, m_syntaxOffset, encoding);
    m_fileCodePage = encoding.codePage;
    m_fileMark = encoding.byteOrderMark;
    m_fileBytes.swap(fileBytes);
    m_fileIsSource = fileIsSource;
    m_source = singleFile ? parsed : std::string_view();
    m_status = CXmlFileStatus{};
    return XmlFileError::None;
}

unsigned CXmlDocument::TreeCodePage() const noexcept
{
    return IsUtf16(m_fileCodePage) ? kCodePageUtf8 : m_fileCodePage;
}

// A parse that runs out of memory is undone: the tree gets back to what it was before it, which
// takes no allocation, since the new nodes hang only below the root.
XmlFileError CXmlDocument::LoadOwned(std::unique_ptr<char[]> bytes, std::size_t size, bool recordSource,
                                     bool& utf8, std::size_t& nul, bool utf8Required) noexcept
{
    const std::size_t rootChildren = m_root.m_children.size();
    const std::size_t rootAttributes = m_root.m_attributes.size();
    CXmlNode* const documentElement = m_documentElement;
    const std::size_t stored = m_storage.size();
    XmlFileError error = XmlFileError::None;
    CXmlDocumentType type;
    try
    {
        // Kept before any string can refer to the bytes. A file holding a NUL is not text: no
        // event fires for it, as none does for ParseFile.
        m_storage.push_back(std::move(bytes));
        char* const text = m_storage.back().get();
        std::size_t control = size;
        nul = XmlDetail::FirstNul(text, size, control);
        std::string_view declaration;
        if (nul == size)
        {
            m_loading = true;
            m_recordSource = recordSource;
            ParseInPlace(text, size, control, utf8, utf8, declaration);
            m_loading = m_recordSource = false;
        }
        if (nul != size)
            error = XmlFileError::NotText;
        else if (utf8Required && !utf8)
        {
            nul = FirstInvalidByte(std::string_view(m_storage.back().get(), size), kCodePageUtf8);
            error = XmlFileError::BadEncoding;
        }
        else if (!declaration.empty())
        {
            XmlDetail::ReadDocumentType(declaration, type);
        }
    }
    catch (...)
    {
        error = XmlFileError::Failed;
    }
    m_loading = m_recordSource = false;
    m_pending.clear();
    m_pendingNode = nullptr;
    if (error != XmlFileError::None)
    {
        while (m_root.m_children.size() > rootChildren)
            m_root.m_children.pop_back();
        while (m_root.m_attributes.size() > rootAttributes)
            m_root.m_attributes.pop_back();
        m_documentElement = documentElement;
        while (m_storage.size() > stored)
            m_storage.pop_back();
        m_current = nullptr;
        return error;
    }
    m_current = nullptr;
    m_loadedSize += size;
    m_documentType = std::move(type);
    return XmlFileError::None;
}
