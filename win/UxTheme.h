// The visual-style service, looked up at run time: without uxtheme.dll everything counts as not themed.
#pragma once

#include <windows.h>
#include <uxtheme.h>

class CUxTheme
{
public:
    // The process's one look-up, made on first use.
    static const CUxTheme& Get();

    bool IsAppThemed() const
    {
        return m_isAppThemed && m_isAppThemed();
    }
    // The theme's parts at dpi where the system has per-DPI themes (Windows 10 1703 on), else at the
    // system's DPI.
    HTHEME Open(HWND hWnd, const wchar_t* classList, UINT dpi) const
    {
        if (m_openThemeDataForDpi)
            return m_openThemeDataForDpi(hWnd, classList, dpi);
        return m_openThemeData ? m_openThemeData(hWnd, classList) : nullptr;
    }
    void Close(HTHEME theme) const
    {
        if (theme && m_closeThemeData)
            m_closeThemeData(theme);
    }
    HRESULT GetPartSize(HTHEME theme, HDC hDC, int part, int state, THEMESIZE which, SIZE* size) const
    {
        return m_getThemePartSize ? m_getThemePartSize(theme, hDC, part, state, nullptr, which, size)
                                  : E_NOTIMPL;
    }
    HRESULT DrawBackground(HTHEME theme, HDC hDC, int part, int state, const RECT* rect) const
    {
        return m_drawThemeBackground ? m_drawThemeBackground(theme, hDC, part, state, rect, nullptr)
                                     : E_NOTIMPL;
    }

    // Gives a page on a tab control the tab body's background, behind its own controls too.
    void EnableTabPageTexture(HWND hWnd) const
    {
        if (m_enableThemeDialogTexture)
            m_enableThemeDialogTexture(hWnd, ETDT_ENABLETAB);
    }

private:
    CUxTheme();

    decltype(&::IsAppThemed) m_isAppThemed = nullptr;
    decltype(&::OpenThemeData) m_openThemeData = nullptr;
    HTHEME(WINAPI* m_openThemeDataForDpi)(HWND, LPCWSTR, UINT) = nullptr;
    decltype(&::CloseThemeData) m_closeThemeData = nullptr;
    decltype(&::GetThemePartSize) m_getThemePartSize = nullptr;
    decltype(&::DrawThemeBackground) m_drawThemeBackground = nullptr;
    decltype(&::EnableThemeDialogTexture) m_enableThemeDialogTexture = nullptr;
};

// Theme data opened on a window, closed with the guard.
class CThemeData
{
public:
    CThemeData(HWND hWnd, const wchar_t* classList, UINT dpi)
        : m_theme(CUxTheme::Get().Open(hWnd, classList, dpi))
    {
    }
    ~CThemeData()
    {
        CUxTheme::Get().Close(m_theme);
    }
    CThemeData(const CThemeData&) = delete;
    CThemeData& operator=(const CThemeData&) = delete;

    operator HTHEME() const
    {
        return m_theme;
    }

private:
    HTHEME m_theme;
};
