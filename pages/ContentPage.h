// What every tab page shares: it shows one content file (ContentFile.h) and hands the person's
// actions to it. Whether the file may be written is the file's; the page only shows why not.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include "ContentFile.h"
#include "Controls.h"
#include "Dialog.h"

// What is wrong with a file that is not well-formed; empty for None.
std::wstring SyntaxErrorText(XmlSyntaxError error);
// The person's words for why a file was not saved, after its path.
std::wstring SaveFailureText(XmlFileError error);
// After the file's path: why the file may not be written, when that is worth a line of its own (a
// file that could not be read, or is not well-formed); empty otherwise.
std::wstring LockText(const CContentFile& file);

class CContentPage : public CDialog
{
public:
    CContentPage(UINT templateId, CWnd* parent);
    ~CContentPage() override;

    // The file the page shows from now on; it outlives the page's window.
    void UseFile(CContentFile& file)
    {
        m_file = &file;
    }
    CContentFile& File() const
    {
        return *m_file;
    }

    // Shows the file as it now is: read, read again, or changed from outside the page.
    void Refresh();

    // Enable All (1) and Disable All (0), while the file may be written; the file changes on Save.
    virtual void SetAllChecks(int check) = 0;

    CWnd m_pageNote; // says why a file that is shown is read-only

protected:
    void DoDataExchange() override;
    // Fills the page's controls from the file; a second call replaces the first.
    virtual void ShowContent() = 0;
    // The controls that show the file, to be moved below the read-only note while it shows.
    virtual HWND ContentWindow() const = 0;
    // What the note says of a file that may be written, when part of it may not be edited.
    virtual std::wstring ContentNote() const
    {
        return std::wstring();
    }
    // Why the page shows nothing: no path, a file that could not be read, or one without what the page
    // edits (the text of noContentId after the path).
    std::wstring DescribeEmpty(UINT noContentId) const;

private:
    // Shows or hides the read-only note, after ShowContent.
    void ShowNote();

    CContentFile* m_file = nullptr;
    RECT m_contentRect{}; // where ContentWindow stands without the note, in the page's client area
};
