#include <windows.h>
#include <commctrl.h>

#include "CustomizeApp.h"
#include "CustomizeDlg.h"

BOOL CCustomizeApp::InitInstance()
{
    // The manifest's activation context is the process default, so these are the version 6 controls.
    InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    CCustomizeDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
