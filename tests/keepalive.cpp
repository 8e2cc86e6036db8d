// Keeps Wine's helper processes alive between tests. Writes the file named on its command line
// once it runs, so the test fixture knows Wine is up.
#include <windows.h>
#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int)
{
    if (cmdLine && *cmdLine)
    {
        if (FILE* f = std::fopen(cmdLine, "wb"))
            std::fclose(f);
    }
    Sleep(INFINITE);
    return 0;
}
