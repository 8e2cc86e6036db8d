// The interface page: the name of the PDF link and whether it is enabled.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "ContentPage.h"
#include "Controls.h"

class CInterfaceDlg : public CContentPage
{
public:
    explicit CInterfaceDlg(CWnd* parent = nullptr);

    // Enable All and Disable All do not concern this page.
    void SetAllChecks(int check) override;
    bool HasChanges() const override;

    CEdit m_linkName;
    CButton m_linkEnabled;
    CWnd m_note; // says why the field and the box are disabled

protected:
    void DoDataExchange() override;
    // Shows the last link item; without one the controls are disabled, since what they hold would be
    // stored nowhere.
    void ShowContent() override;
    // Writes the field, when the person changed it, and the box, when the person changed it, into
    // every link item.
    void StoreContent() override;
    void MarkSaved() override;
    HWND ContentWindow() const override
    {
        return nullptr;
    }

private:
    struct CLinkItem
    {
        CXmlNode* item; // belongs to the document
        CReadValue value;
        CReadValue enabled;
    };

    std::wstring m_shownName; // the field's text right after loading or saving
    int m_shownCheck = BST_UNCHECKED;
    std::vector<CLinkItem> m_links;
};
