// Redirecting a loaded module's imports to our own functions, to watch or fail its system calls.
#pragma once

#include <windows.h>

// Points the import of dll!function in module at replacement; returns the address it held, or
// null when the module does not import that function.
void* HookImport(HMODULE module, const char* dll, const char* function, void* replacement);

// The same for a typed function: original receives what the slot held, and keeps its value
// where the module does not import the function.
template <typename Function>
void HookImportAs(HMODULE module, const char* dll, const char* function, Function replacement,
                  Function& original)
{
    void* previous = HookImport(module, dll, function, reinterpret_cast<void*>(replacement));
    if (previous != nullptr) original = reinterpret_cast<Function>(previous);
}
