#include <windows.h>

#include "WinApp.h"

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp(const char* appName) : m_appName(appName ? appName : "")
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
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
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
