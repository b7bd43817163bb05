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

TEST(ContractWordDeathTest, AnAddressBeyondFourGigabytesStopsTheHostWithStatusTwo)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "every address fits in a 32-bit build";
    const UINT_PTR beyond = UINT_PTR(ULONGLONG(MAXDWORD) + 1);
    EXPECT_EXIT(ContractAddress(reinterpret_cast<void*>(beyond), L"x"), ::testing::ExitedWithCode(2), "");
    EXPECT_EXIT(ContractHandle(reinterpret_cast<HANDLE>(beyond), L"x"), ::testing::ExitedWithCode(2), "");
}

}  // namespace
