#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <oleacc.h>
#include <shlwapi.h>
#include <uxtheme.h>
#include <vssym32.h>
#include <algorithm>
#include <string>

#include "CheckListBox.h"
#include "CheckListAccessible.h"
#include "Dpi.h"
#include "GdiGuards.h"
#include "RuntimeLink.h"
#include "UxTheme.h"
#include "resource.h"


namespace
{
constexpr int kStripCells = 3;
// The strip's cell size, used for the geometry when the strip cannot be loaded.
constexpr int kDefaultCellSize = 11;
constexpr int kMaxCheck = 2;
// Space above and below a line's text or box, at 96 DPI.
constexpr int kLineSpacing = 3;
// The strip's colours, for its boxes drawn at other sizes.
constexpr COLORREF kStripFrame = RGB(128, 128, 128);
constexpr COLORREF kStripInterior[kStripCells] = {RGB(255, 255, 255), RGB(255, 255, 255), RGB(192, 192, 192)};
constexpr COLORREF kStripMark[kStripCells] = {RGB(0, 0, 0), RGB(0, 0, 0), RGB(128, 128, 128)};
// The strip's check mark as an outline in its cell's pixels: three pixels high along a V from (2, 4)
// down to (4, 8) and up to (8, 2).
constexpr double kCheckMark[][2] = {
    {2,   3.5},
    {4.5, 6  },
    {9,   1.5},
    {9,   4.5},
    {4.5, 9  },
    {2,   6.5}
};

// Shared by every check list of the process, made on first use and kept until the process ends.
struct CheckBoxResources
{
    HBITMAP strip = nullptr; // kept for the life of the process
    int cellWidth = kDefaultCellSize;
    int cellHeight = kDefaultCellSize;
    int commonControlsMajor = 0; // 0 until the first drawing asks
};

CheckBoxResources& Resources()
{
    static CheckBoxResources s_resources = [] {
        CheckBoxResources resources;
        resources.strip = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_CHECKBOXES));
        BITMAP info{};
        if (resources.strip && ::GetObjectW(resources.strip, sizeof(info), &info) &&
            info.bmWidth >= kStripCells)
        {
            resources.cellWidth = info.bmWidth / kStripCells;
            resources.cellHeight = info.bmHeight;
        }
        return resources;
    }();
    return s_resources;
}

CCheckListBox::SystemLook& SystemLookInUse()
{
    static CCheckListBox::SystemLook s_look = {&CCheckListBox::QueryHighContrast, &::GetSysColor};
    return s_look;
}

COLORREF SystemColor(int index)
{
    return SystemLookInUse().color(index);
}

CCheckListBox::VersionQuery& VersionQueryInUse()
{
    static CCheckListBox::VersionQuery s_query = &CCheckListBox::QueryCommonControlsVersion;
    return s_query;
}

int CommonControlsMajor()
{
    CheckBoxResources& resources = Resources();
    if (resources.commonControlsMajor == 0)
    {
        const int major = VersionQueryInUse()();
        resources.commonControlsMajor = major > 0 ? major : 5;
    }
    return resources.commonControlsMajor;
}

RECT BoxRect(const RECT& item, int itemHeight, SIZE box)
{
    RECT rect{};
    rect.left = item.left + 1;
    rect.top = item.top + 1 + std::max(0, (itemHeight - static_cast<int>(box.cy)) / 2);
    rect.right = rect.left + box.cx;
    rect.bottom = rect.top + box.cy;
    return rect;
}

void RaiseStateChange(HWND hWnd, int index)
{
    using NotifyWinEventFn = decltype(&::NotifyWinEvent);
    static const NotifyWinEventFn s_notify =
        LookUpFunction<NotifyWinEventFn>(::GetModuleHandleW(L"user32.dll"), "NotifyWinEvent");
    if (s_notify)
        s_notify(EVENT_OBJECT_STATECHANGE, hWnd, OBJID_CLIENT, index + 1);
}

// An item's line is drawn for these requests; a change of focus alone draws only the focus rectangle.
bool DrawsLine(const DRAWITEMSTRUCT& request)
{
    return static_cast<int>(request.itemID) >= 0 && (request.itemAction & (ODA_DRAWENTIRE | ODA_SELECT));
}

