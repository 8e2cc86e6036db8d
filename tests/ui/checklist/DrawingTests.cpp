// What the list draws: the strip's cells, the box column, text colours, focus, the themed box and item
// heights.
#include <windows.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "CheckListHarness.h"
#include "UxTheme.h"

namespace
{
constexpr int kCell = 11;
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The check mark inside a cell; the cell's edge is a grey frame.
constexpr const char* kMark[kCell] = {
    "...........", "...........", "........x..", ".......xx..", "..x...xxx..", "..xx.xxx...",
    "..xxxxx....", "...xxx.....", "....x......", "...........", "...........",
};

// Whether the 11 x 11 square at (left, top) is the strip's cell for state: white, a black mark on white, or
// a grey mark on silver.
bool ShowsCell(const CPixels& capture, int left, int top, int state)
{
    for (int row = 0; row < kCell; ++row)
        for (int column = 0; column < kCell; ++column)
        {
            const bool mark = kMark[row][column] == 'x';
            const bool frame = row == 0 || column == 0 || row == kCell - 1 || column == kCell - 1;
            const COLORREF expected = frame                ? kGrey
                                      : state == 2         ? (mark ? kGrey : kSilver)
                                      : state == 1 && mark ? kBlack
                                                           : kWhite;
            if (capture.At(left + column, top + row) != expected)
                return false;
        }
    return true;
}

// The text height of the list's font.
int FontHeight(HWND hList)
{
    CWindowDC dc(hList);
    CSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hList, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    return metrics.tmHeight;
}

using DrawingTest = CheckListTest;

TEST_F(DrawingTest, StripBoxesAndTextColoursEnabledAndDisabled)
{
    Fill(List(), {L"WWWW", L"Park", L"Conf"});
    SetChecks(0, {
                     {1, 1},
                     {2, 2}
    });
    SendMessageA(m_list, LB_SETITEMDATA, 0, 0xBEEF);
    List().SetCurSel(1);
    // Under Wine the side-by-side library reports 5.81, so the strip is drawn; on Windows it is 6.
    const int major = CCheckListBox::QueryCommonControlsVersion();
    EXPECT_TRUE(major == 5 || major == 6) << major;

    // All enabled, then the selected item disabled, then the whole list disabled.
    for (int pass = 0; pass < 3; ++pass)
    {
        List().SetItemEnabled(1, pass != 1);
        EnableWindow(m_list, pass != 2);
        const CPixels capture = CaptureClient(m_list);
        for (int index = 0; index < 3; ++index)
        {
            SCOPED_TRACE(testing::Message() << "pass " << pass << ", item " << index);
            const RECT item = ItemRect(m_list, index);
            EXPECT_TRUE(ShowsCell(capture, 1, item.top + 1 + (item.bottom - item.top - kCell) / 2, index));
            const bool grey = pass == 2 || (pass == 1 && index == 1);
            const bool highlighted = index == 1 && !grey;
            const COLORREF background = GetSysColor(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW);
            // Off the item's edges, where the focus rectangle of the selected item runs.
            EXPECT_EQ(capture.At(12, item.top + 1), background) << "the box column";
            EXPECT_EQ(capture.At(12, item.bottom - 2), background) << "the box column";
            EXPECT_EQ(capture.At(item.right - 2, item.top + 1), background) << "the text background";
            // The text, inside the focus rectangle's rows.
            const COLORREF text = GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
            EXPECT_GT(capture.Count(13, item.top + 1, 60, item.bottom - 1, grey ? kGrey : text), 0)
                << "text colour";
            EXPECT_EQ(capture.Count(13, item.top + 1, 60, item.bottom - 1, grey ? text : kGrey), 0)
                << "no other";
            EXPECT_EQ(List().m_drawn[index].rcItem.left, item.left + kCell + 2)
                << "the text starts past the box";
        }
    }
    EXPECT_EQ(List().m_drawn[0].itemData, 0xBEEFu) << "the content drawing sees the caller's value";
}

TEST_F(DrawingTest, FocusOnlyAndItemlessRequestsSpanTheWholeItem)
{
    Fill(List(), {L"Hold"});
    constexpr int width = 100;
    constexpr int height = 16;
    List().m_drawn.clear();
    const CPixels pixels = Render(width, height, [&](HDC hDC) {
        RECT all{0, 0, width, height};
        FillRect(hDC, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DRAWITEMSTRUCT request{ODT_LISTBOX, IDC_TEST_LIST, 0, ODA_FOCUS, ODS_FOCUS, m_list, hDC, all, 0};
        LRESULT result = 0;
        EXPECT_TRUE(
            List().OnChildNotify(WM_DRAWITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));
        // The focus of an empty list: no item, so no box.
        request.itemID = static_cast<UINT>(-1);
        request.itemAction = ODA_DRAWENTIRE;
        request.rcItem = RECT{0, 0, width, 0};
        EXPECT_TRUE(
            List().OnChildNotify(WM_DRAWITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));
    });
    ASSERT_EQ(List().m_drawn.size(), 1u);
    EXPECT_EQ(List().m_drawn[-1].rcItem.left, 0) << "a request without an item is not narrowed";
    EXPECT_LT(pixels.Count(0, 0, kCell + 2, 1, kWhite), kCell + 2) << "nor is a focus-only one";
    EXPECT_EQ(pixels.Count(1, 1, width - 1, height - 1, kWhite), (width - 2) * (height - 2))
        << "only its outline";
}

TEST_F(DrawingTest, EmptyListPaintsItsLineInGreyOnlyWhileItHasNoEntries)
{
    // Right of the box column, where only the line or an entry's text can be.
    const auto greyPixels = [this] {
        const CPixels pixels = CaptureClient(m_list);
        return pixels.Count(kCell + 4, 0, pixels.width, pixels.height, GetSysColor(COLOR_GRAYTEXT));
    };
    EXPECT_EQ(greyPixels(), 0) << "no line set";
    List().SetEmptyText(L"Content\\XML\\features.xml could not be read");
    EXPECT_GT(greyPixels(), 50);
    Fill(List(), {L"Hold"});
    EXPECT_EQ(greyPixels(), 0) << "an entry replaces the line";
    List().Send(LB_DELETESTRING, 0);
    EXPECT_GT(greyPixels(), 50) << "the line is back once the last entry is gone";
}

TEST_F(DrawingTest, ThemedBoxWhenVersionSixIsReported)
{
    CCheckListBox::ReplaceVersionQuery([] { return 6; });
    if (!CUxTheme::Get().IsAppThemed())
        GTEST_SKIP() << "the platform draws no themed boxes";
    Fill(List(), {L"WWWW", L"Park", L"Conf"});
    SetChecks(0, {
                     {1, 1},
                     {2, 2}
    });
    List().SetCurSel(0);
    const CPixels themed = CaptureClient(m_list);

    CThemeData theme(m_list, L"Button");
    ASSERT_TRUE(theme != nullptr);
    SIZE part{};
    ASSERT_EQ(CUxTheme::Get().GetPartSize(theme, CWindowDC(m_list), BP_CHECKBOX, CBS_UNCHECKEDNORMAL, TS_TRUE,
                                          &part),
              S_OK);
    // The indeterminate item shows the unchecked disabled box.
    const int partStates[] = {CBS_UNCHECKEDNORMAL, CBS_CHECKEDNORMAL, CBS_UNCHECKEDDISABLED};
    for (int index = 0; index < 3; ++index)
    {
        SCOPED_TRACE(index);
        const CPixels reference = Render(part.cx, part.cy, [&](HDC hDC) {
            RECT all{0, 0, part.cx, part.cy};
            FillRect(hDC, &all, GetSysColorBrush(COLOR_WINDOW));
            CUxTheme::Get().DrawBackground(theme, hDC, BP_CHECKBOX, partStates[index], &all);
        });
        const RECT item = ItemRect(m_list, index);
        const int boxTop = item.top + 1 + (item.bottom - item.top - part.cy) / 2;
        for (int y = 0; y < part.cy; ++y)
            for (int x = 0; x < part.cx; ++x)
                ASSERT_EQ(themed.At(1 + x, boxTop + y), reference.At(x, y)) << "at " << x << ", " << y;
        EXPECT_EQ(List().m_drawn[index].rcItem.left, item.left + part.cx + 3)
            << "the text follows the themed box";
    }
    // The themed box leaves the column to the list's own background, also for the selected item.
    EXPECT_EQ(themed.At(0, ItemRect(m_list, 0).top), GetSysColor(COLOR_WINDOW));

    // The hit test keeps the strip's column: 12 is in the box, 13 on the text.
    Send(m_list, Input::Press, 13, RowY(m_list, 0));
    EXPECT_EQ(List().GetItemCheck(0), 0);
    Send(m_list, Input::Press, 12, RowY(m_list, 0));
    EXPECT_EQ(List().GetItemCheck(0), 1);
}

TEST_F(DrawingTest, ItemHeightsFollowFontAndRequests)
{
    CProbeCheckList& list = List();
    EXPECT_EQ(list.GetItemHeight(0),
              SendDlgItemMessageA(m_dialog.m_hWnd, IDC_SPARE_LIST, LB_GETITEMHEIGHT, 0, 0))
        << "binding leaves the list's height as it was";
    const int minimum = std::max(FontHeight(m_list), kCell + 1);
    EXPECT_EQ(list.MinimumItemHeight(), minimum);
    SendMessageA(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(5, 0));
    EXPECT_EQ(list.GetItemHeight(0), minimum) << "a height below the minimum is raised";
    SendMessageA(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(40, 0));
    EXPECT_EQ(list.GetItemHeight(0), 40);

    // A font change measures the text again, but the height never goes below the box's.
    for (int size : {-30, -6})
    {
        CGdiObject<HFONT> font(
            CreateFontA(size, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma"));
        SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), FALSE);
        const int text = FontHeight(m_list);
        EXPECT_TRUE(size == -30 ? text >= 30 : text < kCell + 1) << "font size " << size << ": " << text;
        EXPECT_EQ(list.GetItemHeight(0), std::max(text, kCell + 1)) << "font size " << size;
        SendMessageA(m_list, WM_SETFONT, 0, FALSE);
    }

    // A measure request: the hook sees the minimum and width -1; its answer counts only above the minimum.
    MEASUREITEMSTRUCT request{};
    request.CtlType = ODT_LISTBOX;
    request.CtlID = IDC_TEST_LIST;
    LRESULT result = 0;
    for (UINT answer : {3u, 40u})
    {
        list.m_measureAnswer = answer;
        ASSERT_TRUE(
            list.OnChildNotify(WM_MEASUREITEM, IDC_TEST_LIST, reinterpret_cast<LPARAM>(&request), result));
        EXPECT_EQ(list.m_measured.itemHeight, static_cast<UINT>(list.MinimumItemHeight()));
        EXPECT_EQ(list.m_measured.itemWidth, static_cast<UINT>(-1));
        EXPECT_EQ(request.itemHeight, std::max(answer, static_cast<UINT>(list.MinimumItemHeight())));
    }
}
} // namespace
