// A list box with a check box in front of every item.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <unordered_map>

#include "Controls.h"

// What the control keeps per item, in the list's own item-value slot.
struct CheckItemRecord
{
    int m_check = 0;
    BOOL m_enabled = TRUE;
    ULONG_PTR m_itemValue = 0;
};

class CCheckListAccessible;

class CCheckListBox : public CListBox
{
public:
    CCheckListBox();
    ~CCheckListBox() override;

    // Takes over a list created by a dialog template; its styles, font and item height stay.
    bool Attach(HWND hWnd) override;

    // BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE or BS_AUTO3STATE; 0 until set.
    void SetCheckMode(int mode)
    {
        m_checkMode = mode;
    }
    // Appends an entry with its check, as AddString followed by SetItemCheck would but in a third of the
    // requests and without a state-change event: a long list is filled this way. The new entry's index,
    // or LB_ERR / LB_ERRSPACE.
    int AddItem(const wchar_t* text, int state);
    // 0 unchecked, 1 checked, 2 indeterminate. Sends no notification.
    void SetItemCheck(int index, int state);
    int GetItemCheck(int index) const;
    BOOL IsItemEnabled(int index) const;
    // A disabled item is drawn grey and ignores presses and the space bar.
    void SetItemEnabled(int index, BOOL enabled);

    // One grey line that the list paints while it has no entries, saying why; empty for none.
    void SetEmptyText(const std::wstring& text);
    const std::wstring& GetEmptyText() const
    {
        return m_emptyText;
    }

    // The line height that holds the font's text and the box, with the lines' spacing.
    int MinimumItemHeight();
    void InvalidateItemBox(int index);
    // The item under a point of the client area, or -1; inBox tells whether the point is in its box column.
    int HitTestCheck(POINT point, bool& inBox) const;
    // The box as drawn at the window's DPI, and the column at the start of a line that it stands in: the
    // column is what a press toggles and what a change repaints.
    SIZE GetBoxSize() const
    {
        return m_box;
    }
    int GetBoxColumnWidth() const
    {
        return m_box.cx + 2;
    }

    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The common-controls major version query, replaceable by the tests; answers the previous one.
    // Replacing it makes the next drawing query again.
    using VersionQuery = int (*)();
    static VersionQuery ReplaceVersionQuery(VersionQuery query);
    // The query the control uses unless replaced: DllGetVersion of the loaded common controls, or 5.
    static int QueryCommonControlsVersion();

    // Whether high contrast is on, and the system's colours; replaceable by the tests, since Wine ignores
    // the high-contrast setting. Lists made after the replacement use it.
    struct SystemLook
    {
        bool (*highContrast)();
        DWORD(WINAPI* color)(int index); // as GetSysColor
    };
    static SystemLook ReplaceSystemLook(SystemLook look);
    static bool QueryHighContrast();

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

private:
    friend class CCheckListAccessible;

    // The record in an item's slot, or null when the slot holds no record of ours (no item, or a plain
    // value).
    CheckItemRecord* FindRecord(ULONG_PTR slot) const;
    CheckItemRecord* RecordOf(int index) const;
    // The record of an item, made (keeping a value already in the slot) when missing; null for no item.
    CheckItemRecord* MakeRecord(int index);
    void FreeRecord(const CheckItemRecord* record);
    // The value callers see for a slot: the record's item value, or the slot itself.
    ULONG_PTR UserValue(ULONG_PTR slot) const;
    // Puts the callers' values back into the list's slots and frees every record.
    void ReleaseRecords();
    ULONG_PTR RawItemData(int index) const;
    LRESULT SetRawItemData(int index, ULONG_PTR slot);
    bool IsValidIndex(int index) const;
    // The indeterminate state is refused in the two-state modes.
    bool RefusesCheck(int state) const;
    bool IsFixedWithStrings() const;

    // How many states a person or a reader steps through: three in BS_AUTO3STATE, else two.
    int StateCount() const;
    int NextCheck(int index) const;
    bool AllowsUserToggle() const;
    void NotifyCheckChanged() const;
    LRESULT OnPress(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    void DisconnectAccessible();

    // Sizes the box for the window's DPI and theme, then the lines for the font and the box.
    void UpdateMetrics();
    void OnDrawItem(const DRAWITEMSTRUCT& request);
    // A line's text and background: grey text while the list or the item is disabled, and the selection's
    // colours only for an enabled item. The box column and the text share them.
    struct LineColors
    {
        COLORREF text;
        COLORREF background;
    };
    LineColors ColorsOf(const DRAWITEMSTRUCT& request) const;
    bool DrawThemedBox(HDC hDC, const RECT& place, int state) const;
    void DrawStripBox(HDC hDC, const RECT& place, int state) const;
    void OnMeasureItem(MEASUREITEMSTRUCT& request);
    bool ShowsEmptyText() const;
    void PaintEmptyText(HDC hDC);
    // Passes an item request on and repaints the whole list when it changes between empty and not.
    LRESULT ChangeItems(UINT msg, WPARAM wParam, LPARAM lParam);

    std::unordered_map<const CheckItemRecord*, std::unique_ptr<CheckItemRecord>> m_records;
    CCheckListAccessible* m_accessible = nullptr; // one reference held while the list lives
    std::wstring m_emptyText;
    SIZE m_box{};
    bool m_themedBox = false; // the theme draws the box; else the strip or its drawing at other sizes
    bool m_highContrast = false;
    UINT m_dpi = 0;
    bool m_redraw = true; // WM_SETREDRAW's last word
    bool m_swallowSpaceChar = false;
    mutable bool m_rawSlotRequest = false; // the next item-value request is ours, for the list's own slot
};
