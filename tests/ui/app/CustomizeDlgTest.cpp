// The main dialog over four content files in a scratch folder, and where it finds them.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "CustomizeDlg.h"
#include "UiTestSupport.h"
#include "resource.h"

namespace
{
const char* const kFiles[kPageCount] = {"features.xml", "softkeys.xml", "starthere.xml", "interface.xml"};
const char* const kBytes[kPageCount] = {
    "<features>\r\n<i name=\"Hold\" enabled=\"1\"/>\r\n<i name=\"Park\" enabled=\"0\"/>\r\n</features>\r\n",
    "<softkeys>\r\n<i name=\"Redial\" enabled=\"0\"/>\r\n<i name=\"DND\" enabled=\"1\"/>\r\n</softkeys>\r\n",
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

// A modal window to answer with command, and what it showed: how many opened, a message box's text, the
// owner.
struct ModalWatch
{
    std::string caption;
    HWND main = nullptr; // never answered: it has the message boxes' caption
    WPARAM command = IDOK;
    int count = 0;
    std::string text;
    HWND owner = nullptr;
    int iconWidth = 0; // the About box's icon
} g_watch;

int IconWidth(HICON icon)
{
    ICONINFO info{};
    BITMAP bitmap{};
    if (GetIconInfo(icon, &info))
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

BOOL CALLBACK AnswerWindow(HWND hWnd, LPARAM)
{
    char text[1024] = {};
    GetWindowTextA(hWnd, text, sizeof(text));
    if (hWnd == g_watch.main || !IsWindowVisible(hWnd) || g_watch.caption != text)
        return TRUE;
    GetDlgItemTextA(hWnd, 0xFFFF, text, sizeof(text)); // a message box's text
    ++g_watch.count;
    g_watch.text = text;
    g_watch.owner = GetWindow(hWnd, GW_OWNER);
    g_watch.iconWidth =
        IconWidth(reinterpret_cast<HICON>(SendDlgItemMessageW(hWnd, IDC_ABOUT_ICON, STM_GETICON, 0, 0)));
    // As a click on the button sends it; a task dialog has no Cancel button, so IDCANCEL comes from
    // no button, as Escape and the close box send it.
    const HWND button = GetDlgItem(hWnd, static_cast<int>(g_watch.command));
    PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(g_watch.command, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return FALSE;
}

// Runs action; a window captioned caption, other than main, that opens meanwhile is answered with command
// from inside its modal loop.
template <class TAction>
ModalWatch AnswerModal(const char* caption, HWND main, WPARAM command, TAction action)
{
    g_watch = {caption, main, command, 0, {}, nullptr, 0};
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), AnswerWindow, 0);
    });
    action();
    KillTimer(nullptr, timer);
    return g_watch;
}

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
    CCheckListPage& List(int page) const
    {
        return static_cast<CCheckListPage&>(*m_dialog->m_pages[static_cast<size_t>(page)]);
    }
    CInterfaceDlg& Interface() const
    {
        return static_cast<CInterfaceDlg&>(*m_dialog->m_pages[3]);
    }
    HWND Dialog() const
    {
        return m_dialog->m_hWnd;
    }
    // As a person clicks: a disabled button takes no click.
    void Click(int id) const
    {
        if (IsWindowEnabled(GetDlgItem(Dialog(), id)))
            SendMessageW(GetDlgItem(Dialog(), id), BM_CLICK, 0, 0);
        PumpMessages();
    }
    // The first control of a page, where Tab enters it.
    HWND FirstControl(int page) const
    {
        const CContentPage* shown = m_dialog->m_pages[static_cast<size_t>(page)].get();
        return GetDlgItem(shown->m_hWnd,
                          page < 3 ? static_cast<const CCheckListPage*>(shown)->m_checkList.GetDlgCtrlID()
                                   : IDC_LINK_ENABLED);
    }
    // Tab with Ctrl and Shift as given, as the modal loop offers it to the dialog's filter; whether the
    // filter took it.
    bool PressTabKey(bool ctrl, bool shift) const
    {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        const bool taken = CallMsgFilterW(&tab, MSGF_DIALOGBOX) != 0;
        SetKeyboardState(std::array<BYTE, 256>{}.data());
        PumpMessages();
        return taken;
    }
    // The pages shown, and where the first of them stands.
    std::vector<int> ShownPages(RECT* place = nullptr) const
    {
        std::vector<int> shown;
        for (int page = 0; page < kPageCount; ++page)
        {
            if (IsWindowVisible(m_dialog->m_pages[static_cast<size_t>(page)]->m_hWnd))
                shown.push_back(page);
        }
        if (place && !shown.empty())
            GetWindowRect(m_dialog->m_pages[static_cast<size_t>(shown[0])]->m_hWnd, place);
        return shown;
    }
    // The checks of the Features, Softkeys and StartHere entries, as "10 01 1".
    std::string Checks() const
    {
        std::string checks;
        for (size_t page = 0; page < 3; ++page)
        {
            const CCheckListBox& list = List(static_cast<int>(page)).m_checkList;
            for (int i = 0; i < list.GetCount(); ++i)
                checks += static_cast<char>('0' + list.GetItemCheck(i));
            checks += page < 2 ? " " : "";
        }
        return checks;
    }

    CScratchDir m_dir;
    std::unique_ptr<CCustomizeDlg> m_dialog;
};

