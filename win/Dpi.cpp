#include <windows.h>

#include "Dpi.h"
#include "GdiGuards.h"
#include "RuntimeLink.h"

namespace
{
HMODULE User32()
{
    return ::GetModuleHandleW(L"user32.dll");
}
} // namespace

UINT WindowDpi(HWND hWnd)
{
    // Windows 10 1607 and later.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto s_getDpiForWindow = LookUpFunction<GetDpiForWindowFn>(User32(), "GetDpiForWindow");
    if (s_getDpiForWindow && hWnd)
    {
        if (const UINT dpi = s_getDpiForWindow(hWnd))
            return dpi;
    }
    CWindowDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

int MetricForDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto s_metricForDpi =
        LookUpFunction<GetSystemMetricsForDpiFn>(User32(), "GetSystemMetricsForDpi");
    if (s_metricForDpi)
        return s_metricForDpi(index, dpi);
    // The system's metrics are for the system's DPI, which is the window's before Windows 10.
    return ::GetSystemMetrics(index);
}
