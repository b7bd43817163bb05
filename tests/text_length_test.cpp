// A text's length by words and by SSE2 blocks: every start within a block, every length near one,
// and a text that ends where its page does.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "output/text_length.h"

namespace {

using Way = DWORD (*)(const WCHAR*);

std::vector<Way> Ways()
{
    std::vector<Way> ways = {TextLength, TextLengthByWords};
    if (IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) ways.push_back(TextLengthBySse2);
    return ways;
}

TEST(TextLength, EveryStartAndLengthAroundABlock)
{
    alignas(16) WCHAR buffer[96];
    for (Way way : Ways()) {
        for (DWORD start = 0; start < 8; ++start) {
            for (DWORD length = 0; length < 40; ++length) {
                std::fill(buffer, buffer + 96, L'ж');  // no NUL before the start nor after the end
                buffer[start + length] = L'\0';
                buffer[start + length + 1] = L'\0';
                EXPECT_EQ(length, way(buffer + start)) << "start " << start << ", length " << length;
            }
        }
    }
}

TEST(TextLength, ATextEndingAtItsPagesEndReadsNoFurther)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    BYTE* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    WCHAR* text = reinterpret_cast<WCHAR*>(pages);
    const DWORD units = page / sizeof(WCHAR);
    std::fill(text, text + units, L'a');
    text[units - 1] = L'\0';
    for (Way way : Ways()) {
        for (DWORD start : {DWORD(0), units - 9, units - 2, units - 1})
            EXPECT_EQ(units - 1 - start, way(text + start));
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