// The strip's box at any size, crisp: its frame, interior and check mark scaled from the 11-pixel cell.
// With high contrast on, in the system's colours.
void DrawScaledBox(HDC hDC, const RECT& box, int cell, bool highContrast)
{
    const int size = box.right - box.left;
    const COLORREF frame = highContrast ? SystemColor(COLOR_WINDOWTEXT) : kStripFrame;
    const COLORREF interior = highContrast ? SystemColor(COLOR_WINDOW) : kStripInterior[cell];
    const COLORREF mark =
        highContrast ? SystemColor(cell == 2 ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT) : kStripMark[cell];
    CGdiObject<HBRUSH> frameBrush(::CreateSolidBrush(frame));
    ::FillRect(hDC, &box, frameBrush);
    const int line = std::max(1, size / kDefaultCellSize);
    RECT inside = box;
    ::InflateRect(&inside, -line, -line);
    CGdiObject<HBRUSH> interiorBrush(::CreateSolidBrush(interior));
    ::FillRect(hDC, &inside, interiorBrush);
    if (cell == 0)
        return;
    POINT outline[std::size(kCheckMark)];
    for (size_t i = 0; i < std::size(kCheckMark); ++i)
    {
        outline[i].x = box.left + static_cast<LONG>(kCheckMark[i][0] * size / kDefaultCellSize + 0.5);
        outline[i].y =
            box.top + static_cast<LONG>(kCheckMark[i][1] * (box.bottom - box.top) / kDefaultCellSize + 0.5);
    }
    CGdiObject<HBRUSH> markBrush(::CreateSolidBrush(mark));
    CSelectObject brush(hDC, markBrush);
    CSelectObject pen(hDC, ::GetStockObject(NULL_PEN));
    ::Polygon(hDC, outline, static_cast<int>(std::size(outline)));
}
} // namespace

CCheckListBox::CCheckListBox() = default;

CCheckListBox::~CCheckListBox()
{
    DisconnectAccessible();
    ReleaseRecords();
}

bool CCheckListBox::Attach(HWND hWnd)
{
    if (m_hWnd)
    {
        DisconnectAccessible();
        ReleaseRecords();
        Detach();
    }
    if (!SubclassControl(hWnd))
        return false;
    // The template's font was set before we took the list over.
    UpdateMetrics();
    return true;
}

CCheckListBox::SystemLook CCheckListBox::ReplaceSystemLook(SystemLook look)
{
    SystemLook& inUse = SystemLookInUse();
    const SystemLook previous = inUse;
    inUse.highContrast = look.highContrast ? look.highContrast : &CCheckListBox::QueryHighContrast;
    inUse.color = look.color ? look.color : &::GetSysColor;
    return previous;
}

bool CCheckListBox::QueryHighContrast()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

CCheckListBox::VersionQuery CCheckListBox::ReplaceVersionQuery(VersionQuery query)
{
    VersionQuery& inUse = VersionQueryInUse();
    const VersionQuery previous = inUse;
    inUse = query ? query : &CCheckListBox::QueryCommonControlsVersion;
    Resources().commonControlsMajor = 0;
    return previous;
}

int CCheckListBox::QueryCommonControlsVersion()
{
    // The library that the activation context of the manifest selected, when it is loaded under this name.
    const auto getVersion =
        LookUpFunction<DLLGETVERSIONPROC>(::GetModuleHandleW(L"comctl32.dll"), "DllGetVersion");
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    if (!getVersion || FAILED(getVersion(&info)))
        return 5;
    return static_cast<int>(info.dwMajorVersion);
}

// Records

CheckItemRecord* CCheckListBox::FindRecord(ULONG_PTR slot) const
{
    // Only what we made counts as a record: a slot may hold a caller's plain value (a list without
    // strings, or items that had values before we took the list over).
    const auto found = m_records.find(reinterpret_cast<const CheckItemRecord*>(slot));
    return found == m_records.end() ? nullptr : found->second.get();
}

CheckItemRecord* CCheckListBox::RecordOf(int index) const
{
    // An index that names no item reads LB_ERR, which is no record of ours.
    return m_hWnd ? FindRecord(RawItemData(index)) : nullptr;
}

CheckItemRecord* CCheckListBox::MakeRecord(int index)
{
    if (!IsValidIndex(index))
        return nullptr;
    const ULONG_PTR slot = RawItemData(index);
    if (CheckItemRecord* existing = FindRecord(slot))
        return existing;
    auto record = std::make_unique<CheckItemRecord>();
    record->m_itemValue = slot;
    if (SetRawItemData(index, reinterpret_cast<ULONG_PTR>(record.get())) == LB_ERR)
        return nullptr;
    CheckItemRecord* made = record.get();
    m_records.emplace(made, std::move(record));
    return made;
}

