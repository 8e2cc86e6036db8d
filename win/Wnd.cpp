#include <windows.h>

#include "Wnd.h"

namespace
{
// Left on a window whose procedure slot someone else took over after us: our procedure then stays in
// their chain, and with the object gone it passes every message on to the procedure named here.
const wchar_t kOrphanProcProp[] = L"CWnd.PreviousProc";
} // namespace

CWnd::~CWnd()
{
    if (m_binder)
        m_binder->ForgetControl(this);
    Detach();
}

bool CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    return hWnd != nullptr;
}

void CWnd::Detach()
{
    if (m_previousProc && m_hWnd)
    {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        if (::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SubclassProc))
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        else
            ::SetPropW(m_hWnd, kOrphanProcProp, reinterpret_cast<HANDLE>(m_previousProc));
    }
    m_previousProc = nullptr;
    m_hWnd = nullptr;
}

std::wstring CWnd::GetText() const
{
    std::wstring text;
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length > 0)
    {
        text.resize(static_cast<size_t>(length) + 1);
        const int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    }
    return text;
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

// Through the window's own procedure slot with the object in its user data: a look-up per message in
// a window property (as SetWindowSubclass keeps it) costs a round trip to the server under Wine.
bool CWnd::SubclassControl(HWND hWnd)
{
    if (!hWnd || m_previousProc || ::GetWindowLongPtrW(hWnd, GWLP_USERDATA) != 0)
        return false;
    m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    if (!m_previousProc)
    {
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        return false;
    }
    return true;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Default(msg, wParam, lParam);
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_previousProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!self)
    {
        const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hWnd, kOrphanProcProp));
        if (msg == WM_NCDESTROY)
            ::RemovePropW(hWnd, kOrphanProcProp);
        return previous ? ::CallWindowProcW(previous, hWnd, msg, wParam, lParam)
                        : ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try
    {
        result = self->WindowProc(msg, wParam, lParam);
    }
    catch (...)
    {
        // Nothing may unwind through the system's code; the window's own handling answers instead.
        result = self->Default(msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY)
        self->Detach();
    return result;
}
