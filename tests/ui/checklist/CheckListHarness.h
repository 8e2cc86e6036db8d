// What the check list tests share: a dialog holding the lists, records of what reached the parent, the
// list's own handling and the accessibility hook, the messages a person's input produces, and pixels.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "CheckListBox.h"
#include "Dialog.h"
#include "GdiGuards.h"
#include "HostResource.h"
#include "resource.h"

// A check list that records what reaches its overridable hooks.
class CProbeCheckList : public CCheckListBox
{
public:
    std::map<int, DRAWITEMSTRUCT> m_drawn; // the last whole content drawing of each item, or of none (-1)
    std::vector<ULONG_PTR> m_deleted;
    MEASUREITEMSTRUCT m_measured{};
    UINT m_measureAnswer = 0; // 0 leaves the proposed size

protected:
    void DrawItemContent(DRAWITEMSTRUCT& request) override
    {
        if (request.itemAction & ODA_DRAWENTIRE)
            m_drawn[static_cast<int>(request.itemID)] = request;
        CCheckListBox::DrawItemContent(request);
    }
    void DeleteItem(DELETEITEMSTRUCT& request) override
    {
        m_deleted.push_back(request.itemData);
    }
    void MeasureItem(MEASUREITEMSTRUCT& request) override
    {
        m_measured = request;
        if (m_measureAnswer)
            request.itemHeight = m_measureAnswer;
    }
};

