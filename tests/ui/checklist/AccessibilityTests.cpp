// The items as check buttons to screen readers: role, state, default action and its name, and events.
#include <oleacc.h>

#include <memory>
#include <string>

#include "CheckListHarness.h"

namespace
{
constexpr long kCheckBits = STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED;

VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A child's role or state, or -1.
long Number(IAccessible* accessible, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
            long id)
{
    VARIANT value;
    VariantInit(&value);
    return SUCCEEDED((accessible->*get)(Child(id), &value)) && value.vt == VT_I4 ? value.lVal : -1;
}
long RoleOf(IAccessible* accessible, long id)
{
    return Number(accessible, &IAccessible::get_accRole, id);
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
    }
    void TearDown() override
    {
        if (m_accessible)
            m_accessible->Release();
        CheckListTest::TearDown();
        CoUninitialize();
    }

    long State(long id)
    {
        return Number(m_accessible, &IAccessible::get_accState, id);
    }
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id)
    {
        BSTR text = nullptr;
        std::wstring result = L"(none)";
        if ((m_accessible->*get)(Child(id), &text) == S_OK && text)
            result.assign(text, SysStringLen(text));
        SysFreeString(text);
        return result;
    }
    std::wstring ActionName(long id)
    {
        return Text(&IAccessible::get_accDefaultAction, id);
    }

    IAccessible* m_accessible = nullptr;
};

TEST_F(AccessibilityTest, ItemsAreCheckButtonsWithStateAndActionName)
{
    Fill(List(), {L"Hold", L"Caf\u00e9 \u263A", L"Conf"});
    SetChecks(BS_AUTOCHECKBOX, {
                                   {1, 1},
                                   {2, 2}
    });
    List().SetCurSel(1);

    // The action name says the state that the action produces.
    const struct
    {
        long checkBits;
        const wchar_t* action;
    } items[] = {
        {0,                    L"Check"  },
        {STATE_SYSTEM_CHECKED, L"Uncheck"},
        {STATE_SYSTEM_MIXED,   L"Check"  }
    };
    for (long id = 1; id <= 3; ++id)
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(RoleOf(m_accessible, id), ROLE_SYSTEM_CHECKBUTTON);
        EXPECT_EQ(State(id) & kCheckBits, items[id - 1].checkBits);
        EXPECT_EQ((State(id) & STATE_SYSTEM_SELECTED) != 0, id == 2)
            << "the standard state of the selected item";
        EXPECT_EQ(ActionName(id), items[id - 1].action);
    }
    EXPECT_NE(RoleOf(m_accessible, 0), ROLE_SYSTEM_CHECKBUTTON) << "the list itself";
    EXPECT_NE(RoleOf(m_accessible, 4), ROLE_SYSTEM_CHECKBUTTON) << "past the items";
    // Whatever the code page: the name is the entry's own text.
    EXPECT_EQ(Text(&IAccessible::get_accName, 2), L"Caf\u00e9 \u263A");
}

TEST_F(AccessibilityTest, DefaultActionTogglesNotifiesAndSelects)
{
    Fill(List(), {L"Hold", L"Park", L"Conf"});
    SetChecks(BS_AUTOCHECKBOX, {
                                   {2, 2}
    });
    List().SetCurSel(0);
    TakeEvents();

    EXPECT_EQ(m_accessible->accDoDefaultAction(Child(3)), S_OK);
    EXPECT_EQ(List().GetItemCheck(2), 1) << "an indeterminate item becomes checked";
    EXPECT_EQ(CurSel(m_list), 2) << "and selected";
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 1);
    EXPECT_EQ(TakeEvents(), std::vector<LONG>{3});
    m_accessible->accDoDefaultAction(Child(3));
    EXPECT_EQ(List().GetItemCheck(2), 0);

    // The action ignores the mode and the item's enabled flag.
    List().SetCheckMode(BS_CHECKBOX);
    List().SetItemEnabled(0, FALSE);
    EXPECT_EQ(m_accessible->accDoDefaultAction(Child(1)), S_OK);
    EXPECT_EQ(List().GetItemCheck(0), 1);
    EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 3);

    List().SetCheckMode(BS_AUTO3STATE);
    const struct
    {
        const wchar_t* action;
        long checkBits; // after it
    } cycle[] = {
        {L"Check",   STATE_SYSTEM_CHECKED},
        {L"Mixed",   STATE_SYSTEM_MIXED  },
        {L"Uncheck", 0                   }
    };
    for (const auto& step : cycle)
    {
        EXPECT_EQ(ActionName(2), step.action);
        m_accessible->accDoDefaultAction(Child(2));
        EXPECT_EQ(State(2) & kCheckBits, step.checkBits) << step.action;
    }
}

TEST_F(AccessibilityTest, ObjectKeptPastTheControlOrListIsHarmless)
{
    // A reader may hold the object after the control object has gone while its list lives on.
    HWND spare = GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(spare));
    Fill(*control, {L"Hold"});
    IAccessible* kept = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(spare, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&kept)),
              S_OK);
    control.reset();
    EXPECT_NE(RoleOf(kept, 1), ROLE_SYSTEM_CHECKBUTTON);
    kept->accDoDefaultAction(Child(1));
    kept->Release();

    Fill(List(), {L"Hold"});
    m_dialog.Destroy();
    EXPECT_NE(RoleOf(m_accessible, 1), ROLE_SYSTEM_CHECKBUTTON);
    m_accessible->accDoDefaultAction(Child(1));
    EXPECT_EQ(Live(), 0);
}
} // namespace
