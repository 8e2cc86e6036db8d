// What the list draws: the strip's cells, the box column, text colours, focus, the themed box and item heights.
#include <windows.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "CheckListHarness.h"
#include "GdiGuards.h"
#include "UxTheme.h"

namespace
{
constexpr int kCell = 11;
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The check mark's pixels, as (row, column) inside a cell.
bool InCheckMark(int row, int column)
{
    switch (row)
    {
    case 2:
        return column == 8;
    case 3:
        return column >= 7 && column <= 8;
    case 4:
        return column == 2 || (column >= 6 && column <= 8);
    case 5:
        return (column >= 2 && column <= 3) || (column >= 5 && column <= 7);
    case 6:
        return column >= 2 && column <= 6;
    case 7:
        return column >= 3 && column <= 5;
    case 8:
        return column == 4;
    default:
        return false;
    }
}

// What cell state of the strip must hold at (row, column).
COLORREF ExpectedCellPixel(int state, int row, int column)
{
    if (row == 0 || column == 0 || row == kCell - 1 || column == kCell - 1)
        return kGrey;
    if (state == 1 && InCheckMark(row, column))
        return kBlack;
    if (state == 2)
        return InCheckMark(row, column) ? kGrey : kSilver;
    return kWhite;
}

// The pixels of the check box strip as the program's resources hold it.
CPixels LoadStrip()
{
    HBITMAP strip = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_CHECKBOXES));
    if (!strip)
        return {};
    BITMAP info{};
    GetObjectA(strip, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(nullptr);
    CPixels pixels = ReadBack(memory, strip, info.bmWidth, info.bmHeight);
    DeleteDC(memory);
    DeleteObject(strip);
    return pixels;
}

// Whether the 11 x 11 square at (left, top) of a capture is cell state of the strip, pixel for pixel.
bool ShowsCell(const CPixels& capture, int left, int top, int state)
{
    for (int row = 0; row < kCell; ++row)
        for (int column = 0; column < kCell; ++column)
            if (capture.At(left + column, top + row) != ExpectedCellPixel(state, row, column))
                return false;
    return true;
}

