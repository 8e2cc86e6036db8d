// The per-item records: callers' item values through them, and every record freed however items go.
#include <memory>

#include "CheckListHarness.h"

namespace
{
class RecordTest : public CheckListTest
{
protected:
    CProbeCheckList& List() { return m_dialog.m_list; }
    HWND Spare() const { return GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST); }
    int Live() const { return CheckItemRecord::LiveCount() - m_liveBefore; }
};

TEST_F(RecordTest, ItemValuesReadThroughRecords)
{
    Fill(List(), {"Hold", "Park"});
    EXPECT_EQ(SendMessageA(m_list, LB_GETITEMDATA, 0, 0), 0) << "an item without a record";
    EXPECT_EQ(Live(), 0) << "reading makes no record";

    List().SetItemCheck(0, 1);
    EXPECT_EQ(SendMessageA(m_list, LB_GETITEMDATA, 0, 0), 0) << "callers never see the record";
    const ULONG_PTR wide = sizeof(ULONG_PTR) == 8 ? static_cast<ULONG_PTR>(0x8123456789ABCDEFull) : 0x89ABCDEFu;
    EXPECT_NE(SendMessageA(m_list, LB_SETITEMDATA, 0, static_cast<LPARAM>(wide)), LB_ERR);
    EXPECT_EQ(static_cast<ULONG_PTR>(SendMessageA(m_list, LB_GETITEMDATA, 0, 0)), wide) << "kept whole";
    EXPECT_EQ(List().GetItemCheck(0), 1) << "a value leaves the check alone";

    EXPECT_NE(SendMessageA(m_list, LB_SETITEMDATA, 1, 42), LB_ERR);
    EXPECT_EQ(Live(), 2) << "setting a value makes the record";
    EXPECT_EQ(SendMessageA(m_list, LB_GETITEMDATA, 1, 0), 42);
    EXPECT_EQ(List().GetItemCheck(1), 0);
    EXPECT_TRUE(List().IsItemEnabled(1));

    // Indexes that name no item get the list's error and make nothing; the every-item form overwrites nothing.
    EXPECT_EQ(SendMessageA(m_list, LB_GETITEMDATA, 2, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(m_list, LB_SETITEMDATA, 2, 7), LB_ERR);
    EXPECT_EQ(SendMessageA(m_list, LB_SETITEMDATA, static_cast<WPARAM>(-1), 7), LB_ERR);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(SendMessageA(m_list, LB_GETITEMDATA, 1, 0), 42);
    EXPECT_EQ(List().GetItemCheck(0), 1);
}

TEST_F(RecordTest, DeletionFreesRecordsAndPassesCallersValues)
{
    Fill(List(), {"Hold", "Park", "Conf", "DND"});
    List().SetItemCheck(0, 1);
    List().SetItemCheck(1, 1);
    SendMessageA(m_list, LB_SETITEMDATA, 1, 0x51);
    List().SetItemCheck(2, 1);
    ASSERT_EQ(Live(), 3);

    SendMessageA(m_list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(List().m_deleted, std::vector<ULONG_PTR>{0x51}) << "the hook sees the value, not the record";
    EXPECT_EQ(List().GetItemCheck(1), 1) << "the next item moved up with its record";

    SendMessageA(m_list, LB_DELETESTRING, 2, 0);
    EXPECT_EQ(Live(), 2) << "an item without a record";
    SendMessageA(m_list, LB_DELETESTRING, 5, 0);
    EXPECT_EQ(Live(), 2);

    SendMessageA(m_list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(List().m_deleted.size(), 4u);

    Fill(List(), {"Hold", "Park"});
    List().SetItemCheck(0, 1);
    List().SetItemCheck(1, 1);
    m_dialog.Destroy();
    EXPECT_EQ(Live(), 0) << "destroying the list frees what is left";
    EXPECT_EQ(List().m_deleted.size(), 6u);
}

TEST_F(RecordTest, RecordsFreedWhenDeletionsNeverComeBack)
{
    // The spare list's parent does not hand its deletion requests back to any control.
    CCheckListBox spare;
    ASSERT_TRUE(spare.Attach(Spare()));
    Fill(spare, {"Hold", "Park", "Conf"});
    for (int i = 0; i < 3; ++i)
        spare.SetItemCheck(i, 1);
    ASSERT_EQ(Live(), 3);

    SendMessageA(spare.m_hWnd, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(spare.GetItemCheck(0), 1);
    SendMessageA(spare.m_hWnd, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(Live(), 0);

    Fill(spare, {"Hold", "Park"});
    spare.SetItemCheck(1, 1);
    spare.SetItemCheck(0, 1);
    Press(spare.m_hWnd, 5, RowY(spare.m_hWnd, 0));
    EXPECT_EQ(spare.GetItemCheck(0), 0) << "input works without the parent's help";
    m_dialog.Destroy();
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(spare.m_hWnd, nullptr);
}

TEST_F(RecordTest, ControlDestroyedBeforeItsList)
{
    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(Spare()));
    Fill(*control, {"Hold", "Park", "Conf"});
    SendMessageA(Spare(), LB_SETITEMDATA, 0, 0x77);
    control->SetItemCheck(1, 1);
    ASSERT_EQ(Live(), 2);

    control.reset();
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(SendMessageA(Spare(), LB_GETITEMDATA, 0, 0), 0x77) << "the list keeps the caller's value";
    EXPECT_EQ(SendMessageA(Spare(), LB_GETITEMDATA, 1, 0), 0);
    Press(Spare(), 5, RowY(Spare(), 2));
    SendMessageA(Spare(), LB_DELETESTRING, 0, 0);
    m_dialog.Destroy();
    EXPECT_EQ(Live(), 0);
}

TEST_F(RecordTest, ValuesSetBeforeBindingStay)
{
    HWND spare = Spare();
    SendMessageA(spare, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Hold"));
    SendMessageA(spare, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Park"));
    SendMessageA(spare, LB_SETITEMDATA, 0, 555);
    SendMessageA(spare, LB_SETITEMDATA, 1, 999);

    CCheckListBox control;
    ASSERT_TRUE(control.Attach(spare));
    EXPECT_EQ(control.GetItemCheck(0), 0) << "a plain value is not a record";
    EXPECT_TRUE(control.IsItemEnabled(1));
    control.SetItemCheck(0, 1);
    EXPECT_EQ(control.GetItemCheck(0), 1);
    EXPECT_EQ(SendMessageA(spare, LB_GETITEMDATA, 0, 0), 555);
    EXPECT_EQ(SendMessageA(spare, LB_GETITEMDATA, 1, 0), 999);
    m_dialog.Destroy();
}
} // namespace
