// The three list pages: one content file each, one entry per item, the box showing the item's enabled flag.
#pragma once

#include <windows.h>

#include "CheckListBox.h"
#include "ContentPage.h"
#include "MsgMap.h"

class CCheckListPage : public CContentPage
{
public:
    CCheckListPage(UINT templateId, int listId, CWnd* parent);

    // 1 ticks every entry, 0 clears them; the file changes on the next save. Nothing on a read-only page.
    void SetAllChecks(int check) override;

    CCheckListBox m_checkList;

protected:
    void DoDataExchange() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void ShowContent() override;
    HWND ContentWindow() const override
    {
        return m_checkList.m_hWnd;
    }

private:
    // A box the person changed goes to the file; one the file refuses is put back.
    bool OnCheckChanged(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Hands the entry's check to the file; when the file refuses it, the box is put back.
    void TakeCheck(int index);

    int m_listId;

    static const TMsgEntry<CCheckListPage> s_msgMap[];
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
