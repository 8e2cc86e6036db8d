// The check list tests' host: records of commands, of input reaching the lists' own handling, of events.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "CheckListBox.h"
#include "Dialog.h"
#include "HostResource.h"
#include "UiTestSupport.h"
#include "resource.h"

// A check list that records the values its deletion hook receives.
class CProbeCheckList : public CCheckListBox
{
public:
    std::vector<ULONG_PTR> m_deleted;

protected:
    void DeleteItem(DELETEITEMSTRUCT& request) override
    {
        m_deleted.push_back(request.itemData);
    }
};

class CHostDialog : public CDialog
{
public:
    CHostDialog() : CDialog(IDD_CHECKLIST_HOST)
    {
    }
    int CountCommands(int code) const
    {
        return static_cast<int>(std::count(m_codes.begin(), m_codes.end(), code));
    }
    int CountBelow(UINT msg, WPARAM wParam) const
    {
        return static_cast<int>(std::count(m_below.begin(), m_below.end(), std::make_pair(msg, wParam)));
    }

    CProbeCheckList m_list;
    std::vector<int> m_codes; // -1 for a command whose id and window disagree
    int m_selAtCheck = -2;    // the sender's selection when the last check notification came
    std::vector<std::pair<UINT, WPARAM>> m_below; // presses, double clicks, keys and characters

protected:
    void DoDataExchange() override
    {
        // Beneath the controls' own subclass: what reaches the lists' own handling.
        for (int id : {IDC_TEST_LIST, IDC_SHORT_LIST})
            SetWindowSubclass(GetDlgItem(m_hWnd, id), Below, 1, reinterpret_cast<DWORD_PTR>(this));
        Bind(m_list, IDC_TEST_LIST);
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) override
    {
        if (msg != WM_COMMAND || !lParam)
            return false;
        const HWND sender = reinterpret_cast<HWND>(lParam);
        m_codes.push_back(GetDlgItem(m_hWnd, LOWORD(wParam)) == sender ? HIWORD(wParam) : -1);
        if (HIWORD(wParam) == CLBN_CHECKCHANGED)
            m_selAtCheck = static_cast<int>(SendMessageW(sender, LB_GETCURSEL, 0, 0));
        return false;
    }

private:
    static LRESULT CALLBACK Below(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
    {
        if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_KEYDOWN || msg == WM_CHAR)
            reinterpret_cast<CHostDialog*>(ref)->m_below.emplace_back(msg, wParam);
        if (msg == WM_NCDESTROY)
            RemoveWindowSubclass(hWnd, Below, 1);
        return DefSubclassProc(hWnd, msg, wParam, lParam);
    }
};

// Every test gets a fresh dialog with its main list in the pages' mode, a record of this thread's
// client-area state-change events, and a leak check of the item records when it goes.
class CheckListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // for the accessible objects
        s_events.clear();
        m_hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, OnEvent,
                                 GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
        ASSERT_TRUE(m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNOACTIVATE);
        m_list = m_dialog.m_list.m_hWnd;
        ASSERT_NE(m_list, nullptr);
        List().SetCheckMode(BS_AUTOCHECKBOX);
    }
    void TearDown() override
    {
        DestroyWindow(m_dialog.m_hWnd);
        UnhookWinEvent(m_hook);
        CoUninitialize();
    }

    CProbeCheckList& List()
    {
        return m_dialog.m_list;
    }
    static void Fill(const CCheckListBox& list, std::initializer_list<const wchar_t*> texts)
    {
        for (const wchar_t* text : texts)
            list.AddString(text);
    }
    // Sets a check whatever the mode, then leaves the list in mode.
    void SetCheck(int mode, int index, int check)
    {
        List().SetCheckMode(0);
        List().SetItemCheck(index, check);
        List().SetCheckMode(mode);
    }
    // The child ids of the main list's events since the last call.
    std::vector<LONG> TakeEvents()
    {
        // Out-of-context events arrive through the queue, a little after they were raised.
        for (int round = 0; round < 4; ++round, Sleep(5))
            PumpMessages();
        std::vector<LONG> children;
        for (const auto& event : s_events)
            if (event.first == m_list)
                children.push_back(event.second);
        s_events.clear();
        return children;
    }

    CHostDialog m_dialog;
    HWND m_list = nullptr;

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD, HWND hWnd, LONG object, LONG child, DWORD, DWORD)
    {
        if (object == OBJID_CLIENT)
            s_events.emplace_back(hWnd, child);
    }
    static inline std::vector<std::pair<HWND, LONG>> s_events;
    HWINEVENTHOOK m_hook = nullptr;
};
