// The size order: fast path against the literal exchange sort, named orders, and BuildSizeOrder's limits.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "crowded_address_space.h"
#include "dictionary_record.h"
#include "export/size_order.h"
#include "export/size_sort_paths.h"
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

// Sorts with exactly the scratch the fast path asks for, and checks it wrote nothing past it.
std::vector<ArticleSpan> FastSorted(std::vector<ArticleSpan> spans)
{
    const uint32_t bytes = FastSortScratchBytes(uint32_t(spans.size()));
    std::vector<unsigned char> scratch(bytes + 64, 0xA5);
    FastSortBySize(spans.data(), uint32_t(spans.size()), scratch.data());
    for (uint32_t i = bytes; i < scratch.size(); ++i) {
        EXPECT_EQ(0xA5, scratch[i]) << "scratch overrun at byte " << i << " for " << spans.size() << " spans";
        if (scratch[i] != 0xA5) break;
    }
    return spans;
}

// In batches through the static area, or with hostArea through exactly the area a host would be
// asked for, checking it wrote nothing past it.
std::vector<ArticleSpan> SortedInBatches(std::vector<ArticleSpan> spans, uint32_t batch,
                                         bool hostArea = false)
{
    if (!hostArea) {
        BatchedSortBySize(spans.data(), uint32_t(spans.size()), batch, nullptr);
        return spans;
    }
    const uint32_t bytes = BatchAreaBytes(uint32_t(spans.size()), batch);
    std::vector<unsigned char> area(bytes + 64, 0xA5);
    BatchedSortBySize(spans.data(), uint32_t(spans.size()), batch, area.data());
    for (uint32_t i = bytes; i < area.size(); ++i) {
        EXPECT_EQ(0xA5, area[i]) << "batch area overrun at byte " << i << " for " << spans.size() << " spans";
        if (area[i] != 0xA5) break;
    }
    return spans;
}

// Batches of one, a few and more than the list, so that merges meet every kind of size: only in
// the ordered part, only in the batch, in both.
const uint32_t kSmallBatches[] = {1, 2, 3, 7, 64};

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
        for (uint32_t batch : kSmallBatches) {
            for (bool hostArea : {false, true}) {
                ASSERT_EQ(Offsets(expected), Offsets(SortedInBatches(SpansOfSizes(sizes), batch, hostArea)))
                    << "round " << round << ", batches of " << batch << (hostArea ? " in a host's area" : "");
            }
        }
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
            for (uint32_t batch : {7u, 100u, 0u}) {
                ASSERT_EQ(Offsets(expected), Offsets(SortedInBatches(SpansOfSizes(sizes), batch)))
                    << count << " spans, " << distinct << " sizes, batches of " << batch;
            }
            // Halves and quarters, as a host that refuses only the fast path's scratch gives them:
            // one size's members many enough for the free-slot map.
            for (uint32_t batch : {7u, (count + 3) / 4, (count + 1) / 2}) {
                ASSERT_EQ(Offsets(expected), Offsets(SortedInBatches(SpansOfSizes(sizes), batch, true)))
                    << count << " spans, " << distinct << " sizes, batches of " << batch
                    << " in a host's area";
            }
        }
    }
}

TEST(SizeSort, FastPathStaysInItsScratchOnLargeLists)
{
    std::mt19937 random(3);
    for (uint32_t count : {65536u, 200000u}) {
        for (uint32_t sizeRange : {3000u, 0xFFFFFFFFu}) {
            std::vector<uint32_t> sizes;
            for (uint32_t i = 0; i < count; ++i) sizes.push_back(random() % sizeRange);
            const std::vector<ArticleSpan> sorted = FastSorted(SpansOfSizes(sizes));
            for (uint32_t i = 1; i < count; ++i) ASSERT_LE(sorted[i - 1].Size, sorted[i].Size);
        }
    }
}

// Lists of many batches and of two, against the fast path: uniform sizes, heavy ties, one size,
// and sizes that need every bit.
TEST(SizeSort, BatchesMatchTheFastPathOnLargeLists)
{
    std::mt19937 random(11);
    for (uint32_t count : {20000u, 100000u}) {
        for (uint32_t sizeRange : {1u, 16u, 3000u, 0xFFFFFFFFu}) {
            std::vector<uint32_t> sizes;
            for (uint32_t i = 0; i < count; ++i)
                sizes.push_back(sizeRange == 16 ? 100 + 90 * (random() % 16) : random() % sizeRange);
            const std::vector<uint32_t> expected = Offsets(FastSorted(SpansOfSizes(sizes)));
            ASSERT_EQ(expected, Offsets(SortedInBatches(SpansOfSizes(sizes), 0)))
                << count << " spans, sizes below " << sizeRange;
            for (uint32_t batch : {kStaticBatchSpans, (count + 3) / 4, (count + 1) / 2}) {
                ASSERT_EQ(expected, Offsets(SortedInBatches(SpansOfSizes(sizes), batch, true)))
                    << count << " spans, sizes below " << sizeRange << ", batches of " << batch
                    << " in a host's area";
            }
        }
    }
}

