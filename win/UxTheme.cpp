#include <windows.h>

#include "RuntimeLink.h"
#include "UxTheme.h"

const CUxTheme& CUxTheme::Get()
{
    static const CUxTheme s_theme;
    return s_theme;
}

CUxTheme::CUxTheme()
{
    // Kept loaded for the life of the process, as the look-up is.
    HMODULE module = ::LoadLibraryW(L"uxtheme.dll");
    m_isAppThemed = LookUpFunction<decltype(m_isAppThemed)>(module, "IsAppThemed");
    m_openThemeData = LookUpFunction<decltype(m_openThemeData)>(module, "OpenThemeData");
    m_openThemeDataForDpi = LookUpFunction<decltype(m_openThemeDataForDpi)>(module, "OpenThemeDataForDpi");
    m_closeThemeData = LookUpFunction<decltype(m_closeThemeData)>(module, "CloseThemeData");
    m_getThemePartSize = LookUpFunction<decltype(m_getThemePartSize)>(module, "GetThemePartSize");
    m_drawThemeBackground = LookUpFunction<decltype(m_drawThemeBackground)>(module, "DrawThemeBackground");
    m_enableThemeDialogTexture =
        LookUpFunction<decltype(m_enableThemeDialogTexture)>(module, "EnableThemeDialogTexture");
}
