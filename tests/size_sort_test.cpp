// The size order: fast path against the literal exchange sort, named orders, and BuildSizeOrder's limits.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "export/size_order.h"
#include "export/size_sort.h"
#include "fake_record.h"
#include "state/module_state.h"

namespace {

std::vector<ArticleSpan> SpansOfSizes(const std::vector<uint32_t>& sizes)
{
    std::vector<ArticleSpan> spans;
    for (uint32_t i = 0; i < sizes.size(); ++i) spans.push_back({i * 100, sizes[i]});
    return spans;
}

std::vector<uint32_t> Offsets(const std::vector<ArticleSpan>& spans)
{
    std::vector<uint32_t> offsets;
    for (const ArticleSpan& span : spans) offsets.push_back(span.Offset / 100);
    return offsets;
}

std::vector<ArticleSpan> FastSorted(std::vector<ArticleSpan> spans)
{
    std::vector<char> scratch(FastSortScratchBytes(uint32_t(spans.size())));
    FastSortBySize(spans.data(), uint32_t(spans.size()), scratch.data());
    return spans;
}

TEST(SizeSort, FastPathMatchesExchangeSortOnRandomLists)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        const uint32_t count = random() % 41;
        std::vector<uint32_t> values(1 + random() % 6);
        for (uint32_t& value : values) {
            const uint32_t kind = random() % 4;
            value = kind == 0 ? 0 : kind == 1 ? 0xFFFFFFFFu : random() % 8;
        }
        std::vector<uint32_t> sizes;
        for (uint32_t i = 0; i < count; ++i) sizes.push_back(values[random() % values.size()]);

        std::vector<ArticleSpan> expected = SpansOfSizes(sizes);
        ExchangeSortBySize(expected.data(), count);
        const std::vector<ArticleSpan> actual = FastSorted(SpansOfSizes(sizes));
        ASSERT_EQ(Offsets(expected), Offsets(actual)) << "round " << round;
    }
}

TEST(SizeSort, FastPathMatchesExchangeSortOnLargerLists)
{
    std::mt19937 random(7);
    for (uint32_t count : {100u, 1000u, 3000u}) {
        for (uint32_t distinct : {1u, 2u, 16u, 1000u}) {
            std::vector<uint32_t> sizes;
            for (uint32_t i = 0; i < count; ++i) sizes.push_back(20 + random() % distinct);
            std::vector<ArticleSpan> expected = SpansOfSizes(sizes);
            ExchangeSortBySize(expected.data(), count);
            ASSERT_EQ(Offsets(expected), Offsets(FastSorted(SpansOfSizes(sizes))))
                << count << " spans, " << distinct << " sizes";
        }
    }
}

TEST(SizeSort, NamedOrders)
{
    struct Case {
        std::vector<uint32_t> sizes;
        std::vector<uint32_t> order;  // host positions, output order
    };
    const Case cases[] = {
        {{5, 5, 3}, {2, 1, 0}},  // ties carried past each other by a smaller entry: C, B, A
        {{7, 3}, {1, 0}},
        {{3, 7}, {0, 1}},
        {{4, 4, 4}, {0, 1, 2}},  // equal sizes alone are never exchanged
        {{9}, {0}},
        {{}, {}},
        {{0xFFFFFFFFu, 0, 0x80000000u}, {1, 2, 0}},  // sizes compare unsigned
    };
    for (const Case& c : cases) {
        std::vector<ArticleSpan> reference = SpansOfSizes(c.sizes);
        ExchangeSortBySize(reference.data(), uint32_t(reference.size()));
        EXPECT_EQ(c.order, Offsets(reference));
        EXPECT_EQ(c.order, Offsets(FastSorted(SpansOfSizes(c.sizes))));
    }
}

TEST(SizeSort, ScratchSizeRefusesWhatDoesNotFitIn32Bits)
{
    EXPECT_NE(0u, FastSortScratchBytes(1000000));
    EXPECT_EQ(0u, FastSortScratchBytes(0xFFFFFFFFu));
}

// The host's FillArticleSpans for the BuildSizeOrder tests: sizes from a list, in host order.
std::vector<uint32_t> hostSizes;
int fillCalls;

void __stdcall FillFromSizes(const BYTE*, ArticleSpan* spans)
{
    ++fillCalls;
    for (size_t i = 0; i < hostSizes.size(); ++i) spans[i] = {DWORD(i * 100), hostSizes[i]};
}

class BuildSizeOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(State.HostFunctions, 0, sizeof State.HostFunctions);
        State.HostFunctions[kFillArticleSpansSlot] = DWORD(reinterpret_cast<UINT_PTR>(&FillFromSizes));
        fillCalls = 0;
    }
    static constexpr int kFillArticleSpansSlot = 14 - 2;
};

TEST_F(BuildSizeOrderTest, CountsAndLists)
{
    struct Case {
        DWORD count;
        std::vector<uint32_t> sizes;
        bool listed;
        std::vector<uint32_t> order;
    };
    const Case cases[] = {
        {0, {}, false, {}},
        {1, {42}, true, {0}},  // a single article is still exported
        {3, {5, 5, 3}, true, {2, 1, 0}},
        {0x20000000u, {}, false, {}},  // count x 8 does not fit in 32 bits
    };
    for (const Case& c : cases) {
        hostSizes = c.sizes;
        FakeRecord record(L"X", c.count);
        const SizeOrder order = BuildSizeOrder(record.data());
        EXPECT_EQ(c.count, order.Count);
        ASSERT_EQ(c.listed, order.List != nullptr) << "count " << c.count;
        EXPECT_EQ(c.listed ? 1 : 0, fillCalls);
        fillCalls = 0;
        if (!order.List) continue;
        EXPECT_EQ(c.order, Offsets(std::vector<ArticleSpan>(order.List, order.List + order.Count)));
        EXPECT_TRUE(VirtualFree(order.List, 0, MEM_RELEASE));
    }
}

TEST_F(BuildSizeOrderTest, NoFillProcedureMeansNoList)
{
    State.HostFunctions[kFillArticleSpansSlot] = 0;
    FakeRecord record(L"X", 3);
    const SizeOrder order = BuildSizeOrder(record.data());
    EXPECT_EQ(nullptr, order.List);
    EXPECT_EQ(3u, order.Count);
}

}  // namespace
