// What every tab page shares: it shows one content file (ContentFile.h) and hands the person's
// actions to it. Whether the file may be written is the file's; the page only shows why not.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include "ContentFile.h"
#include "ContentSave.h"
#include "Controls.h"
#include "Dialog.h"

// What a page's save did.
enum class PageSave
{
    Unchanged, // nothing to write: the file already holds what the page shows
    Saved,
    NotSaved, // the page may not write its file, or writing failed; the file is as it was
};

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
    CContentPage(UINT templateId, CContentFile::Kind kind, CWnd* parent);
    ~CContentPage() override;

    // Shows file from now on, in place of the page's own; file outlives the page's window.
    void UseFile(CContentFile& file)
    {
        m_file = &file;
    }
    CContentFile& File() const
    {
        return *m_file;
    }

    // Reads the file at path and shows it; called once, after the page's window exists. shown is the
    // path as the person gave it, for the page's lines and messages (path itself when null).
    void LoadContent(const wchar_t* path, const wchar_t* shown = nullptr);
    // Shows the file read-only: the tab named editorTab edits the same file.
    void ShowEditedOn(const std::wstring& editorTab);
    // Shows the file as it now is, after it was read again or changed from outside the page.
    void Refresh();

    // Enable All (1) and Disable All (0), while the file may be written; the file changes on Save.
    virtual void SetAllChecks(int check) = 0;

    // Save of this page's file alone: the same save as the dialog's. Questions about a file another
    // program changed go to questions; without them the answer is No.
    PageSave SaveContent(CSaveQuestions* questions = nullptr);

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

    std::unique_ptr<CContentFile> m_ownFile; // shown until UseFile gives another
    CContentFile* m_file;
    RECT m_contentRect{}; // where ContentWindow stands without the note, in the page's client area
};
