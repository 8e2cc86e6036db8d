#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "RuntimeLink.h"

#include "AboutBox.h"
#include "ContentText.h"
#include "CustomizeDlg.h"
#include "Dpi.h"
#include "UxTheme.h"
#include "resource.h"

namespace
{
// Sent by the keyboard filter to the dialog: wParam 1 moves to the next tab, 0 to the previous one.
constexpr UINT kMsgCycleTab = WM_APP + 1;
// Posted to the dialog once a DPI change has rescaled its controls: the page goes over the tab control
// again.
constexpr UINT kMsgPlacePage = WM_APP + 2;
// Posted at start when a save that was cut off was found: told once the window shows.
constexpr UINT kMsgReportRecovery = WM_APP + 3;
// Marks the window whose modal loop the filter serves.
const wchar_t kCycleTabProp[] = L"CustomizeDlg.CycleTab";


// The first control a person reaches with Tab in a page; null when none can take the focus.
HWND FirstTabStop(HWND hPage)
{
    for (HWND child = GetWindow(hPage, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(child) &&
            IsWindowEnabled(child))
            return child;
    }
    return nullptr;
}

// Ctrl+Tab and Ctrl+Shift+Tab move between the tabs, as in the platform's other tabbed dialogs. The
// dialog manager's loop offers every message to this filter before it handles the keyboard itself.
LRESULT CALLBACK CycleTabFilter(int code, WPARAM wParam, LPARAM lParam)
{
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB &&
        (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000))
    {
        HWND root = GetAncestor(msg->hwnd, GA_ROOT);
        if (root && GetPropW(root, kCycleTabProp))
        {
            const bool forward = !(GetKeyState(VK_SHIFT) & 0x8000);
            SendMessageW(root, kMsgCycleTab, forward ? 1 : 0, 0);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

const TMsgEntry<CCustomizeDlg> CCustomizeDlg::s_msgMap[] = {
    {WM_SYSCOMMAND,    0,             0,               &CCustomizeDlg::OnSysCommand   },
    {WM_PAINT,         0,             0,               &CCustomizeDlg::OnPaint        },
    {WM_QUERYDRAGICON, 0,             0,               &CCustomizeDlg::OnQueryDragIcon},
    {WM_SHOWWINDOW,    0,             0,               &CCustomizeDlg::OnShowWindow   },
    {WM_NOTIFY,        TCN_SELCHANGE, IDC_TAB,         &CCustomizeDlg::OnTabSelChange },
    {WM_CLOSE,         0,             0,               &CCustomizeDlg::OnClose        },
    {WM_COMMAND,       BN_CLICKED,    IDC_SAVE,        &CCustomizeDlg::OnSave         },
    {WM_COMMAND,       BN_CLICKED,    IDC_CLOSE,       &CCustomizeDlg::OnCloseButton  },
    {WM_COMMAND,       BN_CLICKED,    IDC_ENABLE_ALL,  &CCustomizeDlg::OnEnableAll    },
    {WM_COMMAND,       BN_CLICKED,    IDC_DISABLE_ALL, &CCustomizeDlg::OnDisableAll   },
    {kMsgCycleTab,     0,             0,               &CCustomizeDlg::OnCycleTab     },
    {WM_DESTROY,       0,             0,               &CCustomizeDlg::OnDestroy      },
    {WM_DPICHANGED,    0,             0,               &CCustomizeDlg::OnDpiChanged   },
    {kMsgPlacePage,    0,             0,               &CCustomizeDlg::OnPlacePage    },
    {kMsgReportRecovery, 0,           0,               &CCustomizeDlg::OnReportRecovery},
    {WM_HELP,          0,             0,               &CCustomizeDlg::OnHelp         },
    {WM_COMMAND,       0,             ID_HELP,         &CCustomizeDlg::OnHelp         },
};

namespace
{
std::vector<CContentFile::Kind> PageFileKinds()
{
    std::vector<CContentFile::Kind> kinds;
    for (const CPageKind& kind : kPageKinds)
        kinds.push_back(kind.hasList ? CContentFile::Kind::List : CContentFile::Kind::Link);
    return kinds;
}
} // namespace

CCustomizeDlg::CCustomizeDlg(CWnd* parent) : CDialog(IDD_CUSTOMIZE, parent), m_content(PageFileKinds())
{
    for (size_t index = 0; index < m_pages.size(); ++index)
    {
        m_pages[index] = kPageKinds[index].create(this);
        m_pages[index]->UseFile(m_content.File(index));
    }
}

CCustomizeDlg::~CCustomizeDlg()
{
    // A modeless dialog (the tests') still open: the window goes while the hook, the bound controls and
    // the pages it unhooks and unbinds are alive.
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

bool CCustomizeDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return DispatchMsg(this, s_msgMap, msg, wParam, lParam, result);
}

void CCustomizeDlg::DoDataExchange()
{
    Bind(m_tabCtrl, IDC_TAB);
    Bind(m_saveButton, IDC_SAVE);
    Bind(m_closeButton, IDC_CLOSE);
    Bind(m_enableAllButton, IDC_ENABLE_ALL);
    Bind(m_disableAllButton, IDC_DISABLE_ALL);
}

BOOL CCustomizeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(m_hWnd, FALSE))
    {
        const std::wstring about = LoadText(IDS_ABOUTBOX);
        if (!about.empty())
        {
            AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }

    UpdateIcons();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC =
        ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_NATIVEFNTCTL_CLASS;
    InitCommonControlsEx(&controls);

    for (const auto& page : m_pages)
    {
        page->Create(this);
        CUxTheme::Get().EnableTabPageTexture(page->m_hWnd);
    }
    m_tabCtrl.SetExtendedStyle(m_tabCtrl.GetExtendedStyle() | TCS_EX_FLATSEPARATORS);
    for (int index = 0; index < kPageCount; ++index)
        m_tabCtrl.InsertItem(index, (L"  " + std::wstring(kPageKinds[index].label) + L"   ").c_str());
    // The row of tabs decides where the display area begins.
    ComputePageArea();
    ShowPage(0);

    // A save that was cut off is finished or undone before the files are read.
    const std::array<CContentLocation, kPageCount> locations = ResolveContentPaths(L"xml.ini");
    std::vector<CContentSet::CSource> sources;
    for (size_t index = 0; index < locations.size(); ++index)
    {
        sources.push_back({AsUtf16(kPageKinds[index].label),
                           Utf8Path(locations[index].fullPath), AsUtf16(locations[index].shown)});
    }
    m_recoveries = m_content.Open(sources);
    for (const auto& page : m_pages)
        page->Refresh();
    UpdateButtons(m_tabCtrl.GetCurSel());
    if (!m_recoveries.empty())
        PostMessageW(m_hWnd, kMsgReportRecovery, 0, 0);

    SetPropW(m_hWnd, kCycleTabProp, reinterpret_cast<HANDLE>(1));
    m_hKeyHook = SetWindowsHookExW(WH_MSGFILTER, CycleTabFilter, nullptr, GetCurrentThreadId());
    return TRUE;
}

void CCustomizeDlg::ComputePageArea()
{
    RECT area{};
    GetClientRect(m_tabCtrl.m_hWnd, &area);
    m_tabCtrl.AdjustRect(area);
    MapWindowPoints(m_tabCtrl.m_hWnd, m_hWnd, reinterpret_cast<POINT*>(&area), 2);
    m_pageRect = {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

void CCustomizeDlg::ShowPage(int index, bool fromKeyboard)
{
    if (index < 0 || index >= kPageCount)
        return;
    HWND hShown = m_pages[static_cast<size_t>(index)]->m_hWnd;
    HWND focus = GetFocus();
    bool focusLeaves = false;
    for (const auto& page : m_pages)
        focusLeaves = focusLeaves || (page->m_hWnd != hShown && focus && IsChild(page->m_hWnd, focus));
    focusLeaves = focusLeaves || (!ButtonsAct(index) &&
                                  (focus == m_enableAllButton.m_hWnd || focus == m_disableAllButton.m_hWnd));

    SetWindowPos(hShown, HWND_TOP, m_pageRect.left, m_pageRect.top, m_pageRect.width, m_pageRect.height,
                 SWP_SHOWWINDOW);
    m_tabCtrl.SetCurSel(index);
    // A hidden window keeps the focus, and the keys with it: it moves before the page goes.
    if (focusLeaves)
    {
        HWND target = fromKeyboard ? FirstTabStop(hShown) : nullptr;
        Send(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target ? target : m_tabCtrl.m_hWnd), TRUE);
    }
    for (const auto& page : m_pages)
    {
        if (page->m_hWnd != hShown)
            ShowWindow(page->m_hWnd, SW_HIDE);
    }
    UpdateButtons(index);
}

// Enable All and Disable All have nothing to act on where the page has no list or may not change it.
bool CCustomizeDlg::ButtonsAct(int index) const
{
    const auto page = static_cast<size_t>(index);
    return page < m_content.Count() && kPageKinds[page].hasList && m_content.File(page).CanWrite();
}

void CCustomizeDlg::UpdateButtons(int index)
{
    EnableWindow(m_enableAllButton.m_hWnd, ButtonsAct(index));
    EnableWindow(m_disableAllButton.m_hWnd, ButtonsAct(index));
}

void CCustomizeDlg::UpdateIcons()
{
    const UINT dpi = WindowDpi(m_hWnd);
    const auto load = [dpi](int width, int height) {
        return CIcon(static_cast<HICON>(LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                   MetricForDpi(width, dpi), MetricForDpi(height, dpi), 0)));
    };
    CIcon bigIcon = load(SM_CXICON, SM_CYICON);
    CIcon smallIcon = load(SM_CXSMICON, SM_CYSMICON);
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(static_cast<HICON>(bigIcon)));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(static_cast<HICON>(smallIcon)));
    // The window lets go of the previous icons before they are destroyed.
    m_bigIcon = std::move(bigIcon);
    m_smallIcon = std::move(smallIcon);
}

