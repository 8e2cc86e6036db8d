// The DPI a window is drawn at, and sizes for it. The program is per-monitor aware: every size comes
// from the window's own DPI, never the system's, where the system can tell them apart.
#pragma once

#include <windows.h>

// Declared by the SDK only for Windows 10 targets; the program runs on older systems too.
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

constexpr UINT kDefaultDpi = USER_DEFAULT_SCREEN_DPI;

// The window's DPI; the screen's where the system has no per-window DPI.
UINT WindowDpi(HWND hWnd);
// A system metric (SM_CXICON...) at a DPI.
int MetricForDpi(int index, UINT dpi);
// A length of 96 DPI scaled to dpi.
inline int ScaleForDpi(int length, UINT dpi)
{
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}
