// What the Windows UI tests share: scratch folders, file bytes, message pumping, a person's input.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "GdiGuards.h"


inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline FILETIME WriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// How many files and folders a folder holds.
inline size_t FolderFiles(const std::string& folder)
{
    size_t count = 0;
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = hFind != INVALID_HANDLE_VALUE; more; more = FindNextFileA(hFind, &found))
        count += std::string(found.cFileName) != "." && std::string(found.cFileName) != "..";
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
    return count;
}

inline void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data))
    {
        const std::string name = data.cFileName;
        const std::string child = path + "\\" + name;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL); // read-only ones too
            DeleteFileA(child.c_str());
        }
        else if (name != "." && name != "..")
            RemoveTree(child);
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    RemoveDirectoryA(path.c_str());
}

// A fresh, empty folder (its parent is made when missing), optionally the current directory until the
// object goes. Paths use backslashes, as the program's own do.
class CScratchDir
{
public:
    explicit CScratchDir(const std::string& path, bool makeCurrent = false) : m_path(path)
    {
        for (char& c : m_path)
            c = c == '/' ? '\\' : c;
        CreateDirectoryA(m_path.substr(0, m_path.find_last_of('\\')).c_str(), nullptr);
        RemoveTree(m_path);
        CreateDirectoryA(m_path.c_str(), nullptr);
        char old[MAX_PATH] = {};
        if (makeCurrent && GetCurrentDirectoryA(MAX_PATH, old) && SetCurrentDirectoryA(m_path.c_str()))
            m_old = old;
    }
    ~CScratchDir()
    {
        if (!m_old.empty())
            SetCurrentDirectoryA(m_old.c_str());
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    std::string operator/(const std::string& name) const
    {
        return m_path + "\\" + name;
    }

private:
    std::string m_path;
    std::string m_old;
};

// Dispatches everything queued for this thread, timers and posted commands included.
inline void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

enum class Input
{
    Press,       // press and release
    DoubleClick, // press, release, double click, release: a quick double click
    Space,       // key down, its character, key up
};

// The messages a person's input makes at a point of the window's client area (the keys ignore it).
inline void PerformInput(HWND hWnd, Input input, int x = 0, int y = 0)
{
    if (input == Input::Space)
    {
        SendMessageW(hWnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
        SendMessageW(hWnd, WM_CHAR, L' ', 0x00390001);
        SendMessageW(hWnd, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
        return;
    }
    const LPARAM at = MAKELPARAM(x, y);
    SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(hWnd, WM_LBUTTONUP, 0, at);
    if (input == Input::DoubleClick)
    {
        SendMessageW(hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(hWnd, WM_LBUTTONUP, 0, at);
    }
}

// The vertical middle of a list item's row, in the list's client area.
inline int ItemMiddleY(HWND hList, int index)
{
    RECT item{};
    SendMessageW(hList, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return (item.top + item.bottom) / 2;
}

// A press on a tab's label, as a person makes it.
inline void PressTab(HWND hTab, int index)
{
    RECT item{};
    SendMessageW(hTab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    PerformInput(hTab, Input::Press, (item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PumpMessages();
}

// A window's client area as pixels (0x00RRGGBB): as the window paints itself whole (PrintWindow), or as
// the screen shows it now, after whatever repaints it had.
struct CSnapshot
{
    CSnapshot(HWND hWnd, bool onScreen)
    {
        RECT client{};
        GetClientRect(hWnd, &client);
        width = client.right;
        CWindowDC screen(hWnd);
        CMemoryDC memory(screen);
        CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, client.bottom));
        {
            CSelectObject select(memory, bitmap);
            onScreen ? BitBlt(memory, 0, 0, width, client.bottom, screen, 0, 0, SRCCOPY)
                     : PrintWindow(hWnd, memory, PW_CLIENTONLY);
        }
        BITMAPINFO info{
            {sizeof(BITMAPINFOHEADER), width, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
            {                     }
        };
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(client.bottom));
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(client.bottom), pixels.data(), &info, DIB_RGB_COLORS);
    }
    COLORREF At(int x, int y) const
    {
        const DWORD p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    int width = 0;
    std::vector<DWORD> pixels;
};
