// A bound on the plug-in's memory while it reads articles, for comparing its ways of reading.
#pragma once

#include <windows.h>

// From the moment the status line says the articles are being written, every VirtualAlloc of
// the plug-in for more than limitBytes fails as if the memory could not be had. Chains to
// whatever the import held before, so it combines with measuring and fault injection.
void LimitReadBuffer(HMODULE plugin, DWORD limitBytes);

// Sets a fixed bound on the read buffer through the export that only the benchmarks' build of
// the plug-in has; false where the plug-in has none.
bool BoundReadBuffer(HMODULE plugin, DWORD boundBytes);
