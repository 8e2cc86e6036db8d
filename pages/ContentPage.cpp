#include <windows.h>
#include <algorithm>

#include "ContentPage.h"
#include "ContentText.h"
#include "resource.h"

namespace
{
// Dialog units between the read-only note and what stands below it.
constexpr int kNoteGap = 2;

// Each reason is paired with its text here, not found by arithmetic on ids.
struct CFileErrorText
{
    XmlFileError error;
    UINT readId;
    UINT saveId;
};
const CFileErrorText kFileErrorTexts[] = {
    {XmlFileError::NotFound,      IDS_READ_NOT_FOUND,      IDS_SAVE_GONE          },
    {XmlFileError::FolderMissing, IDS_READ_FOLDER_MISSING, IDS_SAVE_FOLDER_MISSING},
    {XmlFileError::AccessDenied,  IDS_READ_ACCESS_DENIED,  IDS_SAVE_ACCESS_DENIED },
    {XmlFileError::InUse,         IDS_READ_IN_USE,         IDS_SAVE_IN_USE        },
    {XmlFileError::ReadOnly,      IDS_NOT_READ,            IDS_SAVE_READ_ONLY     },
    {XmlFileError::DiskFull,      IDS_NOT_READ,            IDS_SAVE_DISK_FULL     },
    {XmlFileError::TooLarge,      IDS_READ_TOO_LARGE,      IDS_SAVE_FAILED        },
    {XmlFileError::BadEncoding,   IDS_READ_BAD_ENCODING,   IDS_SAVE_FAILED        },
    {XmlFileError::NotText,       IDS_READ_NOT_TEXT,       IDS_SAVE_FAILED        },
    {XmlFileError::Changed,       IDS_NOT_READ,            IDS_SAVE_CHANGED       },
};

// Each kind of syntax error and its text.
struct CSyntaxText
{
    XmlSyntaxError error;
    UINT id;
};
const CSyntaxText kSyntaxTexts[] = {
    {XmlSyntaxError::NoDocumentElement,  IDS_SYNTAX_NO_ELEMENT   },
    {XmlSyntaxError::EndInsideMarkup,    IDS_SYNTAX_END_IN_MARKUP},
    {XmlSyntaxError::UnclosedElement,    IDS_SYNTAX_UNCLOSED     },
    {XmlSyntaxError::StrayEndTag,        IDS_SYNTAX_STRAY_END_TAG},
    {XmlSyntaxError::BadName,            IDS_SYNTAX_BAD_NAME     },
    {XmlSyntaxError::AttributeSyntax,    IDS_SYNTAX_ATTRIBUTE    },
    {XmlSyntaxError::LessThanInValue,    IDS_SYNTAX_LESS_THAN    },
    {XmlSyntaxError::BadMarkup,          IDS_SYNTAX_BAD_MARKUP   },
    {XmlSyntaxError::UnclosedTemplate,   IDS_SYNTAX_TEMPLATE     },
    {XmlSyntaxError::ControlCharacter,   IDS_SYNTAX_CONTROL      },
    {XmlSyntaxError::UnwritableEncoding, IDS_SYNTAX_ENCODING     },
};

const CFileErrorText* FileErrorText(XmlFileError error)
{
    for (const CFileErrorText& text : kFileErrorTexts)
    {
        if (text.error == error)
            return &text;
    }
    return nullptr;
}

std::wstring ReadFailure(const CContentFile& file)
{
    const CXmlFileStatus& status = file.ReadStatus();
    const CFileErrorText* text = FileErrorText(status.error);
    return CDialog::FormatText(text ? text->readId : IDS_NOT_READ, {std::to_wstring(status.offset)});
}

std::wstring SyntaxFailure(const CContentFile& file)
{
    const CXmlSyntax& syntax = file.Syntax();
    // A file in an encoding that nothing could be typed into is not ill-formed: it says so otherwise.
    const UINT format = syntax.error == XmlSyntaxError::UnwritableEncoding ? IDS_READ_ONLY_ENCODING : IDS_READ_ONLY_SYNTAX;
    return CDialog::FormatText(format, {std::to_wstring(syntax.line), std::to_wstring(syntax.column),
                                        SyntaxErrorText(syntax.error)});
}
} // namespace

std::wstring SyntaxErrorText(XmlSyntaxError error)
{
    for (const CSyntaxText& text : kSyntaxTexts)
    {
        if (text.error == error)
            return CDialog::LoadText(text.id);
    }
    return std::wstring();
}

std::wstring SaveFailureText(XmlFileError error)
{
    const CFileErrorText* text = FileErrorText(error);
    return CDialog::LoadText(text ? text->saveId : IDS_SAVE_FAILED);
}

std::wstring LockText(const CContentFile& file)
{
    switch (file.Lock())
    {
    case ContentLock::NotRead:
        return ReadFailure(file);
    case ContentLock::NotWellFormed:
        return SyntaxFailure(file);
    case ContentLock::EntityMarkup:
        return CDialog::FormatText(IDS_READ_ONLY_ENTITY, {AsWide(file.LockName())});
    case ContentLock::DeclaredAttribute:
        return CDialog::FormatText(IDS_READ_ONLY_ATTLIST,
                                   {AsWide(file.LockName()), AsWide(file.LockElement())});
    case ContentLock::UnreadDocumentType:
        return CDialog::LoadText(IDS_READ_ONLY_DOCTYPE);
    default:
        return std::wstring();
    }
}

CContentPage::CContentPage(UINT templateId, CWnd* parent) : CDialog(templateId, parent)
{
}

CContentPage::~CContentPage()
{
    // The window goes while the file it shows is alive. The derived page's controls are gone already
    // and have unbound themselves, so the requests the window's end sends reach no dead object.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

void CContentPage::DoDataExchange()
{
    Bind(m_pageNote, IDC_PAGE_NOTE);
}

void CContentPage::Refresh()
{
    // Where the content stands without the note, taken before the note first moves it.
    HWND content = ContentWindow();
    if (content && IsRectEmpty(&m_contentRect))
    {
        GetWindowRect(content, &m_contentRect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&m_contentRect), 2);
    }
    ShowContent();
    ShowNote();
}

void CContentPage::ShowNote()
{
    std::wstring note;
    const ContentLock lock = m_file->Lock();
    const std::wstring path = AsWide(m_file->ShownPath());
    if (lock == ContentLock::EditedOnOtherTab)
        note = path + FormatText(IDS_READ_ONLY_EDITED_ON, {AsWide(m_file->EditorTab())});
    else if (lock != ContentLock::NotRead && !LockText(*m_file).empty())
        note = path + LockText(*m_file);
    else
        note = ContentNote();
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

std::wstring CContentPage::DescribeEmpty(UINT noContentId) const
{
    if (m_file->Lock() == ContentLock::NoPath)
        return LoadText(IDS_INI_NO_FILE);
    const std::wstring path = AsWide(m_file->ShownPath());
    if (m_file->WasRead())
        return path + LoadText(noContentId);
    return path + ReadFailure(*m_file);
}
