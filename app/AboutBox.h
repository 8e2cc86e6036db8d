#pragma once

#include <windows.h>

#include "Dialog.h"
#include "Dpi.h"
#include "GdiGuards.h"
#include "resource.h"

class CAboutBox : public CDialog
{
public:
    explicit CAboutBox(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent)
    {
    }

protected:
    // The template's icon comes at the system's size; the box shows the image drawn for its own DPI.
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        const UINT dpi = WindowDpi(m_hWnd);
        m_icon = CIcon(
            static_cast<HICON>(LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                          MetricForDpi(SM_CXICON, dpi), MetricForDpi(SM_CYICON, dpi), 0)));
        if (m_icon)
            SendDlgItemMessageW(m_hWnd, IDC_ABOUT_ICON, STM_SETICON,
                                reinterpret_cast<WPARAM>(static_cast<HICON>(m_icon)), 0);
        return TRUE;
    }

private:
    CIcon m_icon; // outlives the box's window, which only shows it
};
