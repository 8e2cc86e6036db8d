#include <windows.h>
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
    CContentPage::DoDataExchange();
    Bind(m_checkList, m_listId);
}

void CCheckListPage::ShowContent()
{
    m_checkList.Send(LB_RESETCONTENT);
    m_entries.clear();
    // A page that may not write its file shows it without letting a press change a box.
    m_checkList.SetCheckMode(CanSave() ? BS_AUTOCHECKBOX : BS_CHECKBOX);

    const CXmlNode* container = m_document->m_documentElement;
    if (container && !container->m_children.empty())
    {
        const auto count = static_cast<WPARAM>(container->m_children.size());
        m_entries.reserve(count);
        m_checkList.Send(LB_INITSTORAGE, count, static_cast<LPARAM>(count) * kBytesPerEntry);
        // A long file would otherwise repaint the list once per entry.
        m_checkList.Send(WM_SETREDRAW, FALSE);
        for (const auto& child : container->m_children)
        {
            if (child->m_type != CXmlNode::NODE_ELEMENT)
                continue;
            const CXmlAttribute* name = child->FindAttribute("name");
            const std::wstring text = name ? ShownText(name->m_value, TreeCodePage()) : std::wstring();
            CReadValue enabled = ReadValue(*child, "enabled");
            const int check = enabled.value == "1" ? 1 : 0;
            if (m_checkList.AddItem(text.c_str(), check) < 0)
                continue;
            // The entry saves to the item it shows: two items of one name, or of none, are two entries.
            m_entries.push_back({child.get(), check, std::move(enabled)});
        }
        m_checkList.Send(WM_SETREDRAW, TRUE);
        InvalidateRect(m_checkList.m_hWnd, nullptr, TRUE);
    }
    if (m_checkList.GetCount() > 0)
        m_checkList.SetCurSel(0);
    else
        m_checkList.SetEmptyText(DescribeEmpty(IDS_NO_ITEMS));
}

bool CCheckListPage::HasChanges() const
{
    const int count = EntryCount();
    for (int i = 0; i < count; ++i)
    {
        if (m_checkList.GetItemCheck(i) != m_entries[static_cast<size_t>(i)].check)
            return true;
    }
    return false;
}

// Only the entries whose check the person changed are written; the others keep the file's value,
// also when an earlier save that failed had stored one.
void CCheckListPage::StoreContent()
{
    const int count = EntryCount();
    for (int i = 0; i < count; ++i)
    {
        const CEntry& entry = m_entries[static_cast<size_t>(i)];
        const int check = m_checkList.GetItemCheck(i);
        if (check != entry.check)
            StoreEnabled(*entry.item, check == 1);
        else
            RestoreValue(*entry.item, "enabled", entry.enabled);
    }
}

void CCheckListPage::MarkSaved()
{
    const int count = EntryCount();
    for (int i = 0; i < count; ++i)
    {
        CEntry& entry = m_entries[static_cast<size_t>(i)];
        entry.check = m_checkList.GetItemCheck(i);
        entry.enabled = ReadValue(*entry.item, "enabled");
    }
}

void CCheckListPage::SetAllChecks(int check)
{
    if (!CanSave())
        return;
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
