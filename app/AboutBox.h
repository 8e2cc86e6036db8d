#pragma once

#include "Dialog.h"
#include "resource.h"

class CAboutBox : public CDialog
{
public:
    CAboutBox() : CDialog(IDD_ABOUTBOX)
    {
    }
};
