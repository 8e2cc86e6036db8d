#pragma once

#include "Dialog.h"
#include "resource.h"

class CAboutBox : public CDialog
{
public:
    explicit CAboutBox(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent)
    {
    }
};
