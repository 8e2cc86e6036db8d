// The main dialog over four content files in a scratch folder: tabs, Enable and Disable All, Save, the
// ways to close, and the About box.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "CustomizeDlg.h"
#include "UiTestSupport.h"
#include "resource.h"

namespace
{
const char* const kFiles[kPageCount] = {"features.xml", "softkeys.xml", "starthere.xml", "interface.xml"};
const char* const kBytes[kPageCount] = {
    "<features>\r\n  <feature name=\"Hold\" enabled=\"1\"/>\r\n  <feature name=\"Park\" enabled=\"0\"/>\r\n"
    "</features>\r\n",
    "<softkeys>\r\n  <softkey name=\"Redial\" enabled=\"0\"/>\r\n  <softkey name=\"DND\" enabled=\"1\"/>\r\n"
    "</softkeys>\r\n",
    "<topics>\r\n  <topic name=\"Welcome\" enabled=\"1\"/>\r\n</topics>\r\n",
    "<interface>\r\n  <linkItem name=\"pdfLink\" value=\"Guide\" enabled=\"1\"/>\r\n</interface>\r\n",
};
const char kCaption[] = "Corvale IP Phone XML Customization Tool";

// The file's bytes with every check flag set to flag.
std::string AllFlags(int page, char flag)
{
    std::string bytes = kBytes[page];
    for (size_t at = 0; (at = bytes.find("enabled=\"", at)) != std::string::npos; at += 10)
        bytes[at + 9] = flag;
    return bytes;
}

// Answers the first window of this thread captioned caption, other than the main dialog, from inside the
// modal loop that shows it; keeps its owner and where it stood.
class CModalWatcher
{
public:
    CModalWatcher(const char* caption, HWND main, WPARAM command) : m_caption(caption), m_main(main)
    {
        s_self = this;
        m_command = command;
        m_timer = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~CModalWatcher()
    {
        KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }
    CModalWatcher(const CModalWatcher&) = delete;
    CModalWatcher& operator=(const CModalWatcher&) = delete;

    int m_seen = 0;
    std::string m_text;
    HWND m_owner = nullptr;
    RECT m_rect{};

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (s_self)
            EnumThreadWindows(GetCurrentThreadId(), OnWindow, 0);
    }
    static BOOL CALLBACK OnWindow(HWND hWnd, LPARAM)
    {
        char caption[256] = {};
        GetWindowTextA(hWnd, caption, sizeof(caption));
        if (hWnd == s_self->m_main || !IsWindowVisible(hWnd) || s_self->m_caption != caption)
            return TRUE;
        char text[1024] = {};
        GetDlgItemTextA(hWnd, 0xFFFF, text, sizeof(text)); // a message box's text
        s_self->m_text = text;
        s_self->m_owner = GetWindow(hWnd, GW_OWNER);
        GetWindowRect(hWnd, &s_self->m_rect);
        ++s_self->m_seen;
        PostMessageW(hWnd, WM_COMMAND, s_self->m_command, 0);
        return FALSE;
    }

    static inline CModalWatcher* s_self = nullptr;
    std::string m_caption;
    HWND m_main;
    WPARAM m_command = IDOK;
    UINT_PTR m_timer = 0;
};

class MainDialog : public ::testing::Test
{
protected:
    MainDialog() : m_dir(std::string(TEST_WORK_DIR) + "\\main", true)
    {
        CreateDirectoryA((m_dir / "Content").c_str(), nullptr);
        CreateDirectoryA((m_dir / "Content\\XML").c_str(), nullptr);
        for (int page = 0; page < kPageCount; ++page)
            WriteBytes(File(page), kBytes[page]);
    }
    ~MainDialog() override
    {
        m_dialog.reset();
        PumpMessages();
    }

