// Sorting a span list by size: the literal exchange sort and a fast path that yields the same order.
#include "export/size_sort.h"

#include <cstring>

void ExchangeSortBySize(ArticleSpan* spans, uint32_t count)
{
    if (count < 2) return;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        for (uint32_t j = i + 1; j < count; ++j) {
            if (spans[i].Size <= spans[j].Size) continue;
            const ArticleSpan held = spans[i];
            spans[i] = spans[j];
            spans[j] = held;
        }
    }
}

// How the exchange sort orders ties, and so what the fast path rebuilds: distinct sizes end
// ascending, and the entries of one size v (host positions p1 < ... < pm) end in an order that
// depends only on how many smaller entries lie between and after them. With g_k smaller entries
// between p_k and p_(k+1), and g_m after p_m: start with X = [p1]; for each next p_k rotate X
// left by g_(k-1) (modulo its length) and append p_k; at the end rotate X left by g_m.
//
// A rotation only moves the cut point of a cyclic list, and an append inserts just before the
// cut, so the insertion index of every entry follows from lengths and counts alone. The final
// list is then rebuilt offline: entries placed last-inserted first, each into the free slot of
// its insertion rank, found in a Fenwick tree over free slots.
//
// Scratch layout, for n spans: two key arrays of n 64-bit words (size in the high half, host
// position in the low half) for the radix sort, which also hold a copy of the spans afterwards;
// then n words of ranks (later the smaller-before counts), n words of insertion indices and
// n + 1 words of Fenwick tree.

