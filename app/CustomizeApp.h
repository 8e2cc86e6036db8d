#pragma once

#include "WinApp.h"

class CCustomizeApp : public CWinApp
{
public:
    CCustomizeApp()
    {
    }
    // Runs the main dialog; the program ends when it closes.
    BOOL InitInstance() override;
};
