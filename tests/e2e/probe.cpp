// Tells the end-to-end script where the running tool is, as shell assignments: its client area, the page
// shown, that page's list and line height, and the tabs. Usage: probe.exe CAPTION
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <initializer_list>

#include "resource.h"

namespace
{
HWND g_page, g_list; // the page shown and its list, if it has one

BOOL CALLBACK FindShown(HWND hWnd, LPARAM)
{
    wchar_t name[32] = {};
    GetClassNameW(hWnd, name, 32);
    if (IsWindowVisible(hWnd) && lstrcmpW(name, L"#32770") == 0)
        g_page = hWnd;
    else if (IsWindowVisible(hWnd) && lstrcmpiW(name, L"ListBox") == 0)
        g_list = hWnd;
    return TRUE;
}

void Print(const char* x, const char* y, HWND hWnd, RECT rect)
{
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    std::printf("%s=%ld; %s=%ld\n", x, (rect.left + rect.right) / 2, y, (rect.top + rect.bottom) / 2);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    HWND dialog = argc > 1 ? FindWindowW(nullptr, argv[1]) : nullptr;
    if (!dialog)
        return 1;
    EnumChildWindows(dialog, FindShown, 0);
    RECT client{};
    GetClientRect(dialog, &client);
    Print("cx", "cy", dialog, {0, 0, 0, 0});
    std::printf("cw=%ld; ch=%ld\n", client.right, client.bottom);
    Print("px", "py", g_page, {0, 0, 0, 0});
    Print("lx", "ly", g_list, {0, 0, 0, 0});
    std::printf("ih=%ld\n", static_cast<long>(SendMessageW(g_list, LB_GETITEMHEIGHT, 0, 0)));
    // The tab rectangles live in the tool's memory: asked for through a buffer there.
    HWND tab = GetDlgItem(dialog, IDC_TAB);
    DWORD process = 0;
    GetWindowThreadProcessId(tab, &process);
    HANDLE tool = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, process);
    void* remote = VirtualAllocEx(tool, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    for (const char* name : {"tab_x[0]", "tab_x[1]", "tab_x[2]", "tab_x[3]"})
    {
        RECT item{};
        SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(name[6] - '0'),
                     reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(tool, remote, &item, sizeof(item), nullptr);
        Print(name, "tab_y", tab, item);
    }
    VirtualFreeEx(tool, remote, 0, MEM_RELEASE);
    CloseHandle(tool);
    return 0;
}
