// Benchmark mode: the phases of an export and the plug-in's memory, timed from outside the plug-in.
#pragma once

#include <windows.h>

#include <string>

// Hooks the plug-in's memory calls and MessageBoxW; with timeCalls also its file calls, whose
// time it adds up per phase (which costs a little time of its own).
void StartMeasuring(HMODULE plugin, bool timeCalls);

// Moments of the run that the host sees.
void MarkOk();
void MarkFill(bool start);
void MarkStatus(const WCHAR* text);

// Journals the run just measured: articles, output bytes, total and phase times, peak memory.
void JournalMeasurement(DWORD articles, const std::wstring& outputFile);

// Copies a file sequentially in 1 MiB blocks and journals how long it took: the floor for any
// export that writes that many bytes.
void JournalCopyFloor(const std::wstring& file);
