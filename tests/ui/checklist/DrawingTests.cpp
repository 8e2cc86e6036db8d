// What only the list's painting shows: the grey line of an empty list.
#include "CheckListHarness.h"
#include "GdiGuards.h"

namespace
{
// Pixels of the grey text colour in the list's client area, as the list paints itself into a bitmap.
int GreyPixels(HWND hList)
{
    RECT client{};
    GetClientRect(hList, &client);
    CWindowDC screen(hList);
    CMemoryDC memory(screen);
    CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, client.right, client.bottom));
    CSelectObject select(memory, bitmap);
    PrintWindow(hList, memory, PW_CLIENTONLY);
    int grey = 0;
    for (int y = 0; y < client.bottom; ++y)
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
} // namespace
