// This test program's file calls cut short while an object lives, through its own import table.
#pragma once

#include <windows.h>

#include "import_hooks.h"

// Points this program's import of kernel32!name at a replacement while it lives.
template <typename Function>
class SwappedImport {
public:
    SwappedImport(const char* name, Function replacement, Function& real) : name_(name), real_(real)
    {
        HookImportAs(GetModuleHandleW(nullptr), "kernel32.dll", name, replacement, real);
    }
    ~SwappedImport()
    {
        HookImport(GetModuleHandleW(nullptr), "kernel32.dll", name_, reinterpret_cast<void*>(real_));
    }
    SwappedImport(const SwappedImport&) = delete;
    SwappedImport& operator=(const SwappedImport&) = delete;

private:
    const char* name_;
    Function& real_;
};

inline decltype(&WriteFile) realWriteFile = WriteFile;
inline decltype(&ReadFile) realReadFile = ReadFile;

inline BOOL WINAPI HalfWriteFile(HANDLE file, LPCVOID data, DWORD bytes, LPDWORD written,
                                 LPOVERLAPPED overlapped)
{
    return realWriteFile(file, data, bytes / 2, written, overlapped);
}

inline BOOL WINAPI SixByteReadFile(HANDLE file, LPVOID data, DWORD bytes, LPDWORD read,
                                   LPOVERLAPPED overlapped)
{
    return realReadFile(file, data, bytes > 8 ? 6 : bytes, read, overlapped);
}

// Every write writes half of what it was given and reports success with that count, as a disk
// that fills up may.
struct ShortWrites : SwappedImport<decltype(&WriteFile)> {
    ShortWrites() : SwappedImport("WriteFile", HalfWriteFile, realWriteFile) {}
};

// Every read that asks for more than 8 bytes gets 6, as a file cut short under a reader may give.
struct ShortReads : SwappedImport<decltype(&ReadFile)> {
    ShortReads() : SwappedImport("ReadFile", SixByteReadFile, realReadFile) {}
};
