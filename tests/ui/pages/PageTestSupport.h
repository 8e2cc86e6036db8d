// What the page tests share: a host window for the pages, scratch copies of the content files, and
// the messages a person's mouse and keyboard produce.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>

#include "Dialog.h"
#include "HostResource.h"
#include "UiTestSupport.h"

// A path or a text of plain ASCII characters, as the pages take it.
inline std::wstring W(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

inline std::string DataFile(const std::string& name)
{
    return std::string(PAGES_DATA_DIR) + "/" + name;
}

// A folder of its own for one test, emptied first.
class CScratch : public CScratchDir
{
public:
    explicit CScratch(const std::string& name) : CScratchDir(std::string(PAGES_WORK_DIR) + "/" + name)
    {
    }

    // A copy of the data file, byte for byte (none when there is no such file); its path.
    std::string Copy(const std::string& name) const
    {
        CopyFileA(DataFile(name).c_str(), (*this / name).c_str(), FALSE);
        return *this / name;
    }
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

inline std::wstring WindowText(HWND hWnd)
{
    std::wstring text(static_cast<size_t>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// The entries' texts as the list gives them, joined by "|".
inline std::wstring ListTexts(HWND hList)
{
    std::wstring texts;
    const int count = static_cast<int>(SendMessageW(hList, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        std::wstring text(static_cast<size_t>(SendMessageW(hList, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(
            static_cast<size_t>(SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        texts += (i ? L"|" : L"") + text;
    }
    return texts;
}

// A left-button press and release at x within the row of a visible item.
inline void PressItem(HWND hList, int index, int x)
{
    PerformInput(hList, Input::Press, x, ItemMiddleY(hList, index));
}

// The space bar, with the caret on the item.
inline void SpaceOn(HWND hList, int index)
{
    SendMessageW(hList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PerformInput(hList, Input::Space);
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
