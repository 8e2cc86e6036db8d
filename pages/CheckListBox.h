// A list box with a check box in front of every item.
#pragma once

#include <windows.h>

#include "Controls.h"

class CCheckListBox : public CListBox
{
public:
    CCheckListBox();
    ~CCheckListBox() override;

    // Takes over a list created by a dialog template; its styles, font and item height stay.
    bool Attach(HWND hWnd) override;

    // BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE or BS_AUTO3STATE; 0 until set.
    void SetCheckMode(int mode) { m_checkMode = mode; }
    int GetCheckMode() const { return m_checkMode; }
    // 0 unchecked, 1 checked, 2 indeterminate. Sends no notification.
    void SetItemCheck(int index, int state);
    int GetItemCheck(int index) const;
    BOOL IsItemEnabled(int index) const;

    int MinimumItemHeight();
    void InvalidateItemBox(int index);

    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Draws an item's text; the rectangle is already narrowed past the box column.
    virtual void DrawItemContent(DRAWITEMSTRUCT& request);
    virtual void MeasureItem(MEASUREITEMSTRUCT& request);
    virtual int CompareItem(COMPAREITEMSTRUCT& request);
    virtual void DeleteItem(DELETEITEMSTRUCT& request);
    // Where the box is drawn within its column; by default the box rectangle itself.
    virtual RECT PlaceCheckBox(const RECT& column, const RECT& box);

    int m_checkMode = 0;
    int m_textHeight = 0;
};