bool CCustomizeDlg::OnSysCommand(WPARAM wParam, LPARAM, LRESULT& result)
{
    if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    // Owned by and centred over this dialog even while another program's window is active.
    CAboutBox about(this);
    about.DoModal();
    result = 0;
    return true;
}

bool CCustomizeDlg::OnPaint(WPARAM, LPARAM, LRESULT& result)
{
    if (!IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT paint;
    HDC hDC = BeginPaint(m_hWnd, &paint);
    Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC));
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(hDC, x, y, m_bigIcon);
    EndPaint(m_hWnd, &paint);
    result = 0;
    return true;
}

bool CCustomizeDlg::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result)
{
    result = reinterpret_cast<LRESULT>(static_cast<HICON>(m_bigIcon));
    return true;
}

bool CCustomizeDlg::OnShowWindow(WPARAM wParam, LPARAM, LRESULT&)
{
    if (wParam)
        ShowPage(0);
    return false;
}

bool CCustomizeDlg::OnTabSelChange(WPARAM, LPARAM, LRESULT&)
{
    ShowPage(m_tabCtrl.GetCurFocus());
    // The notification's result stays as it was.
    return false;
}

bool CCustomizeDlg::OnClose(WPARAM, LPARAM, LRESULT&)
{
    return false;
}