void CCheckListBox::FreeRecord(const CheckItemRecord* record)
{
    m_records.erase(record);
}

ULONG_PTR CCheckListBox::UserValue(ULONG_PTR slot) const
{
    const CheckItemRecord* record = FindRecord(slot);
    return record ? record->m_itemValue : slot;
}

void CCheckListBox::ReleaseRecords()
{
    if (m_hWnd && !m_records.empty())
    {
        // The list outlives us: its later deletion requests must carry the callers' values, not our records.
        const int count = GetCount();
        for (int index = 0; index < count; ++index)
        {
            if (const CheckItemRecord* record = RecordOf(index))
                SetRawItemData(index, record->m_itemValue);
        }
    }
    m_records.clear();
}

// The list's own slot, below our item-value handling. Sent, not passed down the subclass chain directly: a
// second DefSubclassProc within one message would skip the subclasses beneath ours for the message itself.
ULONG_PTR CCheckListBox::RawItemData(int index) const
{
    m_rawSlotRequest = true;
    const LRESULT slot = Send(LB_GETITEMDATA, static_cast<WPARAM>(index));
    m_rawSlotRequest = false;
    return static_cast<ULONG_PTR>(slot);
}

LRESULT CCheckListBox::SetRawItemData(int index, ULONG_PTR slot)
{
    m_rawSlotRequest = true;
    const LRESULT result = Send(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(slot));
    m_rawSlotRequest = false;
    return result;
}

bool CCheckListBox::IsValidIndex(int index) const
{
    return m_hWnd && index >= 0 && index < GetCount();
}

bool CCheckListBox::RefusesCheck(int state) const
{
    return state == 2 && (m_checkMode == BS_CHECKBOX || m_checkMode == BS_AUTOCHECKBOX);
}

bool CCheckListBox::IsFixedWithStrings() const
{
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    return (style & LBS_OWNERDRAWFIXED) && !(style & LBS_OWNERDRAWVARIABLE) && (style & LBS_HASSTRINGS);
}

// Checks

void CCheckListBox::SetItemCheck(int index, int state)
{
    if (RefusesCheck(state))
    {
        // Refused, but a reader following the item hears that its state was asked about.
        if (IsValidIndex(index))
            RaiseStateChange(m_hWnd, index);
        return;
    }
    if (state < 0 || state > kMaxCheck)
        return;
    CheckItemRecord* record = MakeRecord(index);
    if (!record)
        return;
    record->m_check = state;
    InvalidateItemBox(index);
    RaiseStateChange(m_hWnd, index);
}

int CCheckListBox::AddItem(const wchar_t* text, int state)
{
    const int index = AddString(text);
    if (index < 0 || state == 0)
        return index;
    if (state < 0 || state > kMaxCheck || RefusesCheck(state))
        return index;
    // A new entry's slot holds no value yet: nothing to read back or keep.
    auto record = std::make_unique<CheckItemRecord>();
    record->m_check = state;
    if (SetRawItemData(index, reinterpret_cast<ULONG_PTR>(record.get())) == LB_ERR)
        return index;
    m_records.emplace(record.get(), std::move(record));
    // No state-change event: the entry had no earlier state, and readers learn of new entries from the
    // list itself. Under Wine each event is a round trip to the server, which a long fill cannot afford.
    InvalidateItemBox(index);
    return index;
}

int CCheckListBox::GetItemCheck(int index) const
{
    const CheckItemRecord* record = RecordOf(index);
    return record ? record->m_check : 0;
}

BOOL CCheckListBox::IsItemEnabled(int index) const
{
    const CheckItemRecord* record = RecordOf(index);
    return record ? record->m_enabled : TRUE;
}

void CCheckListBox::SetItemEnabled(int index, BOOL enabled)
{
    CheckItemRecord* record = MakeRecord(index);
    if (!record || record->m_enabled == enabled)
        return;
    record->m_enabled = enabled;
    RECT item{};
    if (Send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != LB_ERR)
        ::InvalidateRect(m_hWnd, &item, FALSE);
}

