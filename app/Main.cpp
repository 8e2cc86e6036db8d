#include <windows.h>

#include "CustomizeApp.h"

namespace
{
CCustomizeApp theApp;
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return RunApplication(hInstance);
}
