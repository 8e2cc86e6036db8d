// What only the list's painting shows: the grey line of an empty list, the box at every DPI on both ways
// of drawing it, and high contrast.
#include <windows.h>
#include <vssym32.h>

#include "CheckListHarness.h"
#include "UxTheme.h"

namespace
{
int CountColour(const CSnapshot& shot, COLORREF colour)
{
    return static_cast<int>(std::count_if(shot.pixels.begin(), shot.pixels.end(), [&](DWORD p) {
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF) == colour;
    }));
}

using DrawingTest = CheckListTest;

TEST_F(DrawingTest, EmptyListPaintsItsLineOnlyWhileItHasNoEntries)
{
    const auto grey = [this] { return CountColour(CSnapshot(m_list, false), GetSysColor(COLOR_GRAYTEXT)); };
    EXPECT_EQ(grey(), 0) << "no line set";
    List().SetEmptyText(L"Content\\XML\\features.xml could not be read");
    EXPECT_GT(grey(), 50);
    Fill(List(), {L"Hold"});
    EXPECT_EQ(grey(), 0) << "an entry replaces the line";
    List().Send(LB_DELETESTRING, 0);
    EXPECT_GT(grey(), 50) << "the line is back once the last entry is gone";

    // A long path gives way in its middle: the reason after it stays in sight.
    const std::wstring path = L"C:\\Projects\\" + std::wstring(150, L'x') + L"\\Content\\XML\\features.xml";
    List().SetEmptyText(path + L" could not be read");
    const CSnapshot notRead(m_list, false);
    List().SetEmptyText(path + L" holds no items");
    EXPECT_TRUE(CSnapshot(m_list, false).pixels != notRead.pixels) << "the line was cut before the reason";
}

// A high-contrast scheme: light text on black, with a grey text colour of its own.
DWORD WINAPI SchemeColour(int index)
{
    return index == COLOR_WINDOW ? RGB(0, 0, 0) : index == COLOR_GRAYTEXT ? RGB(0, 255, 0) : RGB(255, 255, 0);
}

// Run at 96, 144 and 192 DPI (LogPixels set before the program starts).
class EveryDpi : public CheckListTest
{
protected:
    void TearDown() override
    {
        CCheckListBox::ReplaceVersionQuery(nullptr);
        CCheckListBox::ReplaceSystemLook({nullptr, nullptr});
        CheckListTest::TearDown();
    }
    // The two ways of drawing the box: Wine's common controls report 5.81, so the theme is reached through
    // the version hook. The list sizes its box again when the theme changes. Entries without text show the
    // box alone.
    void Refill(int major, std::initializer_list<const wchar_t*> texts)
    {
        CCheckListBox::ReplaceVersionQuery(major >= 6 ? +[] { return 6; } : +[] { return 5; });
        SendMessageW(m_list, WM_THEMECHANGED, 0, 0);
        SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
        Fill(List(), texts);
    }
};

