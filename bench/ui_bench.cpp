// The tool under Wine on a long features file: the time from start to a visible window holding every
// entry, and the time of a Save, each against the start-up of the tool on a 10-item file. Beside them, in
// this process, the two steps that a tool which reads the file and then fills its list cannot go below:
// the XML engine reading the file, and a bare list box filled with the same strings.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Xml.h"
#include "XmlText.h"
#include "resource.h"

namespace
{
constexpr int kLongItems = 100000;
constexpr int kShortItems = 10;
constexpr int kRounds = 3;
constexpr DWORD kPatienceMs = 300000;
const wchar_t kTitle[] = L"Corvale IP Phone XML Customization Tool";

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

std::wstring Name(int i)
{
    return L"Feature " + std::to_wstring(i);
}

bool WriteFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string ReadFile(const std::wstring& path)
{
    std::string bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

std::string FeaturesFile(int items)
{
    std::string features = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<features>\r\n";
    for (int i = 0; i < items; ++i)
        features += "  <feature name=\"Feature " + std::to_string(i) + "\" enabled=\"" + (i % 3 ? "1" : "0") +
                    "\" text=\"The feature numbered " + std::to_string(i) + "\"/>\r\n";
    return features + "</features>\r\n";
}

// A project folder whose features file holds items entries; the other three files are small.
bool MakeProject(const std::wstring& folder, int items)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Content").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Content\\XML").c_str(), nullptr);
    const std::wstring xml = folder + L"\\Content\\XML\\";
    return WriteFile(xml + L"features.xml", FeaturesFile(items)) &&
           WriteFile(xml + L"softkeys.xml",
                     "<softkeys>\r\n  <softkey name=\"Redial\" enabled=\"1\"/>\r\n</softkeys>\r\n") &&
           WriteFile(xml + L"starthere.xml",
                     "<topics>\r\n  <topic name=\"Welcome\" enabled=\"1\"/>\r\n</topics>\r\n") &&
           WriteFile(xml + L"interface.xml", "<interface>\r\n  <linkItem name=\"pdfLink\" value=\"Guide\" "
                                             "enabled=\"1\"/>\r\n</interface>\r\n");
}

struct CRun
{
    PROCESS_INFORMATION process{};
    HWND dialog = nullptr;
    double openSeconds = 0;
};

// Starts the tool in folder and waits until its window is visible with every entry of the features list.
bool Open(const std::wstring& exe, const std::wstring& folder, int items, CRun& run)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"";
    const LARGE_INTEGER start = Now();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &run.process))
        return false;
    while (Seconds(start, Now()) * 1000 < kPatienceMs)
    {
        HWND dialog = FindWindowW(nullptr, kTitle);
        if (dialog && IsWindowVisible(dialog))
        {
            HWND page = FindWindowExW(dialog, nullptr, nullptr, nullptr);
            HWND list = nullptr;
            for (; page && !list; page = FindWindowExW(dialog, page, nullptr, nullptr))
                list = GetDlgItem(page, IDC_FEATURES_LIST);
            if (list && SendMessageW(list, LB_GETCOUNT, 0, 0) == items)
            {
                // Once the tool answers, the fill is over and the window has been shown.
                SendMessageW(dialog, WM_NULL, 0, 0);
                run.openSeconds = Seconds(start, Now());
                run.dialog = dialog;
                return true;
            }
        }
        Sleep(1);
    }
    return false;
}

// The Save button, clicked from here: the call returns when the tool has written every file.
double Save(const CRun& run)
{
    HWND button = GetDlgItem(run.dialog, IDC_SAVE);
    const LARGE_INTEGER start = Now();
    SendMessageW(button, BM_CLICK, 0, 0);
    return Seconds(start, Now());
}

void Close(CRun& run)
{
    PostMessageW(run.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (WaitForSingleObject(run.process.hProcess, kPatienceMs) != WAIT_OBJECT_0)
        TerminateProcess(run.process.hProcess, 1);
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
    run = CRun{};
}

double BareListBox()
{
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS, 0, 0,
                                300, 200, nullptr, nullptr, nullptr, nullptr);
    const LARGE_INTEGER start = Now();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < kLongItems; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Name(i).c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(list);
    const double seconds = Seconds(start, Now());
    DestroyWindow(list);
    return seconds;
}

// The engine's read of the long features file; a read that fails is reported as a negative time.
double EngineLoad(const std::wstring& path)
{
    std::string utf8;
    if (!Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), path.size()), utf8))
        return -1;
    CXmlDocument document;
    const LARGE_INTEGER start = Now();
    const bool loaded = document.Load(utf8.c_str());
    const double seconds = Seconds(start, Now());
    return loaded ? seconds : -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\'));
    const std::wstring exe = folder.substr(0, folder.find_last_of(L'\\')) + L"\\customize.exe";
    const std::wstring shortProject = folder + L"\\ui_bench_short";
    const std::wstring longProject = folder + L"\\ui_bench_long";
    if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES ||
        !MakeProject(shortProject, kShortItems) || !MakeProject(longProject, kLongItems))
    {
        std::fprintf(stderr, "cannot find the tool beside the bench or write its projects\n");
        return 1;
    }

    std::vector<double> startUp, longOpen, longSave, bare, load;
    for (int round = 0; round < kRounds; ++round)
    {
        CRun run;
        if (!Open(exe, shortProject, kShortItems, run))
        {
            std::fprintf(stderr, "the tool did not open on %d items\n", kShortItems);
            return 1;
        }
        startUp.push_back(run.openSeconds);
        Close(run);

        if (!Open(exe, longProject, kLongItems, run))
        {
            std::fprintf(stderr, "the tool did not open on %d items\n", kLongItems);
            return 1;
        }
        longOpen.push_back(run.openSeconds);
        longSave.push_back(Save(run));
        // Nothing was changed: a Save that wrote anything else than it read measured the wrong thing.
        if (ReadFile(longProject + L"\\Content\\XML\\features.xml") != FeaturesFile(kLongItems))
        {
            std::fprintf(stderr, "the saved features file differs from the one read\n");
            return 1;
        }
        Close(run);

        bare.push_back(BareListBox());
        load.push_back(EngineLoad(longProject + L"\\Content\\XML\\features.xml"));
        if (load.back() < 0)
        {
            std::fprintf(stderr, "the engine could not read the long features file\n");
            return 1;
        }
    }

    const double base = Median(startUp);
    std::printf("UI under Wine, median of %d rounds\n", kRounds);
    std::printf("  start-up, %d-item features file:       %7.3f s\n", kShortItems, base);
    std::printf("  open to visible, %d items:         %7.3f s  (%.2fx start-up; goal 2x)\n", kLongItems,
                Median(longOpen), Median(longOpen) / base);
    std::printf("  Save, %d items:                    %7.3f s  (%.2fx start-up; goal 1x)\n", kLongItems,
                Median(longSave), Median(longSave) / base);
    std::printf("  bare list box, same %d strings:    %7.3f s\n", kLongItems, Median(bare));
    std::printf("  engine read of the same file:          %7.3f s\n", Median(load));
    const double floor = base + Median(bare) + Median(load);
    std::printf("  floor, start-up + list box + read:     %7.3f s  (%.2fx start-up)\n", floor, floor / base);
    return 0;
}
