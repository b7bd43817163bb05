// Times an export from the host's side: host callbacks and status texts mark the phases, and
// hooks on the plug-in's imports add up its file time and follow its memory.
#include "measure.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "export/size_order.h"
#include "host.h"
#include "import_hooks.h"
#include "journal.h"
#include "plugin_phases.h"

namespace {

LARGE_INTEGER frequency;
double okAt, fillStartAt, fillEndAt, writingAt, boxAt;
double readingSeconds, writingSeconds;
bool timingCalls;
ULONGLONG reads, readBytes;  // the plug-in's reads of its article file and what they brought
SIZE_T outstandingBytes, peakBytes;
std::map<void*, SIZE_T> regions;

decltype(&ReadFile) realReadFile;
decltype(&SetFilePointer) realSetFilePointer;
decltype(&WriteFile) realWriteFile;
decltype(&CreateFileW) realCreateFileW;
decltype(&CloseHandle) realCloseHandle;
decltype(&VirtualAlloc) realVirtualAlloc;
decltype(&VirtualFree) realVirtualFree;
decltype(&MessageBoxW) realMessageBoxW;

double Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// Runs a call and adds its time to a phase.
template <typename Call>
auto Timed(double& phase, Call call) -> decltype(call())
{
    const double start = Now();
    auto result = call();
    phase += Now() - start;
    return result;
}

// Counted always, timed with the other file calls.
BOOL WINAPI CountedReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped)
{
    const double start = Now();
    const BOOL ok = realReadFile(file, buffer, bytes, read, overlapped);
    if (timingCalls) readingSeconds += Now() - start;
    ++reads;
    if (ok && read != nullptr) readBytes += *read;
    return ok;
}

DWORD WINAPI TimedSetFilePointer(HANDLE file, LONG low, PLONG high, DWORD method)
{
    return Timed(readingSeconds, [&] { return realSetFilePointer(file, low, high, method); });
}

BOOL WINAPI TimedWriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped)
{
    return Timed(writingSeconds, [&] { return realWriteFile(file, buffer, bytes, written, overlapped); });
}

HANDLE WINAPI TimedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile)
{
    return Timed(writingSeconds, [&] {
        return realCreateFileW(name, access, share, security, disposition, flags, templateFile);
    });
}

BOOL WINAPI TimedCloseHandle(HANDLE handle)
{
    return Timed(writingSeconds, [&] { return realCloseHandle(handle); });
}

LPVOID WINAPI CountedVirtualAlloc(LPVOID address, SIZE_T bytes, DWORD type, DWORD protection)
{
    void* region = realVirtualAlloc(address, bytes, type, protection);
    if (region != nullptr && address == nullptr) {
        regions[region] = bytes;
        outstandingBytes += bytes;
        if (outstandingBytes > peakBytes) peakBytes = outstandingBytes;
    }
    return region;
}

BOOL WINAPI CountedVirtualFree(LPVOID address, SIZE_T bytes, DWORD type)
{
    const BOOL freed = realVirtualFree(address, bytes, type);
    const auto region = regions.find(address);
    if (freed && type == MEM_RELEASE && region != regions.end()) {
        outstandingBytes -= region->second;
        regions.erase(region);
    }
    return freed;
}

int WINAPI MarkedMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    if (boxAt == 0) boxAt = Now();
    return realMessageBoxW(owner, text, caption, style);
}

std::wstring Seconds(double seconds)
{
    WCHAR text[32];
    wsprintfW(text, L"%d.%03d", int(seconds), int((seconds - int(seconds)) * 1000 + 0.5) % 1000);
    return text;
}

// One sequential copy of a file in 1 MiB blocks; its seconds, or a negative number on failure.
double CopySeconds(const std::wstring& file, ULONGLONG& bytes)
{
    const std::wstring copy = file + L".copy";
    const double start = Now();
    HANDLE from = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HANDLE to =
        CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    static BYTE block[1 << 20];
    bytes = 0;
    DWORD read = 0, written = 0;
    bool ok = from != INVALID_HANDLE_VALUE && to != INVALID_HANDLE_VALUE;
    while (ok && ReadFile(from, block, sizeof block, &read, nullptr) && read > 0) {
        ok = WriteFile(to, block, read, &written, nullptr) && written == read;
        bytes += read;
    }
    ok = CloseHandle(to) && ok;
    CloseHandle(from);
    const double seconds = Now() - start;
    DeleteFileW(copy.c_str());
    return ok ? seconds : -1;
}

// Fresh memory of the given size, each page touched once; null where it cannot be had.
BYTE* TouchedMemory(SIZE_T bytes)
{
    BYTE* memory = static_cast<BYTE*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    for (SIZE_T at = 0; memory != nullptr && at < bytes; at += 4096) memory[at] = 1;
    return memory;
}

void MarkOk()
{
    if (frequency.QuadPart == 0) return;
    okAt = Now();
    fillStartAt = fillEndAt = writingAt = boxAt = 0;
    readingSeconds = writingSeconds = 0;
    reads = readBytes = 0;
    peakBytes = outstandingBytes;
}

void MarkFill(bool start)
{
    if (frequency.QuadPart == 0) return;
    (start ? fillStartAt : fillEndAt) = Now();
}

void MarkStatus(const WCHAR* text)
{
    if (frequency.QuadPart == 0 || writingAt != 0 || lstrcmpW(text, kWritingStatus) != 0) return;
    writingAt = Now();
}

}  // namespace