// Only the files the person changed are written, all or none (ContentSet.h). Nothing may leave a
// window procedure: a save that throws has undone itself, and the person is told.
bool CCustomizeDlg::OnSave(WPARAM, LPARAM, LRESULT& result)
{
    result = 0;
    std::vector<CSaveResult> results;
    try
    {
        results = m_content.Save(this);
    }
    catch (...)
    {
        results.clear();
    }
    if (results.empty())
    {
        MessageBoxW(m_hWnd, (LoadText(IDS_SAVE_NOTHING_CHANGED) + L"\n" + LoadText(IDS_SAVE_FAILED)).c_str(),
                    GetText().c_str(), MB_OK | MB_ICONWARNING);
        return true;
    }
    for (size_t index = 0; index < results.size() && index < m_pages.size(); ++index)
    {
        if (results[index].outcome == SaveOutcome::KeptOther)
            m_pages[index]->Refresh();
    }
    UpdateButtons(m_tabCtrl.GetCurSel());
    // A save the person cancelled at a question did nothing to tell of.
    if (results.front().outcome != SaveOutcome::Cancelled)
        ReportSave(results);
    return true;
}

// One message for everything the start found of saves that were cut off.
bool CCustomizeDlg::OnReportRecovery(WPARAM, LPARAM, LRESULT& result)
{
    result = 0;
    std::wstring message;
    bool blocked = false;
    for (const CSaveRecovery& recovery : m_recoveries)
    {
        std::wstring text;
        switch (recovery.outcome)
        {
        case CSaveRecovery::Outcome::Undone:
            text = LoadText(IDS_RECOVERY_UNDONE);
            break;
        case CSaveRecovery::Outcome::Finished:
            text = LoadText(IDS_RECOVERY_FINISHED);
            break;
        case CSaveRecovery::Outcome::Cleaned:
            text = LoadText(IDS_RECOVERY_CLEANED);
            break;
        default:
            blocked = true;
            text = FormatText(IDS_RECOVERY_BLOCKED, {WidePath(recovery.path), SaveFailureText(recovery.error)});
            break;
        }
        // A file a tab shows goes by the name the tab gives it.
        for (size_t i = 0; recovery.outcome != CSaveRecovery::Outcome::Blocked && i < recovery.files.size(); ++i)
        {
            std::wstring name = WidePath(recovery.files[i]);
            for (size_t index = 0; index < m_content.Count(); ++index)
            {
                if (m_content.File(index).Path() == recovery.files[i])
                    name = AsWide(m_content.File(index).ShownPath());
            }
            text += L"\n" + name;
        }
        message += (message.empty() ? L"" : L"\n\n") + text;
    }
    m_recoveries.clear();
    if (!message.empty())
        MessageBoxW(m_hWnd, message.c_str(), GetText().c_str(), MB_OK | (blocked ? MB_ICONWARNING : MB_ICONINFORMATION));
    return true;
}