TEST_F(EveryDpi, BoxIsSizedForTheTextAndPressedRepaintedAndIndentedAsDrawnOnBothPaths)
{
    const int dpi = GetDeviceCaps(CWindowDC(nullptr), LOGPIXELSY);
    const int attached = List().GetItemHeight(0); // the template's font came before the list was bound
    for (int major : {5, 6})
    {
        SCOPED_TRACE(std::string(major >= 6 ? "theme" : "strip") + " at " + std::to_string(dpi) + " DPI");
        Refill(major, {L"Hold", L"Park", L""});
        const SIZE box = List().GetBoxSize();
        const int column = List().GetBoxColumnWidth();
        TEXTMETRICW text{};
        CWindowDC dc(m_list);
        CSelectObject selected(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(m_list, WM_GETFONT, 0, 0)));
        GetTextMetricsW(dc, &text);
        SIZE themed{};
        CUxTheme::Get().GetPartSize(CThemeData(m_list, L"Button", dpi), nullptr, BP_CHECKBOX,
                                    CBS_UNCHECKEDNORMAL, TS_TRUE, &themed);
        // The theme's box at the window's DPI, or the strip's about as high as the text (its own at 96).
        if (major >= 6)
            EXPECT_TRUE(box.cx == themed.cx && box.cy == themed.cy) << box.cx << " x " << box.cy;
        else
            EXPECT_TRUE(box.cx == box.cy && box.cy * 4 >= text.tmHeight * 3 && box.cy <= text.tmHeight &&
                        (dpi != 96 || box.cy == 11))
                << "a box of " << box.cy << " beside text " << text.tmHeight << " high";
        const int line = List().GetItemHeight(0);
        const int tallest = std::max<int>(text.tmHeight, box.cy);
        // The space between lines grows with the DPI, as the text does.
        EXPECT_TRUE(line >= tallest + MulDiv(2, dpi, 96) && line <= tallest * 3 / 2)
            << "line " << line << ", text and box " << tallest;
        EXPECT_TRUE(major >= 6 || line == attached) << "bound with lines " << attached << " high";

        // Where the box is drawn: inside its line, and filling the column that a press toggles.
        RECT item{};
        SendMessageW(m_list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
        const CSnapshot shot(m_list, false);
        RECT ink{item.right, item.bottom, -1, -1};
        for (int y = item.top; y < item.bottom; ++y)
            for (int x = 0; x < column + 8; ++x)
                if (shot.At(x, y) != GetSysColor(COLOR_WINDOW))
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
        EXPECT_TRUE(ink.right >= column - 2 && ink.right <= column)
            << "box drawn to " << ink.right << ", column " << column;
        EXPECT_TRUE(ink.bottom - ink.top >= box.cy - 2 && ink.top > item.top && ink.bottom < item.bottom);

        // Every column of the drawn box toggles, the first beyond it does not.
        for (int x = 0; x <= column; ++x)
        {
            const int before = List().GetItemCheck(2);
            PerformInput(m_list, Input::Press, x, ItemMiddleY(m_list, 2));
            EXPECT_EQ(List().GetItemCheck(2) != before, x < column) << "x " << x;
        }

        // What a change repaints is what a whole paint shows.
        SetFocus(nullptr);
        UpdateWindow(m_list);
        for (int check : {1, 0, 1})
        {
            List().SetItemCheck(2, check);
            UpdateWindow(m_list);
            EXPECT_TRUE(CSnapshot(m_list, true).pixels == CSnapshot(m_list, false).pixels)
                << "after a change to " << check;
        }

        // A larger font makes the lines higher, and the smaller one back lower.
        const HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(m_list, WM_GETFONT, 0, 0));
        LOGFONTW large{};
        GetObjectW(dialogFont, sizeof(large), &large);
        large.lfHeight *= 2;
        CGdiObject<HFONT> font(CreateFontIndirectW(&large));
        SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), TRUE);
        EXPECT_GE(List().GetItemHeight(0), text.tmHeight * 2);
        SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), TRUE);
        EXPECT_EQ(List().GetItemHeight(0), line);

        // High contrast: boxes and grey text in the system's colours, whatever the box's own look.
        CCheckListBox::ReplaceSystemLook({[] { return true; }, &SchemeColour});
        Refill(major, {L"", L"", L"", L"Disabled"});
        SetCheck(BS_AUTOCHECKBOX, 1, 1);
        SetCheck(BS_AUTOCHECKBOX, 2, 2);
        List().SetItemEnabled(3, FALSE);
        List().SetCurSel(-1);
        SetFocus(nullptr); // the focus rectangle inverts what is beneath it
        const CSnapshot contrast(m_list, false);
        for (int y = 0; y < 3 * List().GetItemHeight(0); ++y)
            for (int x = 0; x < contrast.width; ++x)
                ASSERT_TRUE(contrast.At(x, y) == SchemeColour(COLOR_WINDOW) ||
                            contrast.At(x, y) == SchemeColour(COLOR_WINDOWTEXT) ||
                            contrast.At(x, y) == SchemeColour(COLOR_GRAYTEXT))
                    << "(" << x << ", " << y << "): " << std::hex << contrast.At(x, y);
        EXPECT_GE(CountColour(contrast, SchemeColour(COLOR_WINDOWTEXT)), 12 * (box.cy - 2)) << "three boxes";
        EXPECT_GT(CountColour(contrast, SchemeColour(COLOR_GRAYTEXT)), 20) << "the disabled entry's text";
        EXPECT_EQ(CountColour(contrast, RGB(128, 128, 128)), 0) << "a grey of our own";
        CCheckListBox::ReplaceSystemLook({nullptr, nullptr});
    }
}
} // namespace
