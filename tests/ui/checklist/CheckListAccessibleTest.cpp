// The items as check buttons to screen readers: role, state, default action and its name.
#include <oleacc.h>

#include <memory>

#include "CheckListHarness.h"

namespace
{
constexpr long kCheckBits = STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED | STATE_SYSTEM_READONLY;

VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

IAccessible* AccessibleOf(HWND hList)
{
    IAccessible* accessible = nullptr;
    AccessibleObjectFromWindow(hList, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(&accessible));
    return accessible;
}

// A child's role, or its state; -1 when there is none.
long Number(IAccessible* accessible, long id, bool state = false)
{
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr =
        state ? accessible->get_accState(Child(id), &value) : accessible->get_accRole(Child(id), &value);
    return SUCCEEDED(hr) && value.vt == VT_I4 ? value.lVal : -1;
}

// A child's name, or its default action's name.
std::wstring Text(IAccessible* accessible, long id, bool action)
{
    BSTR text = nullptr;
    const HRESULT hr = action ? accessible->get_accDefaultAction(Child(id), &text)
                              : accessible->get_accName(Child(id), &text);
    const std::wstring result = hr == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"(none)";
    SysFreeString(text);
    return result;
}

using AccessibilityTest = CheckListTest;

TEST_F(AccessibilityTest, ItemsAreCheckButtonsWhoseActionTogglesNotifiesAndSelects)
{
    Fill(List(), {L"Hold", L"Caf\u00e9 \u263A", L"Conf"});
    IAccessible* accessible = AccessibleOf(m_list);
    ASSERT_NE(accessible, nullptr);
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
        // A box the person may not change says so, and has no action.
        {BS_CHECKBOX,     0, FALSE, STATE_SYSTEM_READONLY, L"(none)", 0},
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

        EXPECT_EQ(Number(accessible, 3), ROLE_SYSTEM_CHECKBUTTON);
        EXPECT_EQ(Number(accessible, 3, true) & kCheckBits, c.checkBits);
        EXPECT_EQ(Text(accessible, 3, true), c.action);
        const bool toggles = c.mode != BS_CHECKBOX;
        EXPECT_EQ(accessible->accDoDefaultAction(Child(3)), toggles ? S_OK : DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(List().GetItemCheck(2), c.after);
        EXPECT_EQ(m_dialog.CountCommands(CLBN_CHECKCHANGED), toggles ? 1 : 0);
        EXPECT_EQ(TakeEvents(), toggles ? std::vector<LONG>{3} : std::vector<LONG>{});
        EXPECT_EQ(List().GetCurSel(), toggles ? 2 : 0) << "the item is selected";
        EXPECT_EQ(Number(accessible, 3, true) & STATE_SYSTEM_SELECTED, toggles ? STATE_SYSTEM_SELECTED : 0);
        EXPECT_EQ(Number(accessible, 1, true) & STATE_SYSTEM_CHECKED, 0) << "the others stay";
    }
    EXPECT_NE(Number(accessible, 0), ROLE_SYSTEM_CHECKBUTTON) << "the list itself";
    EXPECT_NE(Number(accessible, 4), ROLE_SYSTEM_CHECKBUTTON) << "past the items";
    // Whatever the code page: the name is the entry's own text.
    EXPECT_EQ(Text(accessible, 2, false), L"Caf\u00e9 \u263A");
    accessible->Release();
}

TEST_F(AccessibilityTest, ObjectKeptPastTheControlOrListIsHarmless)
{
    // A reader may hold the object after the control object has gone while its list lives on, or after both.
    HWND spare = GetDlgItem(m_dialog.m_hWnd, IDC_SPARE_LIST);
    auto control = std::make_unique<CCheckListBox>();
    ASSERT_TRUE(control->Attach(spare));
    Fill(*control, {L"Hold"});
    Fill(List(), {L"Hold"});
    IAccessible* kept[] = {AccessibleOf(spare), AccessibleOf(m_list)};
    ASSERT_TRUE(kept[0] && kept[1]);
    control.reset();
    DestroyWindow(m_dialog.m_hWnd);
    for (IAccessible* accessible : kept)
    {
        EXPECT_NE(Number(accessible, 1), ROLE_SYSTEM_CHECKBUTTON);
        accessible->accDoDefaultAction(Child(1));
        accessible->Release();
    }
}
} // namespace
