// Checks changed by a person: presses, double clicks and the space bar, in every check mode.
#include "CheckListHarness.h"

namespace
{
constexpr int kInBox = 12;  // the last column of the box column
constexpr int kOnText = 13; // the first column of the text, however wide a themed box is

class InputTest : public CheckListTest
{
protected:
    CCheckListBox& List() { return m_dialog.m_list; }
    CEventRecorder m_events;
};

TEST_F(InputTest, PressInBoxTogglesSelectsAndNotifiesOnce)
{
    Fill(List(), {"Hold", "Park", "Transfer"});
    m_events.Take(m_list);

    SetFocus(nullptr);
    SendMessageA(m_list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kInBox, RowY(m_list, 1)));
    EXPECT_EQ(List().GetItemCheck(1), 1);
    EXPECT_EQ(CurSel(m_list), 1) << "the list's own handling of the press selects the item";
    EXPECT_EQ(GetFocus(), m_list);
    ASSERT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 1);
    EXPECT_EQ(m_dialog.m_commands.back().code, CLBN_CHECKCHANGED) << "the check notification comes last";
    EXPECT_EQ(m_dialog.m_commands.back().id, IDC_TEST_LIST);
    EXPECT_EQ(m_dialog.m_commands.back().hWnd, m_list);
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_LBUTTONDOWN), 1);
    SendMessageA(m_list, WM_LBUTTONUP, 0, MAKELPARAM(kInBox, RowY(m_list, 1)));
    EXPECT_EQ(m_events.Take(m_list), std::vector<LONG>{2});

    Press(m_list, kInBox, RowY(m_list, 1));
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 2);
    EXPECT_EQ(List().GetItemCheck(0), 0);
    EXPECT_EQ(List().GetItemCheck(2), 0);
}

TEST_F(InputTest, PressOnTextSelectsWithoutToggling)
{
    Fill(List(), {"Hold", "Park"});
    List().SetItemCheck(0, 1);
    m_events.Take(m_list);

    Press(m_list, kOnText, RowY(m_list, 0));
    Press(m_list, 100, RowY(m_list, 1));
    EXPECT_EQ(List().GetItemCheck(0), 1);
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_EQ(CurSel(m_list), 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
    EXPECT_EQ(m_dialog.CountCommands(LBN_SELCHANGE), 2);
    EXPECT_TRUE(m_events.Take(m_list).empty());
}

TEST_F(InputTest, PressWithThemedBoxStillHitsTextFromColumn13)
{
    const auto previous = CCheckListBox::ReplaceVersionQuery([] { return 6; });
    Fill(List(), {"Hold"});
    UpdateWindow(m_list);
    Press(m_list, kOnText, RowY(m_list, 0));
    EXPECT_EQ(List().GetItemCheck(0), 0);
    Press(m_list, kInBox, RowY(m_list, 0));
    EXPECT_EQ(List().GetItemCheck(0), 1);
    CCheckListBox::ReplaceVersionQuery(previous);
}

TEST_F(InputTest, DoubleClickOnBoxTogglesTwiceAndOnTextNever)
{
    Fill(List(), {"Hold", "Park"});

    DoubleClick(m_list, 5, RowY(m_list, 0));
    EXPECT_EQ(List().GetItemCheck(0), 0) << "press and double click each toggle";
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 2);

    DoubleClick(m_list, 50, RowY(m_list, 1));
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 2);
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_LBUTTONDBLCLK), 2) << "both double clicks reach the list";
    EXPECT_EQ(m_dialog.CountCommands(LBN_DBLCLK), 2);
}

TEST_F(InputTest, PressBelowLastItemOfScrolledListHitsNothing)
{
    CCheckListBox& list = m_dialog.m_shortList;
    HWND hList = list.m_hWnd;
    list.SetCheckMode(BS_AUTOCHECKBOX);
    for (int i = 0; i < 10; ++i)
        list.AddString("Item");
    SendMessageA(hList, LB_SETTOPINDEX, 9, 0);
    const int top = list.GetTopIndex();
    const int height = list.GetItemHeight(0);
    RECT client{};
    GetClientRect(hList, &client);
    const int y = client.bottom - 1;
    ASSERT_GT(top, 0) << "the list scrolled";
    ASSERT_GE(top + y / height, 10) << "the point lies below the last item";

    const int pressesBefore = m_dialog.m_shortBelow.Count(WM_LBUTTONDOWN);
    Press(hList, 5, y);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list.GetItemCheck(i), 0) << "item " << i;
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
    EXPECT_EQ(m_dialog.m_shortBelow.Count(WM_LBUTTONDOWN), pressesBefore + 1) << "the list's own handling ran";

    // The row under a point counts from the top index, not from the first item.
    Press(hList, 5, height / 2);
    EXPECT_EQ(list.GetItemCheck(top), 1);
    EXPECT_EQ(list.GetItemCheck(0), 0);
}

TEST_F(InputTest, SpaceBarTogglesCaretItemAndIsConsumed)
{
    // An item starting with a space: the list's type-ahead search would jump to it on the space character.
    Fill(List(), {"Hold", " Park", "Transfer"});
    List().SetCurSel(0);
    m_events.Take(m_list);

    PressSpace(m_list);
    EXPECT_EQ(List().GetItemCheck(0), 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 1);
    EXPECT_EQ(m_events.Take(m_list), std::vector<LONG>{1});
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_SPACE), 0) << "the list's own handling must not run";
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_CHAR, ' '), 0);
    EXPECT_EQ(CurSel(m_list), 0);

    PressSpace(m_list);
    EXPECT_EQ(List().GetItemCheck(0), 0);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 2);

    // Other keys are the list's.
    SendMessageA(m_list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_DOWN), 1);
    EXPECT_EQ(CurSel(m_list), 1);
}