// A save that failed names every changed file and what became of it; one that succeeded names the
// files it left because they may not be written, when there is a reason to give.
void CCustomizeDlg::ReportSave(const std::vector<CSaveResult>& results)
{
    bool failed = false;
    bool notPutBack = false;
    std::wstring changed;
    std::wstring left;
    for (const CSaveResult& saved : results)
    {
        const std::wstring path = AsWide(saved.file->ShownPath());
        switch (saved.outcome)
        {
        case SaveOutcome::Failed:
            failed = true;
            changed += L"\n" + path + SaveFailureText(saved.error);
            break;
        case SaveOutcome::NotWritten:
            changed += L"\n" + path + LoadText(IDS_SAVE_NOT_WRITTEN);
            break;
        case SaveOutcome::PutBack:
            changed += L"\n" + path + LoadText(IDS_SAVE_PUT_BACK);
            break;
        case SaveOutcome::NotPutBack:
            failed = true;
            notPutBack = true;
            changed += L"\n" + path + FormatText(IDS_SAVE_KEPT_AT, {WidePath(saved.kept)});
            break;
        case SaveOutcome::ReadOnly: {
            const std::wstring why = LockText(*saved.file);
            if (!why.empty())
                left += L"\n" + path + why;
            break;
        }
        default:
            break;
        }
    }
    std::wstring message;
    if (failed)
        message = LoadText(notPutBack ? IDS_SAVE_NOT_PUT_BACK : IDS_SAVE_NOTHING_CHANGED) + changed;
    else if (!left.empty())
        message = LoadText(IDS_SAVE_LEFT_AS_IT_IS) + left;
    if (!message.empty())
        MessageBoxW(m_hWnd, message.c_str(), GetText().c_str(), MB_OK | MB_ICONWARNING);
}

