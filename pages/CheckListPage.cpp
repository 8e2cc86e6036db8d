#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "CheckListPage.h"
#include "ContentText.h"
#include "resource.h"

namespace
{
// Bytes of list storage reserved per entry before a fill: names are short.
constexpr LPARAM kBytesPerEntry = 48;
} // namespace

CCheckListPage::CCheckListPage(UINT templateId, int listId, CWnd* parent)
    : CContentPage(templateId, parent), m_listId(listId)
{
}

void CCheckListPage::DoDataExchange()
{
    Bind(m_checkList, m_listId);
}

void CCheckListPage::ShowContent()
{
    m_checkList.SetCheckMode(BS_AUTOCHECKBOX);

    const CXmlNode* container = m_document->m_documentElement;
    if (container && !container->m_children.empty())
    {
        const auto count = static_cast<WPARAM>(container->m_children.size());
        m_targets.reserve(count);
        m_checkList.Send(LB_INITSTORAGE, count, static_cast<LPARAM>(count) * kBytesPerEntry);
        // A long file would otherwise repaint the list once per entry.
        m_checkList.Send(WM_SETREDRAW, FALSE);
        for (const auto& child : container->m_children)
        {
            if (child->m_type != CXmlNode::NODE_ELEMENT)
                continue;
            const CXmlAttribute* name = child->FindAttribute("name");
            const CXmlAttribute* enabled = child->FindAttribute("enabled");
            const std::wstring text = name ? ShownText(name->m_value, CodePage()) : std::wstring();
            if (m_checkList.AddItem(text.c_str(), enabled && enabled->m_value == "1" ? 1 : 0) < 0)
                continue;
            // The entry saves to the item it shows: two items of one name, or of none, are two entries.
            m_targets.push_back(child.get());
        }
        m_checkList.Send(WM_SETREDRAW, TRUE);
        InvalidateRect(m_checkList.m_hWnd, nullptr, TRUE);
    }
    if (m_checkList.GetCount() > 0)
        m_checkList.SetCurSel(0);
    else
        m_checkList.SetEmptyText(DescribeEmpty(IDS_NO_ITEMS));
}

void CCheckListPage::StoreContent()
{
    const int count = std::min(m_checkList.GetCount(), static_cast<int>(m_targets.size()));
    for (int i = 0; i < count; ++i)
        StoreEnabled(*m_targets[static_cast<size_t>(i)], m_checkList.GetItemCheck(i) == 1);
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
