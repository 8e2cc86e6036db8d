// The program's one application object: the entry point runs its InitInstance.
#pragma once

#include <windows.h>
#include <string>

class CWnd;

class CWinApp
{
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // False ends the program at once (a dialog-based program runs its dialog in here).
    virtual BOOL InitInstance()
    {
        return TRUE;
    }
    virtual int ExitInstance()
    {
        return 0;
    }
    // The message loop, for programs that return true from InitInstance.
    virtual int Run();

    // Names the per-user settings key. Nothing is stored under it.
    void SetRegistryKey(const wchar_t* key)
    {
        m_registryKey = key ? key : L"";
    }

    static CWinApp* Current()
    {
        return s_current;
    }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr; // not owned
    std::wstring m_registryKey;

private:
    static CWinApp* s_current;
};

// The body of WinMain: runs the application object that static initialisation built.
int RunApplication(HINSTANCE hInstance);
