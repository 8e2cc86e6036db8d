#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "CheckListPage.h"
#include "PageTestSupport.h"
#include "resource.h"

namespace
{
std::vector<std::wstring> Texts(const CCheckListPage& page)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < page.m_checkList.GetCount(); ++i)
        texts.push_back(page.m_checkList.GetItemText(i));
    return texts;
}

std::vector<int> Checks(const CCheckListPage& page)
{
    std::vector<int> checks;
    for (int i = 0; i < page.m_checkList.GetCount(); ++i)
        checks.push_back(page.m_checkList.GetItemCheck(i));
    return checks;
}
} // namespace

TEST(CheckListPage, FeaturesListsEveryItemInFileOrderAndSavesWhatThePersonTicked)
{
    CScratch scratch("features");
    const std::string path = scratch.Copy("features_in.xml");
    CHostDlg host;
    CFeaturesDlg page;
    ASSERT_TRUE(page.Create(&host));
    ASSERT_EQ(GetDlgItem(page.m_hWnd, IDC_FEATURES_LIST), page.m_checkList.m_hWnd);
    EXPECT_FALSE(page.IsLoaded());

    page.LoadContent(W(path).c_str());
    EXPECT_TRUE(page.IsLoaded());
    EXPECT_EQ(W(path), page.m_path);
    EXPECT_EQ(BS_AUTOCHECKBOX, page.m_checkList.GetCheckMode());
    // Text nodes and the item nested in CallPark are not entries; items without a name give empty ones.
    const std::vector<std::wstring> texts = {
        L"CallForward", L"CallWaiting", L"Voicemail", L"Intercom", L"Paging",
        L"SpeedDial",   L"Directory",   L"",          L"",         L"CallPark",
        L"CallWaiting"};
    EXPECT_EQ(texts, Texts(page));
    // Only exactly "1" is on: not "true", " 1", an empty value or a missing flag.
    EXPECT_EQ((std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1}), Checks(page));
    EXPECT_EQ(0, page.m_checkList.GetCurSel());
    EXPECT_LT(0, RepaintedItems(page.m_checkList.m_hWnd)); // drawing is back on after the fill

    HWND hList = page.m_checkList.m_hWnd;
    PressBox(hList, 3);       // Intercom on
    SpaceOn(hList, 6);        // Directory on: it has no flag yet
    PressBox(hList, 9);       // CallPark off
    PressBox(hList, 7);       // the nameless item's entry off: it stands for no item
    PressItem(hList, 2, 100); // on the text: selects Voicemail, leaves its box alone
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1}), Checks(page));
    EXPECT_EQ(2, page.m_checkList.GetCurSel());

    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("features_expected.xml")), ReadBytes(path));
    // A second save of the same state writes the same bytes.
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("features_expected.xml")), ReadBytes(path));
}

TEST(CheckListPage, SoftkeysEnableAllAndDisableAllReachTheFileOnlyOnSave)
{
    CScratch scratch("softkeys");
    const std::string path = scratch.Copy("softkeys_in.xml");
    CHostDlg host;
    CSoftkeysDlg page;
    ASSERT_TRUE(page.Create(&host));
    ASSERT_EQ(GetDlgItem(page.m_hWnd, IDC_SOFTKEYS_LIST), page.m_checkList.m_hWnd);
    page.LoadContent(W(path).c_str());
    EXPECT_EQ((std::vector<std::wstring>{L"Redial", L"NewCall", L"Hold", L"Hold", L""}), Texts(page));

    page.SetAllChecks(1);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1}), Checks(page));
    EXPECT_EQ(ReadBytes(DataFile("softkeys_in.xml")), ReadBytes(path));
    // Both Hold entries lead to the first Hold item, which gets a flag; the second keeps its own.
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("softkeys_all_on.xml")), ReadBytes(path));

    page.SetAllChecks(0);
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0}), Checks(page));
    EXPECT_EQ(ReadBytes(DataFile("softkeys_all_on.xml")), ReadBytes(path));
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("softkeys_all_off.xml")), ReadBytes(path));
}

TEST(CheckListPage, StartHereBehindDeclarationAndCommentsIsWrittenBackByteForByte)
{
    CScratch scratch("starthere");
    const std::string path = scratch.Copy("starthere_in.xml");
    CHostDlg host;
    CStartHereDlg page;
    ASSERT_TRUE(page.Create(&host));
    ASSERT_EQ(GetDlgItem(page.m_hWnd, IDC_STARTHERE_LIST), page.m_checkList.m_hWnd);
    page.LoadContent(W(path).c_str());
    // The topic inside a comment is no entry.
    EXPECT_EQ((std::vector<std::wstring>{L"Welcome", L"PhoneTour", L"Voicemail", L"AnsweringCalls"}),
              Texts(page));
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1}), Checks(page));

    // Nothing changed: not one byte differs, and the topic without a flag gets none.
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("starthere_in.xml")), ReadBytes(path));

    SpaceOn(page.m_checkList.m_hWnd, 1);
    PressBox(page.m_checkList.m_hWnd, 3);
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("starthere_expected.xml")), ReadBytes(path));
}

