// Measures what the platform charges for the three things a windowed export is made of: fresh
// pages of a read buffer, a pass over a cached article file, and one seek and one read.
// Usage: bench_platform FILE MEBIBYTES — FILE is created, used and deleted.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "seconds.h"

namespace {

constexpr DWORD kBlockBytes = 1u << 20;
constexpr DWORD kArticleBytes = 336;  // the real dictionary's average article
constexpr DWORD kPairs = 100000;

// Seconds per MiB to commit fresh memory and touch each page once, as a read buffer is.
double FreshPageSeconds(DWORD mebibytes)
{
    const SIZE_T bytes = SIZE_T(mebibytes) << 20;
    const double start = Seconds();
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (region == nullptr) return -1;
    for (SIZE_T at = 0; at < bytes; at += 4096) region[at] = 1;
    const double seconds = Seconds() - start;
    VirtualFree(region, 0, MEM_RELEASE);  // our own region: nothing to report
    return seconds / mebibytes;
}

// Reads the whole file from the start in blocks; false on any failure.
bool ReadPass(HANDLE file, BYTE* block)
{
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return false;
    DWORD got = 0;
    do {
        if (!ReadFile(file, block, kBlockBytes, &got, nullptr)) return false;
    } while (got == kBlockBytes);
    return true;
}

// Seconds per seek-and-read pair of one average article at scattered offsets.
double PairSeconds(HANDLE file, DWORD fileBytes, BYTE* block)
{
    DWORD seed = 1, got = 0;
    const double start = Seconds();
    for (DWORD i = 0; i < kPairs; ++i) {
        seed = seed * 1103515245u + 12345u;
        const DWORD offset = seed % (fileBytes - kArticleBytes);
        if (SetFilePointer(file, LONG(offset), nullptr, FILE_BEGIN) != offset) return -1;
        if (!ReadFile(file, block, kArticleBytes, &got, nullptr)) return -1;
    }
    return (Seconds() - start) / kPairs;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: bench_platform FILE MEBIBYTES\n");
        return 2;
    }
    const DWORD mebibytes = DWORD(atoi(argv[2]));
    static BYTE block[kBlockBytes];
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE || mebibytes == 0 || mebibytes > 2000) {
        fprintf(stderr, "bench_platform: cannot create %s of %lu MiB\n", argv[1], (unsigned long)mebibytes);
        return 2;
    }
    DWORD written = 0;
    bool ok = true;
    for (DWORD i = 0; ok && i < mebibytes; ++i) {
        block[i % kBlockBytes] = BYTE(i);
        ok = WriteFile(file, block, kBlockBytes, &written, nullptr) && written == kBlockBytes;
    }
    ok = ok && ReadPass(file, block);  // the first pass brings the file into the cache
    const double passStart = Seconds();
    ok = ok && ReadPass(file, block);
    const double pass = Seconds() - passStart;
    const double pair = ok ? PairSeconds(file, mebibytes << 20, block) : -1;
    const double fresh = FreshPageSeconds(16);
    CloseHandle(file);  // deletes it; nothing more to learn from the result
    if (!ok || pair < 0 || fresh < 0) {
        fprintf(stderr, "bench_platform: a call failed\n");
        return 1;
    }
    printf("fresh-page-ms-per-mib=%.2f pass-seconds=%.4f pass-mib=%lu seek-read-us=%.2f\n", fresh * 1000,
           pass, (unsigned long)mebibytes, pair * 1e6);
    return 0;
}