TEST_F(MainDialog, TabsShowOnePageInOnePlaceAndTheButtonsActOnItsListOnly)
{
    Open();
    RECT first{};
    ASSERT_EQ(ShownPages(&first), std::vector<int>{0});
    ASSERT_EQ(Checks(), "10 01 1");
    // What a person does, the page shown after it and the entries' checks. Ctrl+Tab and Ctrl+Shift+Tab
    // reach the dialog through its message filter, as its modal loop offers the keys to it.
    // Tabs 0 to 3 are pressed by their number. The focus is in the shown page's first control ('p'), on
    // Enable All ('e') or on Disable All ('d') before the step, and after it there, on the tab control ('t') or on the button
    // clicked ('e', 'd'). Enable All and Disable All are disabled on the Interface tab.
    constexpr int kNext = 4, kPrevious = 5, kEnableAll = 6, kDisableAll = 7;
    const struct
    {
        int action, shown;
        const char* checks;
        char focusBefore, focusAfter;
    } steps[] = {
        {kDisableAll, 0, "00 01 1", 'p', 'd'},
        {2,           2, "00 01 1", 'p', 't'},
        {kDisableAll, 2, "00 01 0", 'p', 'd'},
        {kNext,       3, "00 01 0", 'd', 'p'},
        {kDisableAll, 3, "00 01 0", 'p', 'p'},
        {kNext,       0, "00 01 0", 'p', 'p'},
        {kPrevious,   3, "00 01 0", 'p', 'p'},
        {1,           1, "00 01 0", 'p', 't'},
        {kEnableAll,  1, "00 11 0", 'p', 'e'},
        {3,           3, "00 11 0", 'e', 't'},
        {0,           0, "00 11 0", 'p', 't'},
        {kEnableAll,  0, "11 11 0", 'p', 'e'},
    };
    const auto focusOf = [this](char which, int shown) {
        return which == 'p'   ? FirstControl(shown)
               : which == 't' ? GetDlgItem(Dialog(), IDC_TAB)
                              : GetDlgItem(Dialog(), which == 'e' ? IDC_ENABLE_ALL : IDC_DISABLE_ALL);
    };
    int shown = 0;
    for (size_t step = 0; step < std::size(steps); ++step)
    {
        SendMessageW(Dialog(), WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(focusOf(steps[step].focusBefore, shown)), TRUE);
        const int action = steps[step].action;
        if (action < kNext)
            PressTab(GetDlgItem(Dialog(), IDC_TAB), action);
        else if (action >= kEnableAll)
            Click(action == kEnableAll ? IDC_ENABLE_ALL : IDC_DISABLE_ALL);
        EXPECT_EQ(PressTabKey(action == kNext || action == kPrevious, action == kPrevious),
                  action == kNext || action == kPrevious)
            << "Tab alone is the dialog's";
        RECT place{};
        EXPECT_EQ(ShownPages(&place), std::vector<int>{steps[step].shown}) << "step " << step;
        EXPECT_EQ(TabCtrl_GetCurSel(GetDlgItem(Dialog(), IDC_TAB)), steps[step].shown) << "step " << step;
        EXPECT_TRUE(EqualRect(&place, &first)) << "step " << step;
        EXPECT_EQ(Checks(), steps[step].checks) << "step " << step;
        shown = steps[step].shown;
        EXPECT_EQ(GetFocus(), focusOf(steps[step].focusAfter, shown)) << "step " << step;
        EXPECT_TRUE(IsWindowVisible(GetFocus()) && IsWindowEnabled(GetFocus())) << "step " << step;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(Dialog(), IDC_ENABLE_ALL)) +
                      IsWindowEnabled(GetDlgItem(Dialog(), IDC_DISABLE_ALL)),
                  shown != 3 ? 2 : 0)
            << "step " << step;
    }
    EXPECT_EQ(SendDlgItemMessageW(Interface().m_hWnd, IDC_LINK_ENABLED, BM_GETCHECK, 0, 0),
              BST_CHECKED);
    for (int page = 0; page < kPageCount; ++page)
        EXPECT_EQ(ReadBytes(File(page)), kBytes[page]) << "nothing written before Save";
}

