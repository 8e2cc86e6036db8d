// What every tab page shares: one content file, read into its document and written back on Save,
// but only when the person changed something and only while the page may write it.
#pragma once

#include <windows.h>
#include <memory>
#include <string>

#include "Controls.h"
#include "Dialog.h"
#include "Xml.h"

// What a page's save did.
enum class PageSave
{
    Unchanged, // nothing to write: the file already holds what the page shows
    Saved,
    NotSaved, // the page may not write its file, or writing failed; the file is as it was
};

// The person's words for why a file was not saved, after its path.
std::wstring SaveFailureText(XmlFileError error);

class CContentPage : public CDialog
{
public:
    CContentPage(UINT templateId, CWnd* parent);
    ~CContentPage() override;

    // Reads the file at path and shows it; called once, after the page's window exists. shown is the
    // path as the person gave it, for the page's lines and messages (path itself when null).
    void LoadContent(const wchar_t* path, const wchar_t* shown = nullptr);
    // Shows the file read-only: the tab named editorTab edits the same file.
    void ShowEditedOn(const std::wstring& editorTab);
    // Reads the file again and shows it as it now is, dropping the person's changes.
    void Reload();

    // Enable All (1) and Disable All (0); the file changes on the next save.
    virtual void SetAllChecks(int check) = 0;
    // Whether the person changed what the page shows since the file was read or last saved.
    virtual bool HasChanges() const = 0;
    // Whether the page may write its file: one it read whole, understood, and alone edits.
    bool CanSave() const;

    // A save of this page alone: the steps below in one.
    PageSave SaveContent();
    // The steps of a save of several pages, all or none. CheckFile: None when the file still holds
    // the bytes the page read or last wrote. PrepareSave: writes the page's new file beside its own
    // (an empty save when nothing differs). Saved: the committed file is the page's new start.
    XmlFileError CheckFile() const;
    XmlFileError PrepareSave(CXmlPendingSave& save);
    void Saved();

    // The path as the person gave it.
    const std::wstring& ShownPath() const
    {
        return m_shownPath;
    }
    // Why the last SaveContent did not save, or why the page may not save: a line for the person,
    // after the path. Empty when nothing stands in the way.
    std::wstring SaveFailure() const;

    std::unique_ptr<CXmlDocument> m_document;
    std::wstring m_path;
    CWnd m_pageNote; // says why a file that is shown is read-only

protected:
    void DoDataExchange() override;
    // Fills the page's controls from the document, read or not; a second call replaces the first.
    virtual void ShowContent() = 0;
    // Copies what the person changed into the document before it is written.
    virtual void StoreContent() = 0;
    // What the page shows is now what the file holds.
    virtual void MarkSaved() = 0;
    // The controls that show the file, to be moved below the read-only note while it shows.
    virtual HWND ContentWindow() const = 0;
    // Why the page shows nothing: no path, a file that could not be read, or one without what the page
    // edits (the text of noContentId after the path).
    std::wstring DescribeEmpty(UINT noContentId) const;
    // An attribute as the file holds it, to put back when the person undoes a change.
    struct CReadValue
    {
        bool present = false;
        std::string value;
    };
    static CReadValue ReadValue(const CXmlNode& item, const char* name);
    // Gives the attribute the value read; one that was not there and was added since goes again.
    static void RestoreValue(CXmlNode& item, const char* name, const CReadValue& read);
    // Sets an item's enabled flag. A missing flag reads as off, so it is appended only to switch it on.
    static void StoreEnabled(CXmlNode& item, bool on);
    // Shows or hides the read-only note, after ShowContent.
    void ShowNote();

    // The code page of the tree's bytes: what its values are shown from and typed text stored in.
    unsigned TreeCodePage() const
    {
        return m_document->TreeCodePage();
    }
    bool IsLoaded() const
    {
        return m_loaded;
    }

private:
    // After the path: why the file could not be read, and where it is not well-formed.
    std::wstring ReadFailure() const;
    std::wstring SyntaxFailure() const;

    std::wstring m_shownPath;
    std::wstring m_editorTab; // the tab that edits this page's file, when another one does
    bool m_loaded = false;
    XmlFileError m_saveError = XmlFileError::None;
    RECT m_contentRect{}; // where ContentWindow stands without the note, in the page's client area
};
