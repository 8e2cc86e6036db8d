// What only the list's painting and measuring shows: the empty list's line, and heights that fit the box.
#include <algorithm>

#include "CheckListHarness.h"
#include "GdiGuards.h"

namespace
{
// The text height of the list's font.
int FontHeight(HWND hList)
{
    CWindowDC dc(hList);
    CSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hList, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

// Pixels of the grey text colour in the list's first rows, as the list paints itself into a bitmap.
int GreyPixels(HWND hList)
{
    RECT client{};
    GetClientRect(hList, &client);
    const int rows = std::min<int>(client.bottom, 40);
    CWindowDC screen(hList);
    CMemoryDC memory(screen);
    CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, client.right, rows));
    CSelectObject select(memory, bitmap);
    PrintWindow(hList, memory, PW_CLIENTONLY);
    int grey = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < client.right; ++x)
            grey += GetPixel(memory, x, y) == GetSysColor(COLOR_GRAYTEXT);
    return grey;
}

using DrawingTest = CheckListTest;

TEST_F(DrawingTest, EmptyListPaintsItsLineOnlyWhileItHasNoEntries)
{
    EXPECT_EQ(GreyPixels(m_list), 0) << "no line set";
    List().SetEmptyText(L"Content\\XML\\features.xml could not be read");
    EXPECT_GT(GreyPixels(m_list), 50);
    Fill(List(), {L"Hold"});
    EXPECT_EQ(GreyPixels(m_list), 0) << "an entry replaces the line";
    List().Send(LB_DELETESTRING, 0);
    EXPECT_GT(GreyPixels(m_list), 50) << "the line is back once the last entry is gone";
}

TEST_F(DrawingTest, ItemHeightNeverBelowTheBoxOrTheText)
{
    const int minimum = std::max(FontHeight(m_list), 12);
    const struct
    {
        int font;   // height of a Tahoma to set first; 0 keeps the dialog's
        int asked;  // then an item height asked for; 0 asks none
        int height; // -1: the text's height or the box's, whichever is more
    } cases[] = {
        {0,   5,  minimum},
        {0,   40, 40     },
        {-30, 0,  -1     },
        {-6,  0,  12     },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "font " << c.font << ", asked " << c.asked);
        CGdiObject<HFONT> font(
            CreateFontW(c.font, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        if (c.font)
            SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), FALSE);
        if (c.asked)
            SendMessageW(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(c.asked, 0));
        EXPECT_EQ(List().GetItemHeight(0), c.height < 0 ? std::max(FontHeight(m_list), 12) : c.height);
        EXPECT_TRUE(c.font != -30 || FontHeight(m_list) >= 30) << "the big font is big";
        SendMessageW(m_list, WM_SETFONT, 0, FALSE);
    }
}
} // namespace
