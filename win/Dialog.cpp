#include <windows.h>
#include <algorithm>

#include "Dialog.h"

namespace
{
// A dialog procedure returns most results through DWLP_MSGRESULT; these few it returns directly.
INT_PTR SetDlgResult(HWND hWnd, UINT msg, LRESULT result)
{
    switch (msg)
    {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

bool IsOwnerDrawRequest(UINT msg)
{
    return msg == WM_DRAWITEM || msg == WM_MEASUREITEM || msg == WM_DELETEITEM || msg == WM_COMPAREITEM;
}
} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent)
{
}

CDialog::~CDialog()
{
    // A modeless dialog still open when its object goes must not call back into the dead object.
    if (m_hWnd && !m_modal)
        DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_parent ? m_parent->m_hWnd : nullptr;
    m_modal = true;
    const INT_PTR result = DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialog::Create(CWnd* parent)
{
    m_parent = parent;
    m_modal = false;
    HWND hWnd =
        CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId),
                           parent ? parent->m_hWnd : nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void CDialog::OnOK()
{
    if (m_modal)
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    if (m_modal)
        EndDialog(IDCANCEL);
}

void CDialog::Bind(CWnd& control, int id)
{
    control.Attach(GetDlgItem(m_hWnd, id));
    control.m_binder = this;
    m_bound.push_back(&control);
}

void CDialog::ForgetControl(CWnd* control)
{
    m_bound.erase(std::remove(m_bound.begin(), m_bound.end(), control), m_bound.end());
}

void CDialog::UnbindAll()
{
    for (CWnd* control : m_bound)
    {
        control->Detach();
        control->m_binder = nullptr;
    }
    m_bound.clear();
}

std::wstring CDialog::LoadText(UINT id)
{
    // Asked for no buffer, the call answers a pointer into the resource itself.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring CDialog::FormatText(UINT id, std::initializer_list<std::wstring> args)
{
    const std::wstring text = LoadText(id);
    std::wstring result;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const size_t index = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - L'1') : args.size();
        if (text[i] == L'%' && index < args.size())
        {
            result += *(args.begin() + index);
            ++i;
        }
        else
        {
            result += text[i];
        }
    }
    return result;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
    }
    else
    {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    // Messages that come before WM_INITDIALOG (the font, the controls' measure requests) get the defaults.
    if (!self)
        return FALSE;

    INT_PTR answer = FALSE;
    try
    {
        answer = self->HandleMessage(msg, wParam, lParam);
    }
    catch (...)
    {
        // Nothing may unwind through the dialog manager; the message gets default processing.
        answer = FALSE;
    }
    if (msg == WM_NCDESTROY)
    {
        self->UnbindAll();
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return HandleInitDialog();

    LRESULT result = 0;
    if (IsOwnerDrawRequest(msg))
    {
        // Owner-draw requests go back to the control object they are about.
        for (CWnd* control : m_bound)
        {
            if (control->m_hWnd && static_cast<WPARAM>(control->GetDlgCtrlID()) == wParam &&
                control->OnChildNotify(msg, wParam, lParam, result))
                return SetDlgResult(m_hWnd, msg, result);
        }
    }
    if (OnMessage(msg, wParam, lParam, result))
        return SetDlgResult(m_hWnd, msg, result);
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
    {
        if (LOWORD(wParam) == IDOK)
        {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL)
        {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CDialog::HandleInitDialog()
{
    RECT before{};
    GetWindowRect(m_hWnd, &before);
    const BOOL focusDefault = OnInitDialog();

    // A top-level dialog left where its template put it is centred, as a framework dialog would be.
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    RECT after{};
    GetWindowRect(m_hWnd, &after);
    if (!(style & WS_CHILD) && !(style & DS_CENTER) && !IsWindowVisible(m_hWnd) && EqualRect(&before, &after))
        CenterWindow();
    return focusDefault;
}

void CDialog::CenterWindow() const
{
    RECT area{};
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
    {
        GetWindowRect(owner, &area);
    }
    else
    {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info);
        area = info.rcWork;
    }
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = (area.left + area.right - width) / 2;
    int y = (area.top + area.bottom - height) / 2;

    // Over an owner near the screen's edge, stay within the work area.
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& work = info.rcWork;
    if (x + width > work.right)
        x = work.right - width;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
