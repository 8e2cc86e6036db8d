// What every tab page shares: one content file, read once into its document and written back on Save.
#pragma once

#include <windows.h>
#include <memory>
#include <string>

#include "Dialog.h"
#include "Xml.h"

class CContentPage : public CDialog
{
public:
    CContentPage(UINT templateId, CWnd* parent);
    ~CContentPage() override;

    // Reads the file and shows it; called once, after the page's window exists.
    void LoadContent(const wchar_t* path);
    // Writes what the page shows into the document and saves the file: 1 when written. A file that was
    // never read is not written (0), so that a page never replaces what it did not show.
    int SaveContent();
    // Enable All (1) and Disable All (0); the file changes on the next save.
    virtual void SetAllChecks(int check) = 0;
    // Whether LoadContent read the file; false before it and after a failed read.
    bool IsLoaded() const
    {
        return m_loaded;
    }

    std::unique_ptr<CXmlDocument> m_document;
    std::wstring m_path;

protected:
    // Fills the page's controls from the document, read or not.
    virtual void ShowContent() = 0;
    // Copies the controls into the document before it is written.
    virtual void StoreContent() = 0;
    // Why the page shows nothing: no path, a file that could not be read, or one without what the page
    // edits (the text of noContentId after the path).
    std::wstring DescribeEmpty(UINT noContentId) const;
    // Sets an item's enabled flag. A missing flag reads as off, so it is appended only to switch it on.
    static void StoreEnabled(CXmlNode& item, bool on);

    // The code page of the document's bytes: what its values are shown from and typed text stored in.
    unsigned CodePage() const
    {
        return m_document->CodePage();
    }

private:
    bool m_loaded = false;
};