// Records the commands that reach it and, through a subclass beneath the main and the short list's control,
// the messages the lists passed on to their own handling.
class CHostDialog : public CDialog
{
public:
    CHostDialog() : CDialog(IDD_CHECKLIST_HOST)
    {
    }
    void Destroy()
    {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
    int CountCommands(int code) const
    {
        return static_cast<int>(std::count(m_codes.begin(), m_codes.end(), code));
    }
    int CountBelow(UINT msg, WPARAM wParam) const
    {
        return static_cast<int>(std::count(m_below.begin(), m_below.end(), std::make_pair(msg, wParam)));
    }

    CProbeCheckList m_list;
    std::vector<int> m_codes; // -1 for a command whose id and window disagree
    int m_selAtCheck = -2;    // the sender's selection when the last check notification came
    std::vector<std::pair<UINT, WPARAM>> m_below;

protected:
    void DoDataExchange() override
    {
        for (int id : {IDC_TEST_LIST, IDC_SHORT_LIST})
            SetWindowSubclass(GetDlgItem(m_hWnd, id), Below, 1, reinterpret_cast<DWORD_PTR>(this));
        Bind(m_list, IDC_TEST_LIST);
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) override
    {
        if (msg != WM_COMMAND || !lParam)
            return false;
        const HWND sender = reinterpret_cast<HWND>(lParam);
        m_codes.push_back(GetDlgItem(m_hWnd, LOWORD(wParam)) == sender ? HIWORD(wParam) : -1);
        if (HIWORD(wParam) == CLBN_CHECKCHANGED)
            m_selAtCheck = static_cast<int>(SendMessageA(sender, LB_GETCURSEL, 0, 0));
        return false;
    }

private:
    static LRESULT CALLBACK Below(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
    {
        reinterpret_cast<CHostDialog*>(ref)->m_below.emplace_back(msg, wParam);
        if (msg == WM_NCDESTROY)
            RemoveWindowSubclass(hWnd, Below, 1);
        return DefSubclassProc(hWnd, msg, wParam, lParam);
    }
};

enum class Input
{
    Press,
    DoubleClick,
    Space
};

// The messages a person's input makes: a press and release, a quick double click (press, release, double
// click, release), or the space bar (key down, its character, key up).
inline void Send(HWND hList, Input input, int x = 0, int y = 0)
{
    if (input == Input::Space)
    {
        SendMessageA(hList, WM_KEYDOWN, VK_SPACE, 0x00390001);
        SendMessageA(hList, WM_CHAR, ' ', 0x00390001);
        SendMessageA(hList, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
        return;
    }
    SendMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(hList, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    if (input == Input::Press)
        return;
    SendMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(hList, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline RECT ItemRect(HWND hList, int index)
{
    RECT item{};
    SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return item;
}

// The vertical middle of an item's row.
inline int RowY(HWND hList, int index)
{
    const RECT item = ItemRect(hList, index);
    return (item.top + item.bottom) / 2;
}

inline int CurSel(HWND hList)
{
    return static_cast<int>(SendMessageA(hList, LB_GETCURSEL, 0, 0));
}

struct CPixels
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data;

    COLORREF At(int x, int y) const
    {
        return data[static_cast<size_t>(y * width + x)];
    }
    // How many pixels of the rectangle [left, right) x [top, bottom) have the colour.
    int Count(int left, int top, int right, int bottom, COLORREF colour) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += At(x, y) == colour;
        return count;
    }
};

// What draw(hDC) paints into a fresh width x height bitmap.
template <class TDraw> CPixels Render(int width, int height, TDraw draw)
{
    CWindowDC screen(nullptr);
    CMemoryDC memory(screen);
    CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    {
        CSelectObject select(memory, bitmap);
        draw(static_cast<HDC>(memory));
    }
    BITMAPINFO info{};
    info.bmiHeader = {
        static_cast<DWORD>(sizeof(info.bmiHeader)), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> bits(static_cast<size_t>(width * height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
    CPixels pixels{width, height, {}};
    for (DWORD bgr : bits)
        pixels.data.push_back(RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF));
    return pixels;
}

// What a window draws into its client area, read back independently of the screen.
inline CPixels CaptureClient(HWND hWnd)
{
    RECT client{};
    GetClientRect(hWnd, &client);
    return Render(client.right, client.bottom, [hWnd](HDC hDC) { PrintWindow(hWnd, hDC, PW_CLIENTONLY); });
}

// Every test gets a fresh dialog, its main list in the pages' mode, a record of the client-area state-change
// events of this thread's windows, and a leak check when it goes.
class CheckListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_liveBefore = CheckItemRecord::LiveCount();
        s_events.clear();
        m_hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, OnEvent,
                                 GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
        ASSERT_TRUE(m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNOACTIVATE);
        m_list = m_dialog.m_list.m_hWnd;
        ASSERT_NE(m_list, nullptr);
        List().SetCheckMode(BS_AUTOCHECKBOX);
    }
    void TearDown() override
    {
        m_dialog.Destroy();
        UnhookWinEvent(m_hook);
        CCheckListBox::ReplaceVersionQuery(nullptr);
        EXPECT_EQ(CheckItemRecord::LiveCount(), m_liveBefore)
            << "records left after the dialog was destroyed";
    }

    CProbeCheckList& List()
    {
        return m_dialog.m_list;
    }
    int Live() const
    {
        return CheckItemRecord::LiveCount() - m_liveBefore;
    }
    static void Fill(const CCheckListBox& list, std::initializer_list<const wchar_t*> texts)
    {
        for (const wchar_t* text : texts)
            list.AddString(text);
    }
    // Sets checks whatever the mode, then leaves the list in mode.
    void SetChecks(int mode, std::initializer_list<std::pair<int, int>> checks)
    {
        List().SetCheckMode(0);
        for (const auto& check : checks)
            List().SetItemCheck(check.first, check.second);
        List().SetCheckMode(mode);
    }
    // The child ids of the main list's events so far; the record is emptied.
    std::vector<LONG> TakeEvents()
    {
        // Out-of-context events arrive through the queue, a little after they were raised.
        for (int round = 0; round < 4; ++round, Sleep(5))
        {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        std::vector<LONG> children;
        for (const auto& event : s_events)
            if (event.first == m_list)
                children.push_back(event.second);
        s_events.clear();
        return children;
    }

    CHostDialog m_dialog;
    HWND m_list = nullptr;
    int m_liveBefore = 0;

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD, HWND hWnd, LONG object, LONG child, DWORD, DWORD)
    {
        if (object == OBJID_CLIENT)
            s_events.emplace_back(hWnd, child);
    }
    static inline std::vector<std::pair<HWND, LONG>> s_events;
    HWINEVENTHOOK m_hook = nullptr;
};