class DrawingTest : public CheckListTest
{
protected:
    CProbeCheckList& List() { return m_dialog.m_list; }
    RECT ItemRect(int index) const
    {
        RECT rect{};
        SendMessageA(m_list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }
    // The last content drawing of an item.
    const CProbeCheckList::Drawn* LastDrawn(int index)
    {
        const auto& drawn = List().m_drawn;
        const auto found = std::find_if(drawn.rbegin(), drawn.rend(), [index](const CProbeCheckList::Drawn& d) {
            return d.index == index && (d.action & ODA_DRAWENTIRE);
        });
        return found == drawn.rend() ? nullptr : &*found;
    }
};

// Replaces the common-controls version for one test.
class CVersionOverride
{
public:
    explicit CVersionOverride(CCheckListBox::VersionQuery query)
        : m_previous(CCheckListBox::ReplaceVersionQuery(query))
    {
    }
    ~CVersionOverride() { CCheckListBox::ReplaceVersionQuery(m_previous); }
    CVersionOverride(const CVersionOverride&) = delete;
    CVersionOverride& operator=(const CVersionOverride&) = delete;

private:
    CCheckListBox::VersionQuery m_previous;
};

TEST(CheckBoxStrip, HasThreeCellsWithFrameInteriorAndMark)
{
    const CPixels strip = LoadStrip();
    ASSERT_EQ(strip.width, 3 * kCell);
    ASSERT_EQ(strip.height, kCell);
    for (int state = 0; state < 3; ++state)
        EXPECT_TRUE(ShowsCell(strip, state * kCell, 0, state)) << "cell " << state;
    int markPixels = 0;
    for (int row = 0; row < kCell; ++row)
        for (int column = 0; column < kCell; ++column)
            markPixels += InCheckMark(row, column);
    EXPECT_EQ(markPixels, 21);
}

TEST(CheckBoxStrip, VersionQueryReadsTheLoadedCommonControls)
{
    // Under Wine the side-by-side library reports 5.81; on Windows with the manifest it is 6.
    const int major = CCheckListBox::QueryCommonControlsVersion();
    EXPECT_GE(major, 5);
    EXPECT_LE(major, 6);
}

TEST_F(DrawingTest, StripBoxesAndTextColours)
{
    Fill(List(), {"WWWW", "Park", "Conf"});
    List().SetCheckMode(0);
    List().SetItemCheck(1, 1);
    List().SetItemCheck(2, 2);
    SendMessageA(m_list, LB_SETITEMDATA, 0, 0xBEEF);
    List().SetCurSel(1);
    const CPixels capture = CaptureClient(m_list);

    if (const char* path = std::getenv("CHECKLIST_SCREENSHOT"))
        SaveBmp(CaptureScreen(m_dialog.m_hWnd), path);

    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (int index = 0; index < 3; ++index)
    {
        const RECT item = ItemRect(index);
        const int height = item.bottom - item.top;
        const int boxTop = item.top + 1 + (height - kCell) / 2;
        EXPECT_TRUE(ShowsCell(capture, 1, boxTop, index)) << "item " << index << " shows the cell of its state";
        const COLORREF background = index == 1 ? highlight : window;
        // Off the item's edges, where the focus rectangle of the selected item runs.
        EXPECT_EQ(capture.At(12, item.top + 1), background) << "box column of item " << index;
        EXPECT_EQ(capture.At(12, item.bottom - 2), background) << "box column of item " << index;
        EXPECT_EQ(capture.At(item.right - 2, item.top + 1), background) << "text background of item " << index;
        const COLORREF text = index == 1 ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT);
        EXPECT_GT(capture.Count(13, item.top, 60, item.bottom, text), 0) << "text colour of item " << index;
        EXPECT_EQ(capture.Count(13, item.top, 60, item.bottom, kGrey), 0) << "no grey text on item " << index;

        const CProbeCheckList::Drawn* drawn = LastDrawn(index);
        ASSERT_NE(drawn, nullptr);
        EXPECT_EQ(drawn->rect.left, item.left + kCell + 2) << "the text starts past the box column";
    }
    EXPECT_EQ(LastDrawn(0)->value, 0xBEEFu) << "the content drawing sees the caller's value";
}

TEST_F(DrawingTest, DisabledListAndItemAreGreyWithoutHighlight)
{
    Fill(List(), {"WWWW", "WWWW", "WWWW"});
    List().SetItemCheck(0, 1);
    List().SetCurSel(0);
    List().SetItemEnabled(2, FALSE);

    CPixels capture = CaptureClient(m_list);
    RECT item = ItemRect(2);
    EXPECT_GT(capture.Count(13, item.top, 60, item.bottom, kGrey), 0) << "a disabled item's text is grey";
    EXPECT_EQ(capture.Count(13, item.top, 60, item.bottom, GetSysColor(COLOR_WINDOWTEXT)), 0);
    item = ItemRect(1);
    EXPECT_EQ(capture.Count(13, item.top, 60, item.bottom, kGrey), 0) << "its neighbour is not";

    EnableWindow(m_list, FALSE);
    capture = CaptureClient(m_list);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    for (int index = 0; index < 3; ++index)
    {
        item = ItemRect(index);
        EXPECT_GT(capture.Count(13, item.top, 60, item.bottom, kGrey), 0) << "item " << index;
        EXPECT_EQ(capture.Count(13, item.top, 60, item.bottom, GetSysColor(COLOR_WINDOWTEXT)), 0) << "item " << index;
        EXPECT_EQ(capture.Count(0, item.top, item.right, item.bottom, GetSysColor(COLOR_HIGHLIGHT)), 0)
            << "no highlight on item " << index << ", selected or not";
        EXPECT_EQ(capture.At(item.right - 2, item.top + 1), window) << "item " << index;
    }
    EXPECT_TRUE(ShowsCell(capture, 1, ItemRect(0).top + 3, 1)) << "the box keeps its state";
}

