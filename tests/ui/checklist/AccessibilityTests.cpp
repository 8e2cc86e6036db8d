// The items as check buttons to screen readers: role, state, default action and its name, and events.
#include <oleacc.h>

#include <memory>
#include <string>

#include "CheckListHarness.h"

namespace
{
VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

class AccessibilityTest : public CheckListTest
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CheckListTest::SetUp();
        ASSERT_EQ(AccessibleObjectFromWindow(m_list, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                             reinterpret_cast<void**>(&m_accessible)),
                  S_OK);
        ASSERT_NE(m_accessible, nullptr);
    }
    void TearDown() override
    {
        if (m_accessible)
            m_accessible->Release();
        CheckListTest::TearDown();
        CoUninitialize();
    }

    CCheckListBox& List() { return m_dialog.m_list; }
    long Role(long id)
    {
        VARIANT role;
        VariantInit(&role);
        if (FAILED(m_accessible->get_accRole(Child(id), &role)) || role.vt != VT_I4)
            return -1;
        return role.lVal;
    }
    long State(long id)
    {
        VARIANT state;
        VariantInit(&state);
        if (FAILED(m_accessible->get_accState(Child(id), &state)) || state.vt != VT_I4)
            return -1;
        return state.lVal;
    }
    std::string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id)
    {
        BSTR text = nullptr;
        std::string result = "(none)";
        if ((m_accessible->*get)(Child(id), &text) == S_OK && text)
        {
            char buffer[256] = {};
            WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
            result = buffer;
        }
        SysFreeString(text);
        return result;
    }
    std::string ActionName(long id) { return Text(&IAccessible::get_accDefaultAction, id); }

    IAccessible* m_accessible = nullptr;
    CEventRecorder m_events;
};

TEST_F(AccessibilityTest, ItemsAreCheckButtonsWithStateAndActionName)
{
    Fill(List(), {"Hold", "Park", "Conf"});
    List().SetCheckMode(0);
    List().SetItemCheck(1, 1);
    List().SetItemCheck(2, 2);
    List().SetCheckMode(BS_AUTOCHECKBOX);
    List().SetCurSel(1);

    for (long id = 1; id <= 3; ++id)
        EXPECT_EQ(Role(id), ROLE_SYSTEM_CHECKBUTTON) << "child " << id;
    EXPECT_NE(Role(0), ROLE_SYSTEM_CHECKBUTTON) << "the list itself";
    EXPECT_NE(Role(4), ROLE_SYSTEM_CHECKBUTTON) << "past the items";

    EXPECT_EQ(State(1) & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED), 0);
    EXPECT_EQ(State(2) & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED), STATE_SYSTEM_CHECKED);
    EXPECT_EQ(State(3) & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED), STATE_SYSTEM_MIXED);
    EXPECT_TRUE(State(2) & STATE_SYSTEM_SELECTED) << "the standard state of the selected item";
    EXPECT_FALSE(State(1) & STATE_SYSTEM_SELECTED);

    EXPECT_EQ(ActionName(1), "Check");
    EXPECT_EQ(ActionName(2), "Uncheck");
    EXPECT_EQ(ActionName(3), "Check") << "the state that the action produces";
    EXPECT_EQ(Text(&IAccessible::get_accName, 2), "Park");
}

TEST_F(AccessibilityTest, DefaultActionTogglesNotifiesAndSelects)
{
    Fill(List(), {"Hold", "Park", "Conf"});
    List().SetCheckMode(0);
    List().SetItemCheck(2, 2);
    List().SetCheckMode(BS_AUTOCHECKBOX);
    List().SetCurSel(0);
    m_events.Take(m_list);

    EXPECT_EQ(m_accessible->accDoDefaultAction(Child(3)), S_OK);
    EXPECT_EQ(List().GetItemCheck(2), 1) << "an indeterminate item becomes checked";
    EXPECT_EQ(CurSel(m_list), 2) << "and selected";
    ASSERT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 1);
    EXPECT_EQ(m_events.Take(m_list), std::vector<LONG>{3});

    EXPECT_EQ(m_accessible->accDoDefaultAction(Child(3)), S_OK);
    EXPECT_EQ(List().GetItemCheck(2), 0);

    // The action ignores the mode and the item's enabled flag.
    List().SetCheckMode(BS_CHECKBOX);
    List().SetItemEnabled(0, FALSE);
    EXPECT_EQ(m_accessible->accDoDefaultAction(Child(1)), S_OK);
    EXPECT_EQ(List().GetItemCheck(0), 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 3);
}

TEST_F(AccessibilityTest, ThreeStateCycleAndNames)
{
    Fill(List(), {"Hold"});
    List().SetCheckMode(BS_AUTO3STATE);
    std::vector<std::string> names;
    std::vector<long> states;
    for (int i = 0; i < 3; ++i)
    {
        names.push_back(ActionName(1));
        m_accessible->accDoDefaultAction(Child(1));
        states.push_back(State(1) & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Check", "Mixed", "Uncheck"}));
    EXPECT_EQ(states, (std::vector<long>{STATE_SYSTEM_CHECKED, STATE_SYSTEM_MIXED, 0}));
}

TEST_F(AccessibilityTest, ObjectKeptPastTheControlOrListIsHarmless)
{
    // A reader may hold the object after the control object has gone while its list lives on.
    HWND spare = GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(spare));
    Fill(*control, {"Hold"});
    IAccessible* kept = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(spare, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&kept)),
              S_OK);
    control.reset();
    VARIANT role;
    VariantInit(&role);
    kept->get_accRole(Child(1), &role);
    EXPECT_FALSE(role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_CHECKBUTTON);
    kept->accDoDefaultAction(Child(1));
    kept->Release();

    Fill(List(), {"Hold"});
    m_dialog.Destroy();
    EXPECT_NE(Role(1), ROLE_SYSTEM_CHECKBUTTON);
    m_accessible->accDoDefaultAction(Child(1));
    EXPECT_EQ(CheckItemRecord::LiveCount(), m_liveBefore);
}
} // namespace
