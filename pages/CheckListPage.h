// The three list pages: one content file each, one entry per item, the box showing the item's enabled flag.
#pragma once

#include <windows.h>
#include <vector>

#include "CheckListBox.h"
#include "ContentPage.h"

class CCheckListPage : public CContentPage
{
public:
    CCheckListPage(UINT templateId, int listId, CWnd* parent);

    // 1 ticks every entry, 0 clears them; the file changes on the next save.
    void SetAllChecks(int check) override;

    CCheckListBox m_checkList;

protected:
    void DoDataExchange() override;
    void ShowContent() override;
    void StoreContent() override;

private:
    int m_listId;
    // Per entry, the item its check is saved to. The items belong to the document.
    std::vector<CXmlNode*> m_targets;
};

class CFeaturesDlg : public CCheckListPage
{
public:
    explicit CFeaturesDlg(CWnd* parent = nullptr);
};

class CSoftkeysDlg : public CCheckListPage
{
public:
    explicit CSoftkeysDlg(CWnd* parent = nullptr);
};

class CStartHereDlg : public CCheckListPage
{
public:
    explicit CStartHereDlg(CWnd* parent = nullptr);
};
