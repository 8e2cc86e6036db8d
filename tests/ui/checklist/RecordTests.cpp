// The per-item records: callers' item values through them, and every record freed however items go.
#include <memory>

#include "CheckListHarness.h"

namespace
{
class RecordTest : public CheckListTest
{
protected:
    HWND Spare() const
    {
        return GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    }
    LRESULT Value(HWND hList, int index)
    {
        return SendMessageW(hList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    }
};

TEST_F(RecordTest, ItemValuesReadThroughRecords)
{
    Fill(List(), {L"Hold", L"Park"});
    EXPECT_EQ(Value(m_list, 0), 0) << "an item without a record";
    List().SetItemCheck(0, 1);
    EXPECT_EQ(Value(m_list, 0), 0) << "callers never see the record";
    const ULONG_PTR wide =
        sizeof(ULONG_PTR) == 8 ? static_cast<ULONG_PTR>(0x8123456789ABCDEFull) : 0x89ABCDEFu;
    EXPECT_NE(SendMessageW(m_list, LB_SETITEMDATA, 0, static_cast<LPARAM>(wide)), LB_ERR);
    EXPECT_EQ(static_cast<ULONG_PTR>(Value(m_list, 0)), wide) << "kept whole";
    EXPECT_EQ(List().GetItemCheck(0), 1) << "a value leaves the check alone";
    EXPECT_NE(SendMessageW(m_list, LB_SETITEMDATA, 1, 42), LB_ERR);
    EXPECT_EQ(Live(), 2) << "setting a value makes the record";
    EXPECT_EQ(List().GetItemCheck(1), 0);

    // Indexes that name no item get the list's error and make nothing; the every-item form overwrites
    // nothing.
    EXPECT_EQ(Value(m_list, 2), LB_ERR);
    EXPECT_EQ(SendMessageW(m_list, LB_SETITEMDATA, 2, 7), LB_ERR);
    EXPECT_EQ(SendMessageW(m_list, LB_SETITEMDATA, static_cast<WPARAM>(-1), 7), LB_ERR);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(Value(m_list, 1), 42);
    EXPECT_EQ(List().GetItemCheck(0), 1);
}

TEST_F(RecordTest, DeletionFreesRecordsAndPassesCallersValues)
{
    Fill(List(), {L"Hold", L"Park", L"Conf", L"DND"});
    SetChecks(BS_AUTOCHECKBOX, {
                                   {0, 1},
                                   {1, 1},
                                   {2, 1}
    });
    SendMessageW(m_list, LB_SETITEMDATA, 1, 0x51);
    ASSERT_EQ(Live(), 3);

    SendMessageW(m_list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(List().m_deleted, std::vector<ULONG_PTR>{0x51}) << "the hook sees the value, not the record";
    EXPECT_EQ(List().GetItemCheck(1), 1) << "the next item moved up with its record";
    SendMessageW(m_list, LB_DELETESTRING, 2, 0);
    SendMessageW(m_list, LB_DELETESTRING, 5, 0);
    EXPECT_EQ(Live(), 2) << "an item without a record, and none at all";

    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(List().m_deleted.size(), 4u);
    Fill(List(), {L"Hold", L"Park"});
    SetChecks(BS_AUTOCHECKBOX, {
                                   {0, 1},
                                   {1, 1}
    });
    m_dialog.Destroy();
    EXPECT_EQ(Live(), 0) << "destroying the list frees what is left";
    EXPECT_EQ(List().m_deleted.size(), 6u);
}

TEST_F(RecordTest, RecordsFreedWhenDeletionsNeverComeBack)
{
    // The spare list's parent does not hand its deletion requests back to any control.
    CCheckListBox spare;
    ASSERT_TRUE(spare.Attach(Spare()));
    Fill(spare, {L"Hold", L"Park", L"Conf"});
    for (int i = 0; i < 3; ++i)
        spare.SetItemCheck(i, 1);

    SendMessageW(Spare(), LB_DELETESTRING, 0, 0);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(spare.GetItemCheck(0), 1);
    SendMessageW(Spare(), LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(Live(), 0);

    Fill(spare, {L"Hold", L"Park"});
    spare.SetItemCheck(1, 1);
    spare.SetItemCheck(0, 1);
    PerformInput(Spare(), Input::Press, 5, ItemMiddleY(Spare(), 0));
    EXPECT_EQ(spare.GetItemCheck(0), 0) << "input works without the parent's help";
    m_dialog.Destroy();
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(spare.m_hWnd, nullptr);
}

TEST_F(RecordTest, CallersValuesOutliveTheControl)
{
    SendMessageW(Spare(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Hold"));
    SendMessageW(Spare(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Park"));
    SendMessageW(Spare(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Conf"));
    SendMessageW(Spare(), LB_SETITEMDATA, 0, 555);
    SendMessageW(Spare(), LB_SETITEMDATA, 1, 999);

    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(Spare()));
    EXPECT_EQ(control->GetItemCheck(0), 0) << "a value set before binding is not a record";
    EXPECT_TRUE(control->IsItemEnabled(1));
    control->SetItemCheck(0, 1);
    control->SetItemCheck(2, 1);
    EXPECT_EQ(control->GetItemCheck(0), 1);
    EXPECT_EQ(Value(Spare(), 0), 555);
    EXPECT_EQ(Value(Spare(), 1), 999);
    ASSERT_EQ(Live(), 2);

    control.reset();
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(Value(Spare(), 0), 555) << "the list keeps the caller's value";
    EXPECT_EQ(Value(Spare(), 2), 0);
    PerformInput(Spare(), Input::Press, 5, ItemMiddleY(Spare(), 2));
    SendMessageW(Spare(), LB_DELETESTRING, 0, 0);
}
} // namespace
