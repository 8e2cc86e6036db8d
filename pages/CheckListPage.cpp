#include <windows.h>
#include <string_view>
#include <unordered_map>

#include "CheckListPage.h"
#include "resource.h"

namespace
{
// Bytes of list storage reserved per entry before a fill: names are short.
constexpr LPARAM kBytesPerEntry = 24;
} // namespace

CCheckListPage::CCheckListPage(UINT templateId, int listId, CWnd* parent)
    : CDialog(templateId, parent), m_document(std::make_unique<CXmlDocument>()), m_listId(listId)
{
}

CCheckListPage::~CCheckListPage()
{
    // Destroying the list sends its deletion requests to this page; they must find the list object alive.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_document->m_root.Clear();
}

void CCheckListPage::DoDataExchange()
{
    Bind(m_checkList, m_listId);
}

void CCheckListPage::LoadContent(const char* path)
{
    m_path = path ? path : "";
    m_loaded = m_document->Load(m_path.c_str());
    m_checkList.SetCheckMode(BS_AUTOCHECKBOX);

    const CXmlNode* container = m_document->m_documentElement;
    if (!container || container->m_children.empty())
        return;

    const auto count = static_cast<WPARAM>(container->m_children.size());
    m_checkList.Send(LB_INITSTORAGE, count, static_cast<LPARAM>(count) * kBytesPerEntry);
    // A long file would otherwise repaint the list once per entry.
    m_checkList.Send(WM_SETREDRAW, FALSE);
    for (const auto& child : container->m_children)
    {
        if (child->m_type != CXmlNode::NODE_ELEMENT)
            continue;
        const CXmlAttribute name(child->FindAttribute("name"));
        const CXmlAttribute enabled(child->FindAttribute("enabled"));
        const int index = m_checkList.AddString(name.m_value.c_str());
        if (index >= 0)
            m_checkList.SetItemCheck(index, enabled.m_value == "1" ? 1 : 0);
    }
    m_checkList.Send(WM_SETREDRAW, TRUE);
    InvalidateRect(m_checkList.m_hWnd, nullptr, TRUE);
    if (m_checkList.GetCount() > 0)
        m_checkList.SetCurSel(0);
}

int CCheckListPage::SaveContent()
{
    if (!m_loaded)
        return 0;

    CXmlNode* container = m_document->m_documentElement;
    if (container)
    {
        // Each name leads to the first item that carries it, as a scan from the top would find it.
        // Items without a name are left out: the empty entry such an item loads as never picks one.
        std::unordered_map<std::string_view, CXmlNode*> items;
        items.reserve(container->m_children.size());
        for (const auto& child : container->m_children)
        {
            if (child->m_type != CXmlNode::NODE_ELEMENT)
                continue;
            if (const CXmlAttribute* name = child->FindAttribute("name"))
                items.emplace(name->m_value, child.get());
        }

        const int count = m_checkList.GetCount();
        for (int i = 0; i < count; ++i)
        {
            const auto found = items.find(m_checkList.GetItemText(i));
            if (found == items.end())
                continue;
            const bool checked = m_checkList.GetItemCheck(i) == 1;
            CXmlNode* item = found->second;
            if (CXmlAttribute* enabled = item->FindAttribute("enabled"))
                enabled->m_value = checked ? "1" : "0";
            else if (checked)
                item->AddAttribute("enabled", "1"); // a missing flag already reads as off
        }
    }
    return m_document->Save(m_path.c_str()) ? 1 : 0;
}

void CCheckListPage::SetAllChecks(int check)
{
    const int count = m_checkList.GetCount();
    for (int i = 0; i < count; ++i)
        m_checkList.SetItemCheck(i, check);
}

CFeaturesDlg::CFeaturesDlg(CWnd* parent) : CCheckListPage(IDD_FEATURES, IDC_FEATURES_LIST, parent)
{
}

CSoftkeysDlg::CSoftkeysDlg(CWnd* parent) : CCheckListPage(IDD_SOFTKEYS, IDC_SOFTKEYS_LIST, parent)
{
}

CStartHereDlg::CStartHereDlg(CWnd* parent) : CCheckListPage(IDD_STARTHERE, IDC_STARTHERE_LIST, parent)
{
}
