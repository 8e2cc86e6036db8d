#include <windows.h>
#include <commctrl.h>

#include "Wnd.h"

namespace
{
// Our subclass on a window is known by this id; the object is its reference data.
constexpr UINT_PTR kSubclassId = 0x436C6231;
} // namespace

CWnd::~CWnd()
{
    Detach();
}

bool CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    return hWnd != nullptr;
}

void CWnd::Detach()
{
    if (m_subclassed && m_hWnd)
        RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    m_subclassed = false;
    m_hWnd = nullptr;
}

std::string CWnd::GetText() const
{
    std::string text;
    const int length = GetWindowTextLengthA(m_hWnd);
    if (length > 0)
    {
        text.resize(static_cast<size_t>(length) + 1);
        const int copied = GetWindowTextA(m_hWnd, &text[0], length + 1);
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    }
    return text;
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool CWnd::SubclassControl(HWND hWnd)
{
    if (!hWnd || !SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = hWnd;
    m_subclassed = true;
    return true;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Default(msg, wParam, lParam);
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefSubclassProc(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData)
{
    auto* self = reinterpret_cast<CWnd*>(refData);
    LRESULT result = 0;
    try
    {
        result = self->WindowProc(msg, wParam, lParam);
    }
    catch (...)
    {
        // Nothing may unwind through the system's code; the window's own handling answers instead.
        result = DefSubclassProc(hWnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY)
        self->Detach();
    return result;
}
