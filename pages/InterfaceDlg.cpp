#include <windows.h>

#include "ContentText.h"
#include "InterfaceDlg.h"
#include "resource.h"

namespace
{
bool IsLinkItem(const CXmlNode& node)
{
    return node.m_type == CXmlNode::NODE_ELEMENT && node.m_name == "linkItem";
}
} // namespace

CInterfaceDlg::CInterfaceDlg(CWnd* parent) : CContentPage(IDD_INTERFACE, parent)
{
}

void CInterfaceDlg::DoDataExchange()
{
    CContentPage::DoDataExchange();
    Bind(m_linkName, IDC_LINK_NAME);
    Bind(m_linkEnabled, IDC_LINK_ENABLED);
    Bind(m_note, IDC_LINK_NOTE);
}

void CInterfaceDlg::ShowContent()
{
    m_links.clear();
    if (CXmlNode* container = m_document->m_documentElement)
    {
        for (const auto& child : container->m_children)
        {
            if (IsLinkItem(*child))
                m_links.push_back({child.get(), ReadValue(*child, "value"), ReadValue(*child, "enabled")});
        }
    }
    // Every link item is shown in turn, so the last one stays.
    const CLinkItem* shown = m_links.empty() ? nullptr : &m_links.back();
    const bool editable = shown && CanSave();
    EnableWindow(m_linkName.m_hWnd, editable);
    EnableWindow(m_linkEnabled.m_hWnd, editable);
    m_note.SetText(shown ? L"" : DescribeEmpty(IDS_NO_LINK_ITEM).c_str());
    ShowWindow(m_note.m_hWnd, shown ? SW_HIDE : SW_SHOWNA);
    m_linkName.SetText(shown ? ShownText(shown->value.value, TreeCodePage()).c_str() : L"");
    m_linkEnabled.SetCheck(shown && shown->enabled.value == "1" ? BST_CHECKED : BST_UNCHECKED);
    MarkSaved();
}

bool CInterfaceDlg::HasChanges() const
{
    return !m_links.empty() && (m_linkName.GetText() != m_shownName || m_linkEnabled.GetCheck() != m_shownCheck);
}

void CInterfaceDlg::StoreContent()
{
    // Read back: the field may not hold every character of the value as given (a line break), so
    // what it showed counts as untouched.
    const std::wstring name = m_linkName.GetText();
    const bool nameChanged = name != m_shownName;
    const std::string value = nameChanged ? StoredText(name, TreeCodePage()) : std::string();
    const int check = m_linkEnabled.GetCheck();
    for (const CLinkItem& link : m_links)
    {
        if (!nameChanged)
            RestoreValue(*link.item, "value", link.value);
        else if (CXmlAttribute* attribute = link.item->FindAttribute("value"))
            attribute->m_value = value;
        else if (!value.empty())
            link.item->AddAttribute("value", value.c_str());
        if (check != m_shownCheck)
            StoreEnabled(*link.item, check == BST_CHECKED);
        else
            RestoreValue(*link.item, "enabled", link.enabled);
    }
}

void CInterfaceDlg::MarkSaved()
{
    m_shownName = m_linkName.GetText();
    m_shownCheck = m_linkEnabled.GetCheck();
    for (CLinkItem& link : m_links)
    {
        link.value = ReadValue(*link.item, "value");
        link.enabled = ReadValue(*link.item, "enabled");
    }
}

void CInterfaceDlg::SetAllChecks(int)
{
}
