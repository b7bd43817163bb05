// Sizing the read buffer by this machine's prices for fresh memory and for reading alone.
#include "export/article_reader_plan.h"

#include <algorithm>

#include "export/article_reader_window.h"
#include "state/module_state.h"

// The read buffer holds the article file's bytes as they lie, so a window of part of the list
// still spans the file, and reading through the gaps between its articles takes as much room as
// the whole list: a smaller buffer holds fewer articles in proportion and reads the rest alone.
// Which is cheaper depends on the machine: fresh pages cost six times as much on one of ours as
// on another (64-bit build; docs/benchmarks.md).

namespace {

constexpr ULONGLONG kReadBufferPricedAbove = 16u << 20;
constexpr ULONGLONG kReadBufferMost = 512u << 20;
constexpr DWORD kProbeBytes = 1u << 20;
constexpr DWORD kProbeReads = 32;

double Now()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

ReadPrices MeasureReadPrices(HANDLE file, const ArticleSpan* spans, DWORD count)
{
    const double touchStart = Now();
    BYTE* probe = static_cast<BYTE*>(VirtualAlloc(nullptr, kProbeBytes, MEM_COMMIT, PAGE_READWRITE));
    if (probe == nullptr) return {1.0, 0};  // not even a MiB to spare: fresh memory is dearer than any read
    for (DWORD at = 0; at < kProbeBytes; at += 4096) static_cast<volatile BYTE*>(probe)[at] = 1;
    const double touched = Now();
    VirtualFree(probe, 0, MEM_RELEASE);  // ours: cannot fail
    // The list's first articles, read alone into TextBuffer as they would be.
    const DWORD reads = std::min(count, kProbeReads);
    const double readStart = Now();
    for (DWORD i = 0; i < reads; ++i) {
        ReadAt(file, spans[i].Offset, State.TextBuffer,
               std::min<DWORD>(spans[i].Size, sizeof State.TextBuffer));
    }
    return {touched - touchStart, (Now() - readStart) / std::max<DWORD>(reads, 1)};
}

// The system's count of this process's free address space. GlobalMemoryStatusEx came with
// Windows 2000: looked up here, not imported, it cannot keep the plug-in from loading on NT 4.0,
// whose GlobalMemoryStatus tells the same in a word of the address's size.
ULONGLONG FreeAddressSpace()
{
    typedef BOOL(WINAPI * MemoryStatusEx)(LPMEMORYSTATUSEX);
    const auto statusEx = reinterpret_cast<MemoryStatusEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GlobalMemoryStatusEx")));
    MEMORYSTATUSEX statusNow = {};
    statusNow.dwLength = sizeof statusNow;
    if (statusEx != nullptr && statusEx(&statusNow)) return statusNow.ullAvailVirtual;
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return status.dwAvailVirtual;
}

}  // namespace

ULONGLONG HostReadBufferBound()
{
    return std::min<ULONGLONG>(FreeAddressSpace() / 4, kReadBufferMost);
}

ULONGLONG PlanReadBuffer(ULONGLONG wholeBytes, ULONGLONG hostBytes, DWORD count, const ReadPrices& prices)
{
    const double fresh = prices.FreshMiB * double(wholeBytes) / (1u << 20);
    if (wholeBytes > kReadBufferPricedAbove && fresh > prices.ArticleRead * count) return 0;
    return std::min(wholeBytes, hostBytes);
}

ULONGLONG AutomaticReadBuffer(ULONGLONG wholeBytes, HANDLE file, const ArticleSpan* spans, DWORD count)
{
    const ULONGLONG host = HostReadBufferBound();
    if (wholeBytes <= kReadBufferPricedAbove || host <= kReadBufferPricedAbove)
        return std::min(wholeBytes, host);
    return PlanReadBuffer(wholeBytes, host, count, MeasureReadPrices(file, spans, count));
}
