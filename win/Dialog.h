// A dialog bound to a template: modal, or modeless as a child of another dialog.
#pragma once

#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>

#include "MsgMap.h"
#include "Wnd.h"

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; the result of EndDialog, or -1 when it could not be created.
    INT_PTR DoModal();
    // Creates the dialog as a modeless window of parent (a child when its template says so).
    bool Create(CWnd* parent);
    void EndDialog(INT_PTR result);

    static HINSTANCE ResourceInstance()
    {
        return ::GetModuleHandleW(nullptr);
    }
    // A string of the program's string table; empty when it has none of that id.
    static std::wstring LoadText(UINT id);
    // The same with %1, %2 ... replaced by the arguments in turn.
    static std::wstring FormatText(UINT id, std::initializer_list<std::wstring> args);

protected:
    // Binds member controls to their ids: a list of Bind lines.
    virtual void DoDataExchange()
    {
    }
    // Base initialisation: binds the controls. True lets the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // The class's message table; false for default processing.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual void OnOK();
    virtual void OnCancel();

    void Bind(CWnd& control, int id);
    void ForgetControl(CWnd* control) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog();
    void CenterWindow() const;
    void UnbindAll();

    UINT m_templateId;
    CWnd* m_parent; // not owned
    bool m_modal = false;
    std::vector<CWnd*> m_bound; // member controls, not owned
};
