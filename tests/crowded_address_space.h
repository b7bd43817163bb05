// A host short of memory, as the plug-in's code sees it through the test program's own imports.
#pragma once

#include <windows.h>

#include <algorithm>

#include "import_hooks.h"

// While it lives, no piece larger than largestPiece can be had and the system reports no more
// than free bytes of address space free. (Really filling a 64-bit process's space makes Wine
// itself run out of memory.) The plug-in's code looks GlobalMemoryStatusEx up at run time, so
// the lookup hands out the reporting one; with noStatusEx, none, as on NT 4.0.
class CrowdedAddressSpace {
public:
    explicit CrowdedAddressSpace(SIZE_T largestPiece, DWORDLONG free = ~DWORDLONG(0), bool noStatusEx = false)
    {
        largestPiece_ = largestPiece;
        free_ = free;
        noStatusEx_ = noStatusEx;
        HookImportAs(GetModuleHandleW(nullptr), "kernel32.dll", "VirtualAlloc", &LimitedVirtualAlloc,
                     realVirtualAlloc_);
        HookImportAs(GetModuleHandleW(nullptr), "kernel32.dll", "GetProcAddress", &LookUp, realLookUp_);
    }
    ~CrowdedAddressSpace()
    {
        HookImport(GetModuleHandleW(nullptr), "kernel32.dll", "VirtualAlloc",
                   reinterpret_cast<void*>(realVirtualAlloc_));
        HookImport(GetModuleHandleW(nullptr), "kernel32.dll", "GetProcAddress",
                   reinterpret_cast<void*>(realLookUp_));
    }

private:
    static LPVOID WINAPI LimitedVirtualAlloc(LPVOID address, SIZE_T bytes, DWORD type, DWORD protection)
    {
        if (bytes > largestPiece_) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        return realVirtualAlloc_(address, bytes, type, protection);
    }
    static BOOL WINAPI ReportedMemoryStatus(LPMEMORYSTATUSEX status)
    {
        if (!realMemoryStatus_(status)) return FALSE;
        status->ullAvailVirtual = std::min(status->ullAvailVirtual, free_);
        return TRUE;
    }
    static FARPROC WINAPI LookUp(HMODULE module, LPCSTR name)
    {
        if (HIWORD(UINT_PTR(name)) == 0 || lstrcmpA(name, "GlobalMemoryStatusEx") != 0)
            return realLookUp_(module, name);
        if (noStatusEx_) return nullptr;
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&ReportedMemoryStatus));
    }
    static inline SIZE_T largestPiece_;
    static inline DWORDLONG free_;
    static inline bool noStatusEx_;
    static inline decltype(&VirtualAlloc) realVirtualAlloc_ = VirtualAlloc;
    static inline decltype(&GetProcAddress) realLookUp_ = GetProcAddress;
    static inline decltype(&GlobalMemoryStatusEx) realMemoryStatus_ = GlobalMemoryStatusEx;
};
