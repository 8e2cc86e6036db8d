// Our small stand-in for an application framework: a window object over a handle it never owns.
#pragma once

#include <windows.h>
#include <string>

class CWnd
{
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    // Takes over an existing window. Classes that need a window procedure of their own subclass it.
    virtual bool Attach(HWND hWnd);
    // Lets go of the window (and removes our subclass, if any); the window itself lives on.
    void Detach();

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    int GetDlgCtrlID() const
    {
        return ::GetDlgCtrlID(m_hWnd);
    }
    HWND GetParent() const
    {
        return ::GetParent(m_hWnd);
    }
    void SetText(const wchar_t* text) const
    {
        ::SetWindowTextW(m_hWnd, text ? text : L"");
    }
    std::wstring GetText() const;

    // An owner-draw request (draw, measure, delete, compare) that the parent received for this
    // control. True when handled; result is then the answer to the parent's message.
    virtual bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hWnd = nullptr; // not owned
    // The dialog that hands this control its owner-draw requests; it forgets the control when the control
    // goes first, as the controls of a page do before the page's base class destroys the window.
    CWnd* m_binder = nullptr; // not owned

protected:
    virtual void ForgetControl(CWnd*)
    {
    }

    // Routes the window's messages to WindowProc until the window is destroyed or we detach.
    bool SubclassControl(HWND hWnd);
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The window's own handling of a message, below our subclass.
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    WNDPROC m_previousProc = nullptr; // the procedure our subclass replaced; null when not subclassed
};
