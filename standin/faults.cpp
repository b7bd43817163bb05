// Wrappers for the plug-in's system calls: each counts its calls and fails the armed one.
#include "faults.h"

#include <set>

#include "import_hooks.h"
#include "journal.h"

namespace {

enum Watched {
    kCreateFile,
    kWriteFile,
    kReadFile,
    kSetFilePointer,
    kCloseHandle,
    kVirtualAlloc,
    kVirtualFree,
    kWatched
};
const WCHAR* const kNames[kWatched] = {L"CreateFileW", L"WriteFile",    L"ReadFile",   L"SetFilePointer",
                                       L"CloseHandle", L"VirtualAlloc", L"VirtualFree"};

DWORD calls[kWatched];
int armedFunction = -1;
DWORD armedCall;
bool injected;
std::set<HANDLE> openFiles;
std::set<void*> heldRegions;

decltype(&CreateFileW) realCreateFileW;
decltype(&WriteFile) realWriteFile;
decltype(&ReadFile) realReadFile;
decltype(&SetFilePointer) realSetFilePointer;
decltype(&CloseHandle) realCloseHandle;
decltype(&VirtualAlloc) realVirtualAlloc;
decltype(&VirtualFree) realVirtualFree;

// Counts a call; true when it is the one to fail, with the error it fails with set.
bool Fails(Watched function, DWORD error)
{
    ++calls[function];
    if (function != armedFunction || calls[function] != armedCall) return false;
    injected = true;
    SetLastError(error);
    return true;
}

HANDLE WINAPI FaultyCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (Fails(kCreateFile, ERROR_ACCESS_DENIED)) return INVALID_HANDLE_VALUE;
    HANDLE file = realCreateFileW(name, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) openFiles.insert(file);
    return file;
}

BOOL WINAPI FaultyWriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written,
                            LPOVERLAPPED overlapped)
{
    if (Fails(kWriteFile, ERROR_DISK_FULL)) {
        if (written != nullptr) *written = 0;
        return FALSE;
    }
    return realWriteFile(file, buffer, bytes, written, overlapped);
}

BOOL WINAPI FaultyReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (Fails(kReadFile, ERROR_READ_FAULT)) {
        if (read != nullptr) *read = 0;
        return FALSE;
    }
    return realReadFile(file, buffer, bytes, read, overlapped);
}

DWORD WINAPI FaultySetFilePointer(HANDLE file, LONG low, PLONG high, DWORD method)
{
    if (Fails(kSetFilePointer, ERROR_SEEK)) return INVALID_SET_FILE_POINTER;
    return realSetFilePointer(file, low, high, method);
}

// A failing close still closes: it reports that the last writes did not reach the disk.
BOOL WINAPI FaultyCloseHandle(HANDLE handle)
{
    const BOOL closed = realCloseHandle(handle);
    if (closed) openFiles.erase(handle);
    if (Fails(kCloseHandle, ERROR_DISK_FULL)) return FALSE;
    return closed;
}

LPVOID WINAPI FaultyVirtualAlloc(LPVOID address, SIZE_T bytes, DWORD type, DWORD protection)
{
    if (Fails(kVirtualAlloc, ERROR_NOT_ENOUGH_MEMORY)) return nullptr;
    void* region = realVirtualAlloc(address, bytes, type, protection);
    if (region != nullptr && address == nullptr) heldRegions.insert(region);
    return region;
}

BOOL WINAPI FaultyVirtualFree(LPVOID address, SIZE_T bytes, DWORD type)
{
    ++calls[kVirtualFree];  // never failed: releasing is what a failing run must still do
    const BOOL freed = realVirtualFree(address, bytes, type);
    if (freed && type == MEM_RELEASE) heldRegions.erase(address);
    return freed;
}

}  // namespace

void InstallFaultHooks(HMODULE plugin)
{
    HookImportAs(plugin, "kernel32.dll", "CreateFileW", &FaultyCreateFileW, realCreateFileW);
    HookImportAs(plugin, "kernel32.dll", "WriteFile", &FaultyWriteFile, realWriteFile);
    HookImportAs(plugin, "kernel32.dll", "ReadFile", &FaultyReadFile, realReadFile);
    HookImportAs(plugin, "kernel32.dll", "SetFilePointer", &FaultySetFilePointer, realSetFilePointer);
    HookImportAs(plugin, "kernel32.dll", "CloseHandle", &FaultyCloseHandle, realCloseHandle);
    HookImportAs(plugin, "kernel32.dll", "VirtualAlloc", &FaultyVirtualAlloc, realVirtualAlloc);
    HookImportAs(plugin, "kernel32.dll", "VirtualFree", &FaultyVirtualFree, realVirtualFree);
}

bool IsWatched(const std::wstring& function)
{
    for (const WCHAR* name : kNames) {
        if (function == name) return true;
    }
    return false;
}

bool ArmFault(const std::wstring& function, DWORD call)
{
    for (DWORD& count : calls) count = 0;
    injected = false;
    armedFunction = -1;
    armedCall = call;
    for (int i = 0; i < kWatched; ++i) {
        if (function == kNames[i]) armedFunction = i;
    }
    return function.empty() || armedFunction >= 0;
}

void JournalFaults()
{
    std::wstring line = L"faults:";
    for (int i = 0; i < kWatched; ++i)
        line += L" " + std::wstring(kNames[i]) + L"=" + std::to_wstring(calls[i]);
    line += L" injected=";
    line += injected ? kNames[armedFunction] + (L"#" + std::to_wstring(armedCall)) : L"none";
    Journal(line);
    Journal(L"leaks: handles=" + std::to_wstring(openFiles.size()) + L" regions=" +
            std::to_wstring(heldRegions.size()));
}
