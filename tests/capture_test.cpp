// Capturing the host's tables: copied words, read-through handles, and tables of odd lengths.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_tables.h"

namespace {

// A table of the given length word whose word k holds base + k, with words 3 and 4 pointing at
// the given host variables.
std::vector<DWORD> Table(DWORD length, DWORD base, DWORD size = 0)
{
    std::vector<DWORD> table(size ? size : (length < 2 ? 2 : length));
    for (DWORD k = 0; k < table.size(); ++k) table[k] = base + k;
    table[0] = length;
    return table;
}

TEST(CaptureHostTables, CopiesWordsTwoToLengthMinusOne)
{
    struct Case {
        DWORD length;
        DWORD copied;  // slots that hold table words; the rest must be 0
    };
    const Case cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {9, 7}, {19, 17}, {20, 18}, {21, 18}, {100, 18}};
    for (const Case& c : cases) {
        // An earlier, full capture must leave nothing behind.
        std::vector<DWORD> full = Table(20, 0x1000);
        full[3] = full[4] = 0;
        CaptureHostTables(full.data(), full.data());

        std::vector<DWORD> data = Table(c.length, 0x5000, 100);
        std::vector<DWORD> functions = Table(c.length, 0x7000, 100);
        data[3] = data[4] = 0;
        CaptureHostTables(data.data(), functions.data());
        for (DWORD slot = 0; slot < 18; ++slot) {
            const bool copied = slot < c.copied;
            const bool handle = slot == 1 || slot == 2;
            EXPECT_EQ(copied && !handle ? 0x5000 + slot + 2 : 0, State.HostData[slot])
                << c.length << "/" << slot;
            EXPECT_EQ(copied ? 0x7000 + slot + 2 : 0, State.HostFunctions[slot]) << c.length << "/" << slot;
        }
    }
}

TEST(CaptureHostTables, ReadsWindowHandlesThroughAtEveryCall)
{
    DWORD mainWindow = 0x1234, statusWindow = 0x5678;
    std::vector<DWORD> data = Table(9, 0);
    data[3] = DWORD(reinterpret_cast<UINT_PTR>(&mainWindow));
    data[4] = DWORD(reinterpret_cast<UINT_PTR>(&statusWindow));
    std::vector<DWORD> functions = Table(19, 0);

    CaptureHostTables(data.data(), functions.data());
    EXPECT_EQ(reinterpret_cast<HWND>(0x1234), HostMainWindow());
    EXPECT_EQ(reinterpret_cast<HWND>(0x5678), HostStatusWindow());

    mainWindow = 0x4321;  // the host changed its windows between two calls
    statusWindow = 0;
    CaptureHostTables(data.data(), functions.data());
    EXPECT_EQ(reinterpret_cast<HWND>(0x4321), HostMainWindow());
    EXPECT_EQ(nullptr, HostStatusWindow());
}

TEST(CaptureHostTables, MissingOrZeroHandleWordsGiveNoWindow)
{
    std::vector<DWORD> shortTable = Table(4, 0);  // word 3 copied, word 4 not
    shortTable[3] = 0;
    CaptureHostTables(shortTable.data(), nullptr);
    EXPECT_EQ(nullptr, HostMainWindow());
    EXPECT_EQ(nullptr, HostStatusWindow());
    EXPECT_EQ(nullptr, HostProcedure<StripTagsProc>(kStripTagsWord));
}

}  // namespace
