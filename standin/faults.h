// Fault injection: the plug-in's system calls redirected to wrappers that count them, fail one
// chosen call with a realistic error, and follow the handles and memory the plug-in holds.
#pragma once

#include <windows.h>

#include <string>

// Redirects the plug-in's CreateFileW, WriteFile, ReadFile, SetFilePointer, CloseHandle,
// VirtualAlloc and VirtualFree.
void InstallFaultHooks(HMODULE plugin);

// True for a function whose calls can be failed.
bool IsWatched(const std::wstring& function);

// Starts counting afresh for a run; the call-th call (from 1) of function will fail, none when
// function is empty. False for a function that is not watched.
bool ArmFault(const std::wstring& function, DWORD call);

// Journals this run's calls, the fault injected if any, and what the plug-in still holds:
// "faults: CreateFileW=1 … injected=WriteFile#2" and "leaks: handles=0 regions=0".
void JournalFaults();
