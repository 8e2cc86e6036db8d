#include <windows.h>
#include <algorithm>
#include <string>

#include "CheckListPage.h"
#include "ContentText.h"
#include "resource.h"

namespace
{
// Bytes of list storage reserved per entry before a fill: names are short.
constexpr LPARAM kBytesPerEntry = 48;
} // namespace

const TMsgEntry<CCheckListPage> CCheckListPage::s_msgMap[] = {
    {WM_COMMAND, CLBN_CHECKCHANGED, IDC_FEATURES_LIST,  &CCheckListPage::OnCheckChanged},
    {WM_COMMAND, CLBN_CHECKCHANGED, IDC_SOFTKEYS_LIST,  &CCheckListPage::OnCheckChanged},
    {WM_COMMAND, CLBN_CHECKCHANGED, IDC_STARTHERE_LIST, &CCheckListPage::OnCheckChanged},
};

CCheckListPage::CCheckListPage(UINT templateId, int listId, CWnd* parent)
    : CContentPage(templateId, parent), m_listId(listId)
{
}

void CCheckListPage::DoDataExchange()
{
    CContentPage::DoDataExchange();
    Bind(m_checkList, m_listId);
}

bool CCheckListPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return DispatchMsg(this, s_msgMap, msg, wParam, lParam, result);
}

void CCheckListPage::ShowContent()
{
    const CContentFile& file = File();
    m_checkList.Send(LB_RESETCONTENT);
    // A file that may not be written is shown without letting a press, a key or a reader change a box.
    m_checkList.SetCheckMode(file.CanWrite() ? BS_AUTOCHECKBOX : BS_CHECKBOX);

    const auto& lines = file.Lines();
    if (!lines.empty())
    {
        const auto count = static_cast<WPARAM>(lines.size());
        m_checkList.Send(LB_INITSTORAGE, count, static_cast<LPARAM>(count) * kBytesPerEntry);
        // A long file would otherwise repaint the list once per entry.
        m_checkList.Send(WM_SETREDRAW, FALSE);
        // A line the list cannot take would put every later one at the wrong index.
        for (const CContentFile::CLine& line : lines)
        {
            if (m_checkList.AddItem(AsWide(line.name).c_str(), line.on ? 1 : 0) < 0)
                break;
        }
        m_checkList.Send(WM_SETREDRAW, TRUE);
        InvalidateRect(m_checkList.m_hWnd, nullptr, TRUE);
    }
    if (m_checkList.GetCount() > 0)
        m_checkList.SetCurSel(0);
    else
        m_checkList.SetEmptyText(DescribeEmpty(IDS_NO_ITEMS));
}

void CCheckListPage::TakeCheck(int index)
{
    const int check = m_checkList.GetItemCheck(index);
    const auto& lines = File().Lines();
    if (index < 0 || static_cast<size_t>(index) >= lines.size() || (check == 1) == lines[static_cast<size_t>(index)].on)
        return;
    if (!File().SetLine(static_cast<size_t>(index), check == 1))
        m_checkList.SetItemCheck(index, lines[static_cast<size_t>(index)].on ? 1 : 0);
}

// The entry changed is the one at the caret, for a press, a key or a reader; any other that differs
// from the file is found by comparing them all.
bool CCheckListPage::OnCheckChanged(WPARAM, LPARAM, LRESULT& result)
{
    const int caret = m_checkList.GetCaretIndex();
    const auto& lines = File().Lines();
    const bool atCaret = caret >= 0 && static_cast<size_t>(caret) < lines.size() &&
                         (m_checkList.GetItemCheck(caret) == 1) != lines[static_cast<size_t>(caret)].on;
    if (atCaret)
        TakeCheck(caret);
    else
    {
        const int count = std::min(m_checkList.GetCount(), static_cast<int>(lines.size()));
        for (int i = 0; i < count; ++i)
            TakeCheck(i);
    }
    result = 0;
    return true;
}

void CCheckListPage::SetAllChecks(int check)
{
    if (!File().SetAllLines(check == 1))
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