// One size's members as the host would list them: member k with smallerBefore[k] smaller
// entries before it, and smallerTotal smaller entries in all. Returns the members' output order
// under the exchange sort.
std::vector<uint32_t> ReferenceGroupOrder(const std::vector<uint32_t>& smallerBefore, uint32_t smallerTotal)
{
    std::vector<uint32_t> sizes;
    uint32_t smaller = 0;
    for (uint32_t before : smallerBefore) {
        for (; smaller < before; ++smaller) sizes.push_back(1);
        sizes.push_back(2);
    }
    for (; smaller < smallerTotal; ++smaller) sizes.push_back(1);
    std::vector<ArticleSpan> spans = SpansOfSizes(sizes);
    ExchangeSortBySize(spans.data(), uint32_t(spans.size()));
    std::vector<uint32_t> memberOfPosition(sizes.size()), order;
    for (uint32_t position = 0, member = 0; position < sizes.size(); ++position) {
        if (sizes[position] == 2) memberOfPosition[position] = member++;
    }
    for (const ArticleSpan& span : spans) {
        if (span.Size == 2) order.push_back(memberOfPosition[span.Offset / 100]);
    }
    return order;
}

std::vector<uint32_t> RandomSmallerBefore(std::mt19937& random, uint32_t members, uint32_t maxGap,
                                          uint32_t& smallerTotal)
{
    std::vector<uint32_t> smallerBefore;
    uint32_t smaller = random() % (maxGap + 1);
    for (uint32_t k = 0; k < members; ++k) {
        smallerBefore.push_back(smaller);
        smaller += random() % (maxGap + 1);
    }
    smallerTotal = smaller;
    return smallerBefore;
}

struct GroupOrders {
    std::vector<uint32_t> byRotations, byInsertionIndex;
};

GroupOrders OrderGroupBothWays(const std::vector<uint32_t>& smallerBefore, uint32_t smallerTotal)
{
    const uint32_t m = uint32_t(smallerBefore.size());
    std::vector<uint32_t> room(m), slots(m / 8 + 8), out(m);
    GroupOrders orders;
    OrderSizeGroupByRotations(smallerBefore.data(), m, smallerTotal, room.data(), out.data());
    orders.byRotations = out;
    OrderSizeGroupByInsertionIndex(smallerBefore.data(), m, smallerTotal, room.data(), slots.data(),
                                   out.data());
    orders.byInsertionIndex = out;
    return orders;
}

TEST(SizeSort, BothWaysOfOrderingOneSizeMatchTheExchangeSort)
{
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const uint32_t members = 1 + random() % 60;
        const uint32_t maxGap = round % 3 == 0 ? 2 : round % 3 == 1 ? 20 : 200;
        uint32_t smallerTotal = 0;
        const std::vector<uint32_t> smallerBefore =
            RandomSmallerBefore(random, members, maxGap, smallerTotal);
        const std::vector<uint32_t> expected = ReferenceGroupOrder(smallerBefore, smallerTotal);
        const GroupOrders orders = OrderGroupBothWays(smallerBefore, smallerTotal);
        ASSERT_EQ(expected, orders.byRotations) << "round " << round;
        ASSERT_EQ(expected, orders.byInsertionIndex) << "round " << round;
    }
}

TEST(SizeSort, BothWaysOfOrderingOneSizeAgreeOnLargeSizes)
{
    std::mt19937 random(5);
    for (uint32_t members : {1000u, 5000u, 40000u}) {
        for (uint32_t maxGap : {0u, 3u, 100000u}) {
            uint32_t smallerTotal = 0;
            const std::vector<uint32_t> smallerBefore =
                RandomSmallerBefore(random, members, maxGap, smallerTotal);
            const GroupOrders orders = OrderGroupBothWays(smallerBefore, smallerTotal);
            ASSERT_EQ(orders.byRotations, orders.byInsertionIndex)
                << members << " members, gaps up to " << maxGap;
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

// Without the fast path's scratch the batches are as large as the host can spare: half the list
// where it can, less where it cannot, and the static area's where nothing can be had; the order
// is the same every way.
TEST(SizeSort, BatchesAreAsLargeAsTheHostCanSpare)
{
    std::mt19937 random(13);
    const uint32_t count = 100000;
    std::vector<uint32_t> sizes;
    for (uint32_t i = 0; i < count; ++i) sizes.push_back(100 + 90 * (random() % 16));
    const std::vector<uint32_t> expected = Offsets(FastSorted(SpansOfSizes(sizes)));
    struct Case {
        SIZE_T largest;  // the largest piece the host can spare
        DWORD batch;     // the batch used; 0 for the static area's
    };
    for (const Case c : {Case{SIZE_T(-1), 50000}, Case{BatchAreaBytes(count, 50000) - 1, 25000},
                         Case{BatchAreaBytes(count, 7000), 6250}, Case{4095, 0}}) {
        std::vector<ArticleSpan> spans = SpansOfSizes(sizes);
        DWORD batch;
        {
            const CrowdedAddressSpace space(c.largest);
            batch = BatchedSortInLargestArea(spans.data(), DWORD(spans.size()));
        }
        EXPECT_EQ(c.batch, batch) << "at most " << c.largest << " bytes";
        EXPECT_EQ(expected, Offsets(spans)) << "at most " << c.largest << " bytes";
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
        const std::vector<BYTE> record = EncodeDictionaryRecord(L"X", c.count, 0);
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
    const std::vector<BYTE> record = EncodeDictionaryRecord(L"X", 3, 0);
    const SizeOrder order = BuildSizeOrder(record.data());
    EXPECT_EQ(nullptr, order.List);
    EXPECT_EQ(3u, order.Count);
}

}  // namespace
