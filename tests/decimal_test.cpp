// Decimal text of the total line.
#include <gtest/gtest.h>

#include <string>

#include "output/output_sink.h"

TEST(AppendDecimal, WritesDigitsWithoutNul)
{
    const std::pair<DWORD, std::wstring> cases[] = {
        {0, L"0"}, {7, L"7"}, {10, L"10"}, {3, L"3"}, {1000000, L"1000000"}, {4294967295u, L"4294967295"}};
    for (const auto& c : cases) {
        WCHAR buffer[16];
        wmemset(buffer, L'#', 16);
        WCHAR* end = AppendDecimal(c.first, buffer);
        EXPECT_EQ(c.second, std::wstring(buffer, end));
        EXPECT_EQ(L'#', *end) << "nothing written after the digits";
    }
}
