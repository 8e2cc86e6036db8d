// What only the list's painting shows: the grey line of an empty list, the box at every DPI on both ways
// of drawing it, and high contrast.
#include <windows.h>
#include <uxtheme.h>
#include <vssym32.h>

#include "CheckListHarness.h"
#include "GdiGuards.h"

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
    EXPECT_FALSE(CSnapshot(m_list, false) == notRead) << "the line was cut before the reason";
}

// The two ways of drawing the box. Wine's common controls report 5.81, so the theme is reached through
// the version hook.
int g_major = 5;
int Major()
{
    return g_major;
}
const struct
{
    const char* name;
    int major;
} kPaths[] = {
    {"strip", 5},
    {"theme", 6},
};

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
    // The list sizes its box again when the theme changes.
    void UsePath(int major)
    {
        g_major = major;
        CCheckListBox::ReplaceVersionQuery(&Major);
        SendMessageW(m_list, WM_THEMECHANGED, 0, 0);
        SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    }
    int TextHeight() const
    {
        CWindowDC dc(m_list);
        CSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(m_list, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        return metrics.tmHeight;
    }
    SIZE ThemeBoxSize() const
    {
        HTHEME theme = OpenThemeData(m_list, L"Button");
        SIZE size{};
        GetThemePartSize(theme, nullptr, BP_CHECKBOX, CBS_UNCHECKEDNORMAL, nullptr, TS_TRUE, &size);
        CloseThemeData(theme);
        return size;
    }
    RECT ItemRect(int index) const
    {
        RECT item{};
        SendMessageW(m_list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        return item;
    }
};

TEST_F(EveryDpi, BoxIsSizedForTheTextAndPressedRepaintedAndIndentedAsDrawn)
{
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(CWindowDC(nullptr), LOGPIXELSY));
    for (const auto& path : kPaths)
    {
        SCOPED_TRACE(std::string(path.name) + " at " + std::to_string(dpi) + " DPI");
        UsePath(path.major);
        // An entry without text shows the box alone.
        Fill(List(), {L"Hold", L"Park", L""});
        const SIZE box = List().GetBoxSize();
        const int text = TextHeight();
        const int column = List().GetBoxColumnWidth();
        if (path.major >= 6)
        {
            EXPECT_EQ(box.cx, ThemeBoxSize().cx) << "the theme's box at the window's DPI";
            EXPECT_EQ(box.cy, ThemeBoxSize().cy);
        }
        else
        {
            EXPECT_EQ(box.cx, box.cy);
            EXPECT_GE(box.cy * 4, text * 3) << "a box of " << box.cy << " beside text " << text << " high";
            EXPECT_LE(box.cy, text);
        }
        if (dpi == 96)
        {
            EXPECT_EQ(box.cy, path.major >= 6 ? 13 : 11);
        }
        const int line = List().GetItemHeight(0);
        EXPECT_GE(line, std::max<int>(text, box.cy) + 2) << "text " << text << ", box " << box.cy;
        EXPECT_LE(line, std::max<int>(text, box.cy) * 3 / 2);

        // Where the box is drawn: inside its line and filling the column that a press toggles.
        const RECT item = ItemRect(2);
        const CSnapshot shot(m_list, false);
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        RECT ink{item.right, item.bottom, -1, -1};
        for (int y = item.top; y < item.bottom; ++y)
            for (int x = 0; x < column + 8; ++x)
                if (shot.At(x, y) != window)
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                           std::max<LONG>(ink.bottom, y + 1)};
        EXPECT_GE(ink.right, column - 2) << "drawn box " << ink.right - ink.left << " wide, column " << column;
        EXPECT_LE(ink.right, column);
        EXPECT_GE(ink.bottom - ink.top, box.cy - 2);
        EXPECT_GT(ink.top, item.top);
        EXPECT_LT(ink.bottom, item.bottom);

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
            EXPECT_TRUE(CSnapshot(m_list, true) == CSnapshot(m_list, false)) << "after a change to " << check;
        }

        // A larger font makes the lines higher, and the smaller one back lower.
        const HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(m_list, WM_GETFONT, 0, 0));
        LOGFONTW large{};
        GetObjectW(dialogFont, sizeof(large), &large);
        large.lfHeight *= 2;
        CGdiObject<HFONT> font(CreateFontIndirectW(&large));
        SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), TRUE);
        EXPECT_GE(List().GetItemHeight(0), TextHeight() + 2);
        SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), TRUE);
        EXPECT_EQ(List().GetItemHeight(0), line);
    }
}

// A high-contrast scheme: light text on black, with a grey text colour of its own.
COLORREF SchemeColour(int index)
{
    switch (index)
    {
    case COLOR_WINDOW:
        return RGB(0, 0, 0);
    case COLOR_GRAYTEXT:
        return RGB(0, 255, 0);
    case COLOR_HIGHLIGHT:
        return RGB(0, 0, 255);
    default:
        return RGB(255, 255, 0);
    }
}

TEST_F(EveryDpi, HighContrastDrawsBoxesAndGreyTextInTheSystemsColours)
{
    CCheckListBox::ReplaceSystemLook({[] { return true; }, &SchemeColour});
    for (const auto& path : kPaths)
    {
        SCOPED_TRACE(path.name);
        UsePath(path.major);
        Fill(List(), {L"", L"", L"", L"Disabled"});
        SetCheck(BS_AUTOCHECKBOX, 1, 1);
        SetCheck(BS_AUTOCHECKBOX, 2, 2);
        List().SetItemEnabled(3, FALSE);
        List().SetCurSel(-1);
        SetFocus(nullptr); // the focus rectangle inverts what is beneath it
        const CSnapshot shot(m_list, false);
        for (int index = 0; index < 3; ++index)
        {
            const RECT item = ItemRect(index);
            int frame = 0;
            for (int y = item.top; y < item.bottom; ++y)
                for (int x = 0; x < List().GetBoxColumnWidth(); ++x)
                {
                    const COLORREF colour = shot.At(x, y);
                    frame += colour == SchemeColour(COLOR_WINDOWTEXT);
                    ASSERT_TRUE(colour == SchemeColour(COLOR_WINDOW) || colour == SchemeColour(COLOR_WINDOWTEXT) ||
                                colour == SchemeColour(COLOR_GRAYTEXT))
                        << "item " << index << " (" << x << ", " << y << "): " << std::hex << colour;
                }
            EXPECT_GE(frame, 4 * (List().GetBoxSize().cy - 2)) << "item " << index << " shows its box";
        }
        EXPECT_GT(CountColour(shot, SchemeColour(COLOR_GRAYTEXT)), 20) << "the disabled entry's text";
        EXPECT_EQ(CountColour(shot, RGB(128, 128, 128)), 0) << "a grey of our own";
    }
}
} // namespace