TEST_F(DrawingTest, FocusOnlyRequestSpansTheWholeItem)
{
    Fill(List(), {"Hold"});
    const int width = 100;
    const int height = 16;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    DRAWITEMSTRUCT request{};
    request.CtlType = ODT_LISTBOX;
    request.CtlID = IDC_TEST_LIST;
    request.itemID = 0;
    request.itemAction = ODA_FOCUS;
    request.itemState = ODS_FOCUS;
    request.hwndItem = m_list;
    request.hDC = memory;
    request.rcItem = all;
    LRESULT result = 0;
    List().m_drawn.clear();
    ASSERT_TRUE(List().OnChildNotify(WM_DRAWITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));

    // A request without an item (the focus of an empty list) draws no box and reaches the content hook.
    request.itemID = static_cast<UINT>(-1);
    request.itemAction = ODA_DRAWENTIRE;
    request.rcItem = RECT{0, 0, width, 0};
    ASSERT_TRUE(List().OnChildNotify(WM_DRAWITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));

    SelectObject(memory, previous);
    const CPixels pixels = ReadBack(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    ASSERT_EQ(List().m_drawn.size(), 2u);
    EXPECT_EQ(List().m_drawn[0].rect.left, 0) << "a focus-only request is not narrowed";
    EXPECT_EQ(List().m_drawn[1].index, -1);
    EXPECT_EQ(List().m_drawn[1].rect.left, 0);
    EXPECT_GT(kCell + 2 - pixels.Count(0, 0, kCell + 2, 1, kWhite), 0) << "the focus rectangle covers the box column";
    EXPECT_EQ(pixels.Count(1, 1, width - 1, height - 1, kWhite), (width - 2) * (height - 2)) << "only its outline";
}

TEST_F(DrawingTest, ThemedBoxWhenVersionSixIsReported)
{
    if (!CUxTheme::Get().IsAppThemed())
        GTEST_SKIP() << "the platform draws no themed boxes";
    Fill(List(), {"WWWW", "Park", "Conf"});
    List().SetCheckMode(0);
    List().SetItemCheck(1, 1);
    List().SetItemCheck(2, 2);
    List().SetCurSel(0);
    const CPixels strip = CaptureClient(m_list);

    CVersionOverride version([] { return 6; });
    const CPixels themed = CaptureClient(m_list);

    SIZE part{};
    {
        CThemeData theme(m_list, L"Button");
        ASSERT_TRUE(theme != nullptr);
        CWindowDC dc(m_list);
        ASSERT_EQ(CUxTheme::Get().GetPartSize(theme, dc, BP_CHECKBOX, CBS_UNCHECKEDNORMAL, TS_TRUE, &part), S_OK);
    }
    for (int index = 0; index < 3; ++index)
    {
        const RECT item = ItemRect(index);
        const CProbeCheckList::Drawn* drawn = LastDrawn(index);
        ASSERT_NE(drawn, nullptr);
        EXPECT_EQ(drawn->rect.left, item.left + part.cx + 3) << "the text follows the themed box, item " << index;
        const int boxTop = item.top + 1 + (item.bottom - item.top - part.cy) / 2;
        int differing = 0;
        for (int y = boxTop; y < boxTop + part.cy; ++y)
            for (int x = 1; x < 1 + part.cx; ++x)
                differing += themed.At(x, y) != strip.At(x, y);
        EXPECT_GT(differing, 0) << "item " << index << " is not drawn from the strip";
    }
    // The themed box leaves the column to the list's own background, also for the selected item.
    EXPECT_EQ(themed.At(0, ItemRect(0).top), GetSysColor(COLOR_WINDOW));

    // Each item shows the part state of its check; the indeterminate one the unchecked disabled box.
    auto box = [&](int index) {
        std::vector<COLORREF> pixels;
        const RECT item = ItemRect(index);
        const int boxTop = item.top + 1 + (item.bottom - item.top - part.cy) / 2;
        for (int y = boxTop; y < boxTop + part.cy; ++y)
            for (int x = 1; x < 1 + part.cx; ++x)
                pixels.push_back(themed.At(x, y));
        return pixels;
    };
    auto reference = [&](int state) {
        CThemeData theme(m_list, L"Button");
        CWindowDC screen(m_list);
        CMemoryDC memory(screen);
        CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, part.cx, part.cy));
        {
            CSelectObject select(memory, bitmap);
            RECT all{0, 0, part.cx, part.cy};
            FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
            CUxTheme::Get().DrawBackground(theme, memory, BP_CHECKBOX, state, &all);
        }
        return ReadBack(memory, bitmap, part.cx, part.cy).data;
    };
    EXPECT_EQ(box(1), reference(CBS_CHECKEDNORMAL));
    EXPECT_EQ(box(2), reference(CBS_UNCHECKEDDISABLED));
    EXPECT_NE(box(1), box(2));
}

