// The items as check buttons to screen readers: role, state, default action and its name.
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
    long Role(long id)
    {
        return Number(m_accessible, &IAccessible::get_accRole, id);
    }
    long State(long id)
    {
        return Number(m_accessible, &IAccessible::get_accState, id);
    }
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id)
    {
        BSTR text = nullptr;
        const bool got = (m_accessible->*get)(Child(id), &text) == S_OK && text;
        const std::wstring result = got ? std::wstring(text, SysStringLen(text)) : L"(none)";
        SysFreeString(text);
        return result;
    }

    IAccessible* m_accessible = nullptr;
};

TEST_F(AccessibilityTest, ItemsAreCheckButtonsWhoseActionTogglesNotifiesAndSelects)
{
    Fill(List(), {L"Hold", L"Caf\u00e9 \u263A", L"Conf"});
    // On item 2 (child 3), with item 0 selected: the state it reads, the action's name (the state the action
    // produces) and the check after the action, which ignores the mode and the item's enabled flag.
    const struct
    {
        int mode, start;
        BOOL enabled;
        long checkBits;
        const wchar_t* action;
        int after;
    } cases[] = {
        {BS_AUTOCHECKBOX, 0, TRUE,  0,                    L"Check",   1},
        {BS_AUTOCHECKBOX, 1, TRUE,  STATE_SYSTEM_CHECKED, L"Uncheck", 0},
        {BS_AUTOCHECKBOX, 2, TRUE,  STATE_SYSTEM_MIXED,   L"Check",   1},
        {BS_CHECKBOX,     0, FALSE, 0,                    L"Check",   1},
        {BS_AUTO3STATE,   0, TRUE,  0,                    L"Check",   1},
        {BS_AUTO3STATE,   1, TRUE,  STATE_SYSTEM_CHECKED, L"Mixed",   2},
        {BS_AUTO3STATE,   2, TRUE,  STATE_SYSTEM_MIXED,   L"Uncheck", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", check " << c.start);
        SetCheck(c.mode, 2, c.start);
        List().SetItemEnabled(2, c.enabled);
        List().SetCurSel(0);
        TakeEvents();
        m_dialog.m_codes.clear();

        EXPECT_EQ(Role(3), ROLE_SYSTEM_CHECKBUTTON);
        EXPECT_EQ(State(3) & kCheckBits, c.checkBits);
        EXPECT_EQ(Text(&IAccessible::get_accDefaultAction, 3), c.action);
        EXPECT_EQ(m_accessible->accDoDefaultAction(Child(3)), S_OK);
        EXPECT_EQ(List().GetItemCheck(2), c.after);
        EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), 1);
        EXPECT_EQ(TakeEvents(), std::vector<LONG>{3});
        EXPECT_EQ(List().GetCurSel(), 2) << "the item is selected";
        EXPECT_NE(State(3) & STATE_SYSTEM_SELECTED, 0);
        EXPECT_EQ(State(1) & (kCheckBits | STATE_SYSTEM_SELECTED), 0) << "the other items stay";
    }
    EXPECT_NE(Role(0), ROLE_SYSTEM_CHECKBUTTON) << "the list itself";
    EXPECT_NE(Role(4), ROLE_SYSTEM_CHECKBUTTON) << "past the items";
    // Whatever the code page: the name is the entry's own text.
    EXPECT_EQ(Text(&IAccessible::get_accName, 2), L"Caf\u00e9 \u263A");
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
    EXPECT_NE(Number(kept, &IAccessible::get_accRole, 1), ROLE_SYSTEM_CHECKBUTTON);
    kept->accDoDefaultAction(Child(1));
    kept->Release();

    Fill(List(), {L"Hold"});
    m_dialog.Destroy();
    EXPECT_NE(Role(1), ROLE_SYSTEM_CHECKBUTTON);
    m_accessible->accDoDefaultAction(Child(1));
}
} // namespace