namespace {

const int kDigitBits[3] = {11, 11, 10};
const int kDigitShift[3] = {32, 43, 54};
const uint32_t kBuckets = 1u << 11;

// Stable LSD radix sort of keys by their high 32 bits; returns the buffer that holds the result.
uint64_t* RadixSortByHighHalf(uint64_t* keys, uint64_t* spare, uint32_t n)
{
    static uint32_t histogram[3][kBuckets];
    memset(histogram, 0, sizeof histogram);
    for (uint32_t i = 0; i < n; ++i) {
        for (int d = 0; d < 3; ++d) {
            ++histogram[d][(keys[i] >> kDigitShift[d]) & ((1u << kDigitBits[d]) - 1)];
        }
    }
    for (int d = 0; d < 3; ++d) {
        const uint32_t mask = (1u << kDigitBits[d]) - 1;
        uint32_t* counts = histogram[d];
        if (counts[(keys[0] >> kDigitShift[d]) & mask] == n) continue;  // digit alike in every key
        uint32_t sum = 0;
        for (uint32_t b = 0; b <= mask; ++b) {
            const uint32_t c = counts[b];
            counts[b] = sum;
            sum += c;
        }
        for (uint32_t i = 0; i < n; ++i) spare[counts[(keys[i] >> kDigitShift[d]) & mask]++] = keys[i];
        uint64_t* sorted = spare;
        spare = keys;
        keys = sorted;
    }
    return keys;
}

uint32_t FenwickPrefix(const uint32_t* tree, uint32_t index)
{
    uint32_t sum = 0;
    for (; index > 0; index &= index - 1) sum += tree[index];
    return sum;
}

void FenwickAdd(uint32_t* tree, uint32_t size, uint32_t index)
{
    for (; index <= size; index += index & (0u - index)) ++tree[index];
}

// The free slots of one size's output list: a bitmap of 32-slot words (set = free) and a
// Fenwick tree of free counts per word, padded to a power of two so that a search needs no
// bounds check. Both stay small enough to live in the first-level cache.
struct FreeSlots {
    uint32_t* bits;
    uint32_t* tree;  // 1-based, words entries
    uint32_t words;  // a power of two
};

uint32_t PopCount(uint32_t x)
{
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    return (((x + (x >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}

FreeSlots MakeFreeSlots(uint32_t* memory, uint32_t slots)
{
    uint32_t words = 1;
    while (words * 32 < slots) words *= 2;
    FreeSlots free = {memory, memory + words, words};
    for (uint32_t w = 0; w < words; ++w) {
        const uint32_t first = w * 32;
        free.bits[w] = first >= slots ? 0 : slots - first >= 32 ? 0xFFFFFFFFu : (1u << (slots - first)) - 1;
    }
    for (uint32_t i = 1; i <= words; ++i) free.tree[i] = PopCount(free.bits[i - 1]);
    for (uint32_t i = 1; i <= words; ++i) {
        const uint32_t parent = i + (i & (0u - i));
        if (parent <= words) free.tree[parent] += free.tree[i];
    }
    return free;
}

// Takes the free slot of the given 0-based rank; returns its index.
uint32_t TakeFreeSlot(FreeSlots& free, uint32_t rank)
{
    uint32_t word = 0;
    for (uint32_t step = free.words; step > 0; step >>= 1) {
        const uint32_t below = free.tree[word + step];
        const bool past = below <= rank;  // branch-free: the outcome is a coin toss
        word += past ? step : 0;
        rank -= past ? below : 0;
    }
    uint32_t bits = free.bits[word];
    for (; rank > 0; --rank) bits &= bits - 1;
    const uint32_t bit = uint32_t(__builtin_ctz(bits));
    free.bits[word] &= ~(1u << bit);
    for (uint32_t i = word + 1; i <= free.words; i += i & (0u - i)) --free.tree[i];
    return word * 32 + bit;
}

// Reduces a cut point modulo a list length; most steps need no division.
uint32_t Wrap(uint64_t position, uint32_t length)
{
    return uint32_t(position < length ? position : position % length);
}

// Places the m entries of one size (host positions ascending in group) at out[0..m-1].
void OrderOneSize(const uint64_t* group, uint32_t m, uint32_t smallerTotal, const uint32_t* smallerBefore,
                  const ArticleSpan* original, uint32_t* insertAt, uint32_t* tree, ArticleSpan* out)
{
    uint32_t cut = 0;
    insertAt[0] = 0;
    for (uint32_t k = 1; k < m; ++k) {
        const uint32_t between = smallerBefore[uint32_t(group[k])] - smallerBefore[uint32_t(group[k - 1])];
        cut = Wrap(uint64_t(cut) + between, k);
        insertAt[k] = cut;
        ++cut;
    }
    const uint32_t after = smallerTotal - smallerBefore[uint32_t(group[m - 1])];
    cut = Wrap(uint64_t(cut) + after, m);

    FreeSlots free = MakeFreeSlots(tree, m);
    for (uint32_t k = m; k-- > 0;) {
        const uint32_t slot = TakeFreeSlot(free, insertAt[k]);
        out[slot >= cut ? slot - cut : slot + m - cut] = original[uint32_t(group[k])];
    }
}

}  // namespace

uint32_t FastSortScratchBytes(uint32_t count)
{
    const uint64_t bytes = uint64_t(count) * 28 + 4;
    return bytes > 0xFFFFFFFFull ? 0 : uint32_t(bytes);
}

void FastSortBySize(ArticleSpan* spans, uint32_t count, void* scratch)
{
    if (count < 2) return;
    const uint32_t n = count;
    uint64_t* keys = static_cast<uint64_t*>(scratch);
    uint64_t* spare = keys + n;
    uint32_t* rank = reinterpret_cast<uint32_t*>(spare + n);
    uint32_t* insertAt = rank + n;
    uint32_t* tree = insertAt + n;

    for (uint32_t i = 0; i < n; ++i) keys[i] = (uint64_t(spans[i].Size) << 32) | i;
    const uint64_t* sorted = RadixSortByHighHalf(keys, spare, n);
    ArticleSpan* original = reinterpret_cast<ArticleSpan*>(sorted == keys ? spare : keys);
    memcpy(original, spans, size_t(n) * sizeof(ArticleSpan));

    // Dense size ranks by host position, then for each entry the number of smaller entries before it.
    uint32_t ranks = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (i > 0 && (sorted[i] >> 32) != (sorted[i - 1] >> 32)) ++ranks;
        rank[uint32_t(sorted[i])] = ranks;
    }
    ++ranks;
    if (ranks == n) {  // no ties: the order is the sorted order
        for (uint32_t i = 0; i < n; ++i) spans[i] = original[uint32_t(sorted[i])];
        return;
    }
    memset(tree, 0, (size_t(ranks) + 1) * sizeof(uint32_t));
    uint32_t* smallerBefore = rank;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t r = rank[i];
        smallerBefore[i] = FenwickPrefix(tree, r);
        FenwickAdd(tree, ranks, r + 1);
    }

    for (uint32_t start = 0; start < n;) {
        uint32_t end = start + 1;
        while (end < n && (sorted[end] >> 32) == (sorted[start] >> 32)) ++end;
        OrderOneSize(sorted + start, end - start, start, smallerBefore, original, insertAt, tree, spans + start);
        start = end;
    }
}
