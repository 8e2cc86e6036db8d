// What the page tests share: a host window for the pages, scratch copies of the content files, and
// the messages a person's mouse and keyboard produce.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>

#include "Dialog.h"
#include "FileBytes.h"
#include "HostResource.h"

// A path or a text of plain ASCII characters, as the pages take it.
inline std::wstring W(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

inline std::string DataFile(const std::string& name)
{
    return std::string(PAGES_DATA_DIR) + "/" + name;
}

// A folder of its own for one test, emptied first, holding copies of the input files it writes.
class CScratch
{
public:
    explicit CScratch(const std::string& name) : m_path(std::string(PAGES_WORK_DIR) + "/" + name)
    {
        CreateDirectoryA(PAGES_WORK_DIR, nullptr);
        CreateDirectoryA(m_path.c_str(), nullptr);
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((m_path + "/*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                const std::string file = m_path + "/" + data.cFileName;
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                {
                    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(file.c_str());
                }
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
    }

    std::string operator/(const std::string& name) const
    {
        return m_path + "/" + name;
    }

    // A copy of the data file, byte for byte; its path.
    std::string Copy(const std::string& name) const
    {
        const std::string target = *this / name;
        CopyFileA(DataFile(name).c_str(), target.c_str(), FALSE);
        return target;
    }

private:
    std::string m_path;
};

// A plain top-level window that holds the page under test, as the main dialog does.
class CHostDlg : public CDialog
{
public:
    CHostDlg() : CDialog(IDD_TEST_HOST)
    {
        Create(nullptr);
        ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    }
    ~CHostDlg() override
    {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
};

inline void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A left-button press and release at x within the row of a visible item.
inline void PressItem(HWND hList, int index, int x)
{
    const int top = static_cast<int>(SendMessageA(hList, LB_GETTOPINDEX, 0, 0));
    const int height = static_cast<int>(SendMessageA(hList, LB_GETITEMHEIGHT, 0, 0));
    const int y = (index - top) * height + height / 2;
    SendMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(hList, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The press on an item's box, at the left of its row.
inline void PressBox(HWND hList, int index)
{
    PressItem(hList, index, 5);
}

// The space bar, with the caret on the item.
inline void SpaceOn(HWND hList, int index)
{
    SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(hList, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageA(hList, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
}

// Typing into an edit field: select all, then one character message per key.
inline void TypeText(HWND hEdit, const std::wstring& text)
{
    SendMessageW(hEdit, EM_SETSEL, 0, -1);
    for (const wchar_t c : text)
        SendMessageW(hEdit, WM_CHAR, static_cast<WPARAM>(c), 1);
}

inline LRESULT CALLBACK CountItemDrawing(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR count)
{
    if (msg == WM_DRAWITEM)
        ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(hWnd, msg, wParam, lParam);
}

// How many items an owner-drawn list has its parent draw when it is repainted now: none while its
// drawing is suspended.
inline int RepaintedItems(HWND hList)
{
    int count = 0;
    HWND hParent = GetParent(hList);
    SetWindowSubclass(hParent, CountItemDrawing, 1, reinterpret_cast<DWORD_PTR>(&count));
    RedrawWindow(hList, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RemoveWindowSubclass(hParent, CountItemDrawing, 1);
    return count;
}
