#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "CustomizeDlg.h"
#include "TestFiles.h"
#include "resource.h"

namespace
{
const char kFeatures[] = "<features>\r\n"
                         "  <feature name=\"Hold\" enabled=\"1\"/>\r\n"
                         "  <feature name=\"Park\" enabled=\"0\"/>\r\n"
                         "</features>\r\n";
const char kSoftkeys[] = "<softkeys>\r\n"
                         "  <softkey name=\"Redial\" enabled=\"0\"/>\r\n"
                         "  <softkey name=\"Conf\" enabled=\"0\"/>\r\n"
                         "  <softkey name=\"DND\" enabled=\"1\"/>\r\n"
                         "</softkeys>\r\n";
const char kStartHere[] = "<topics>\r\n"
                          "  <topic name=\"Welcome\" enabled=\"1\"/>\r\n"
                          "</topics>\r\n";
const char kInterface[] = "<interface>\r\n"
                          "  <linkItem name=\"pdfLink\" value=\"Guide\" enabled=\"1\"/>\r\n"
                          "</interface>\r\n";

struct ContentFile
{
    const char* name;
    const char* bytes;
};
const ContentFile kContent[] = {
    {"features.xml",  kFeatures },
    {"softkeys.xml",  kSoftkeys },
    {"starthere.xml", kStartHere},
    {"interface.xml", kInterface},
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Answers the message box or dialog that the code under test opens, from inside its modal loop.
class CModalWatcher
{
public:
    // Closes the first window of this thread captioned caption with command, and keeps its text.
    CModalWatcher(const char* caption, WPARAM command) : m_caption(caption), m_command(command)
    {
        s_self = this;
        m_timer = SetTimer(nullptr, 0, 50, OnTimer);
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
        // The main dialog has the message box's caption, but no owner.
        if (!IsWindowVisible(hWnd) || s_self->m_caption != caption || !GetWindow(hWnd, GW_OWNER))
            return TRUE;
        char text[1024] = {};
        GetDlgItemTextA(hWnd, 0xFFFF, text, sizeof(text));
        s_self->m_text = text;
        s_self->m_owner = GetWindow(hWnd, GW_OWNER);
        GetWindowRect(hWnd, &s_self->m_rect);
        ++s_self->m_seen;
        PostMessageA(hWnd, WM_COMMAND, s_self->m_command, 0);
        return FALSE;
    }

    static CModalWatcher* s_self;
    std::string m_caption;
    WPARAM m_command;
    UINT_PTR m_timer;
};
CModalWatcher* CModalWatcher::s_self = nullptr;

class MainDialog : public ::testing::Test
{
protected:
    explicit MainDialog(const char* folder = "main") : m_dir(folder)
    {
        CreateDirectoryA((m_dir / "Content").c_str(), nullptr);
        CreateDirectoryA((m_dir / "Content\\XML").c_str(), nullptr);
        for (const ContentFile& file : kContent)
            WriteBytes(ContentPath(file.name), file.bytes);
    }
    ~MainDialog() override
    {
        m_dialog.reset();
        Pump();
    }

    std::string ContentPath(const char* name) const
    {
        return m_dir / (std::string("Content\\XML\\") + name);
    }

    void Open()
    {
        m_dialog = std::make_unique<CCustomizeDlg>();
        ASSERT_TRUE(m_dialog->Create(nullptr));
        Pump();
    }
    HWND Dialog() const
    {
        return m_dialog->m_hWnd;
    }
    HWND Tab() const
    {
        return GetDlgItem(Dialog(), IDC_TAB);
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void Click(int id) const
    {
        SendMessageA(GetDlgItem(Dialog(), id), BM_CLICK, 0, 0);
        Pump();
    }
    // A press on the tab's label, as a person makes it.
    void ClickTab(int index) const
    {
        RECT item{};
        ASSERT_TRUE(SendMessageA(Tab(), TCM_GETITEMRECT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&item)));
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageA(Tab(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(Tab(), WM_LBUTTONUP, 0, at);
        Pump();
    }
    std::array<HWND, 4> Pages() const
    {
        return {m_dialog->m_featuresPage.m_hWnd, m_dialog->m_softkeysPage.m_hWnd,
                m_dialog->m_startHerePage.m_hWnd, m_dialog->m_interfacePage.m_hWnd};
    }
    // The one visible page; -1 when none or more than one is visible.
    int VisiblePage() const
    {
        int visible = -1;
        int count = 0;
        for (int page = 0; page < 4; ++page)
        {
            if (IsWindowVisible(Pages()[static_cast<size_t>(page)]))
            {
                visible = page;
                ++count;
            }
        }
        return count == 1 ? visible : -1;
    }
    RECT PageInClient(int page) const
    {
        RECT rect{};
        GetWindowRect(Pages()[static_cast<size_t>(page)], &rect);
        MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    std::vector<int> Checks(const CCheckListPage& page) const
    {
        std::vector<int> checks;
        for (int i = 0; i < page.m_checkList.GetCount(); ++i)
            checks.push_back(page.m_checkList.GetItemCheck(i));
        return checks;
    }

    CScratchDir m_dir;
    std::unique_ptr<CCustomizeDlg> m_dialog;
};

TEST_F(MainDialog, OpensOnFeaturesWithOnePageOverTheTabArea)
{
    Open();
    EXPECT_EQ(TabCtrl_GetCurSel(Tab()), 0);
    EXPECT_EQ(VisiblePage(), 0);
    EXPECT_EQ(TabCtrl_GetItemCount(Tab()), 4);
    char label[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = label;
    item.cchTextMax = sizeof(label);
    SendMessageA(Tab(), TCM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(label, "  StartHere   ");

    // The page lies inside the tab control, below its row of tabs.
    RECT tab{};
    GetWindowRect(Tab(), &tab);
    MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&tab), 2);
    RECT row{};
    TabCtrl_GetItemRect(Tab(), 0, &row);
    const RECT first = PageInClient(0);
    EXPECT_GT(first.left, tab.left);
    EXPECT_GE(first.top, tab.top + row.bottom);
    EXPECT_EQ(first.right - first.left, tab.right - tab.left - 7);
    EXPECT_EQ(first.bottom - first.top, tab.bottom - tab.top - 38);
    EXPECT_LE(first.right, tab.right);
    EXPECT_LE(first.bottom, tab.bottom);

    // Every tab shows exactly its own page, always in the same place.
    for (int index : {2, 1, 3, 0, 3})
    {
        ClickTab(index);
        EXPECT_EQ(VisiblePage(), index);
        EXPECT_EQ(TabCtrl_GetCurSel(Tab()), index);
        const RECT shown = PageInClient(index);
        EXPECT_TRUE(EqualRect(&shown, &first)) << "page " << index;
    }
    m_dialog->ShowPage(7);
    m_dialog->ShowPage(-1);
    EXPECT_EQ(VisiblePage(), 3);
}

TEST_F(MainDialog, CtrlTabMovesBetweenTabsInBothDirections)
{
    Open();
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg{};
    msg.hwnd = m_dialog->m_featuresPage.m_checkList.m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    EXPECT_TRUE(CallMsgFilterA(&msg, MSGF_DIALOGBOX));
    Pump();
    EXPECT_EQ(VisiblePage(), 1);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(CallMsgFilterA(&msg, MSGF_DIALOGBOX));
    EXPECT_TRUE(CallMsgFilterA(&msg, MSGF_DIALOGBOX));
    Pump();
    EXPECT_EQ(VisiblePage(), 3);
    EXPECT_EQ(TabCtrl_GetCurFocus(Tab()), 3);
    // Tab alone is the dialog's own keyboard navigation.
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_FALSE(CallMsgFilterA(&msg, MSGF_DIALOGBOX));
    EXPECT_EQ(VisiblePage(), 3);
}

TEST_F(MainDialog, EnableAndDisableAllActOnTheShownListOnly)
{
    Open();
    const std::vector<int> features = Checks(m_dialog->m_featuresPage);
    const std::vector<int> startHere = Checks(m_dialog->m_startHerePage);
    ASSERT_EQ(features, (std::vector<int>{1, 0}));

    ClickTab(1);
    Click(IDC_ENABLE_ALL);
    EXPECT_EQ(Checks(m_dialog->m_softkeysPage), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Checks(m_dialog->m_featuresPage), features);
    Click(IDC_DISABLE_ALL);
    EXPECT_EQ(Checks(m_dialog->m_softkeysPage), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Checks(m_dialog->m_startHerePage), startHere);

    // On the Interface tab both buttons leave every page alone.
    ClickTab(3);
    const HWND linkBox = GetDlgItem(m_dialog->m_interfacePage.m_hWnd, IDC_LINK_ENABLED);
    Click(IDC_DISABLE_ALL);
    EXPECT_EQ(SendMessageA(linkBox, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Checks(m_dialog->m_featuresPage), features);
    EXPECT_EQ(Checks(m_dialog->m_softkeysPage), (std::vector<int>{0, 0, 0}));

    // Nothing reaches a file before Save.
    for (const ContentFile& file : kContent)
        EXPECT_EQ(ReadBytes(ContentPath(file.name)), file.bytes) << file.name;
}

TEST_F(MainDialog, SaveWritesEveryPageAndStaysOpen)
{
    Open();
    Click(IDC_DISABLE_ALL); // Features
    ClickTab(1);
    Click(IDC_ENABLE_ALL); // Softkeys
    Click(IDC_SAVE);
    EXPECT_TRUE(IsWindow(Dialog()));
    EXPECT_EQ(ReadBytes(ContentPath("features.xml")),
              Replace(kFeatures, "\"Hold\" enabled=\"1\"", "\"Hold\" enabled=\"0\""));
    std::string softkeys = Replace(kSoftkeys, "\"Redial\" enabled=\"0\"", "\"Redial\" enabled=\"1\"");
    softkeys = Replace(softkeys, "\"Conf\" enabled=\"0\"", "\"Conf\" enabled=\"1\"");
    EXPECT_EQ(ReadBytes(ContentPath("softkeys.xml")), softkeys);
    EXPECT_EQ(ReadBytes(ContentPath("starthere.xml")), kStartHere);
    EXPECT_EQ(ReadBytes(ContentPath("interface.xml")), kInterface);

    // A second save writes the same again; files changed behind the tool's back are rewritten.
    WriteBytes(ContentPath("starthere.xml"), "changed");
    Click(IDC_SAVE);
    EXPECT_EQ(ReadBytes(ContentPath("starthere.xml")), kStartHere);
    EXPECT_EQ(ReadBytes(ContentPath("softkeys.xml")), softkeys);
}

TEST_F(MainDialog, SaveNamesTheFilesItCouldNotWrite)
{
    // Features was never read (no file): nothing to write, and nothing to report for it.
    DeleteFileA(ContentPath("features.xml").c_str());
    Open();
    ASSERT_TRUE(SetFileAttributesA(ContentPath("softkeys.xml").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(ContentPath("interface.xml").c_str(), FILE_ATTRIBUTE_READONLY));
    ClickTab(2);
    Click(IDC_DISABLE_ALL);
    {
        CModalWatcher watcher("Corvale IP Phone XML Customization Tool", IDOK);
        Click(IDC_SAVE);
        EXPECT_EQ(watcher.m_seen, 1);
        EXPECT_EQ(watcher.m_owner, Dialog());
        EXPECT_EQ(watcher.m_text, "The following files could not be saved:\nContent\\XML\\softkeys.xml\n"
                                  "Content\\XML\\interface.xml");
    }
    EXPECT_TRUE(IsWindow(Dialog()));
    EXPECT_EQ(GetFileAttributesA(ContentPath("features.xml").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(ContentPath("softkeys.xml")), kSoftkeys);
    EXPECT_EQ(ReadBytes(ContentPath("starthere.xml")), Replace(kStartHere, "enabled=\"1\"", "enabled=\"0\""));

    // Once the cause is gone, the next save writes and says nothing.
    SetFileAttributesA(ContentPath("softkeys.xml").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(ContentPath("interface.xml").c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        CModalWatcher watcher("Corvale IP Phone XML Customization Tool", IDOK);
        Click(IDC_SAVE);
        EXPECT_EQ(watcher.m_seen, 0);
    }
}

TEST_F(MainDialog, SystemMenuOffersTheAboutBox)
{
    Open();
    HMENU menu = GetSystemMenu(Dialog(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    char text[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(count - 1), text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Tavrin...");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(count - 2), TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);

    // Another window is active, as when the tool is in the background: the box is still the dialog's.
    HWND other = CreateWindowExW(0, L"STATIC", L"Other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    CModalWatcher watcher("About Tavrin", IDCANCEL);
    SendMessageA(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    DestroyWindow(other);
    EXPECT_EQ(watcher.m_seen, 1);
    EXPECT_EQ(watcher.m_owner, Dialog());
    // Centred over the main dialog.
    RECT main{};
    GetWindowRect(Dialog(), &main);
    EXPECT_NEAR((watcher.m_rect.left + watcher.m_rect.right) / 2, (main.left + main.right) / 2, 1);
    EXPECT_NEAR((watcher.m_rect.top + watcher.m_rect.bottom) / 2, (main.top + main.bottom) / 2, 1);
    EXPECT_TRUE(IsWindowEnabled(Dialog()));
}
} // namespace
