// The read buffer's size as a choice from this machine's prices, for lists small and large.
#include <gtest/gtest.h>

#include <algorithm>

#include "crowded_address_space.h"
#include "export/article_reader_hooks.h"
#include "export/article_reader_plan.h"

namespace {

constexpr ULONGLONG kMiB = 1u << 20;
const ReadPrices kCheap = {0.39e-3, 1.0e-6};  // fresh pages as on one machine of ours
const ReadPrices kDear = {2.5e-3, 1.0e-6};    // and as on another
const ReadPrices kDearer = {4.0e-3, 1.0e-6};
const ReadPrices kCold = {2.5e-3, 20e-6};  // an article file read from disk

TEST(ReadBufferPlan, AllOrNothingByWhatFreshMemoryCostsAgainstReadsAlone)
{
    struct Case {
        const char* what;
        ULONGLONG whole, host;
        DWORD count;
        ReadPrices prices;
        ULONGLONG expected;
    };
    const Case cases[] = {
        {"a small list, however dear its memory", 8 * kMiB, 512 * kMiB, 100000, kDearer, 8 * kMiB},
        {"a small list, a host with less to spare", 8 * kMiB, 2 * kMiB, 100000, kCheap, 2 * kMiB},
        {"FreeDict, cheap pages", 163 * kMiB, 512 * kMiB, 464228, kCheap, 163 * kMiB},
        {"FreeDict, dear pages", 163 * kMiB, 512 * kMiB, 464228, kDear, 163 * kMiB},
        {"FreeDict, pages dearer than its reads", 163 * kMiB, 512 * kMiB, 464228, kDearer, 0},
        {"FreeDict, dearer pages but a cold file", 163 * kMiB, 512 * kMiB, 464228, kCold, 163 * kMiB},
        {"FreeDict, a host with little address space", 163 * kMiB, 24 * kMiB, 464228, kCheap, 24 * kMiB},
        {"10^6 articles in 1.6 GiB, cheap pages", 1638 * kMiB, 512 * kMiB, 1000000, kCheap, 512 * kMiB},
        {"10^6 articles in 1.6 GiB, dear pages", 1638 * kMiB, 512 * kMiB, 1000000, kDear, 0},
        {"no prices told", 163 * kMiB, 512 * kMiB, 464228, {0, 0}, 163 * kMiB},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, PlanReadBuffer(c.whole, c.host, c.count, c.prices)) << c.what;
    }
}

// What the host can spare is a quarter of what the system counts free, 512 MiB at most, on every
// system: where GlobalMemoryStatusEx is missing, as on NT 4.0, GlobalMemoryStatus counts it.
TEST(ReadBufferPlan, TheHostSparesAQuarterOfItsFreeAddressSpace)
{
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    const double quarter = double(std::min<ULONGLONG>(status.dwAvailVirtual / 4, 512 * kMiB));
    EXPECT_NEAR(quarter, double(HostReadBufferBound()), double(kMiB));
    {
        const CrowdedAddressSpace space(SIZE_T(-1), 24 * kMiB);
        EXPECT_EQ(6 * kMiB, HostReadBufferBound()) << "as the system reports it";
    }
    {
        const CrowdedAddressSpace space(SIZE_T(-1), 24 * kMiB, true);
        EXPECT_NEAR(quarter, double(HostReadBufferBound()), double(kMiB)) << "without GlobalMemoryStatusEx";
    }
}

}  // namespace

namespace {

// A read buffer for part of the list gives most of its bytes to the room, whatever its size.
TEST(ReadBufferPlan, ARoomTakesMostOfItsBufferAtEverySize)
{
    EXPECT_EQ(0u, ReadWindowRoomWithin(4096)) << "too small for a window";
    for (DWORD bytes : {DWORD(16) << 10, DWORD(1) << 20, DWORD(32) << 20, DWORD(64) << 20, DWORD(512) << 20,
                        DWORD(MAXDWORD)}) {
        const DWORD room = ReadWindowRoomWithin(bytes);
        EXPECT_LE(ULONGLONG(room) + ULONGLONG(room / 128 + 64) * 20, bytes)
            << bytes << ": keys and places fit beside it";
        EXPECT_GE(room, bytes / 8 * 6) << bytes;
    }
}

}  // namespace