    std::string File(int page) const
    {
        return m_dir / (std::string("Content\\XML\\") + kFiles[page]);
    }
    void Open()
    {
        m_dialog = std::make_unique<CCustomizeDlg>();
        ASSERT_TRUE(m_dialog->Create(nullptr));
        PumpMessages();
    }
    HWND Dialog() const
    {
        return m_dialog->m_hWnd;
    }
    void Click(int id) const
    {
        SendMessageW(GetDlgItem(Dialog(), id), BM_CLICK, 0, 0);
        PumpMessages();
    }
    // The one visible page; -1 when none or more than one is.
    int VisiblePage() const
    {
        int visible = -1;
        for (int page = 0; page < kPageCount; ++page)
        {
            if (IsWindowVisible(m_dialog->m_pages[static_cast<size_t>(page)]->m_hWnd))
                visible = visible == -1 ? page : -2;
        }
        return visible < 0 ? -1 : visible;
    }
    RECT PageRect(int page) const
    {
        RECT rect{};
        GetWindowRect(m_dialog->m_pages[static_cast<size_t>(page)]->m_hWnd, &rect);
        return rect;
    }
    // The checks of the three list pages, each page's as one string of digits.
    std::vector<std::string> Checks() const
    {
        std::vector<std::string> checks;
        for (const CCheckListPage* page : {static_cast<const CCheckListPage*>(&m_dialog->m_featuresPage),
                                           static_cast<const CCheckListPage*>(&m_dialog->m_softkeysPage),
                                           static_cast<const CCheckListPage*>(&m_dialog->m_startHerePage)})
        {
            checks.emplace_back();
            for (int i = 0; i < page->m_checkList.GetCount(); ++i)
                checks.back() += static_cast<char>('0' + page->m_checkList.GetItemCheck(i));
        }
        return checks;
    }

