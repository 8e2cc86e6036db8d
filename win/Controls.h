// Thin wrappers over the standard controls: each holds only the requests our dialogs make.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>

#include "Wnd.h"

class CButton : public CWnd
{
public:
    int GetCheck() const
    {
        return static_cast<int>(Send(BM_GETCHECK));
    }
    void SetCheck(int check) const
    {
        Send(BM_SETCHECK, static_cast<WPARAM>(check));
    }
};

class CEdit : public CWnd
{
};

class CListBox : public CWnd
{
public:
    int GetCount() const
    {
        return static_cast<int>(Send(LB_GETCOUNT));
    }
    // The new item's index, or LB_ERR / LB_ERRSPACE.
    int AddString(const wchar_t* text) const
    {
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : L"")));
    }
    // The item's text; empty for an index that names no item.
    std::wstring GetItemText(int index) const;
    int GetCurSel() const
    {
        return static_cast<int>(Send(LB_GETCURSEL));
    }
    int SetCurSel(int index) const
    {
        return static_cast<int>(Send(LB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    int GetTopIndex() const
    {
        return static_cast<int>(Send(LB_GETTOPINDEX));
    }
    int GetCaretIndex() const
    {
        return static_cast<int>(Send(LB_GETCARETINDEX));
    }
    int GetItemHeight(int index) const
    {
        return static_cast<int>(Send(LB_GETITEMHEIGHT, static_cast<WPARAM>(index)));
    }
};

inline std::wstring CListBox::GetItemText(int index) const
{
    std::wstring text;
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR || length <= 0)
        return text;
    text.resize(static_cast<size_t>(length) + 1);
    const LRESULT copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

class CTabCtrl : public CWnd
{
public:
    int GetItemCount() const
    {
        return static_cast<int>(Send(TCM_GETITEMCOUNT));
    }
    int InsertItem(int index, const wchar_t* text) const
    {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(text);
        return static_cast<int>(
            Send(TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    }
    int GetCurSel() const
    {
        return static_cast<int>(Send(TCM_GETCURSEL));
    }
    int SetCurSel(int index) const
    {
        return static_cast<int>(Send(TCM_SETCURSEL, static_cast<WPARAM>(index)));
    }
    int GetCurFocus() const
    {
        return static_cast<int>(Send(TCM_GETCURFOCUS));
    }
    // The display area within a rectangle of the control's client area.
    void AdjustRect(RECT& rect) const
    {
        Send(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
    }
    DWORD GetExtendedStyle() const
    {
        return static_cast<DWORD>(Send(TCM_GETEXTENDEDSTYLE));
    }
    void SetExtendedStyle(DWORD style) const
    {
        Send(TCM_SETEXTENDEDSTYLE, 0, static_cast<LPARAM>(style));
    }
};
