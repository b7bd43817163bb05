// The stand-in host's checked contract words: what fits passes unchanged, what does not stops the host.
#include <gtest/gtest.h>

#include "contract_word.h"

namespace {

TEST(ContractWord, WhatFitsPassesUnchanged)
{
    const struct {
        UINT_PTR address;
        DWORD word;
    } addresses[] = {{0, 0}, {0x10000000, 0x10000000}, {MAXDWORD, MAXDWORD}};
    for (const auto& c : addresses)
        EXPECT_EQ(c.word, ContractAddress(reinterpret_cast<void*>(c.address), L"x")) << c.address;

    // Handles widen with their sign, so INVALID_HANDLE_VALUE is the word 0xFFFFFFFF in both builds.
    const struct {
        HANDLE handle;
        DWORD word;
    } handles[] = {{nullptr, 0}, {LongToHandle(0x1234), 0x1234}, {INVALID_HANDLE_VALUE, MAXDWORD}};
    for (const auto& c : handles) EXPECT_EQ(c.word, ContractHandle(c.handle, L"x")) << c.word;
}

// A program started by the test below with ZAQ_CONTRACT_CHILD set does only what must stop it,
// before any test runs. The test starts it itself, through the wide CreateProcessW: gtest's
// death tests restart the program through ANSI calls, which cannot name a folder whose name the
// code page cannot hold (Cyrillic, CJK).
[[maybe_unused]] const bool kRanAsChild = [] {
    WCHAR what[16];
    if (GetEnvironmentVariableW(L"ZAQ_CONTRACT_CHILD", what, 16) == 0) return false;
    const UINT_PTR beyond = UINT_PTR(ULONGLONG(MAXDWORD) + 1);
    if (lstrcmpW(what, L"address") == 0) ContractAddress(reinterpret_cast<void*>(beyond), L"x");
    if (lstrcmpW(what, L"handle") == 0) ContractHandle(reinterpret_cast<HANDLE>(beyond), L"x");
    ExitProcess(0);  // it fitted after all
}();

// Runs this test program as a child that does `what`; returns its exit code, or ~0 when it
// cannot be started.
DWORD RunChild(const WCHAR* what)
{
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(path) + L"\"";
    SetEnvironmentVariableW(L"ZAQ_CONTRACT_CHILD", what);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // no standard handles: its complaint is not ours to print
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableW(L"ZAQ_CONTRACT_CHILD", nullptr);
    if (!started) return ~0ul;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = ~0ul;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

TEST(ContractWord, AnAddressBeyondFourGigabytesStopsTheHostWithStatusTwo)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "every address fits in a 32-bit build";
    EXPECT_EQ(2u, RunChild(L"address"));
    EXPECT_EQ(2u, RunChild(L"handle"));
}

}  // namespace
