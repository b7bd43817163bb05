// Redirecting a loaded module's imports to our own functions, to watch or fail its system calls.
#pragma once

#include <windows.h>

// Points the import of dll!function in module at replacement; returns the address it held, or
// null when the module does not import that function.
void* HookImport(HMODULE module, const char* dll, const char* function, void* replacement);
