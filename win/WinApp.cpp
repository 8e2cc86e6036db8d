#include <windows.h>

#include "WinApp.h"

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp()
{
    s_current = this;
}

CWinApp::~CWinApp()
{
    if (s_current == this)
        s_current = nullptr;
}

int CWinApp::Run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int RunApplication(HINSTANCE hInstance)
{
    CWinApp* app = CWinApp::Current();
    if (!app)
        return 1;
    app->m_hInstance = hInstance;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
