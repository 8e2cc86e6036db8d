// What screen readers see of a check list, handed out by the list on WM_GETOBJECT.
#pragma once

#include <windows.h>
#include <oleacc.h>

class CCheckListBox;

// The list's accessible object: the standard one for the list itself, check buttons for its items.
// It outlives the control when a client keeps it; the control disconnects it when it goes.
// A COM object is destroyed by its own Release, never through an interface pointer: the interfaces'
// destructors need not be virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CCheckListAccessible final : public IAccessible
{
public:
    // The object for a list, with one reference for the caller; null when the system makes no standard
    // object for the list.
    static CCheckListAccessible* Create(CCheckListBox& owner);
    CCheckListAccessible(const CCheckListAccessible&) = delete;
    CCheckListAccessible& operator=(const CCheckListAccessible&) = delete;

    // From now on the object answers as for a list that is gone.
    void Disconnect();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    // Takes over the caller's reference to standard.
    CCheckListAccessible(CCheckListBox* owner, IAccessible* standard);
    virtual ~CCheckListAccessible();

    // The item a child id names, or -1 for the list itself, an id past the items or a disconnected list.
    int ItemIndex(const VARIANT& child) const;
    // What a standard list says of an item, for platforms whose standard object knows no items.
    LONG ItemState(int index) const;

    LONG m_refs = 1;
    CCheckListBox* m_owner; // not owned; null once disconnected
    IAccessible* m_standard;
};
#pragma GCC diagnostic pop
