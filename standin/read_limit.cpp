// Bounds on the plug-in's read buffer: its large allocations refused once it writes articles, or
// a fixed bound through the benchmarks' build of it.
#include "read_limit.h"

#include "host.h"
#include "import_hooks.h"
#include "plugin_phases.h"

namespace {

DWORD limit;
decltype(&VirtualAlloc) previousVirtualAlloc = VirtualAlloc;

bool WritingArticles()
{
    WCHAR status[64] = L"";
    GetWindowTextW(TheHost.statusWindow, status, 64);
    return lstrcmpW(status, kWritingStatus) == 0;
}

LPVOID WINAPI LimitedVirtualAlloc(LPVOID address, SIZE_T bytes, DWORD type, DWORD protection)
{
    if (bytes > limit && WritingArticles()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return previousVirtualAlloc(address, bytes, type, protection);
}

}  // namespace

bool BoundReadBuffer(HMODULE plugin, DWORD boundBytes)
{
    const auto setBound = reinterpret_cast<void (*)(DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "ZaqSetReadBufferBound")));
    if (setBound == nullptr) return false;
    setBound(boundBytes);
    return true;
}

void LimitReadBuffer(HMODULE plugin, DWORD limitBytes)
{
    limit = limitBytes;
    HookImportAs(plugin, "kernel32.dll", "VirtualAlloc", &LimitedVirtualAlloc, previousVirtualAlloc);
}