TEST_F(InputTest, SpaceBarWithoutCaretItemGoesToList)
{
    ASSERT_EQ(List().GetCount(), 0);
    PressSpace(m_list);
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_SPACE), 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
}

TEST_F(InputTest, ManualModesLeaveUserInputToTheList)
{
    Fill(List(), {"Hold", "Park"});
    for (int mode : std::initializer_list<int>{BS_CHECKBOX, BS_3STATE})
    {
        List().SetCheckMode(mode);
        List().SetCurSel(0);
        const int pressesBefore = m_dialog.m_listBelow.Count(WM_LBUTTONDOWN);
        const int doublesBefore = m_dialog.m_listBelow.Count(WM_LBUTTONDBLCLK);
        const int spacesBefore = m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_SPACE);
        Press(m_list, 5, RowY(m_list, 1));
        DoubleClick(m_list, 5, RowY(m_list, 1));
        PressSpace(m_list);
        EXPECT_EQ(List().GetItemCheck(0), 0) << "mode " << mode;
        EXPECT_EQ(List().GetItemCheck(1), 0) << "mode " << mode;
        EXPECT_EQ(CurSel(m_list), 1) << "mode " << mode;
        EXPECT_EQ(m_dialog.m_listBelow.Count(WM_LBUTTONDOWN), pressesBefore + 2) << "mode " << mode;
        EXPECT_EQ(m_dialog.m_listBelow.Count(WM_LBUTTONDBLCLK), doublesBefore + 1) << "mode " << mode;
        EXPECT_EQ(m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_SPACE), spacesBefore + 1) << "mode " << mode;
    }
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
}

TEST_F(InputTest, UserTogglesFollowTheMode)
{
    Fill(List(), {"Hold"});
    const int y = RowY(m_list, 0);

    List().SetCheckMode(BS_AUTO3STATE);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i)
    {
        Press(m_list, 5, y);
        seen.push_back(List().GetItemCheck(0));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));

    // An indeterminate item in a two-state mode goes to unchecked, by press and by space bar.
    for (int mode : std::initializer_list<int>{BS_AUTOCHECKBOX, 0})
    {
        List().SetCheckMode(BS_AUTO3STATE);
        List().SetItemCheck(0, 2);
        List().SetCheckMode(mode);
        Press(m_list, 5, y);
        EXPECT_EQ(List().GetItemCheck(0), 0) << "mode " << mode;
        List().SetCheckMode(BS_AUTO3STATE);
        List().SetItemCheck(0, 2);
        List().SetCheckMode(mode);
        PressSpace(m_list);
        EXPECT_EQ(List().GetItemCheck(0), 0) << "mode " << mode;
    }
}

TEST_F(InputTest, SetItemCheckRefusalsAndBadIndexes)
{
    Fill(List(), {"Hold", "Park"});
    m_events.Take(m_list);

    for (int mode : std::initializer_list<int>{BS_CHECKBOX, BS_AUTOCHECKBOX})
    {
        List().SetCheckMode(mode);
        List().SetItemCheck(0, 1);
        List().SetItemCheck(0, 2);
        EXPECT_EQ(List().GetItemCheck(0), 1) << "state 2 refused in mode " << mode;
        EXPECT_EQ(m_events.Take(m_list), (std::vector<LONG>{1, 1})) << "the refusal still raises the event";
    }
    for (int mode : std::initializer_list<int>{0, BS_3STATE, BS_AUTO3STATE})
    {
        List().SetCheckMode(mode);
        List().SetItemCheck(1, 2);
        EXPECT_EQ(List().GetItemCheck(1), 2) << "mode " << mode;
        List().SetItemCheck(1, 0);
    }
    m_events.Take(m_list);

    // As after a refused add-string, and past the end: nothing changes, no record is made.
    const int live = CheckItemRecord::LiveCount();
    List().SetItemCheck(-1, 1);
    List().SetItemCheck(2, 1);
    List().SetItemCheck(0, 7);
    EXPECT_EQ(CheckItemRecord::LiveCount(), live);
    EXPECT_TRUE(m_events.Take(m_list).empty());
    EXPECT_EQ(List().GetItemCheck(0), 1) << "a state outside 0 to 2 is refused";
    EXPECT_EQ(List().GetItemCheck(-1), 0);
    EXPECT_EQ(List().GetItemCheck(2), 0);
    EXPECT_TRUE(List().IsItemEnabled(2));

    List().AddString("Transfer");
    EXPECT_EQ(List().GetItemCheck(2), 0) << "added but never set";
    EXPECT_TRUE(List().IsItemEnabled(2));
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0) << "SetItemCheck never notifies";
}

TEST_F(InputTest, DisabledItemIgnoresPressAndSpace)
{
    Fill(List(), {"Hold", "Park"});
    List().SetCurSel(0);
    List().SetItemEnabled(1, FALSE);
    const int pressesBefore = m_dialog.m_listBelow.Count(WM_LBUTTONDOWN);

    SetFocus(nullptr);
    Press(m_list, 5, RowY(m_list, 1));
    Press(m_list, 50, RowY(m_list, 1));
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_EQ(CurSel(m_list), 0) << "a press on a disabled item does not select it";
    EXPECT_EQ(GetFocus(), m_list) << "but the list takes the focus";
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_LBUTTONDOWN), pressesBefore);

    List().SetCurSel(1);
    ASSERT_EQ(List().GetCaretIndex(), 1);
    PressSpace(m_list);
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_EQ(m_dialog.m_listBelow.Count(WM_KEYDOWN, VK_SPACE), 0) << "the key is consumed all the same";
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
}
} // namespace
