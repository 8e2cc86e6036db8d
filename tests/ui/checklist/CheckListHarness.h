// What the check list tests share: a dialog holding the lists, records of what reached the parent, the
// list's own handling and the accessibility hook, the messages a person's input produces, and pixels.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "CheckListBox.h"
#include "Dialog.h"
#include "HostResource.h"
#include "resource.h"

// A check list that records what reaches its overridable hooks.
class CProbeCheckList : public CCheckListBox
{
public:
    struct Drawn
    {
        int index;
        UINT action;
        RECT rect;
        ULONG_PTR value;
    };
    std::vector<Drawn> m_drawn;
    std::vector<ULONG_PTR> m_deleted;
    MEASUREITEMSTRUCT m_measured{};
    UINT m_measureAnswer = 0; // 0 leaves the proposed size

    int TextHeight() const { return m_textHeight; }

protected:
    void DrawItemContent(DRAWITEMSTRUCT& request) override
    {
        m_drawn.push_back({static_cast<int>(request.itemID), request.itemAction, request.rcItem, request.itemData});
        CCheckListBox::DrawItemContent(request);
    }
    void DeleteItem(DELETEITEMSTRUCT& request) override { m_deleted.push_back(request.itemData); }
    void MeasureItem(MEASUREITEMSTRUCT& request) override
    {
        m_measured = request;
        if (m_measureAnswer)
            request.itemHeight = m_measureAnswer;
    }
};

// The messages a list passed on to the list's own handling, seen from a subclass beneath the control.
class CBelowRecorder
{
public:
    void Install(HWND hWnd) { SetWindowSubclass(hWnd, Proc, 1, reinterpret_cast<DWORD_PTR>(this)); }
    int Count(UINT msg, WPARAM wParam) const
    {
        int count = 0;
        for (const MSG& seen : m_seen)
            count += seen.message == msg && seen.wParam == wParam;
        return count;
    }
    int Count(UINT msg) const
    {
        int count = 0;
        for (const MSG& seen : m_seen)
            count += seen.message == msg;
        return count;
    }
    std::vector<MSG> m_seen;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
    {
        auto* self = reinterpret_cast<CBelowRecorder*>(ref);
        MSG seen{};
        seen.message = msg;
        seen.wParam = wParam;
        seen.lParam = lParam;
        self->m_seen.push_back(seen);
        if (msg == WM_NCDESTROY)
            RemoveWindowSubclass(hWnd, Proc, 1);
        return DefSubclassProc(hWnd, msg, wParam, lParam);
    }
};

class CHostDialog : public CDialog
{
public:
    struct Command
    {
        int id;
        int code;
        HWND hWnd;
    };

