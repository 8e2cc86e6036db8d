// The interface page: the name of the PDF link and whether it is enabled.
#pragma once

#include <windows.h>

#include "ContentPage.h"
#include "Controls.h"
#include "MsgMap.h"

class CInterfaceDlg : public CContentPage
{
public:
    explicit CInterfaceDlg(CWnd* parent = nullptr);

    // Enable All and Disable All do not concern this page.
    void SetAllChecks(int check) override;

    CEdit m_linkName;
    CButton m_linkEnabled;
    CWnd m_note; // says why the field and the box are disabled

protected:
    void DoDataExchange() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Shows the last link item; without one, or when the file may not be written, the controls are
    // disabled, and the field alone when the tool cannot read the name exactly.
    void ShowContent() override;
    HWND ContentWindow() const override
    {
        return nullptr;
    }
    std::wstring ContentNote() const override;

private:
    bool OnNameChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnEnabledClicked(WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool m_showing = false; // the controls are being filled from the file, not changed by the person

    static const TMsgEntry<CInterfaceDlg> s_msgMap[];
};
