// Kept apart from the rest of the dialog: the COM headers declare names that clash with the XML engine's.
#include <windows.h>
#include <objbase.h>

#include "ComInit.h"

void InitComForThread()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}
