// Functions looked up at run time, so that the program still starts where a library or export is missing.
#pragma once

#include <windows.h>

// The export name of module typed as F (declare F with decltype of the function), or null.
template <class F> F LookUpFunction(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    // Through the one function type that converts to every other without a cast-function-type warning.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}
