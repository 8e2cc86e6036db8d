// The three list pages: one content file each, one entry per item, the box showing the item's enabled flag.
#pragma once

#include <windows.h>
#include <memory>
#include <string>

#include "CheckListBox.h"
#include "Dialog.h"
#include "Xml.h"

class CCheckListPage : public CDialog
{
public:
    CCheckListPage(UINT templateId, int listId, CWnd* parent);
    ~CCheckListPage() override;

    // Reads the file and fills the list; called once, after the page's window exists.
    void LoadContent(const char* path);
    // Writes the entries' checks into the items and saves the file: 1 when written. A file that was
    // never read is not written (0), so that a page never replaces what it did not show.
    int SaveContent();
    // 1 ticks every entry, 0 clears them; the file changes on the next save.
    void SetAllChecks(int check);
    // Whether LoadContent read the file; false before it and after a failed read.
    bool IsLoaded() const
    {
        return m_loaded;
    }

    CCheckListBox m_checkList;
    std::unique_ptr<CXmlDocument> m_document;
    std::string m_path;

protected:
    void DoDataExchange() override;

private:
    int m_listId;
    bool m_loaded = false;
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
