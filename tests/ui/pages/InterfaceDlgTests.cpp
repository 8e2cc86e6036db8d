#include <windows.h>
#include <gtest/gtest.h>
#include <string>

#include "InterfaceDlg.h"
#include "PageTestSupport.h"
#include "resource.h"

namespace
{
// What the field of interface_in.xml shows: references decoded, except one to a character that the
// ANSI code page lacks, an unknown entity, an upper-case hex mark and a reference without ";".
const wchar_t kShownLink[] = L"Q&A 'Guide' & more <v2> \u263A &bogus; &#X26; &amp";

// A page over a copy of one of the data files, inside a host window.
struct CLoadedInterface
{
    explicit CLoadedInterface(const std::string& path)
    {
        page.Create(&host);
        page.LoadContent(W(path).c_str());
    }
    CHostDlg host;
    CInterfaceDlg page;
};
} // namespace

TEST(InterfaceDlg, UntouchedFieldWritesTheLinkNameAsTheFileHadIt)
{
    CScratch scratch("interface_unchanged");
    const std::string path = scratch.Copy("interface_in.xml");
    CLoadedInterface loaded(path);
    CInterfaceDlg& page = loaded.page;
    ASSERT_EQ(GetDlgItem(page.m_hWnd, IDC_LINK_NAME), page.m_linkName.m_hWnd);
    ASSERT_EQ(GetDlgItem(page.m_hWnd, IDC_LINK_ENABLED), page.m_linkEnabled.m_hWnd);

    EXPECT_TRUE(page.IsLoaded());
    EXPECT_EQ(kShownLink, page.m_linkName.GetText());
    EXPECT_EQ(BST_UNCHECKED, page.m_linkEnabled.GetCheck()); // "true" is not on

    // Enable All and Disable All do nothing here.
    page.SetAllChecks(1);
    page.SetAllChecks(0);
    EXPECT_EQ(kShownLink, page.m_linkName.GetText());
    EXPECT_EQ(BST_UNCHECKED, page.m_linkEnabled.GetCheck());
    EXPECT_EQ(ReadBytes(DataFile("interface_in.xml")), ReadBytes(path));

    // Only the flag is rewritten; the value keeps "&#x26;" and "&#38;" rather than becoming "&amp;", and
    // "LinkItem" is another element.
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("interface_unchanged.xml")), ReadBytes(path));

    // Typed over with the same text, the field is still unchanged.
    TypeText(page.m_linkName.m_hWnd, kShownLink);
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("interface_unchanged.xml")), ReadBytes(path));
}

TEST(InterfaceDlg, TypedLinkNameIsReadBackExactlyAsTyped)
{
    CScratch scratch("interface_typed");
    const std::string path = scratch.Copy("interface_in.xml");
    const std::wstring typed = L"Say \"hi\" & <wave> 'now'";
    {
        CLoadedInterface loaded(path);
        TypeText(loaded.page.m_linkName.m_hWnd, typed);
        SendMessageA(loaded.page.m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
        PumpMessages();
        EXPECT_EQ(typed, loaded.page.m_linkName.GetText());
        EXPECT_EQ(BST_CHECKED, loaded.page.m_linkEnabled.GetCheck());
        EXPECT_EQ(1, loaded.page.SaveContent());
    }
    // The quote no longer ends the value: the file has every character, and a new page shows them.
    EXPECT_EQ(ReadBytes(DataFile("interface_typed.xml")), ReadBytes(path));
    CLoadedInterface reread(path);
    EXPECT_EQ(typed, reread.page.m_linkName.GetText());
    EXPECT_EQ(BST_CHECKED, reread.page.m_linkEnabled.GetCheck());
    // Leading and trailing blanks stay as typed.
    TypeText(reread.page.m_linkName.m_hWnd, L"  spaced  ");
    EXPECT_EQ(1, reread.page.SaveContent());
    CLoadedInterface again(path);
    EXPECT_EQ(L"  spaced  ", again.page.m_linkName.GetText());
    // A character the code page lacks is stored as a reference to it, never as "?".
    TypeText(again.page.m_linkName.m_hWnd, L"\u263A 1");
    EXPECT_EQ(1, again.page.SaveContent());
    EXPECT_NE(std::string::npos, ReadBytes(path).find("value=\"\xE2\x98\xBA 1\"")) << ReadBytes(path);
}

TEST(InterfaceDlg, EveryLinkItemGetsTheFieldAndTheBoxOfTheLastOne)
{
    CScratch scratch("interface_links");
    const std::string path = scratch.Copy("links_in.xml");
    CLoadedInterface loaded(path);
    // "linkitem" differs in case only and is no link item.
    EXPECT_EQ(L"Quick Guide", loaded.page.m_linkName.GetText());
    EXPECT_EQ(BST_UNCHECKED, loaded.page.m_linkEnabled.GetCheck());
    EXPECT_EQ(1, loaded.page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("links_expected.xml")), ReadBytes(path));
}