// Save writes only the files the person changed, only the values changed, and all of them or none. A file
// another program changed meanwhile is replaced only when the person answers Yes; No and Escape keep it
// and show it.
TEST_F(MainDialog, SaveWritesOnlyWhatChangedAllOrNoneAndAsksBeforeReplacingAnotherProgramsWork)
{
    const std::string other = "<features>\r\n<i name=\"New\" enabled=\"1\"/>\r\n</features>\r\n";
    const std::string changed[] = {AllFlags(0, '0'), AllFlags(1, '1'), kBytes[2], kBytes[3]};
    enum Disk
    {
        Kept,       // no other program touched the files
        Edited,     // another program rewrote features.xml
        ReadOnly,   // starthere.xml, changed too, is read-only
        HeldOpen,   // another program holds softkeys.xml open without letting it be replaced
    };
    const struct
    {
        Disk disk;
        WPARAM answer;        // to the question about features.xml; the warning is answered with OK
        const char* message;  // the warning after Save; "" for none
        const char* features; // features.xml afterwards; null: the person's choices
        bool othersSaved;     // softkeys.xml and starthere.xml hold the person's choices
        const char* shown;    // the checks shown afterwards
    } rows[] = {
        {Kept,     0,        "",                                                nullptr,                true,  "00 11 0"},
        {Edited,   IDYES,    "",                                                nullptr,                true,  "00 11 0"},
        {Edited,   IDNO,     "",                                                other.c_str(),          true,  "1 11 0" },
        {Edited,   IDCANCEL, "",                                                other.c_str(),          false, "00 11 0"},
        {ReadOnly, 0,        "Nothing was saved, and every file is as it was:\n"
                             "Content\\XML\\features.xml was not saved\n"
                             "Content\\XML\\softkeys.xml was not saved\n"
                             "Content\\XML\\starthere.xml is marked read-only", kBytes[0],              false, "00 11 0"},
        {HeldOpen, 0,        "Nothing was saved, and every file is as it was:\n"
                             "Content\\XML\\features.xml was not saved\n"
                             "Content\\XML\\softkeys.xml is in use by another program\n"
                             "Content\\XML\\starthere.xml was not saved", kBytes[0],                    false, "00 11 0"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(static_cast<int>(&row - rows));
        for (int page = 0; page < kPageCount; ++page)
        {
            SetFileAttributesA(File(page).c_str(), FILE_ATTRIBUTE_NORMAL);
            WriteBytes(File(page), kBytes[page]);
        }
        Open();
        // Ticked and unticked again is no change: the Interface file is not written.
        SendMessageW(Interface().m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
        SendMessageW(Interface().m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
        Click(IDC_DISABLE_ALL);
        PressTab(GetDlgItem(Dialog(), IDC_TAB), 1);
        Click(IDC_ENABLE_ALL);
        PressTab(GetDlgItem(Dialog(), IDC_TAB), 2);
        Click(IDC_DISABLE_ALL);
        const std::string mine[] = {AllFlags(0, '0'), AllFlags(1, '1'), AllFlags(2, '0'), kBytes[3]};
        if (row.disk == Edited)
            WriteBytes(File(0), other);
        if (row.disk == ReadOnly)
            SetFileAttributesA(File(2).c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE held = row.disk == HeldOpen ? CreateFileA(File(1).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                         nullptr, OPEN_EXISTING, 0, nullptr)
                                           : INVALID_HANDLE_VALUE;
        FILETIME written[kPageCount] = {};
        for (int page = 0; page < kPageCount; ++page)
            written[page] = WriteTime(File(page));

        const ModalWatch question = AnswerModal(kCaption, Dialog(), row.answer ? row.answer : IDOK, [this] { Click(IDC_SAVE); });
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesA(File(2).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(question.count, (row.disk == Edited) + (*row.message != 0));
        EXPECT_EQ(question.text, row.message);
        EXPECT_TRUE(IsWindowVisible(Dialog()));
        EXPECT_EQ(ReadBytes(File(0)), row.features ? row.features : mine[0]);
        EXPECT_EQ(ReadBytes(File(1)), row.othersSaved ? mine[1] : kBytes[1]);
        EXPECT_EQ(ReadBytes(File(2)), row.othersSaved ? mine[2] : kBytes[2]);
        EXPECT_EQ(ReadBytes(File(3)), kBytes[3]);
        const FILETIME interfaceTime = WriteTime(File(3));
        EXPECT_EQ(CompareFileTime(&interfaceTime, &written[3]), 0) << "a file nobody changed is not written";
        EXPECT_EQ(FolderFiles(m_dir / "Content\\XML"), 4u) << "nothing is left beside the files";
        EXPECT_EQ(Checks(), row.shown);

        // A second Save writes what the first could not, and nothing a first that succeeded wrote.
        for (int page = 0; page < kPageCount; ++page)
            written[page] = WriteTime(File(page));
        // After a Cancel it asks again.
        const bool cancelled = row.answer == IDCANCEL;
        EXPECT_EQ(AnswerModal(kCaption, Dialog(), cancelled ? IDYES : IDOK, [this] { Click(IDC_SAVE); }).count,
                  cancelled ? 1 : 0);
        EXPECT_EQ(ReadBytes(File(0)), row.features == other.c_str() && !cancelled ? other : mine[0]);
        EXPECT_EQ(ReadBytes(File(1)) + ReadBytes(File(2)), mine[1] + mine[2]);
        for (int page = 0; page < kPageCount && row.othersSaved; ++page)
        {
            const FILETIME now = WriteTime(File(page));
            EXPECT_EQ(CompareFileTime(&now, &written[page]), 0) << kFiles[page];
        }
        m_dialog.reset();
    }
}

TEST_F(MainDialog, SaveKeepsTheNameOnDiskOfAFileNamedBareInXmlIni)
{
    // Wine's ReplaceFileW refuses a target without a folder part, and a name in another letter case
    // would be a second file beside the first on a case-sensitive disk.
    WriteBytes(m_dir / "xml.ini", "[XMLFiles]\r\nFeatures=FEATURES.XML\r\n");
    WriteBytes(m_dir / "features.xml", kBytes[0]);
    Open();
    Click(IDC_DISABLE_ALL);
    const ModalWatch warning = AnswerModal(kCaption, Dialog(), IDOK, [this] { Click(IDC_SAVE); });
    EXPECT_EQ(warning.text, "");
    EXPECT_EQ(ReadBytes(m_dir / "features.xml"), AllFlags(0, '0'));
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFileA((m_dir / "*.xml").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "features.xml");
    EXPECT_FALSE(FindNextFileA(find, &found)) << "a second file: " << found.cFileName;
    FindClose(find);
}

// A tab edits a file only when it alone names it and understood it whole; the others show theirs
// read-only, say why, and Save leaves their files as they are. A file another program removed comes
// back only when the person says so.
TEST_F(MainDialog, TabsThatMayNotWriteSayWhyAndSaveLeavesTheirFiles)
{
    const std::string bad = "<topics>\r\n<topic name=\"Welcome enabled=\"1\"/>\r\n</topics>\r\n";
    CreateDirectoryA((m_dir / "sub").c_str(), nullptr);
    WriteBytes(m_dir / "xml.ini", "[XMLFiles]\r\nFeatures=a.xml\r\nSoftkeys=.\\sub\\..\\A.XML\r\n"
                                  "StartHere=bad.xml\r\nInterface=bin.xml\r\n");
    WriteBytes(m_dir / "bin.xml", std::string("<interface>\0</interface>", 24));
    WriteBytes(m_dir / "a.xml", kBytes[0]);
    WriteBytes(m_dir / "bad.xml", bad);
    Open();
    const std::wstring notes[] = {L"", L".\\sub\\..\\A.XML is edited on the Features tab. It is shown read-only here.",
                                  L"bad.xml is not well-formed XML (line 2, column 31: an attribute lacks its equals sign, a quotation mark or the space before it). It is "
                                  L"shown read-only; Save leaves it as it is.", L""};
    for (int page = 0; page < kPageCount; ++page)
    {
        const CContentPage& shown = *m_dialog->m_pages[static_cast<size_t>(page)];
        EXPECT_EQ(shown.m_pageNote.GetText(), notes[page]) << page;
        EXPECT_EQ((GetWindowLongPtrW(shown.m_pageNote.m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0, !notes[page].empty())
            << page;
    }
    ASSERT_EQ(Checks(), "10 10 0");
    // Enable All and Disable All are off while a read-only list is shown. The focus they had moves on:
    // into the page for Ctrl+Tab, to the tab control for a click on a tab.
    SendMessageW(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(Dialog(), IDC_ENABLE_ALL)), TRUE);
    PressTabKey(true, false);
    EXPECT_EQ(ShownPages(), std::vector<int>{1});
    EXPECT_EQ(GetFocus(), FirstControl(1));
    for (int page = 0; page < 3; ++page)
    {
        SendMessageW(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(Dialog(), IDC_ENABLE_ALL)), TRUE);
        PressTab(GetDlgItem(Dialog(), IDC_TAB), page);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(Dialog(), IDC_DISABLE_ALL)) != 0, page == 0) << page;
        EXPECT_TRUE(IsWindowEnabled(GetFocus()) && IsWindowVisible(GetFocus())) << page;
        Click(IDC_DISABLE_ALL);
    }
    EXPECT_EQ(Checks(), "00 10 0") << "read-only lists keep their checks";

    DeleteFileA((m_dir / "a.xml").c_str());
    const ModalWatch save = AnswerModal(kCaption, Dialog(), IDYES, [this] { Click(IDC_SAVE); });
    EXPECT_EQ(save.count, 2) << "the question about a.xml, then the warning";
    EXPECT_EQ(save.text, "Save left these files as they are:\n"
                         "bad.xml is not well-formed XML (line 2, column 31: an attribute lacks its equals sign, a quotation mark or the space before it). It is shown "
                         "read-only; Save leaves it as it is.\n"
                         "bin.xml is not a text file (byte 11)");
    EXPECT_EQ(ReadBytes(m_dir / "a.xml"), AllFlags(0, '0'));
    EXPECT_EQ(ReadBytes(m_dir / "bad.xml"), bad);
}

TEST_F(MainDialog, EveryWayToCloseWritesNothing)
{
    // The Close button, Escape (the dialog manager's Cancel), the caption's box and the system menu's Close.
    const std::pair<UINT, WPARAM> ways[] = {
        {WM_COMMAND,    IDC_CLOSE},
        {WM_COMMAND,    IDCANCEL },
        {WM_CLOSE,      0        },
        {WM_SYSCOMMAND, SC_CLOSE }
    };
    for (const auto& way : ways)
    {
        Open();
        Click(IDC_ENABLE_ALL);
        SendMessageW(Dialog(), way.first, way.second, 0);
        PumpMessages();
        m_dialog.reset();
        for (int page = 0; page < kPageCount; ++page)
            EXPECT_EQ(ReadBytes(File(page)), kBytes[page]) << way.first << ", " << way.second;
    }
}

TEST_F(MainDialog, AboutBoxIsOwnedByTheDialogWhileAnotherWindowIsActive)
{
    Open();
    HWND other = CreateWindowExW(0, L"STATIC", L"Other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    const ModalWatch about = AnswerModal("About Tavrin", Dialog(), IDCANCEL,
                                         [this] { SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0); });
    DestroyWindow(other);
    EXPECT_EQ(about.count, 1);
    EXPECT_EQ(about.owner, Dialog());
    EXPECT_TRUE(IsWindowEnabled(Dialog())) << "enabled again once the box is gone";
}

// Run at 96, 144 and 192 DPI (LogPixels set before the program starts).
TEST_F(MainDialog, EveryDpiPagesFillTheDisplayAreaAndControlsLieInTheirParents)
{
    Open();
    const HWND tab = GetDlgItem(Dialog(), IDC_TAB);
    RECT area{};
    GetClientRect(tab, &area);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&area), 2);
    for (int page = 0; page < kPageCount; ++page)
    {
        PressTab(tab, page);
        RECT place{};
        ASSERT_EQ(ShownPages(&place), std::vector<int>{page});
        EXPECT_TRUE(EqualRect(&place, &area)) << "page " << page << " ends at " << place.bottom;
    }
    const auto& pages = m_dialog->m_pages;
    for (HWND parent : {Dialog(), pages[0]->m_hWnd, pages[1]->m_hWnd, pages[2]->m_hWnd, pages[3]->m_hWnd})
    {
        RECT client{};
        GetClientRect(parent, &client);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        {
            RECT place{}, inside{};
            GetWindowRect(child, &place);
            IntersectRect(&inside, &place, &client);
            EXPECT_TRUE(EqualRect(&inside, &place)) << "control " << GetDlgCtrlID(child) << " of " << parent;
        }
    }
}