void CCheckListBox::UpdateMetrics()
{
    if (!m_hWnd)
        return;
    m_dpi = WindowDpi(m_hWnd);
    const CheckBoxResources& resources = Resources();
    m_box = {ScaleForDpi(resources.cellWidth, m_dpi), ScaleForDpi(resources.cellHeight, m_dpi)};
    m_themedBox = false;
    if (CommonControlsMajor() >= 6 && CUxTheme::Get().IsAppThemed())
    {
        CThemeData theme(m_hWnd, L"Button", m_dpi);
        SIZE size{};
        if (theme &&
            SUCCEEDED(CUxTheme::Get().GetPartSize(theme, nullptr, BP_CHECKBOX, CBS_UNCHECKEDNORMAL, TS_TRUE,
                                                  &size)) &&
            size.cx > 0 && size.cy > 0)
        {
            m_box = size;
            m_themedBox = true;
        }
    }
    if (IsFixedWithStrings())
        Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(MinimumItemHeight(), 0));
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CCheckListBox::MinimumItemHeight()
{
    if (m_dpi == 0)
        UpdateMetrics();
    const int boxHeight = (m_box.cy > 0 ? m_box.cy : kDefaultCellSize) + 1;
    if (!m_hWnd || !IsFixedWithStrings())
        return boxHeight;
    CWindowDC dc(m_hWnd);
    if (!dc)
        return boxHeight;
    CSelectObject font(dc, reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT)));
    TEXTMETRICW metrics{};
    if (!::GetTextMetricsW(dc, &metrics))
        return boxHeight;
    m_textHeight = metrics.tmHeight;
    return std::max(m_textHeight, static_cast<int>(m_box.cy)) + ScaleForDpi(kLineSpacing, m_dpi);
}

void CCheckListBox::InvalidateItemBox(int index)
{
    // Each invalidation is a round trip to the server under Wine: a list filled while it cannot be seen,
    // or with its drawing suspended, is painted whole afterwards anyway.
    RECT box{};
    if (!m_hWnd || !m_redraw || !::IsWindowVisible(m_hWnd) ||
        Send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&box)) == LB_ERR)
        return;
    box.right = box.left + GetBoxColumnWidth();
    ::InvalidateRect(m_hWnd, &box, FALSE);
}

int CCheckListBox::HitTestCheck(POINT point, bool& inBox) const
{
    inBox = false;
    if (!m_hWnd)
        return -1;
    const int boxColumn = GetBoxColumnWidth();
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    int index = -1;
    int itemLeft = 0;
    if (!(style & (LBS_OWNERDRAWVARIABLE | LBS_MULTICOLUMN)))
    {
        const int height = GetItemHeight(0);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        // Points outside the client area come with the mouse captured; they name no item.
        if (height <= 0 || point.y < 0 || point.y >= client.bottom)
            return -1;
        index = GetTopIndex() + point.y / height;
    }
    else
    {
        // Other layouts, which our pages do not use: the list finds the item itself.
        const LRESULT hit = Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
        RECT item{};
        if (HIWORD(hit) != 0 ||
            Send(LB_GETITEMRECT, static_cast<WPARAM>(LOWORD(hit)), reinterpret_cast<LPARAM>(&item)) == LB_ERR)
            return -1;
        index = LOWORD(hit);
        itemLeft = item.left;
    }
    if (index < 0 || index >= GetCount())
        return -1;
    inBox = point.x >= itemLeft && point.x < itemLeft + boxColumn;
    return index;
}

int CCheckListBox::StateCount() const
{
    return m_checkMode == BS_AUTO3STATE ? 3 : 2;
}

int CCheckListBox::NextCheck(int index) const
{
    const int states = StateCount();
    int check = GetItemCheck(index);
    if (check == states)
        --check;
    return (check + 1) % states;
}

bool CCheckListBox::AllowsUserToggle() const
{
    return m_checkMode != BS_CHECKBOX && m_checkMode != BS_3STATE;
}

void CCheckListBox::NotifyCheckChanged() const
{
    ::SendMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), CLBN_CHECKCHANGED),
                   reinterpret_cast<LPARAM>(m_hWnd));
}

// Messages