TEST(InterfaceDlg, LinkItemWithoutValueOrFlagGetsThemOnlyWhenThereIsSomethingToSay)
{
    CScratch scratch("interface_bare");
    const std::string path = scratch.Copy("link_bare_in.xml");
    CLoadedInterface loaded(path);
    CInterfaceDlg& page = loaded.page;
    EXPECT_EQ(L"", page.m_linkName.GetText());
    EXPECT_EQ(BST_UNCHECKED, page.m_linkEnabled.GetCheck());

    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("link_bare_in.xml")), ReadBytes(path));

    SendMessageA(page.m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("link_bare_ticked.xml")), ReadBytes(path));

    TypeText(page.m_linkName.m_hWnd, L"Guide");
    EXPECT_EQ(1, page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("link_bare_typed.xml")), ReadBytes(path));
}

TEST(InterfaceDlg, FileThatWasNotReadIsNeverWritten)
{
    CScratch scratch("interface_unread");
    const std::string missing = scratch / "interface.xml";
    const std::string utf16 = scratch.Copy("features_utf16.xml");
    for (const std::string& what : {missing, std::string(), utf16})
    {
        CLoadedInterface loaded(what);
        EXPECT_FALSE(loaded.page.IsLoaded()) << what;
        EXPECT_EQ(L"", loaded.page.m_linkName.GetText()) << what;
        EXPECT_EQ(BST_UNCHECKED, loaded.page.m_linkEnabled.GetCheck()) << what;
        EXPECT_FALSE(IsWindowEnabled(loaded.page.m_linkName.m_hWnd)) << what;
        EXPECT_EQ(what.empty() ? L"No file is set for this tab" : W(what) + L" could not be read",
                  loaded.page.m_note.GetText())
            << what;
        TypeText(loaded.page.m_linkName.m_hWnd, L"typed");
        SendMessageA(loaded.page.m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
        EXPECT_EQ(0, loaded.page.SaveContent()) << what;
    }
    EXPECT_FALSE(FileExists(missing));
    EXPECT_EQ(ReadBytes(DataFile("features_utf16.xml")), ReadBytes(utf16));
}

TEST(InterfaceDlg, FileWithoutLinkItemDisablesTheControlsAndSaysWhy)
{
    CScratch scratch("interface_nolink");
    const std::string path = scratch.Copy("softkeys_in.xml");
    CLoadedInterface loaded(path);
    EXPECT_TRUE(loaded.page.IsLoaded());
    EXPECT_FALSE(IsWindowEnabled(loaded.page.m_linkName.m_hWnd));
    EXPECT_FALSE(IsWindowEnabled(loaded.page.m_linkEnabled.m_hWnd));
    EXPECT_TRUE(IsWindowVisible(loaded.page.m_note.m_hWnd));
    EXPECT_EQ(W(path) + L" holds no PDF link to edit", loaded.page.m_note.GetText());
    // What reaches the controls anyway is stored nowhere.
    TypeText(loaded.page.m_linkName.m_hWnd, L"Nowhere");
    SendMessageA(loaded.page.m_linkEnabled.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, loaded.page.SaveContent());
    EXPECT_EQ(ReadBytes(DataFile("softkeys_in.xml")), ReadBytes(path));
}
