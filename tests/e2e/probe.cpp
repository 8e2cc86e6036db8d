// Tells the end-to-end script where the running tool's controls are, as shell assignments: the dialog's
// base units, the tabs, the buttons, the shown list's first line and line height, the link's controls.
// Usage: probe.exe CAPTION
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "resource.h"

namespace
{
HWND g_page = nullptr; // the page shown
HWND g_list = nullptr; // its list, if it has one
HWND g_interface = nullptr;

BOOL CALLBACK FindShown(HWND hWnd, LPARAM)
{
    wchar_t name[32] = {};
    GetClassNameW(hWnd, name, 32);
    if (lstrcmpW(name, L"#32770") == 0 && GetDlgItem(hWnd, IDC_LINK_NAME))
        g_interface = hWnd;
    if (!IsWindowVisible(hWnd))
        return TRUE;
    if (lstrcmpW(name, L"#32770") == 0)
        g_page = hWnd;
    else if (lstrcmpiW(name, L"ListBox") == 0)
        g_list = hWnd;
    return TRUE;
}

void PrintCentre(const char* name, RECT rect)
{
    std::printf("%s_x=%ld; %s_y=%ld\n", name, (rect.left + rect.right) / 2, name, (rect.top + rect.bottom) / 2);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    HWND dialog = argc > 1 ? FindWindowW(nullptr, argv[1]) : nullptr;
    if (!dialog)
        return 1;
    EnumChildWindows(dialog, FindShown, 0);
    // Base units of the dialogs' font, Tahoma 8, at the screen's DPI, as the dialog manager measures them.
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ previous = SelectObject(screen, font);
    SIZE letters{};
    GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    std::printf("bux=%ld; buy=%ld\n", (letters.cx / 26 + 1) / 2, metrics.tmHeight);

    const struct
    {
        const char* name;
        int id;
    } buttons[] = {{"enable", IDC_ENABLE_ALL}, {"disable", IDC_DISABLE_ALL}, {"save", IDC_SAVE}, {"close", IDC_CLOSE}};
    for (const auto& button : buttons)
    {
        RECT rect{};
        GetWindowRect(GetDlgItem(dialog, button.id), &rect);
        PrintCentre(button.name, rect);
    }
    // The tab rectangles live in the tool's memory: asked for through a buffer there.
    HWND tab = GetDlgItem(dialog, IDC_TAB);
    DWORD process = 0;
    GetWindowThreadProcessId(tab, &process);
    HANDLE tool = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, process);
    void* remote = VirtualAllocEx(tool, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    for (int index = 0; index < 4; ++index)
    {
        RECT rect{};
        SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(tool, remote, &rect, sizeof(rect), nullptr);
        MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        const char* names[] = {"tab0", "tab1", "tab2", "tab3"};
        PrintCentre(names[index], rect);
    }
    VirtualFreeEx(tool, remote, 0, MEM_RELEASE);
    CloseHandle(tool);

    if (g_list)
    {
        POINT origin{0, 0};
        ClientToScreen(g_list, &origin);
        std::printf("lx=%ld; ly=%ld; ih=%ld\n", origin.x, origin.y,
                    static_cast<long>(SendMessageW(g_list, LB_GETITEMHEIGHT, 0, 0)));
    }
    // The Interface page's controls where they stand once it is shown over the page shown now.
    RECT shown{}, page{};
    GetWindowRect(g_page, &shown);
    GetWindowRect(g_interface, &page);
    for (const auto& control : {std::make_pair("name", IDC_LINK_NAME), std::make_pair("enabled", IDC_LINK_ENABLED)})
    {
        RECT rect{};
        GetWindowRect(GetDlgItem(g_interface, control.second), &rect);
        OffsetRect(&rect, shown.left - page.left, shown.top - page.top);
        PrintCentre(control.first, rect);
    }
    return 0;
}
