#include <windows.h>
#include <algorithm>

#include "ContentPage.h"
#include "ContentText.h"
#include "resource.h"

namespace
{
// Dialog units between the read-only note and what stands below it.
constexpr int kNoteGap = 2;

UINT ReadFailureId(XmlFileError error)
{
    switch (error)
    {
    case XmlFileError::NotFound:
        return IDS_READ_NOT_FOUND;
    case XmlFileError::FolderMissing:
        return IDS_READ_FOLDER_MISSING;
    case XmlFileError::AccessDenied:
        return IDS_READ_ACCESS_DENIED;
    case XmlFileError::InUse:
        return IDS_READ_IN_USE;
    case XmlFileError::BadEncoding:
        return IDS_READ_BAD_ENCODING;
    case XmlFileError::NotText:
        return IDS_READ_NOT_TEXT;
    case XmlFileError::TooLarge:
        return IDS_READ_TOO_LARGE;
    default:
        return IDS_NOT_READ;
    }
}
} // namespace

std::wstring SaveFailureText(XmlFileError error)
{
    switch (error)
    {
    case XmlFileError::ReadOnly:
        return CDialog::LoadText(IDS_SAVE_READ_ONLY);
    case XmlFileError::AccessDenied:
        return CDialog::LoadText(IDS_SAVE_ACCESS_DENIED);
    case XmlFileError::InUse:
        return CDialog::LoadText(IDS_SAVE_IN_USE);
    case XmlFileError::DiskFull:
        return CDialog::LoadText(IDS_SAVE_DISK_FULL);
    case XmlFileError::FolderMissing:
        return CDialog::LoadText(IDS_SAVE_FOLDER_MISSING);
    case XmlFileError::Changed:
    case XmlFileError::NotFound:
        return CDialog::LoadText(IDS_SAVE_CHANGED);
    default:
        return CDialog::LoadText(IDS_SAVE_FAILED);
    }
}

CContentPage::CContentPage(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_document(std::make_unique<CXmlDocument>())
{
}

CContentPage::~CContentPage()
{
    // The window goes before the document. The derived page's controls are gone already and have
    // unbound themselves, so the requests the window's end sends (the list's deletions) reach no dead
    // object.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_document->m_root.Clear();
}

void CContentPage::DoDataExchange()
{
    Bind(m_pageNote, IDC_PAGE_NOTE);
}

void CContentPage::LoadContent(const wchar_t* path, const wchar_t* shown)
{
    m_path = path ? path : L"";
    m_shownPath = shown ? shown : m_path;
    if (HWND content = ContentWindow())
    {
        GetWindowRect(content, &m_contentRect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&m_contentRect), 2);
    }
    Reload();
}

void CContentPage::Reload()
{
    auto document = std::make_unique<CXmlDocument>();
    m_loaded = !m_path.empty() && document->Load(Utf8Path(m_path).c_str());
    // The controls refer to the old document's items until they are filled again.
    std::swap(m_document, document);
    ShowContent();
    document->m_root.Clear();
    document.reset();
    m_saveError = XmlFileError::None;
    ShowNote();
}

void CContentPage::ShowEditedOn(const std::wstring& editorTab)
{
    m_editorTab = editorTab;
    ShowContent();
    ShowNote();
}

bool CContentPage::CanSave() const
{
    return m_loaded && m_editorTab.empty() && m_document->m_documentElement &&
           m_document->Syntax().error == XmlSyntaxError::None;
}

