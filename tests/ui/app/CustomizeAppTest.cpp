// The application's start-up: the dialog's thread is a single-threaded apartment, so the check lists'
// accessible objects run on it, whichever thread of the process calls them.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CustomizeApp.h"
#include "CustomizeDlg.h"
#include "UiTestSupport.h"
#include "resource.h"

namespace
{
constexpr int kGiveUpTicks = 150; // 3 s of 20 ms ticks

struct Probe
{
    std::thread caller;
    std::atomic<bool> done{false};
    HRESULT result = E_FAIL;
    long role = 0;      // of the first item: the list's own object, not a stand-in
    int apartment = -1; // the dialog thread's
    DWORD callerThread = 0;
    DWORD eventThread = 0; // the thread that raised the item's state change
    int ticks = 0;
} g_probe;

// A screen reader's call as it arrives from the accessibility service: on a thread of its own, in the
// multithreaded apartment.
void CallFromAnotherThread(HWND hList)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    g_probe.callerThread = GetCurrentThreadId();
    IAccessible* accessible = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(hList, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible))))
    {
        VARIANT first;
        VariantInit(&first);
        first.vt = VT_I4;
        first.lVal = 1;
        VARIANT role;
        VariantInit(&role);
        if (SUCCEEDED(accessible->get_accRole(first, &role)) && role.vt == VT_I4)
            g_probe.role = role.lVal;
        g_probe.result = accessible->accDoDefaultAction(first);
        accessible->Release();
    }
    CoUninitialize();
    g_probe.done = true;
}

// Runs inside the dialog's modal loop: starts the call, then closes the dialog once it has come back.
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    const auto* dialog = static_cast<CCustomizeDlg*>(CWinApp::Current()->m_pMainWnd);
    if (!dialog || !dialog->m_hWnd)
        return;
    if (!g_probe.caller.joinable())
    {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        if (SUCCEEDED(CoGetApartmentType(&type, &qualifier)))
            g_probe.apartment = type;
        g_probe.caller = std::thread(CallFromAnotherThread, static_cast<CCheckListPage&>(*dialog->m_pages[0]).m_checkList.m_hWnd);
    }
    else if ((g_probe.done && g_probe.eventThread) || ++g_probe.ticks > kGiveUpTicks)
        PostMessageW(dialog->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog->m_hWnd, IDC_CLOSE)));
}

void CALLBACK OnStateChange(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD thread, DWORD)
{
    if (object == OBJID_CLIENT)
        g_probe.eventThread = thread;
}

TEST(CustomizeApp, AccessibleObjectRunsOnTheDialogsThreadWhenCalledFromAnother)
{
    CScratchDir dir(std::string(TEST_WORK_DIR) + "\\app", true);
    CreateDirectoryA((dir / "Content").c_str(), nullptr);
    CreateDirectoryA((dir / "Content\\XML").c_str(), nullptr);
    WriteBytes(dir / "Content\\XML\\features.xml",
               "<features>\r\n<i name=\"Hold\" enabled=\"1\"/>\r\n</features>\r\n");
    // Out of context: the hook hears of every thread's events, each with the thread that raised it.
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, OnStateChange,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTick);

    CCustomizeApp app;
    EXPECT_FALSE(app.InitInstance());

    KillTimer(nullptr, timer);
    UnhookWinEvent(hook);
    if (g_probe.caller.joinable())
        g_probe.caller.join();
    ASSERT_TRUE(g_probe.done) << "the call did not come back within the dialog's life";
    EXPECT_TRUE(g_probe.apartment == APTTYPE_STA || g_probe.apartment == APTTYPE_MAINSTA)
        << g_probe.apartment;
    EXPECT_EQ(g_probe.role, ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_EQ(g_probe.result, S_OK);
    EXPECT_EQ(g_probe.eventThread, GetCurrentThreadId())
        << "ran on the caller's thread " << g_probe.callerThread << ", not the dialog's";
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "the apartment was left at the end";
    CoUninitialize();
}
} // namespace