    CHostDialog() : CDialog(IDD_CHECKLIST_HOST) {}
    ~CHostDialog() override { Destroy(); }
    void Destroy()
    {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
    int CountCommands(int code) const
    {
        int count = 0;
        for (const Command& command : m_commands)
            count += command.code == code;
        return count;
    }

    CProbeCheckList m_list;
    CProbeCheckList m_shortList;
    CBelowRecorder m_listBelow;
    CBelowRecorder m_shortBelow;
    std::vector<Command> m_commands;

protected:
    void DoDataExchange() override
    {
        m_listBelow.Install(GetDlgItem(m_hWnd, IDC_TEST_LIST));
        m_shortBelow.Install(GetDlgItem(m_hWnd, IDC_SHORT_LIST));
        Bind(m_list, IDC_TEST_LIST);
        Bind(m_shortList, IDC_SHORT_LIST);
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) override
    {
        if (msg == WM_COMMAND && lParam)
            m_commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return false;
    }
};

inline void PumpMessages()
{
    // Out-of-context accessibility events arrive through the queue, a little after they were raised.
    for (int round = 0; round < 4; ++round)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

// The state-change events of this thread's windows.
class CEventRecorder
{
public:
    struct Event
    {
        HWND hWnd;
        LONG object;
        LONG child;
    };

    CEventRecorder()
    {
        s_self = this;
        m_hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, Proc,
                                 GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    }
    ~CEventRecorder()
    {
        if (m_hook)
            UnhookWinEvent(m_hook);
        s_self = nullptr;
    }
    CEventRecorder(const CEventRecorder&) = delete;
    CEventRecorder& operator=(const CEventRecorder&) = delete;

    // The child ids of the client-area events of hWnd so far, after pumping; the record is emptied.
    std::vector<LONG> Take(HWND hWnd)
    {
        PumpMessages();
        std::vector<LONG> children;
        for (const Event& event : m_events)
        {
            if (event.hWnd == hWnd && event.object == OBJID_CLIENT)
                children.push_back(event.child);
        }
        m_events.clear();
        return children;
    }

    HWINEVENTHOOK m_hook = nullptr;
    std::vector<Event> m_events;

private:
    static void CALLBACK Proc(HWINEVENTHOOK, DWORD, HWND hWnd, LONG object, LONG child, DWORD, DWORD)
    {
        if (s_self)
            s_self->m_events.push_back({hWnd, object, child});
    }
    static inline CEventRecorder* s_self = nullptr;
};

// A left-button press and release at a point of the list's client area.
inline void Press(HWND hList, int x, int y)
{
    SendMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(hList, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The messages of a quick double click: press, release, double click, release.
inline void DoubleClick(HWND hList, int x, int y)
{
    Press(hList, x, y);
    SendMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(hList, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The space bar as the keyboard delivers it: key down, its character, key up.
inline void PressSpace(HWND hList)
{
    SendMessageA(hList, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageA(hList, WM_CHAR, ' ', 0x00390001);
    SendMessageA(hList, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
}

// The vertical middle of an item's row.
inline int RowY(HWND hList, int index)
{
    RECT item{};
    SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return (item.top + item.bottom) / 2;
}

inline int CurSel(HWND hList)
{
    return static_cast<int>(SendMessageA(hList, LB_GETCURSEL, 0, 0));
}

// What a window drew into its client area, read back independently of the screen.
struct CPixels
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data;

    COLORREF At(int x, int y) const { return data[static_cast<size_t>(y * width + x)]; }
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

inline CPixels ReadBack(HDC memory, HBITMAP bitmap, int width, int height)
{
    CPixels pixels;
    pixels.width = width;
    pixels.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> bits(static_cast<size_t>(width * height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
    pixels.data.reserve(bits.size());
    for (DWORD bgr : bits)
        pixels.data.push_back(RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF));
    return pixels;
}

inline CPixels CaptureClient(HWND hWnd)
{
    RECT client{};
    GetClientRect(hWnd, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    PrintWindow(hWnd, memory, PW_CLIENTONLY);
    SelectObject(memory, previous);
    CPixels pixels = ReadBack(memory, bitmap, client.right, client.bottom);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// What the screen shows of a window and its children, once painted.
inline CPixels CaptureScreen(HWND hWnd)
{
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    RECT window{};
    GetWindowRect(hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, window.left, window.top, SRCCOPY);
    SelectObject(memory, previous);
    CPixels pixels = ReadBack(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Writes pixels as a 24-bit BMP file, for a person to look at.
inline bool SaveBmp(const CPixels& pixels, const char* path)
{
    const int stride = (pixels.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = pixels.width;
    info.biHeight = pixels.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * pixels.height);
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info, sizeof(info), 1, f);
    std::vector<unsigned char> row(static_cast<size_t>(stride));
    for (int y = pixels.height - 1; y >= 0; --y)
    {
        for (int x = 0; x < pixels.width; ++x)
        {
            const COLORREF c = pixels.At(x, y);
            row[static_cast<size_t>(x * 3)] = GetBValue(c);
            row[static_cast<size_t>(x * 3 + 1)] = GetGValue(c);
            row[static_cast<size_t>(x * 3 + 2)] = GetRValue(c);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

// Every test gets a fresh dialog, its main list in the pages' mode, and a leak check when it goes.
class CheckListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_liveBefore = CheckItemRecord::LiveCount();
        ASSERT_TRUE(m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNOACTIVATE);
        m_list = m_dialog.m_list.m_hWnd;
        ASSERT_NE(m_list, nullptr);
        m_dialog.m_list.SetCheckMode(BS_AUTOCHECKBOX);
    }
    void TearDown() override
    {
        m_dialog.Destroy();
        EXPECT_EQ(CheckItemRecord::LiveCount(), m_liveBefore) << "records left after the dialog was destroyed";
    }

    static void Fill(const CCheckListBox& list, std::initializer_list<const char*> texts)
    {
        for (const char* text : texts)
            list.AddString(text);
    }

    CHostDialog m_dialog;
    HWND m_list = nullptr;
    int m_liveBefore = 0;
};