LRESULT CCheckListBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_rawSlotRequest && (msg == LB_GETITEMDATA || msg == LB_SETITEMDATA))
    {
        m_rawSlotRequest = false;
        return Default(msg, wParam, lParam);
    }
    switch (msg)
    {
    case LB_GETITEMDATA:
        if (!IsValidIndex(static_cast<int>(wParam)))
            return Default(msg, wParam, lParam);
        return static_cast<LRESULT>(UserValue(static_cast<ULONG_PTR>(Default(msg, wParam, lParam))));

    case LB_SETITEMDATA: {
        // Not even the list's "every item" form reaches the list: it would overwrite our records.
        CheckItemRecord* record = MakeRecord(static_cast<int>(wParam));
        if (!record)
            return LB_ERR;
        record->m_itemValue = static_cast<ULONG_PTR>(lParam);
        return Default(msg, wParam, reinterpret_cast<LPARAM>(record));
    }

    case LB_SETITEMHEIGHT: {
        const int height = std::max(static_cast<int>(LOWORD(lParam)), MinimumItemHeight());
        return Default(msg, wParam, MAKELPARAM(height, 0));
    }

    case LB_ADDSTRING:
    case LB_INSERTSTRING:
        return ChangeItems(msg, wParam, lParam);

    case LB_DELETESTRING: {
        // The deletion request reaches us only through a parent that hands it back; free what it missed.
        const CheckItemRecord* record = RecordOf(static_cast<int>(wParam));
        const LRESULT result = ChangeItems(msg, wParam, lParam);
        if (record && result != LB_ERR)
            FreeRecord(record);
        return result;
    }

    case LB_RESETCONTENT: {
        const LRESULT result = ChangeItems(msg, wParam, lParam);
        if (GetCount() == 0)
            m_records.clear();
        return result;
    }

    case WM_PAINT:
        if (!ShowsEmptyText())
            return Default(msg, wParam, lParam);
        if (wParam)
        {
            PaintEmptyText(reinterpret_cast<HDC>(wParam));
        }
        else
        {
            PAINTSTRUCT paint;
            if (HDC hDC = ::BeginPaint(m_hWnd, &paint))
            {
                PaintEmptyText(hDC);
                ::EndPaint(m_hWnd, &paint);
            }
        }
        return 0;

    case WM_PRINTCLIENT:
        if (!ShowsEmptyText())
            return Default(msg, wParam, lParam);
        PaintEmptyText(reinterpret_cast<HDC>(wParam));
        return 0;

    case WM_SETREDRAW:
        m_redraw = wParam != FALSE;
        return Default(msg, wParam, lParam);

    case WM_SETFONT:
    case WM_DPICHANGED_AFTERPARENT:
    case WM_THEMECHANGED: {
        const LRESULT result = Default(msg, wParam, lParam);
        UpdateMetrics();
        return result;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return OnPress(msg, wParam, lParam);

    case WM_KEYDOWN:
        return OnKeyDown(wParam, lParam);

    case WM_CHAR:
        // The character of a space bar press that toggled a box must not start the list's type-ahead search.
        if (m_swallowSpaceChar && wParam == VK_SPACE)
        {
            m_swallowSpaceChar = false;
            return 0;
        }
        m_swallowSpaceChar = false;
        return Default(msg, wParam, lParam);

    case WM_GETOBJECT:
        return OnGetObject(wParam, lParam);

    case WM_NCDESTROY: {
        const LRESULT result = Default(msg, wParam, lParam);
        // Deletion requests that never reached us (the parent did not hand them back) leave records behind.
        DisconnectAccessible();
        m_records.clear();
        return result;
    }

    default:
        return Default(msg, wParam, lParam);
    }
}

LRESULT CCheckListBox::OnPress(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    bool inBox = false;
    const int index = HitTestCheck(point, inBox);
    if (msg == WM_LBUTTONDBLCLK && !inBox)
        return Default(msg, wParam, lParam);

    ::SetFocus(m_hWnd);
    if (index >= 0 && !IsItemEnabled(index))
        return 0;
    if (!AllowsUserToggle() || !inBox)
        return Default(msg, wParam, lParam);

    // A quick double click on a box toggles it twice: once for the press, once for the double click.
    SetItemCheck(index, NextCheck(index));
    const LRESULT result = Default(msg, wParam, lParam);
    NotifyCheckChanged();
    return result;
}

LRESULT CCheckListBox::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    m_swallowSpaceChar = false;
    const int caret = GetCaretIndex();
    if (wParam != VK_SPACE || !AllowsUserToggle() || !IsValidIndex(caret))
        return Default(WM_KEYDOWN, wParam, lParam);

    m_swallowSpaceChar = true;
    if (IsItemEnabled(caret))
    {
        SetItemCheck(caret, NextCheck(caret));
        NotifyCheckChanged();
    }
    return 0;
}

