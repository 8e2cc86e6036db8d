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
    Bind(m_linkName, IDC_LINK_NAME);
    Bind(m_linkEnabled, IDC_LINK_ENABLED);
    Bind(m_note, IDC_LINK_NOTE);
}

void CInterfaceDlg::ShowContent()
{
    // Every link item is shown in turn, so the last one stays.
    const CXmlNode* shown = nullptr;
    if (const CXmlNode* container = m_document->m_documentElement)
    {
        for (const auto& child : container->m_children)
        {
            if (IsLinkItem(*child))
                shown = child.get();
        }
    }
    EnableWindow(m_linkName.m_hWnd, shown != nullptr);
    EnableWindow(m_linkEnabled.m_hWnd, shown != nullptr);
    m_note.SetText(shown ? L"" : DescribeEmpty(IDS_NO_LINK_ITEM).c_str());
    ShowWindow(m_note.m_hWnd, shown ? SW_HIDE : SW_SHOWNA);
    if (!shown)
        return;
    const CXmlAttribute value(shown->FindAttribute("value"));
    const CXmlAttribute enabled(shown->FindAttribute("enabled"));
    m_linkName.SetText(ShownText(value.m_value, CodePage()).c_str());
    m_linkEnabled.SetCheck(enabled.m_value == "1" ? BST_CHECKED : BST_UNCHECKED);
    // Read back: the field may not hold every character of the value as given (a line break).
    m_shownName = m_linkName.GetText();
    m_shownSource = value.m_value;
}

void CInterfaceDlg::StoreContent()
{
    CXmlNode* container = m_document->m_documentElement;
    if (!container)
        return;
    const std::wstring name = m_linkName.GetText();
    // An untouched field keeps the references and bytes as the file wrote them.
    const std::string value = name == m_shownName ? m_shownSource : StoredText(name, CodePage());
    const bool checked = m_linkEnabled.GetCheck() == BST_CHECKED;
    for (const auto& child : container->m_children)
    {
        if (!IsLinkItem(*child))
            continue;
        if (CXmlAttribute* attribute = child->FindAttribute("value"))
            attribute->m_value = value;
        else if (!value.empty())
            child->AddAttribute("value", value.c_str());
        StoreEnabled(*child, checked);
    }
}

void CInterfaceDlg::SetAllChecks(int)
{
}
