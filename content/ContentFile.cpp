#include "ContentFile.h"

#include <utility>

#include "XmlText.h"

namespace
{
bool IsLinkItem(const CXmlNode& node)
{
    return node.m_type == CXmlNode::NODE_ELEMENT && node.m_name == "linkItem";
}

// A flag is on when it reads as exactly "1", as every reader reads it ("&#49;" and a declared entity
// that stands for 1 too).
bool IsOn(const CXmlAttribute* enabled, unsigned codePage, const CXmlDocumentType& type)
{
    std::u16string text;
    return enabled && DecodeXmlValueExactly(enabled->m_value, codePage, text, &type) && text == u"1";
}
} // namespace

CContentFile::CContentFile(Kind kind) : m_kind(kind), m_document(std::make_unique<CXmlDocument>())
{
}

CContentFile::~CContentFile()
{
    m_document->m_root.Clear();
}

void CContentFile::Open(std::string path, std::u16string shown)
{
    m_path = std::move(path);
    m_shownPath = std::move(shown);
    Reload();
}

void CContentFile::Reload()
{
    auto document = std::make_unique<CXmlDocument>();
    m_read = !m_path.empty() && document->Load(m_path.c_str());
    m_readStatus = document->FileStatus();
    m_document.swap(document);
    document->m_root.Clear();
    Fill();
}

void CContentFile::SetEditedOn(std::u16string tab)
{
    m_editorTab = std::move(tab);
    Fill();
}

ContentLock CContentFile::Lock() const
{
    if (m_path.empty())
        return ContentLock::NoPath;
    if (!m_read)
        return ContentLock::NotRead;
    if (!m_document->m_documentElement)
        return ContentLock::NoElement;
    if (!m_editorTab.empty())
        return ContentLock::EditedOnOtherTab;
    if (m_document->Syntax().error != XmlSyntaxError::None)
        return ContentLock::NotWellFormed;
    return m_typeLock;
}

void CContentFile::Fill()
{
    m_lines.clear();
    m_items.clear();
    m_readLinkName.clear();
    m_readLinkOn = false;
    m_linkExact = true;
    const unsigned codePage = m_document->TreeCodePage();
    const CXmlDocumentType& type = m_document->DocumentType();
    m_typeLock = type.m_unread ? ContentLock::UnreadDocumentType : ContentLock::None;
    m_lockName.clear();
    m_lockElement.clear();
    if (const CXmlNode* container = m_document->m_documentElement)
    {
        if (m_kind == Kind::List)
        {
            m_lines.reserve(container->m_children.size());
            m_items.reserve(container->m_children.size());
        }
        const char* const nameAttribute = m_kind == Kind::List ? "name" : "value";
        for (const auto& child : container->m_children)
        {
            // Readers read what a declared entity stands for where it stands: items the tool does not see.
            if (child->m_type == CXmlNode::NODE_TEXT && m_typeLock == ContentLock::None &&
                !type.m_entities.empty())
            {
                const std::string_view entity = type.MarkupEntityIn(child->m_text, codePage);
                if (!entity.empty())
                {
                    m_typeLock = ContentLock::EntityMarkup;
                    m_lockName = DecodeXmlValue(entity, codePage);
                }
            }
            if (child->m_type != CXmlNode::NODE_ELEMENT || (m_kind == Kind::Link && !IsLinkItem(*child)))
                continue;
            LockByDocumentType(*child, "enabled", codePage);
            LockByDocumentType(*child, nameAttribute, codePage);
            m_items.push_back({child.get(), ReadValue(*child, "enabled"), CReadValue()});
            const bool on = IsOn(child->FindAttribute("enabled"), codePage, type);
            if (m_kind == Kind::List)
            {
                const CXmlAttribute* name = child->FindAttribute("name");
                m_lines.push_back(
                    {name ? DecodeXmlValue(name->m_value, codePage, &type) : std::u16string(), on, on});
                continue;
            }
            // Every link item is shown in turn, so the last one stays. A name the tool cannot read as
            // every reader does is shown as written and not edited.
            m_items.back().value = ReadValue(*child, "value");
            const std::string& value = m_items.back().value.value;
            m_linkExact = DecodeXmlValueExactly(value, codePage, m_readLinkName, &type);
            if (!m_linkExact)
                m_readLinkName = DecodeXmlValue(value, codePage, &type);
            m_readLinkOn = on;
        }
    }
    m_linkName = m_readLinkName;
    m_linkOn = m_readLinkOn;
}

