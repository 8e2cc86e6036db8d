// The per-item records: callers' item values through them, and every record freed however items go.
#include <memory>

#include "CheckListHarness.h"

namespace
{
LRESULT Value(HWND hList, int index)
{
    return SendMessageW(hList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

using RecordTest = CheckListTest;

TEST_F(RecordTest, CallersSeeTheirOwnValuesAndTheDeletionHookToo)
{
    Fill(List(), {L"Hold", L"Park", L"Conf", L"DND"});
    List().SetItemCheck(0, 1);
    EXPECT_EQ(Value(m_list, 0), 0) << "callers never see the record";
    const auto wide = static_cast<LPARAM>(sizeof(LPARAM) == 8 ? 0x8123456789ABCDEFull : 0x89ABCDEFu);
    // Indexes that name no item get the list's error and make nothing, the every-item form too.
    const struct
    {
        int index;
        LPARAM value;
        bool taken;
    } sets[] = {
        {0,  wide, true },
        {1,  0x51, true },
        {4,  7,    false},
        {-1, 7,    false}
    };
    for (const auto& set : sets)
        EXPECT_EQ(SendMessageW(m_list, LB_SETITEMDATA, static_cast<WPARAM>(set.index), set.value) != LB_ERR,
                  set.taken)
            << set.index;
    EXPECT_EQ(Value(m_list, 0), wide) << "kept whole";
    EXPECT_EQ(Value(m_list, 1), 0x51);
    EXPECT_EQ(Value(m_list, 4), LB_ERR);
    EXPECT_EQ(List().GetItemCheck(0), 1) << "a value leaves the check alone";

    List().SetItemCheck(2, 1);
    SendMessageW(m_list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(List().m_deleted, std::vector<ULONG_PTR>{0x51}) << "the hook sees the value, not the record";
    EXPECT_EQ(List().GetItemCheck(1), 1) << "the next item moved up with its record";
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    Fill(List(), {L"Hold"});
    List().SetItemCheck(0, 1);
    DestroyWindow(m_dialog.m_hWnd);
    EXPECT_EQ(List().m_deleted.size(), 5u);
}

TEST_F(RecordTest, ChecksFollowTheirItemsWhenDeletionsNeverComeBack)
{
    // The spare list's parent hands its deletion requests back to no control.
    const HWND hSpare = GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    CCheckListBox spare;
    ASSERT_TRUE(spare.Attach(hSpare));
    Fill(spare, {L"Hold", L"Park", L"Conf"});
    for (int i = 0; i < 3; ++i)
        spare.SetItemCheck(i, 1);
    spare.SetItemCheck(2, 0);
    SendMessageW(hSpare, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(spare.GetItemCheck(0) * 10 + spare.GetItemCheck(1), 10);
    SendMessageW(hSpare, LB_RESETCONTENT, 0, 0);

    Fill(spare, {L"Hold", L"Park"});
    EXPECT_EQ(spare.GetItemCheck(0) + spare.GetItemCheck(1), 0) << "new items start clear";
    spare.SetItemCheck(0, 1);
    PerformInput(hSpare, Input::Press, 5, ItemMiddleY(hSpare, 0));
    EXPECT_EQ(spare.GetItemCheck(0), 0) << "input works without the parent's help";
    DestroyWindow(m_dialog.m_hWnd);
}

TEST_F(RecordTest, TheListKeepsCallersValuesAndItsOwnHandlingWhenTheControlGoes)
{
    const HWND hSpare = GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    for (const wchar_t* text : {L"Hold", L"Park", L"Conf"})
        SendMessageW(hSpare, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(hSpare, LB_SETITEMDATA, 0, 555);
    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(hSpare));
    EXPECT_EQ(control->GetItemCheck(0), 0) << "a value set before binding is not a record";
    control->SetItemCheck(0, 1);
    control->SetItemCheck(2, 1);

    control.reset();
    EXPECT_EQ(Value(hSpare, 0), 555) << "the list keeps the caller's value";
    EXPECT_EQ(Value(hSpare, 2), 0);
    SendMessageW(hSpare, LB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessageW(hSpare, LB_GETCURSEL, 0, 0), 1) << "the list's own handling answers";
    PerformInput(hSpare, Input::Press, 5, ItemMiddleY(hSpare, 2));
    EXPECT_EQ(SendMessageW(hSpare, LB_GETCURSEL, 0, 0), 2);
}
} // namespace