    CScratchDir m_dir;
    std::unique_ptr<CCustomizeDlg> m_dialog;
};

TEST_F(MainDialog, EveryWayToChangeTabShowsExactlyThatPageInOnePlace)
{
    Open();
    ASSERT_EQ(VisiblePage(), 0);
    const RECT first = PageRect(0);
    const HWND tab = GetDlgItem(Dialog(), IDC_TAB);
    // Ctrl+Tab and Ctrl+Shift+Tab reach the dialog through its message filter, as inside its modal loop.
    const auto cycle = [&](bool shift) {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG msg{m_dialog->m_featuresPage.m_checkList.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {}};
        EXPECT_TRUE(CallMsgFilterW(&msg, MSGF_DIALOGBOX));
        SetKeyboardState(std::vector<BYTE>(256).data());
        PumpMessages();
    };
    const struct
    {
        int press; // a tab to press, or -1: Ctrl+Tab, -2: Ctrl+Shift+Tab
        int shown;
    } steps[] = {
        {2,  2},
        {1,  1},
        {3,  3},
        {-1, 0},
        {-2, 3},
        {-2, 2},
        {0,  0},
        {-1, 1}
    };
    for (const auto& step : steps)
    {
        if (step.press >= 0)
            PressTab(tab, step.press);
        else
            cycle(step.press == -2);
        EXPECT_EQ(VisiblePage(), step.shown) << "after " << step.press;
        EXPECT_EQ(TabCtrl_GetCurSel(tab), step.shown);
        const RECT shown = PageRect(step.shown);
        EXPECT_TRUE(EqualRect(&shown, &first)) << "page " << step.shown;
    }
}

TEST_F(MainDialog, EnableAndDisableAllActOnTheShownListPageOnly)
{
    Open();
    const struct
    {
        int tab, button;
        std::vector<std::string> checks; // Features, Softkeys, StartHere after it
    } steps[] = {
        {0, IDC_DISABLE_ALL, {"00", "01", "1"}},
        {1, IDC_ENABLE_ALL,  {"00", "11", "1"}},
        {2, IDC_DISABLE_ALL, {"00", "11", "0"}},
        {3, IDC_ENABLE_ALL,  {"00", "11", "0"}},
        {0, IDC_ENABLE_ALL,  {"11", "11", "0"}},
    };
    for (const auto& step : steps)
    {
        PressTab(GetDlgItem(Dialog(), IDC_TAB), step.tab);
        Click(step.button);
        EXPECT_EQ(Checks(), step.checks) << "tab " << step.tab;
    }
    EXPECT_EQ(SendDlgItemMessageW(m_dialog->m_interfacePage.m_hWnd, IDC_LINK_ENABLED, BM_GETCHECK, 0, 0),
              BST_CHECKED);
    for (int page = 0; page < kPageCount; ++page)
        EXPECT_EQ(ReadBytes(File(page)), kBytes[page]) << "nothing written before Save";
}

TEST_F(MainDialog, SaveWritesEveryPageEveryTimeAndNamesWhatItCouldNotWrite)
{
    Open();
    Click(IDC_DISABLE_ALL);
    PressTab(GetDlgItem(Dialog(), IDC_TAB), 1);
    Click(IDC_ENABLE_ALL);
    // Files changed behind the tool's back are written again, changed page or not.
    for (int pass = 0; pass < 2; ++pass)
    {
        Click(IDC_SAVE);
        const std::string expected[] = {AllFlags(0, '0'), AllFlags(1, '1'), kBytes[2], kBytes[3]};
        for (int page = 0; page < kPageCount; ++page)
            EXPECT_EQ(ReadBytes(File(page)), expected[page]) << "pass " << pass << ", " << kFiles[page];
        WriteBytes(File(2), "changed");
        WriteBytes(File(3), "changed");
    }

    // Features and StartHere cannot be written: named in page order, the others written, the dialog open.
    for (int page : {0, 2})
        ASSERT_TRUE(SetFileAttributesA(File(page).c_str(), FILE_ATTRIBUTE_READONLY));
    PressTab(GetDlgItem(Dialog(), IDC_TAB), 1);
    Click(IDC_DISABLE_ALL);
    {
        CModalWatcher watcher(kCaption, Dialog(), IDOK);
        Click(IDC_SAVE);
        EXPECT_EQ(watcher.m_seen, 1);
        EXPECT_EQ(watcher.m_owner, Dialog());
        EXPECT_EQ(watcher.m_text, "The following files could not be saved:\nContent\\XML\\features.xml\n"
                                  "Content\\XML\\starthere.xml");
    }
    EXPECT_TRUE(IsWindowVisible(Dialog()));
    EXPECT_EQ(ReadBytes(File(1)), AllFlags(1, '0'));
    EXPECT_EQ(ReadBytes(File(0)), AllFlags(0, '0'));
    for (int page : {0, 2})
        SetFileAttributesA(File(page).c_str(), FILE_ATTRIBUTE_NORMAL);
    CModalWatcher watcher(kCaption, Dialog(), IDOK);
    Click(IDC_SAVE);
    EXPECT_EQ(watcher.m_seen, 0) << "once the cause is gone, a save says nothing";
    EXPECT_EQ(ReadBytes(File(2)), kBytes[2]);
}

TEST_F(MainDialog, EveryWayToCloseWritesNothing)
{
    // The ways a person closes the dialog, as the messages they make reach it.
    const struct
    {
        const char* what;
        UINT msg;
        WPARAM wParam;
    } ways[] = {
        {"Close button", WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED)},
        {"Escape",              WM_COMMAND,                 MAKEWPARAM(IDCANCEL,              BN_CLICKED)},
        {"caption's box",   WM_CLOSE,             0     },
        {"system menu",             WM_SYSCOMMAND,           SC_CLOSE             },
    };
    for (const auto& way : ways)
    {
        Open();
        for (int page = 0; page < 3; ++page)
        {
            PressTab(GetDlgItem(Dialog(), IDC_TAB), page);
            Click(IDC_ENABLE_ALL);
        }
        SendMessageW(Dialog(), way.msg, way.wParam, 0);
        PumpMessages();
        m_dialog.reset();
        for (int page = 0; page < kPageCount; ++page)
            EXPECT_EQ(ReadBytes(File(page)), kBytes[page]) << way.what << ": " << kFiles[page];
    }
}

TEST_F(MainDialog, AboutBoxIsOwnedByAndCentredOverTheDialogWhileAnotherWindowIsActive)
{
    Open();
    HWND other = CreateWindowExW(0, L"STATIC", L"Other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    CModalWatcher watcher("About Tavrin", Dialog(), IDCANCEL);
    SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    DestroyWindow(other);
    EXPECT_EQ(watcher.m_seen, 1);
    EXPECT_EQ(watcher.m_owner, Dialog());
    RECT main{};
    GetWindowRect(Dialog(), &main);
    EXPECT_NEAR((watcher.m_rect.left + watcher.m_rect.right) / 2, (main.left + main.right) / 2, 1);
    EXPECT_NEAR((watcher.m_rect.top + watcher.m_rect.bottom) / 2, (main.top + main.bottom) / 2, 1);
    EXPECT_TRUE(IsWindowEnabled(Dialog())) << "enabled again once the box is gone";
}
} // namespace