// The images drawn for the sizes, not others scaled.
TEST_F(MainDialog, EveryDpiIconsAreTheImagesForTheirSizes)
{
    Open();
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(Dialog(), WM_GETICON, ICON_SMALL, 0))),
              GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(Dialog(), WM_GETICON, ICON_BIG, 0))),
              GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(AnswerModal("About Tavrin", Dialog(), IDCANCEL,
                          [this] { SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0); })
                  .iconWidth,
              GetSystemMetrics(SM_CXICON));
}

TEST_F(MainDialog, LinkFieldIsNamedByItsLabel)
{
    Open();
    IAccessible* field = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(Interface().m_linkName.m_hWnd,
                                         static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&field)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4; // CHILDID_SELF
    BSTR name = nullptr;
    EXPECT_EQ(field->get_accName(self, &name), S_OK);
    EXPECT_STREQ(name ? name : L"", L"PDF Link Name");
    SysFreeString(name);
    field->Release();
}

// A long path gives way in its middle: the reason after it stays in sight.
TEST_F(MainDialog, ALongPathInTheNoteGivesWayInItsMiddle)
{
    Open();
    const CWnd& note = Interface().m_note;
    PressTab(GetDlgItem(Dialog(), IDC_TAB), 3);
    ShowWindow(note.m_hWnd, SW_SHOWNA);
    const std::wstring path = L"C:\\Projects\\" + std::wstring(150, L'x') + L"\\Content\\XML\\interface.xml";
    note.SetText((path + L" could not be read").c_str());
    const CSnapshot notRead(note.m_hWnd, false);
    note.SetText((path + L" holds no PDF link to edit").c_str());
    EXPECT_TRUE(CSnapshot(note.m_hWnd, false).pixels != notRead.pixels)
        << "the note was cut before the reason";
}