LRESULT CCheckListBox::OnGetObject(WPARAM wParam, LPARAM lParam)
{
    // The object id arrives in the low 32 bits; the rest may be anything.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT))
        return Default(WM_GETOBJECT, wParam, lParam);
    if (!m_accessible)
        m_accessible = CCheckListAccessible::Create(*this);
    if (!m_accessible)
        return Default(WM_GETOBJECT, wParam, lParam);
    return ::LresultFromObject(IID_IAccessible, wParam, m_accessible);
}

void CCheckListBox::DisconnectAccessible()
{
    if (!m_accessible)
        return;
    m_accessible->Disconnect();
    m_accessible->Release();
    m_accessible = nullptr;
}

// Owner-draw requests

bool CCheckListBox::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (!m_hWnd || !lParam)
        return false;
    switch (msg)
    {
    case WM_DRAWITEM: {
        const auto* request = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (request->CtlType != ODT_LISTBOX || request->hwndItem != m_hWnd)
            return false;
        OnDrawItem(*request);
        result = TRUE;
        return true;
    }
    case WM_MEASUREITEM: {
        auto* request = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (request->CtlType != ODT_LISTBOX)
            return false;
        OnMeasureItem(*request);
        result = TRUE;
        return true;
    }
    case WM_DELETEITEM: {
        const auto* request = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
        if (request->CtlType != ODT_LISTBOX || request->hwndItem != m_hWnd)
            return false;
        DELETEITEMSTRUCT copy = *request;
        copy.itemData = UserValue(request->itemData);
        FreeRecord(FindRecord(request->itemData));
        DeleteItem(copy);
        result = TRUE;
        return true;
    }
    case WM_COMPAREITEM: {
        const auto* request = reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam);
        if (request->CtlType != ODT_LISTBOX || request->hwndItem != m_hWnd)
            return false;
        COMPAREITEMSTRUCT copy = *request;
        copy.itemData1 = UserValue(request->itemData1);
        copy.itemData2 = UserValue(request->itemData2);
        result = CompareItem(copy);
        return true;
    }
    default:
        return false;
    }
}

void CCheckListBox::OnMeasureItem(MEASUREITEMSTRUCT& request)
{
    const int minimum = MinimumItemHeight();
    MEASUREITEMSTRUCT copy = request;
    copy.itemHeight = static_cast<UINT>(minimum);
    copy.itemWidth = static_cast<UINT>(-1);
    copy.itemData = UserValue(request.itemData);
    MeasureItem(copy);
    request.itemHeight = std::max(copy.itemHeight, static_cast<UINT>(minimum));
    request.itemWidth = copy.itemWidth;
}

void CCheckListBox::OnDrawItem(const DRAWITEMSTRUCT& request)
{
    DRAWITEMSTRUCT copy = request;
    const int index = static_cast<int>(request.itemID);
    if (DrawsLine(request))
    {
        RECT column = request.rcItem;
        column.right = column.left + GetBoxColumnWidth();
        // The text keeps the distance from a themed box that it has always had.
        RECT beforeText = column;
        beforeText.right += m_themedBox ? 1 : 0;
        CGdiObject<HBRUSH> background(::CreateSolidBrush(ColorsOf(request).background));
        ::FillRect(request.hDC, &beforeText, background);
        const RECT place = PlaceCheckBox(column, BoxRect(request.rcItem, GetItemHeight(index), m_box));
        const int cell = std::clamp(GetItemCheck(index), 0, kStripCells - 1);
        const bool highContrast = SystemLookInUse().highContrast();
        if (highContrast)
            DrawScaledBox(request.hDC, place, cell, true);
        else if (!m_themedBox || !DrawThemedBox(request.hDC, place, cell))
            DrawStripBox(request.hDC, place, cell);
        copy.rcItem.left = beforeText.right;
    }
    copy.itemData = UserValue(request.itemData);
    DrawItemContent(copy);
}

CCheckListBox::LineColors CCheckListBox::ColorsOf(const DRAWITEMSTRUCT& request) const
{
    const bool disabled = !::IsWindowEnabled(m_hWnd) || !IsItemEnabled(static_cast<int>(request.itemID));
    const bool highlighted = (request.itemState & ODS_SELECTED) && !disabled;
    const COLORREF text = disabled ? SystemColor(COLOR_GRAYTEXT)
                                   : SystemColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    return {text, SystemColor(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW)};
}