TEST(CheckListPage, FileThatWasNotReadIsNeverWritten)
{
    CScratch scratch("unread");
    CHostDlg host;
    // The empty list says why: the path as given and what went wrong, or that there is no path.
    const auto expectUnread = [&](const wchar_t* path, const wchar_t* line, const char* what) {
        CFeaturesDlg page;
        ASSERT_TRUE(page.Create(&host));
        page.LoadContent(path);
        EXPECT_FALSE(page.IsLoaded()) << what;
        EXPECT_EQ(line, page.m_checkList.GetEmptyText()) << what;
        EXPECT_EQ(0, page.m_checkList.GetCount()) << what;
        EXPECT_EQ(LB_ERR, page.m_checkList.GetCurSel()) << what;
        page.SetAllChecks(1);
        EXPECT_EQ(0, page.SaveContent()) << what;
    };

    const std::string missing = scratch / "missing.xml";
    expectUnread(W(missing).c_str(), (W(missing) + L" could not be read").c_str(), "missing file");
    EXPECT_FALSE(FileExists(missing));
    expectUnread(L"", L"No file is set for this tab", "empty path");
    expectUnread(nullptr, L"No file is set for this tab", "no path");

    const std::string utf16 = scratch.Copy("features_utf16.xml");
    expectUnread(W(utf16).c_str(), (W(utf16) + L" could not be read").c_str(), "UTF-16 file");
    EXPECT_EQ(ReadBytes(DataFile("features_utf16.xml")), ReadBytes(utf16));

    // Held open without sharing by another program while the page reads it; released before the save.
    const std::string locked = scratch.Copy("features_in.xml");
    HANDLE hFile =
        CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    {
        CFeaturesDlg page;
        ASSERT_TRUE(page.Create(&host));
        page.LoadContent(W(locked).c_str());
        CloseHandle(hFile);
        EXPECT_FALSE(page.IsLoaded());
        EXPECT_EQ(0, page.m_checkList.GetCount());
        EXPECT_EQ(0, page.SaveContent());
    }
    EXPECT_EQ(ReadBytes(DataFile("features_in.xml")), ReadBytes(locked));
}

TEST(CheckListPage, FileWithoutItemsGivesAnEmptyListAndIsWrittenBackAsItWas)
{
    CScratch scratch("noitems");
    CHostDlg host;
    const std::string comment = scratch.Copy("comment_only.xml");
    const std::string empty = scratch / "empty.xml";
    const std::string container = scratch / "container.xml";
    ASSERT_TRUE(WriteBytes(empty, ""));
    ASSERT_TRUE(WriteBytes(container, "<features>\r\n  text only\r\n</features>\r\n"));
    for (const std::string& path : {comment, empty, container})
    {
        const std::string before = ReadBytes(path);
        CFeaturesDlg page;
        ASSERT_TRUE(page.Create(&host));
        page.LoadContent(W(path).c_str());
        EXPECT_TRUE(page.IsLoaded()) << path;
        EXPECT_EQ(W(path) + L" holds no items", page.m_checkList.GetEmptyText()) << path;
        EXPECT_EQ(0, page.m_checkList.GetCount()) << path;
        EXPECT_EQ(LB_ERR, page.m_checkList.GetCurSel()) << path;
        EXPECT_EQ(1, page.SaveContent()) << path;
        EXPECT_EQ(before, ReadBytes(path)) << path;
    }
}

TEST(CheckListPage, FailedWriteLeavesTheFileAndTheNextSaveWritesTheChanges)
{
    CScratch scratch("readonly");
    const std::string path = scratch.Copy("starthere_in.xml");
    CHostDlg host;
    CStartHereDlg page;
    ASSERT_TRUE(page.Create(&host));
    page.LoadContent(W(path).c_str());
    SpaceOn(page.m_checkList.m_hWnd, 1);
    PressBox(page.m_checkList.m_hWnd, 3);

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, page.SaveContent());
    EXPECT_TRUE(page.IsLoaded());
    EXPECT_EQ(ReadBytes(DataFile("starthere_in.xml")), ReadBytes(path));

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("starthere_expected.xml")), ReadBytes(path));
}