void StartMeasuring(HMODULE plugin, bool timeCalls)
{
    TheHost.onOk = MarkOk;
    TheHost.onFill = MarkFill;
    TheHost.onStatus = MarkStatus;
    QueryPerformanceFrequency(&frequency);
    HookImportAs(plugin, "kernel32.dll", "VirtualAlloc", &CountedVirtualAlloc, realVirtualAlloc);
    HookImportAs(plugin, "kernel32.dll", "VirtualFree", &CountedVirtualFree, realVirtualFree);
    HookImportAs(plugin, "user32.dll", "MessageBoxW", &MarkedMessageBoxW, realMessageBoxW);
    HookImportAs(plugin, "kernel32.dll", "ReadFile", &CountedReadFile, realReadFile);
    timingCalls = timeCalls;
    if (!timeCalls) return;
    HookImportAs(plugin, "kernel32.dll", "SetFilePointer", &TimedSetFilePointer, realSetFilePointer);
    HookImportAs(plugin, "kernel32.dll", "WriteFile", &TimedWriteFile, realWriteFile);
    HookImportAs(plugin, "kernel32.dll", "CreateFileW", &TimedCreateFileW, realCreateFileW);
    HookImportAs(plugin, "kernel32.dll", "CloseHandle", &TimedCloseHandle, realCloseHandle);
}

void JournalMeasurement(DWORD articles, const std::wstring& outputFile)
{
    WIN32_FILE_ATTRIBUTE_DATA output = {};
    GetFileAttributesExW(outputFile.c_str(), GetFileExInfoStandard, &output);
    const ULONGLONG bytes = (ULONGLONG(output.nFileSizeHigh) << 32) | output.nFileSizeLow;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const double loop = boxAt - writingAt;
    Journal(L"measure: articles=" + std::to_wstring(articles) + L" bytes=" + std::to_wstring(bytes) +
            L" total=" + Seconds(boxAt - okAt) + L" start=" + Seconds(fillStartAt - okAt) + L" host-fill=" +
            Seconds(fillEndAt - fillStartAt) + L" ordering=" + Seconds(writingAt - fillEndAt) +
            L" articles-loop=" + Seconds(loop) + L" reading=" + Seconds(readingSeconds) + L" writing=" +
            Seconds(writingSeconds) + L" reads=" + std::to_wstring(reads) + L" read-bytes=" +
            std::to_wstring(readBytes) + L" plugin-peak-bytes=" + std::to_wstring(peakBytes) +
            L" process-peak-working-set=" + std::to_wstring(memory.PeakWorkingSetSize));
}

void JournalCopyFloor(const std::wstring& file)
{
    // The best of three: a copy just after the export competes with that export's writeback.
    double best = -1;
    ULONGLONG bytes = 0;
    for (int copy = 0; copy < 3; ++copy) {
        const double seconds = CopySeconds(file, bytes);
        if (seconds < 0) {
            Journal(L"error: the copy floor could not be measured");
            return;
        }
        if (best < 0 || seconds < best) best = seconds;
    }
    Journal(L"copy-floor: bytes=" + std::to_wstring(bytes) + L" seconds=" + Seconds(best));
}

void JournalJobFloor(const std::vector<ArticleSpan>& spans, HANDLE articleFile)
{
    LARGE_INTEGER fileBytes = {};
    if (!GetFileSizeEx(articleFile, &fileBytes) || fileBytes.QuadPart == 0) {
        Journal(L"error: the job floor could not be measured");
        return;
    }
    std::vector<ArticleSpan> order = spans;
    SortSpansBySize(order.data(), DWORD(order.size()));

    // A buffer of the article file's size; where the address space has no room for one piece that
    // large (a 1.5 GB file in a 32-bit process), the largest half, quarter and so on, and the
    // offsets taken modulo its size.
    constexpr DWORD kBlockBytes = 1u << 20;
    BYTE* block = TouchedMemory(kBlockBytes);
    SIZE_T bytes = SIZE_T(std::min<ULONGLONG>(ULONGLONG(fileBytes.QuadPart), MAXDWORD / 2 + 1));
    const double touchStart = Now();
    BYTE* buffer = block == nullptr ? nullptr : TouchedMemory(bytes);
    while (block != nullptr && buffer == nullptr && bytes > (64u << 20)) buffer = TouchedMemory(bytes /= 2);
    const double touch = Now() - touchStart;
    if (buffer == nullptr) {
        if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);  // our own region: nothing to report
        Journal(L"error: the job floor could not be measured");
        return;
    }
    const double gatherStart = Now();
    DWORD used = 0;
    for (const ArticleSpan& span : order) {
        const SIZE_T at = span.Offset % bytes;
        const DWORD size = DWORD(std::min<ULONGLONG>({span.Size, kBlockBytes, bytes - at}));
        if (size > kBlockBytes - used) used = 0;
        memcpy(block + used, buffer + at, size);
        used += size;
    }
    const double gather = Now() - gatherStart;
    VirtualFree(block, 0, MEM_RELEASE);  // our own regions: nothing to report
    VirtualFree(buffer, 0, MEM_RELEASE);
    Journal(L"job-floor: gather=" + Seconds(gather) + L" touch=" + Seconds(touch) + L" buffer-bytes=" +
            std::to_wstring(bytes));
}
