// The three list pages: one content file each, one entry per item, the box showing the item's enabled flag.
#pragma once

#include <windows.h>
#include <algorithm>
#include <vector>

#include "CheckListBox.h"
#include "ContentPage.h"

class CCheckListPage : public CContentPage
{
public:
    CCheckListPage(UINT templateId, int listId, CWnd* parent);

    // 1 ticks every entry, 0 clears them; the file changes on the next save. Nothing on a read-only page.
    void SetAllChecks(int check) override;
    bool HasChanges() const override;

    CCheckListBox m_checkList;

protected:
    void DoDataExchange() override;
    void ShowContent() override;
    void StoreContent() override;
    void MarkSaved() override;
    HWND ContentWindow() const override
    {
        return m_checkList.m_hWnd;
    }

private:
    struct CEntry
    {
        CXmlNode* item; // the item the entry's check is saved to; it belongs to the document
        int check;      // the check as the file has it
        CReadValue enabled;
    };
    // The lines that have an entry: all of them, unless the list was changed from outside.
    int EntryCount() const
    {
        return std::min(m_checkList.GetCount(), static_cast<int>(m_entries.size()));
    }

    int m_listId;
    std::vector<CEntry> m_entries;
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
