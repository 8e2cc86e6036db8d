// The interface page: the name of the PDF link and whether it is enabled.
#pragma once

#include <windows.h>
#include <string>

#include "ContentPage.h"
#include "Controls.h"

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
    // Shows the last link item; without one the controls are disabled, since what they hold would be
    // stored nowhere.
    void ShowContent() override;
    // Writes the field and the box into every link item.
    void StoreContent() override;

private:
    std::wstring m_shownName;  // the field's text right after loading
    std::string m_shownSource; // the value that text was decoded from, as the file has it
};