// The tool started in a folder whose path is longer than the old limit of 260 characters, with the files
// named relative to it; saving writes a new file beside each, under a longer name still.
TEST_F(MainDialog, ProjectUnderALongPathOpensAndSaves)
{
    for (int level = 0; level < 3; ++level)
    {
        CreateDirectoryA(std::string(100, 'd').c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(std::string(100, 'd').c_str()));
    }
    ASSERT_GT(GetCurrentDirectoryW(0, nullptr), 300u);
    CreateDirectoryA("Content", nullptr);
    CreateDirectoryA("Content\\XML", nullptr);
    for (int page = 0; page < kPageCount; ++page)
        WriteBytes(std::string("Content\\XML\\") + kFiles[page], kBytes[page]);
    Open();
    Click(IDC_ENABLE_ALL);
    EXPECT_EQ(AnswerModal(kCaption, Dialog(), IDOK, [this] { Click(IDC_SAVE); }).count, 0);
    EXPECT_EQ(ReadBytes("Content\\XML\\features.xml"), AllFlags(0, '1'));
    WIN32_FIND_DATAA found{};
    EXPECT_EQ(FindFirstFileA("Content\\XML\\*.tmp", &found), INVALID_HANDLE_VALUE)
        << "a new file left behind";
}
} // namespace
