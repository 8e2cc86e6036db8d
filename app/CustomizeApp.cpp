#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "CustomizeApp.h"
#include "CustomizeDlg.h"

BOOL CCustomizeApp::InitInstance()
{
    // The manifest's activation context is the process default, so these are the version 6 controls.
    InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey(L"Local AppWizard-Generated Applications");
    // A single-threaded apartment: the check lists' accessible objects are then called on this thread, in
    // turn with its messages, and never from the accessibility service's own threads.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    {
        CCustomizeDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return FALSE;
}
