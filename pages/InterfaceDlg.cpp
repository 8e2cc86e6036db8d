#include <windows.h>

#include "InterfaceDlg.h"
#include "ContentText.h"
#include "resource.h"

const TMsgEntry<CInterfaceDlg> CInterfaceDlg::s_msgMap[] = {
    {WM_COMMAND, EN_CHANGE,  IDC_LINK_NAME,    &CInterfaceDlg::OnNameChange    },
    {WM_COMMAND, BN_CLICKED, IDC_LINK_ENABLED, &CInterfaceDlg::OnEnabledClicked},
};

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

bool CInterfaceDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return DispatchMsg(this, s_msgMap, msg, wParam, lParam, result);
}

void CInterfaceDlg::ShowContent()
{
    CContentFile& file = File();
    const bool shown = file.HasLink();
    m_showing = true;
    EnableWindow(m_linkName.m_hWnd, file.CanWriteLinkName());
    EnableWindow(m_linkEnabled.m_hWnd, shown && file.CanWrite());
    m_note.SetText(shown ? L"" : DescribeEmpty(IDS_NO_LINK_ITEM).c_str());
    ShowWindow(m_note.m_hWnd, shown ? SW_HIDE : SW_SHOWNA);
    m_linkName.SetText(AsWide(file.LinkName()).c_str());
    m_linkEnabled.SetCheck(file.LinkEnabled() ? BST_CHECKED : BST_UNCHECKED);
    m_showing = false;
    // Read back: the field may not hold every character of the value (a line break).
    file.SetShownLinkName(AsUtf16(m_linkName.GetText()));
}

bool CInterfaceDlg::OnNameChange(WPARAM, LPARAM, LRESULT& result)
{
    if (!m_showing && !File().SetLinkName(AsUtf16(m_linkName.GetText())))
    {
        m_showing = true;
        m_linkName.SetText(AsWide(File().LinkName()).c_str());
        m_showing = false;
    }
    result = 0;
    return true;
}

bool CInterfaceDlg::OnEnabledClicked(WPARAM, LPARAM, LRESULT& result)
{
    if (!m_showing && !File().SetLinkEnabled(m_linkEnabled.GetCheck() == BST_CHECKED))
        m_linkEnabled.SetCheck(File().LinkEnabled() ? BST_CHECKED : BST_UNCHECKED);
    result = 0;
    return true;
}

std::wstring CInterfaceDlg::ContentNote() const
{
    return File().HasLink() && !File().LinkNameExact() ? AsWide(File().ShownPath()) + LoadText(IDS_LINK_NOT_EXACT)
                                                       : std::wstring();
}

void CInterfaceDlg::SetAllChecks(int)
{
}