TEST_F(DrawingTest, ItemHeightsFollowFontAndRequests)
{
    CProbeCheckList& list = List();
    const int templateHeight = list.GetItemHeight(0);
    const int spareHeight = static_cast<int>(SendDlgItemMessageA(m_dialog.m_hWnd, IDC_SPARE_LIST, LB_GETITEMHEIGHT, 0, 0));
    EXPECT_EQ(templateHeight, spareHeight) << "binding leaves the list's height as it was";
    EXPECT_EQ(list.TextHeight(), 0) << "binding measures nothing";

    const int textHeight = [&] {
        HDC dc = GetDC(m_list);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(m_list, WM_GETFONT, 0, 0)));
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, previous);
        ReleaseDC(m_list, dc);
        return static_cast<int>(metrics.tmHeight);
    }();
    EXPECT_EQ(list.MinimumItemHeight(), std::max(textHeight, kCell + 1));
    EXPECT_EQ(list.TextHeight(), textHeight);

    SendMessageA(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(5, 0));
    EXPECT_EQ(list.GetItemHeight(0), std::max(textHeight, kCell + 1)) << "a height below the minimum is raised";
    SendMessageA(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(40, 0));
    EXPECT_EQ(list.GetItemHeight(0), 40);

    HFONT large = CreateFontA(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    HFONT small = CreateFontA(-6, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(large), FALSE);
    EXPECT_GE(list.TextHeight(), 30);
    EXPECT_EQ(list.GetItemHeight(0), list.TextHeight()) << "a font change measures the text again";
    SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(small), FALSE);
    EXPECT_LT(list.TextHeight(), kCell + 1);
    EXPECT_EQ(list.GetItemHeight(0), kCell + 1) << "never lower than the box";
    SendMessageA(m_list, WM_SETFONT, 0, FALSE);
    DeleteObject(large);
    DeleteObject(small);

    // A measure request: the hook sees the minimum and width -1; its answer counts only above the minimum.
    MEASUREITEMSTRUCT request{};
    request.CtlType = ODT_LISTBOX;
    request.CtlID = IDC_TEST_LIST;
    LRESULT result = 0;
    const UINT minimum = static_cast<UINT>(list.MinimumItemHeight());
    list.m_measureAnswer = 3;
    ASSERT_TRUE(list.OnChildNotify(WM_MEASUREITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));
    EXPECT_EQ(list.m_measured.itemHeight, minimum);
    EXPECT_EQ(list.m_measured.itemWidth, static_cast<UINT>(-1));
    EXPECT_EQ(request.itemHeight, minimum);
    list.m_measureAnswer = 40;
    ASSERT_TRUE(list.OnChildNotify(WM_MEASUREITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));
    EXPECT_EQ(request.itemHeight, 40u);
}
} // namespace