// Readers give an item without the attribute a declared default, and trim and collapse a value of a
// type other than CDATA: neither is what the tool shows and writes.
void CContentFile::LockByDocumentType(const CXmlNode& item, const char* name, unsigned codePage)
{
    if (m_typeLock != ContentLock::None)
        return;
    const CXmlAttributeDeclaration* declared = m_document->DocumentType().FindAttribute(item.m_name, name);
    if (!declared || (declared->cdata && !declared->defaulted))
        return;
    m_typeLock = ContentLock::DeclaredAttribute;
    m_lockName = DecodeXmlValue(name, codePage);
    m_lockElement = DecodeXmlValue(item.m_name, codePage);
}

bool CContentFile::SetLine(std::size_t index, bool on)
{
    if (!CanWrite() || index >= m_lines.size())
        return false;
    m_lines[index].on = on;
    return true;
}

bool CContentFile::SetAllLines(bool on)
{
    if (!CanWrite() || m_lines.empty())
        return false;
    for (CLine& line : m_lines)
        line.on = on;
    return true;
}

bool CContentFile::SetLinkName(std::u16string name)
{
    if (!CanWriteLinkName())
        return false;
    m_linkName = std::move(name);
    return true;
}

bool CContentFile::SetLinkEnabled(bool on)
{
    if (!CanWrite() || !HasLink())
        return false;
    m_linkOn = on;
    return true;
}

void CContentFile::SetShownLinkName(std::u16string name)
{
    m_readLinkName = name;
    m_linkName = std::move(name);
}

bool CContentFile::HasChanges() const
{
    if (m_kind == Kind::Link)
        return HasLink() && (m_linkName != m_readLinkName || m_linkOn != m_readLinkOn);
    for (const CLine& line : m_lines)
    {
        if (line.on != line.readOn)
            return true;
    }
    return false;
}

XmlFileError CContentFile::CheckDisk() const
{
    return m_document->CompareWithFile(m_path.c_str());
}

XmlFileError CContentFile::Prepare(CXmlPendingSave& save, const CXmlDiskState* replacing,
                                   const CXmlSaveNames* names)
{
    if (!CanWrite())
        return XmlFileError::Failed;
    Store();
    return m_document->PrepareSave(m_path.c_str(), save, replacing, names);
}

// Only what the person changed is written; everything else keeps the file's value, also when an
// earlier save that failed had stored one.
void CContentFile::Store()
{
    if (m_kind == Kind::List)
    {
        for (std::size_t i = 0; i < m_lines.size(); ++i)
        {
            if (m_lines[i].on != m_lines[i].readOn)
                StoreEnabled(*m_items[i].node, m_lines[i].on);
            else
                RestoreValue(*m_items[i].node, "enabled", m_items[i].enabled);
        }
        return;
    }
    const bool nameChanged = m_linkName != m_readLinkName;
    const std::string value = nameChanged ? EncodeXmlValue(m_linkName, m_document->TreeCodePage()) : std::string();
    for (const CItem& link : m_items)
    {
        if (!nameChanged)
            RestoreValue(*link.node, "value", link.value);
        else if (CXmlAttribute* attribute = link.node->FindAttribute("value"))
            attribute->m_value = value;
        else if (!value.empty())
            link.node->AddAttribute("value", value.c_str());
        if (m_linkOn != m_readLinkOn)
            StoreEnabled(*link.node, m_linkOn);
        else
            RestoreValue(*link.node, "enabled", link.enabled);
    }
}

void CContentFile::Saved()
{
    for (CLine& line : m_lines)
        line.readOn = line.on;
    m_readLinkName = m_linkName;
    m_readLinkOn = m_linkOn;
    for (CItem& item : m_items)
    {
        item.enabled = ReadValue(*item.node, "enabled");
        if (m_kind == Kind::Link)
            item.value = ReadValue(*item.node, "value");
    }
}

CContentFile::CReadValue CContentFile::ReadValue(const CXmlNode& node, const char* name)
{
    const CXmlAttribute* attribute = node.FindAttribute(name);
    return attribute ? CReadValue{true, attribute->m_value.str()} : CReadValue{};
}

void CContentFile::RestoreValue(CXmlNode& node, const char* name, const CReadValue& read)
{
    CXmlAttribute* attribute = node.FindAttribute(name);
    if (read.present && attribute && attribute->m_value != read.value)
        attribute->m_value = read.value;
    if (read.present || !attribute)
        return;
    for (auto at = node.m_attributes.begin(); at != node.m_attributes.end(); ++at)
    {
        if (at->get() == attribute)
        {
            node.m_attributes.erase(at);
            break;
        }
    }
}

// A missing flag reads as off, so it is added only to switch it on.
void CContentFile::StoreEnabled(CXmlNode& node, bool on)
{
    if (CXmlAttribute* enabled = node.FindAttribute("enabled"))
        enabled->m_value = on ? "1" : "0";
    else if (on)
        node.AddAttribute("enabled", "1");
}
