// Checks changed by a person: presses, double clicks and the space bar, in every check mode.
#include "CheckListHarness.h"

namespace
{
constexpr int kInBox = 12;  // the last column of the strip box's column at 96 DPI
constexpr int kOnText = 13; // the first column of its text

using InputTest = CheckListTest;

TEST_F(InputTest, PressDoubleClickAndSpaceBarOnAnItem)
{
    // All act on item 1 (" Conf" would catch the list's type-ahead search on a space); mouse input starts
    // with item 0 selected, the space bar with item 1, the caret. check: item 1's after; toggles:
    // notifications and state-change events; passed: input messages that reached the list's own handling.
    const struct
    {
        const char* what;
        int mode;
        Input input;
        int x, start, enabled, check, toggles, passed, sel;
    } cases[] = {
        {"press in the box",            BS_AUTOCHECKBOX, Input::Press,       kInBox,  0, TRUE,  1, 1, 1, 1},
        {"press on the text",           BS_AUTOCHECKBOX, Input::Press,       kOnText, 1, TRUE,  1, 0, 1, 1},
        {"double click on the box",     BS_AUTOCHECKBOX, Input::DoubleClick, 5,       0, TRUE,  0, 2, 2, 1},
        {"double click on the text",    BS_AUTOCHECKBOX, Input::DoubleClick, 50,      0, TRUE,  0, 0, 2, 1},
        {"space bar",                   BS_AUTOCHECKBOX, Input::Space,       0,       0, TRUE,  1, 1, 0, 1},
        {"indeterminate, two states",   BS_AUTOCHECKBOX, Input::Press,       5,       2, TRUE,  0, 1, 1, 1},
        {"indeterminate, no mode",      0,               Input::Space,       0,       2, TRUE,  0, 1, 0, 1},
        {"three states: 0 to 1",        BS_AUTO3STATE,   Input::Press,       5,       0, TRUE,  1, 1, 1, 1},
        {"three states: 1 to 2",        BS_AUTO3STATE,   Input::Press,       5,       1, TRUE,  2, 1, 1, 1},
        {"three states: 2 to 0",        BS_AUTO3STATE,   Input::Space,       0,       2, TRUE,  0, 1, 0, 1},
        {"manual: press in the box",    BS_CHECKBOX,     Input::Press,       5,       0, TRUE,  0, 0, 1, 1},
        {"manual: double click on box", BS_3STATE,       Input::DoubleClick, 5,       0, TRUE,  0, 0, 2, 1},
        {"manual: space bar",           BS_3STATE,       Input::Space,       0,       0, TRUE,  0, 0, 2, 2},
        {"disabled: press in the box",  BS_AUTOCHECKBOX, Input::Press,       5,       0, FALSE, 0, 0, 0, 0},
        {"disabled: press on the text", BS_AUTOCHECKBOX, Input::Press,       50,      0, FALSE, 0, 0, 0, 0},
        {"disabled: space bar",         BS_AUTOCHECKBOX, Input::Space,       0,       0, FALSE, 0, 0, 0, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
        Fill(List(), {L"Hold", L"Park", L" Conf"});
        SetCheck(c.mode, 1, c.start);
        List().SetItemEnabled(1, c.enabled);
        List().SetCurSel(c.input == Input::Space ? 1 : 0);
        SetFocus(nullptr);
        TakeEvents();
        m_dialog.m_codes.clear();
        m_dialog.m_selAtCheck = -2;
        m_dialog.m_below.clear();

        PerformInput(m_list, c.input, c.x, ItemMiddleY(m_list, 1));

        EXPECT_EQ(List().GetItemCheck(1), c.check);
        EXPECT_EQ(List().GetItemCheck(0) + List().GetItemCheck(2), 0) << "the neighbours stay";
        EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), c.toggles);
        EXPECT_EQ(TakeEvents(), std::vector<LONG>(static_cast<size_t>(c.toggles), 2));
        EXPECT_EQ(m_dialog.m_below.size(), static_cast<size_t>(c.passed));
        EXPECT_EQ(List().GetCurSel(), c.sel);
        EXPECT_EQ(m_dialog.m_selAtCheck, c.toggles ? c.sel : -2)
            << "the notification follows the list's handling";
        EXPECT_EQ(GetFocus(), c.input == Input::Space ? nullptr : m_list) << "a press focuses the list";
    }
    EXPECT_EQ(m_dialog.CountCommands(-1), 0) << "a notification named another control";

    // Other keys are the list's, and so is the space bar when there is no caret item.
    SendMessageW(m_list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(m_dialog.CountBelow(WM_KEYDOWN, VK_DOWN), 1);
    EXPECT_EQ(List().GetCurSel(), 2);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    PerformInput(m_list, Input::Space);
    EXPECT_EQ(m_dialog.CountBelow(WM_KEYDOWN, VK_SPACE), 1);
}

TEST_F(InputTest, PressInScrolledListCountsFromTheTopIndex)
{
    const HWND hList = GetDlgItem(m_dialog.m_hWnd, IDC_SHORT_LIST);
    CCheckListBox list;
    ASSERT_TRUE(list.Attach(hList));
    for (int i = 0; i < 10; ++i)
        list.AddString(L"Item");
    SendMessageW(hList, LB_SETTOPINDEX, 9, 0);
    const int top = list.GetTopIndex();
    const int height = list.GetItemHeight(0);
    RECT client{};
    GetClientRect(hList, &client);
    ASSERT_GT(top, 0) << "the list scrolled";
    ASSERT_GE(top + (client.bottom - 1) / height, 10) << "the point lies below the last item";

    PerformInput(hList, Input::Press, 5, client.bottom - 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0) << "below the last item";
    EXPECT_EQ(m_dialog.CountBelow(WM_LBUTTONDOWN, MK_LBUTTON), 1) << "the list's own handling ran";
    PerformInput(hList, Input::Press, 5, height / 2);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list.GetItemCheck(i), i == top ? 1 : 0) << "item " << i;
}

TEST_F(InputTest, SetItemCheckFollowsTheModeAndNeverNotifies)
{
    Fill(List(), {L"Hold", L"Park"});
    TakeEvents();
    // In order, on item 0: a refused state still raises the event; bad states and indexes do nothing.
    const struct
    {
        int mode, index, state, check, event; // check: item 0's after
    } steps[] = {
        {BS_CHECKBOX,     0,  1, 1, 1},
        {BS_CHECKBOX,     0,  2, 1, 1},
        {BS_AUTOCHECKBOX, 0,  2, 1, 1},
        {0,               0,  2, 2, 1},
        {BS_AUTO3STATE,   0,  2, 2, 1},
        {BS_3STATE,       0,  2, 2, 1},
        {BS_3STATE,       0,  7, 2, 0},
        {BS_3STATE,       -1, 1, 2, 0},
        {BS_3STATE,       2,  1, 2, 0},
    };
    for (size_t i = 0; i < std::size(steps); ++i)
    {
        List().SetCheckMode(steps[i].mode);
        List().SetItemCheck(steps[i].index, steps[i].state);
        EXPECT_EQ(List().GetItemCheck(0), steps[i].check) << "step " << i;
        EXPECT_EQ(TakeEvents(), std::vector<LONG>(static_cast<size_t>(steps[i].event), 1)) << "step " << i;
    }
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 0);
}
} // namespace