void CContentPage::ShowNote()
{
    std::wstring note;
    if (m_loaded && !m_editorTab.empty())
        note = m_shownPath + FormatText(IDS_READ_ONLY_EDITED_ON, {m_editorTab});
    else if (m_loaded && m_document->m_documentElement && m_document->Syntax().error != XmlSyntaxError::None)
        note = m_shownPath + SyntaxFailure();
    m_pageNote.SetText(note.c_str());
    ShowWindow(m_pageNote.m_hWnd, note.empty() ? SW_HIDE : SW_SHOWNA);

    // The note stands above what the page shows, which gives up the room.
    HWND content = ContentWindow();
    if (!content || IsRectEmpty(&m_contentRect))
        return;
    RECT area = m_contentRect;
    if (!note.empty())
    {
        RECT noteRect{};
        GetWindowRect(m_pageNote.m_hWnd, &noteRect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&noteRect), 2);
        RECT gap{0, 0, 0, kNoteGap};
        MapDialogRect(m_hWnd, &gap);
        if (noteRect.bottom + gap.bottom > area.top && noteRect.top <= area.top)
            area.top = std::min(area.bottom, noteRect.bottom + gap.bottom);
    }
    SetWindowPos(content, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

XmlFileError CContentPage::CheckFile() const
{
    return m_document->CompareWithFile(Utf8Path(m_path).c_str());
}

XmlFileError CContentPage::PrepareSave(CXmlPendingSave& save)
{
    StoreContent();
    return m_document->PrepareSave(Utf8Path(m_path).c_str(), save);
}

void CContentPage::Saved()
{
    MarkSaved();
    m_saveError = XmlFileError::None;
}

PageSave CContentPage::SaveContent()
{
    m_saveError = XmlFileError::None;
    if (!m_loaded)
        return PageSave::NotSaved;
    if (!HasChanges())
        return PageSave::Unchanged;
    if (!CanSave())
        return PageSave::NotSaved;
    m_saveError = CheckFile();
    CXmlPendingSave save;
    if (m_saveError == XmlFileError::None)
        m_saveError = PrepareSave(save);
    if (m_saveError == XmlFileError::None)
        m_saveError = save.Commit();
    if (m_saveError != XmlFileError::None)
        return PageSave::NotSaved;
    Saved();
    return PageSave::Saved;
}

std::wstring CContentPage::SaveFailure() const
{
    if (m_saveError != XmlFileError::None)
        return SaveFailureText(m_saveError);
    if (CanSave())
        return std::wstring();
    if (m_path.empty())
        return std::wstring();
    if (!m_loaded)
        return ReadFailure();
    if (!m_editorTab.empty() || !m_document->m_documentElement)
        return std::wstring();
    return SyntaxFailure();
}

std::wstring CContentPage::ReadFailure() const
{
    const CXmlFileStatus& status = m_document->FileStatus();
    return FormatText(ReadFailureId(status.error), {std::to_wstring(status.offset)});
}

std::wstring CContentPage::SyntaxFailure() const
{
    const CXmlSyntax& syntax = m_document->Syntax();
    return FormatText(IDS_READ_ONLY_SYNTAX, {std::to_wstring(syntax.line), std::to_wstring(syntax.column),
                                             LoadText(IDS_SYNTAX_FIRST + static_cast<UINT>(syntax.error))});
}

CContentPage::CReadValue CContentPage::ReadValue(const CXmlNode& item, const char* name)
{
    const CXmlAttribute* attribute = item.FindAttribute(name);
    return attribute ? CReadValue{true, attribute->m_value.str()} : CReadValue{};
}

void CContentPage::RestoreValue(CXmlNode& item, const char* name, const CReadValue& read)
{
    CXmlAttribute* attribute = item.FindAttribute(name);
    if (read.present && attribute && attribute->m_value != read.value)
        attribute->m_value = read.value;
    if (read.present || !attribute)
        return;
    for (auto at = item.m_attributes.begin(); at != item.m_attributes.end(); ++at)
    {
        if (at->get() == attribute)
        {
            item.m_attributes.erase(at);
            break;
        }
    }
}

void CContentPage::StoreEnabled(CXmlNode& item, bool on)
{
    if (CXmlAttribute* enabled = item.FindAttribute("enabled"))
        enabled->m_value = on ? "1" : "0";
    else if (on)
        item.AddAttribute("enabled", "1");
}

std::wstring CContentPage::DescribeEmpty(UINT noContentId) const
{
    if (m_path.empty())
        return LoadText(IDS_INI_NO_FILE);
    if (m_loaded)
        return m_shownPath + LoadText(noContentId);
    return m_shownPath + ReadFailure();
}
