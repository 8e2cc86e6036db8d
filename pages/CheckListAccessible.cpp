#include <windows.h>
#include <oleacc.h>
#include <string>

#include "CheckListAccessible.h"
#include "CheckListBox.h"
#include "resource.h"

namespace
{
// The default-action names are the strings of these ids, in check-state order.
constexpr UINT kActionNameIds[] = {IDS_CHECKLIST_UNCHECK, IDS_CHECKLIST_CHECK, IDS_CHECKLIST_MIXED};
constexpr int kMaxActionName = 256;

BSTR ToBstr(const std::wstring& text)
{
    return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
} // namespace

CCheckListAccessible* CCheckListAccessible::Create(CCheckListBox& owner)
{
    IAccessible* standard = nullptr;
    if (FAILED(::CreateStdAccessibleObject(owner.m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&standard))) ||
        !standard)
        return nullptr;
    return new CCheckListAccessible(&owner, standard);
}

CCheckListAccessible::CCheckListAccessible(CCheckListBox* owner, IAccessible* standard)
    : m_owner(owner), m_standard(standard)
{
}

CCheckListAccessible::~CCheckListAccessible()
{
    m_standard->Release();
}

void CCheckListAccessible::Disconnect()
{
    m_owner = nullptr;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IAccessible))
    {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CCheckListAccessible::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CCheckListAccessible::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                       EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

// The items' own answers

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accName(VARIANT child, BSTR* name)
{
    const HRESULT hr = m_standard->get_accName(child, name);
    const int index = ItemIndex(child);
    if (SUCCEEDED(hr) || index < 0 || !name)
        return hr;
    // Some platforms' standard object knows no items; a reader still needs their names.
    *name = ToBstr(m_owner->GetItemText(index));
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accRole(VARIANT child, VARIANT* role)
{
    if (ItemIndex(child) < 0)
        return m_standard->get_accRole(child, role);
    if (!role)
        return E_POINTER;
    ::VariantInit(role);
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_CHECKBUTTON;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accState(VARIANT child, VARIANT* state)
{
    const int index = ItemIndex(child);
    if (index < 0)
        return m_standard->get_accState(child, state);
    if (!state)
        return E_POINTER;
    LONG bits = 0;
    VARIANT standard;
    ::VariantInit(&standard);
    if (SUCCEEDED(m_standard->get_accState(child, &standard)) && standard.vt == VT_I4)
        bits = standard.lVal;
    else
        bits = ItemState(index);
    ::VariantClear(&standard);
    const int check = m_owner->GetItemCheck(index);
    if (!m_owner->AllowsUserToggle())
        bits |= STATE_SYSTEM_READONLY;
    if (check == 1)
        bits |= STATE_SYSTEM_CHECKED;
    else if (check == 2)
        bits |= STATE_SYSTEM_MIXED;
    ::VariantInit(state);
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    const int index = ItemIndex(child);
    if (index < 0)
        return m_standard->get_accDefaultAction(child, action);
    if (!action)
        return E_POINTER;
    // A line the person may not change has no action to name.
    *action = nullptr;
    if (!m_owner->AllowsUserToggle())
        return S_FALSE;
    wchar_t name[kMaxActionName] = {};
    const int next = (m_owner->GetItemCheck(index) + 1) % m_owner->StateCount();
    if (::LoadStringW(::GetModuleHandleW(nullptr), kActionNameIds[next], name, kMaxActionName) <= 0)
    {
        *action = nullptr;
        return S_FALSE;
    }
    *action = ::SysAllocString(name);
    return *action ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::accDoDefaultAction(VARIANT child)
{
    const int index = ItemIndex(child);
    if (index < 0)
        return m_standard->accDoDefaultAction(child);
    // A line the person may not change has no action: a reader is told so, not that it happened.
    if (!m_owner->AllowsUserToggle())
        return DISP_E_MEMBERNOTFOUND;
    // The parent's handler may destroy the list, and with it our connection; we stay alive meanwhile.
    AddRef();
    m_owner->SetItemCheck(index, (m_owner->GetItemCheck(index) + 1) % m_owner->StateCount());
    m_owner->NotifyCheckChanged();
    if (m_owner && m_owner->m_hWnd)
        m_owner->SetCurSel(index);
    Release();
    return S_OK;
}

int CCheckListAccessible::ItemIndex(const VARIANT& child) const
{
    // Child ids count the items from 1.
    if (!m_owner || child.vt != VT_I4 || child.lVal < 1 ||
        !m_owner->IsValidIndex(static_cast<int>(child.lVal - 1)))
        return -1;
    return static_cast<int>(child.lVal - 1);
}

LONG CCheckListAccessible::ItemState(int index) const
{
    LONG bits = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    const HWND hWnd = m_owner->m_hWnd;
    if (m_owner->Send(LB_GETSEL, static_cast<WPARAM>(index)) > 0)
        bits |= STATE_SYSTEM_SELECTED;
    if (::GetFocus() == hWnd && m_owner->GetCaretIndex() == index)
        bits |= STATE_SYSTEM_FOCUSED;
    RECT item{};
    RECT client{};
    RECT visible{};
    ::GetClientRect(hWnd, &client);
    if (m_owner->Send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) ==
            LB_ERR ||
        !::IntersectRect(&visible, &item, &client))
        bits |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    return bits;
}

// The standard object's answers, for the list itself and for what items do not change

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accParent(IDispatch** parent)
{
    return m_standard->get_accParent(parent);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accChildCount(long* count)
{
    return m_standard->get_accChildCount(count);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accChild(VARIANT child, IDispatch** dispatch)
{
    return m_standard->get_accChild(child, dispatch);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accValue(VARIANT child, BSTR* value)
{
    return m_standard->get_accValue(child, value);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accDescription(VARIANT child, BSTR* description)
{
    return m_standard->get_accDescription(child, description);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accHelp(VARIANT child, BSTR* help)
{
    return m_standard->get_accHelp(child, help);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    return m_standard->get_accHelpTopic(file, child, topic);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    return m_standard->get_accKeyboardShortcut(child, shortcut);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accFocus(VARIANT* child)
{
    return m_standard->get_accFocus(child);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::get_accSelection(VARIANT* children)
{
    return m_standard->get_accSelection(children);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::accSelect(long flags, VARIANT child)
{
    return m_standard->accSelect(flags, child);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::accLocation(long* left, long* top, long* width, long* height,
                                                            VARIANT child)
{
    return m_standard->accLocation(left, top, width, height, child);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    return m_standard->accNavigate(direction, start, end);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::accHitTest(long left, long top, VARIANT* child)
{
    return m_standard->accHitTest(left, top, child);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::put_accName(VARIANT child, BSTR name)
{
    return m_standard->put_accName(child, name);
}

HRESULT STDMETHODCALLTYPE CCheckListAccessible::put_accValue(VARIANT child, BSTR value)
{
    return m_standard->put_accValue(child, value);
}
