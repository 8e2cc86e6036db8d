#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <array>

#include "AboutBox.h"
#include "CustomizeDlg.h"
#include "UxTheme.h"
#include "resource.h"

namespace
{
// Sent by the keyboard filter to the dialog: wParam 1 moves to the next tab, 0 to the previous one.
constexpr UINT kMsgCycleTab = WM_APP + 1;
// Marks the window whose modal loop the filter serves.
const char kCycleTabProp[] = "CustomizeDlg.CycleTab";

const char* const kTabLabels[] = {"  Features   ", "  Softkeys   ", "  StartHere   ", "  Interface   "};

constexpr int kPageWidthMargin = 7;
constexpr int kPageHeightMargin = 38;

// Ctrl+Tab and Ctrl+Shift+Tab move between the tabs, as in the platform's other tabbed dialogs. The
// dialog manager's loop offers every message to this filter before it handles the keyboard itself.
LRESULT CALLBACK CycleTabFilter(int code, WPARAM wParam, LPARAM lParam)
{
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB &&
        (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000))
    {
        HWND root = GetAncestor(msg->hwnd, GA_ROOT);
        if (root && GetPropA(root, kCycleTabProp))
        {
            const bool forward = !(GetKeyState(VK_SHIFT) & 0x8000);
            SendMessageA(root, kMsgCycleTab, forward ? 1 : 0, 0);
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
};

CCustomizeDlg::CCustomizeDlg(CWnd* parent)
    : CDialog(IDD_CUSTOMIZE, parent), m_hIcon(LoadIconA(ResourceInstance(), MAKEINTRESOURCEA(IDI_MAIN)))
{
}

CCustomizeDlg::~CCustomizeDlg() = default;

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
        char about[256] = {};
        if (LoadStringA(ResourceInstance(), IDS_ABOUTBOX, about, static_cast<int>(sizeof(about))) > 0)
        {
            AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC =
        ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_NATIVEFNTCTL_CLASS;
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    ComputePageArea();
    m_featuresPage.Create(this);
    m_softkeysPage.Create(this);
    m_startHerePage.Create(this);
    m_interfacePage.Create(this);
    for (int index = 0; index < kPageCount; ++index)
        CUxTheme::Get().EnableTabPageTexture(Page(index)->m_hWnd);
    ShowPage(0);

    m_tabCtrl.SetExtendedStyle(m_tabCtrl.GetExtendedStyle() | TCS_EX_FLATSEPARATORS);
    for (int index = 0; index < kPageCount; ++index)
        m_tabCtrl.InsertItem(index, kTabLabels[index]);

    m_iniFileName = "xml.ini";
    const std::array<std::string, kPageCount> paths = ResolveContentPaths(m_iniFileName);
    m_featuresPage.LoadContent(paths[0].c_str());
    m_softkeysPage.LoadContent(paths[1].c_str());
    m_startHerePage.LoadContent(paths[2].c_str());
    m_interfacePage.LoadContent(paths[3].c_str());

    SetPropA(m_hWnd, kCycleTabProp, reinterpret_cast<HANDLE>(1));
    m_hKeyHook = SetWindowsHookExA(WH_MSGFILTER, CycleTabFilter, nullptr, GetCurrentThreadId());
    return TRUE;
}

// The page covers the tab control's display area below the row of tabs: its corner lies right of and
// below the tab control's by the offset of the client area within the window (frame, and frame plus
// caption), and it is 7 pixels narrower and 38 pixels lower than the tab control.
void CCustomizeDlg::ComputePageArea()
{
    RECT tab{};
    GetWindowRect(m_tabCtrl.m_hWnd, &tab);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    POINT clientOrigin{0, 0};
    ClientToScreen(m_hWnd, &clientOrigin);
    POINT tabInClient{tab.left, tab.top};
    ScreenToClient(m_hWnd, &tabInClient);

    m_pageRect.left = tabInClient.x + (clientOrigin.x - window.left);
    m_pageRect.top = tabInClient.y + (clientOrigin.y - window.top);
    m_pageRect.width = (tab.right - tab.left) - kPageWidthMargin;
    m_pageRect.height = (tab.bottom - tab.top) - kPageHeightMargin;
}

CDialog* CCustomizeDlg::Page(int index)
{
    switch (index)
    {
    case 0:
        return &m_featuresPage;
    case 1:
        return &m_softkeysPage;
    case 2:
        return &m_startHerePage;
    case 3:
        return &m_interfacePage;
    default:
        return nullptr;
    }
}

void CCustomizeDlg::ShowPage(int index)
{
    if (index < 0 || index >= kPageCount)
        return;
    for (int page = 0; page < kPageCount; ++page)
    {
        HWND hPage = Page(page)->m_hWnd;
        if (page == index)
        {
            SetWindowPos(hPage, HWND_TOP, m_pageRect.left, m_pageRect.top, m_pageRect.width,
                         m_pageRect.height, SWP_SHOWWINDOW);
            m_tabCtrl.SetCurSel(index);
        }
        else
        {
            ShowWindow(hPage, SW_HIDE);
        }
    }
}

bool CCustomizeDlg::OnSysCommand(WPARAM wParam, LPARAM, LRESULT& result)
{
    if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutBox about;
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
    DrawIcon(hDC, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    result = 0;
    return true;
}

bool CCustomizeDlg::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result)
{
    result = reinterpret_cast<LRESULT>(m_hIcon);
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

bool CCustomizeDlg::OnSave(WPARAM, LPARAM, LRESULT& result)
{
    // Every page writes its file, changed or not; a page whose file was never read writes nothing.
    struct Outcome
    {
        bool loaded;
        int written;
        const std::string& path;
    };
    const Outcome outcomes[] = {
        {m_featuresPage.IsLoaded(),  m_featuresPage.SaveContent(),  m_featuresPage.m_path },
        {m_softkeysPage.IsLoaded(),  m_softkeysPage.SaveContent(),  m_softkeysPage.m_path },
        {m_startHerePage.IsLoaded(), m_startHerePage.SaveContent(), m_startHerePage.m_path},
        {m_interfacePage.IsLoaded(), m_interfacePage.SaveContent(), m_interfacePage.m_path},
    };
    std::string failed;
    for (const Outcome& outcome : outcomes)
    {
        if (outcome.loaded && !outcome.written)
            failed += "\n" + outcome.path;
    }
    // A file that could not be written must not look saved; the dialog stays open to try again.
    if (!failed.empty())
    {
        const std::string message = "The following files could not be saved:" + failed;
        char caption[256] = {};
        GetWindowTextA(m_hWnd, caption, static_cast<int>(sizeof(caption)));
        MessageBoxA(m_hWnd, message.c_str(), caption, MB_OK | MB_ICONWARNING);
    }
    result = 0;
    return true;
}

bool CCustomizeDlg::OnCloseButton(WPARAM, LPARAM, LRESULT& result)
{
    EndDialog(IDCLOSE);
    result = 0;
    return true;
}

void CCustomizeDlg::SetAllChecks(int check)
{
    switch (m_tabCtrl.GetCurFocus())
    {
    case 0:
        m_featuresPage.SetAllChecks(check);
        break;
    case 1:
        m_softkeysPage.SetAllChecks(check);
        break;
    case 2:
        m_startHerePage.SetAllChecks(check);
        break;
    case 3:
        m_interfacePage.SetAllChecks(check);
        break;
    default:
        break;
    }
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
        ShowPage(next);
    }
    result = 0;
    return true;
}

bool CCustomizeDlg::OnDestroy(WPARAM, LPARAM, LRESULT&)
{
    if (m_hKeyHook)
        UnhookWindowsHookEx(m_hKeyHook);
    m_hKeyHook = nullptr;
    RemovePropA(m_hWnd, kCycleTabProp);
    return false;
}