bool CCheckListBox::DrawThemedBox(HDC hDC, const RECT& place, int state) const
{
    CThemeData theme(m_hWnd, L"Button", m_dpi);
    if (!theme)
        return false;
    // The indeterminate item shows the unchecked disabled box, as the strip shows it grey.
    const int themeState = state == 1   ? CBS_CHECKEDNORMAL
                           : state == 2 ? CBS_UNCHECKEDDISABLED
                                        : CBS_UNCHECKEDNORMAL;
    return SUCCEEDED(CUxTheme::Get().DrawBackground(theme, hDC, BP_CHECKBOX, themeState, &place));
}

void CCheckListBox::DrawStripBox(HDC hDC, const RECT& place, int state) const
{
    const CheckBoxResources& resources = Resources();
    const bool stripSize = m_box.cx == resources.cellWidth && m_box.cy == resources.cellHeight;
    if (!resources.strip || !stripSize)
    {
        // A stretched strip would be blurred; its boxes are drawn at the size instead.
        DrawScaledBox(hDC, place, state, false);
        return;
    }
    CMemoryDC source(hDC);
    CSelectObject strip(source, resources.strip);
    // The strip's cells are not mirrored in a right-to-left layout: a check mark keeps its shape.
    ::BitBlt(hDC, place.left, place.top, m_box.cx, m_box.cy, source, state * m_box.cx, 0,
             SRCCOPY | NOMIRRORBITMAP);
}

// The empty list's line

void CCheckListBox::SetEmptyText(const std::wstring& text)
{
    m_emptyText = text;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CCheckListBox::ShowsEmptyText() const
{
    return !m_emptyText.empty() && GetCount() == 0;
}

void CCheckListBox::PaintEmptyText(HDC hDC)
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    CGdiObject<HBRUSH> background(::CreateSolidBrush(SystemColor(COLOR_WINDOW)));
    ::FillRect(hDC, &client, background);
    CSelectObject font(hDC, reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT)));
    CTextColors colors(hDC, SystemColor(COLOR_GRAYTEXT), SystemColor(COLOR_WINDOW));
    // Where an entry's text would begin, on the first row.
    RECT line = client;
    line.left += GetBoxColumnWidth() + 2;
    line.right -= 2;
    line.top += 2;
    // The line is a path followed by why it shows nothing: a long path gives way in its middle, and the
    // file's name and the reason stay.
    ::DrawTextW(hDC, m_emptyText.c_str(), static_cast<int>(m_emptyText.size()), &line,
                DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_NOPREFIX);
}

LRESULT CCheckListBox::ChangeItems(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_emptyText.empty())
        return Default(msg, wParam, lParam);
    const bool wasEmpty = GetCount() == 0;
    const LRESULT result = Default(msg, wParam, lParam);
    if (wasEmpty != (GetCount() == 0))
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return result;
}

// Overridable defaults

void CCheckListBox::DrawItemContent(DRAWITEMSTRUCT& request)
{
    const int index = static_cast<int>(request.itemID);
    if (DrawsLine(request))
    {
        const LineColors line = ColorsOf(request);
        if (m_textHeight == 0)
            MinimumItemHeight();
        const int top = request.rcItem.top + std::max(0, (GetItemHeight(index) - m_textHeight) / 2);
        // A list without strings keeps a value where the text would be: it has no text to draw.
        const std::wstring content =
            (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & LBS_HASSTRINGS) ? GetItemText(index) : L"";
        CTextColors colors(request.hDC, line.text, line.background);
        ::ExtTextOutW(request.hDC, request.rcItem.left, top, ETO_OPAQUE | ETO_CLIPPED, &request.rcItem,
                      content.c_str(), static_cast<UINT>(content.size()), nullptr);
    }
    if (request.itemAction & ODA_FOCUS)
        ::DrawFocusRect(request.hDC, &request.rcItem);
}

void CCheckListBox::MeasureItem(MEASUREITEMSTRUCT&)
{
}

int CCheckListBox::CompareItem(COMPAREITEMSTRUCT&)
{
    return 0;
}

void CCheckListBox::DeleteItem(DELETEITEMSTRUCT&)
{
}

RECT CCheckListBox::PlaceCheckBox(const RECT&, const RECT& box)
{
    return box;
}