// Yes writes over the file, No keeps the other program's version, and Cancel, the default, stops
// the save; Escape and the close box cancel too.
SaveAnswer CCustomizeDlg::AskReplace(const CContentFile& file, XmlFileError found)
{
    const std::wstring title = GetText();
    const std::wstring question =
        FormatText(found == XmlFileError::NotFound ? IDS_SAVE_ASK_GONE : IDS_SAVE_ASK_CHANGED, {AsWide(file.ShownPath())});
    const std::wstring detail = LoadText(IDS_SAVE_ASK_REPLACE);
    int button = IDCANCEL;
    static const auto taskDialog =
        LookUpFunction<decltype(&TaskDialogIndirect)>(GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect");
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = m_hWnd;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszMainInstruction = question.c_str();
    config.pszContent = detail.c_str();
    config.nDefaultButton = IDCANCEL;
    if (!taskDialog || FAILED(taskDialog(&config, &button, nullptr, nullptr)))
    {
        const std::wstring message = question + L"\n\n" + detail;
        button = MessageBoxW(m_hWnd, message.c_str(), title.c_str(), MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONWARNING);
    }
    return button == IDYES ? SaveAnswer::Replace : button == IDNO ? SaveAnswer::KeepOther : SaveAnswer::Cancel;
}

bool CCustomizeDlg::OnCloseButton(WPARAM, LPARAM, LRESULT& result)
{
    EndDialog(IDCLOSE);
    result = 0;
    return true;
}

void CCustomizeDlg::SetAllChecks(int check)
{
    const int index = m_tabCtrl.GetCurFocus();
    if (index >= 0 && index < kPageCount)
        m_pages[static_cast<size_t>(index)]->SetAllChecks(check);
}

bool CCustomizeDlg::OnEnableAll(WPARAM, LPARAM, LRESULT& result)
{
    SetAllChecks(1);
    result = 0;
    return true;
}

bool CCustomizeDlg::OnDisableAll(WPARAM, LPARAM, LRESULT& result)
{
    SetAllChecks(0);
    result = 0;
    return true;
}

bool CCustomizeDlg::OnCycleTab(WPARAM wParam, LPARAM, LRESULT& result)
{
    const int count = m_tabCtrl.GetItemCount();
    if (count > 0)
    {
        const int current = m_tabCtrl.GetCurSel();
        const int next = wParam ? (current + 1) % count : (current + count - 1) % count;
        // Selecting through the focus request would leave the tab control's own press state behind,
        // after which clicks on its tabs went unanswered; selecting the page directly keeps both in step.
        ShowPage(next, true);
        // The keys never reached the dialog manager, which would have shown the focus for them.
        Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    }
    result = 0;
    return true;
}

// On a monitor of another DPI: the window takes the size the system suggests, and the dialog manager
// rescales the controls and their fonts once this returns (the lists size their lines again as their
// fonts change).
bool CCustomizeDlg::OnDpiChanged(WPARAM, LPARAM lParam, LRESULT&)
{
    if (const auto* suggested = reinterpret_cast<const RECT*>(lParam))
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateIcons();
    PostMessageW(m_hWnd, kMsgPlacePage, 0, 0);
    return false;
}

bool CCustomizeDlg::OnPlacePage(WPARAM, LPARAM, LRESULT& result)
{
    ComputePageArea();
    ShowPage(m_tabCtrl.GetCurSel());
    result = 0;
    return true;
}

bool CCustomizeDlg::OnDestroy(WPARAM, LPARAM, LRESULT&)
{
    if (m_hKeyHook)
        UnhookWindowsHookEx(m_hKeyHook);
    m_hKeyHook = nullptr;
    RemovePropW(m_hWnd, kCycleTabProp);
    return false;
}

// F1 (the dialog manager's help request, or ID_HELP) opens the user's guide that the zip puts beside
// the program; without one nothing happens.
bool CCustomizeDlg::OnHelp(WPARAM, LPARAM, LRESULT& result)
{
    result = TRUE;
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return true;
        if (length < path.size())
        {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"Read Me First.txt";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    // Where no program is set to open text files, Notepad is.
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(m_hWnd, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
        ShellExecuteW(m_hWnd, L"open", L"notepad.exe", (L"\"" + path + L"\"").c_str(), nullptr, SW_SHOWNORMAL);
    return true;
}
