// The main window: four content pages on four tabs, and Enable All, Disable All, Save and Close.
#pragma once

#include <windows.h>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "CheckListPage.h"
#include "ContentSet.h"
#include "Controls.h"
#include "Dialog.h"
#include "GdiGuards.h"
#include "InterfaceDlg.h"
#include "Locations.h"

struct PageRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class CCustomizeDlg : public CDialog, private CSaveQuestions
{
public:
    explicit CCustomizeDlg(CWnd* parent = nullptr);
    ~CCustomizeDlg() override;

    // Shows page index (0 to 3) over the tab control's display area and selects its tab. Focus that was
    // in a page it hides moves to the tab control, or, when the change came from the keyboard, into the
    // page shown.
    void ShowPage(int index, bool fromKeyboard = false);

    // The content files and the pages that show them, in tab order, made from the page table's rows.
    CContentSet m_content;
    std::array<std::unique_ptr<CContentPage>, kPageCount> m_pages;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnQueryDragIcon(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnShowWindow(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnTabSelChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnClose(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnSave(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnCloseButton(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnEnableAll(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnDisableAll(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnCycleTab(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnDestroy(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnHelp(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnPlacePage(WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool OnReportRecovery(WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Tells the person what a save did, when it did not simply save what changed.
    void ReportSave(const std::vector<CSaveResult>& results);
    // Asks whether to write over a file another program changed or removed.
    SaveAnswer AskReplace(const CContentFile& file, XmlFileError found) override;
    // Enable All and Disable All act on the page shown while its file may be written.
    bool ButtonsAct(int index) const;
    void UpdateButtons(int index);
    void ComputePageArea();
    // The caption's icons at the sizes of the window's DPI.
    void UpdateIcons();
    void SetAllChecks(int check);

    CIcon m_bigIcon;
    CIcon m_smallIcon;
    PageRect m_pageRect;
    CTabCtrl m_tabCtrl;
    CButton m_saveButton;
    CButton m_closeButton;
    CButton m_enableAllButton;
    CButton m_disableAllButton;
    std::vector<CSaveRecovery> m_recoveries; // found at start, told once the window shows
    HHOOK m_hKeyHook = nullptr; // Ctrl+Tab inside the modal loop; removed when the window goes

    static const TMsgEntry<CCustomizeDlg> s_msgMap[];
};
