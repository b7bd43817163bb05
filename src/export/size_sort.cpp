// Sorting a span list by size: the literal exchange sort and a fast path that yields the same order.
#include "export/size_sort_paths.h"

#include <cstring>

#include "export/free_slots.h"

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
// ascending, and the entries of one size (host positions p1 < ... < pm) end in an order that
// depends only on how many smaller entries lie between and after them. With g_k smaller entries
// between p_k and p_(k+1), and g_m after p_m: start with X = [p1]; for each next p_k rotate X
// left by g_(k-1) (modulo its length) and append p_k; at the end rotate X left by g_m.
//
// The fast path ranks the sizes (from a histogram, or a radix sort where sizes are wide), places
// the spans in size order while a Fenwick tree over the ranks counts for every entry the smaller
// entries before it, and then plays the rotations of each size. A rotation moves the first d entries behind
// the last, which in a circular buffer is one copy of d entries: cheap while the rotations are short, as they
// are when there are few distinct sizes. Where the rotations would copy too much, the same order is rebuilt
// from the insertion index of every entry, last-inserted first, each into the free slot of its rank.

namespace {

// Radix digits are as wide as the list is long: a histogram much wider than the list would cost
// more than the pass it saves.
uint32_t WidestDigitBits(uint32_t n)
{
    return n >= (1u << 16) ? 16 : n >= (1u << 12) ? 12 : 8;
}

// Scratch words for n spans: group starts or radix order (n + 1), radix spare and later the
// output order (n), the spans in sorted order (2n), the size rank of every position (n), the
// smaller-before counts in sorted order (n), a Fenwick tree or a ring (n + 1), and an extra
// area for a histogram and later the free-slot bitmap of one size.
uint64_t ExtraWords(uint32_t n)
{
    const uint64_t slots = n / 8 + 8;
    const uint64_t histogram = 1u << WidestDigitBits(n);
    return slots > histogram ? slots : histogram;
}

uint64_t ScratchWords(uint32_t n)
{
    return 7ull * n + 2 + ExtraWords(n);
}

// The dense size rank of every host position (0 for the smallest size); returns the number of
// distinct sizes. Where one histogram covers every size, ranks come straight from it; else an
// LSD radix sort of positions, skipping digits alike in every size, orders them first. order
// and spare are n words each.
uint32_t RankSizes(const ArticleSpan* spans, uint32_t n, uint32_t* rank, uint32_t* order, uint32_t* spare,
                   uint32_t* histogram)
{
    uint32_t allBits = 0, differentBits = 0;
    for (uint32_t i = 0; i < n; ++i) {
        allBits |= spans[i].Size;
        differentBits |= spans[i].Size ^ spans[0].Size;
    }
    if (differentBits == 0) return 1;
    uint32_t sizeBits = 0;
    while (sizeBits < 32 && (allBits >> sizeBits) != 0) ++sizeBits;
    const uint32_t widest = WidestDigitBits(n);
    const uint32_t passes = (sizeBits + widest - 1) / widest;
    const uint32_t digitBits = (sizeBits + passes - 1) / passes;
    const uint32_t buckets = 1u << digitBits;

    if (passes == 1) {
        memset(histogram, 0, buckets * sizeof(uint32_t));
        for (uint32_t i = 0; i < n; ++i) histogram[spans[i].Size] = 1;
        uint32_t ranks = 0;
        for (uint32_t b = 0; b < buckets; ++b) {
            const uint32_t used = histogram[b];
            histogram[b] = ranks;
            ranks += used;
        }
        for (uint32_t i = 0; i < n; ++i) rank[i] = histogram[spans[i].Size];
        return ranks;
    }

    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    for (uint32_t pass = 0; pass < passes; ++pass) {
        const uint32_t shift = pass * digitBits;
        memset(histogram, 0, buckets * sizeof(uint32_t));
        for (uint32_t i = 0; i < n; ++i) ++histogram[(spans[i].Size >> shift) & (buckets - 1)];
        if (histogram[(spans[0].Size >> shift) & (buckets - 1)] == n) continue;  // alike in every size
        uint32_t sum = 0;
        for (uint32_t b = 0; b < buckets; ++b) {
            const uint32_t c = histogram[b];
            histogram[b] = sum;
            sum += c;
        }
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t position = order[i];
            spare[histogram[(spans[position].Size >> shift) & (buckets - 1)]++] = position;
        }
        uint32_t* sorted = spare;
        spare = order;
        order = sorted;
    }
    uint32_t ranks = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (i > 0 && spans[order[i]].Size != spans[order[i - 1]].Size) ++ranks;
        rank[order[i]] = ranks;
    }
    return ranks + 1;
}

// Copies the spans into size order, stable, and gives each its count of smaller entries before
// it in the host's list: one pass in host order that feeds a Fenwick tree over size ranks.
// next has ranks + 1 words; tree too.
void PlaceBySize(const ArticleSpan* spans, uint32_t n, const uint32_t* rank, uint32_t ranks, uint32_t* next,
                 uint32_t* tree, ArticleSpan* sorted, uint32_t* smallerBefore)
{
    memset(next, 0, (size_t(ranks) + 1) * sizeof(uint32_t));
    for (uint32_t i = 0; i < n; ++i) ++next[rank[i] + 1];
    for (uint32_t r = 1; r <= ranks; ++r) next[r] += next[r - 1];
    memset(tree, 0, (size_t(ranks) + 1) * sizeof(uint32_t));
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t r = rank[i];
        const uint32_t slot = next[r]++;
        sorted[slot] = spans[i];
        uint32_t smaller = 0;
        for (uint32_t index = r; index > 0; index &= index - 1) smaller += tree[index];
        for (uint32_t index = r + 1; index <= ranks; index += index & (0u - index)) ++tree[index];
        smallerBefore[slot] = smaller;
    }
}

// Reduces a count modulo a list length; most steps need no division.
uint32_t Wrap(uint32_t value, uint32_t length)
{
    return value < length ? value : value % length;
}

// The entries of one size, members 0..count-1 in host order, by the number of smaller entries
// before each of them in the host's list.
struct SizeGroup {
    const uint32_t* smallerBefore;
    uint32_t count;
    uint32_t smallerTotal;  // entries smaller than this size in the whole list

    uint32_t Between(uint32_t k) const  // smaller entries between member k - 1 and member k
    {
        return smallerBefore[k] - smallerBefore[k - 1];
    }
    uint32_t After() const
    {
        return smallerTotal - smallerBefore[count - 1];
    }
};

// Copies count entries of a circular buffer from one index to another, in chunks that do not
// wrap. Front first suits a destination behind the source, back first one ahead of it. The
// chunks are mostly a few words long, too short to pay for a call to memmove.
void CopyCircular(uint32_t* ring, uint32_t capacity, uint32_t from, uint32_t to, uint32_t count,
                  bool backFirst)
{
    if (backFirst) {
        from = from + count > capacity ? from + count - capacity : from + count;
        to = to + count > capacity ? to + count - capacity : to + count;
    }
    while (count > 0) {
        uint32_t chunk = count;
        if (backFirst) {
            if (chunk > from) chunk = from;
            if (chunk > to) chunk = to;
            from -= chunk;
            to -= chunk;
            for (uint32_t i = chunk; i-- > 0;) ring[to + i] = ring[from + i];
            if (from == 0) from = capacity;
            if (to == 0) to = capacity;
        } else {
            if (chunk > capacity - from) chunk = capacity - from;
            if (chunk > capacity - to) chunk = capacity - to;
            for (uint32_t i = 0; i < chunk; ++i) ring[to + i] = ring[from + i];
            from = from + chunk == capacity ? 0 : from + chunk;
            to = to + chunk == capacity ? 0 : to + chunk;
        }
        count -= chunk;
    }
}

// The list of the first k entries lives in a circular buffer of m words from head on. A left
// rotation by d moves the first d entries behind the last, or, when that is shorter, the last
// k - d entries before the first.
uint32_t RotateLeft(uint32_t* ring, uint32_t m, uint32_t head, uint32_t k, uint32_t d)
{
    if (d <= k - d) {
        const uint32_t tail = head + k >= m ? head + k - m : head + k;
        CopyCircular(ring, m, head, tail, d, false);
        return head + d >= m ? head + d - m : head + d;
    }
    const uint32_t back = k - d;
    const uint32_t from = head + d >= m ? head + d - m : head + d;
    const uint32_t newHead = head >= back ? head - back : head + m - back;
    CopyCircular(ring, m, from, newHead, back, true);
    return newHead;
}

// Plays the rotations in a circular buffer of m members; out receives the final order.
void OrderByRotations(const SizeGroup& group, uint32_t* ring, uint32_t* out)
{
    const uint32_t m = group.count;
    uint32_t head = 0;
    ring[0] = 0;
    for (uint32_t k = 1; k < m; ++k) {  // the list holds k entries
        head = RotateLeft(ring, m, head, k, Wrap(group.Between(k), k));
        ring[head + k >= m ? head + k - m : head + k] = k;
    }
    head = (head + Wrap(group.After(), m)) % m;
    memcpy(out, ring + head, (m - head) * sizeof(uint32_t));
    memcpy(out + (m - head), ring, head * sizeof(uint32_t));
}

// The same order as OrderByRotations in O(m log m) whatever the rotations: a rotation only
// moves the cut point of a cyclic list and an append inserts just before it, so every entry's
// insertion index follows from the counts; the list is then rebuilt offline.
void OrderByInsertionIndex(const SizeGroup& group, uint32_t* insertAt, uint32_t* slots, uint32_t* out)
{
    const uint32_t m = group.count;
    uint32_t cut = 0;
    insertAt[0] = 0;
    for (uint32_t k = 1; k < m; ++k) {
        cut = Wrap(cut + Wrap(group.Between(k), k), k);
        insertAt[k] = cut++;
    }
    cut = Wrap(cut + Wrap(group.After(), m), m);

    FreeSlots free(slots, m);
    for (uint32_t k = m; k-- > 0;) {
        const uint32_t slot = free.Take(insertAt[k]);
        out[slot >= cut ? slot - cut : slot + m - cut] = k;
    }
}

// Entries the rotations of a group would copy; stops counting once past the limit.
uint64_t RotationCost(const SizeGroup& group, uint64_t limit)
{
    uint64_t cost = 0;
    for (uint32_t k = 1; k < group.count && cost <= limit; ++k) {
        const uint32_t d = Wrap(group.Between(k), k);
        cost += d <= k - d ? d : k - d;
    }
    return cost;
}

}  // namespace

uint32_t FastSortScratchBytes(uint32_t count)
{
    const uint64_t bytes = ScratchWords(count) * sizeof(uint32_t);
    return bytes > 0xFFFFFFFFull ? 0 : uint32_t(bytes);
}

void OrderSizeGroupByRotations(const uint32_t* smallerBefore, uint32_t count, uint32_t smallerTotal,
                               uint32_t* ring, uint32_t* out)
{
    OrderByRotations({smallerBefore, count, smallerTotal}, ring, out);
}

void OrderSizeGroupByInsertionIndex(const uint32_t* smallerBefore, uint32_t count, uint32_t smallerTotal,
                                    uint32_t* insertAt, uint32_t* slots, uint32_t* out)
{
    OrderByInsertionIndex({smallerBefore, count, smallerTotal}, insertAt, slots, out);
}

void FastSortBySize(ArticleSpan* spans, uint32_t count, void* scratch)
{
    if (count < 2) return;
    const uint32_t n = count;
    uint32_t* next = static_cast<uint32_t*>(scratch);
    uint32_t* out = next + n + 1;
    ArticleSpan* sorted = reinterpret_cast<ArticleSpan*>(out + n);
    uint32_t* rank = reinterpret_cast<uint32_t*>(sorted + n);
    uint32_t* smallerBefore = rank + n;
    uint32_t* room = smallerBefore + n;
    uint32_t* extra = room + n + 1;

    const uint32_t ranks = RankSizes(spans, n, rank, next, out, extra);
    if (ranks == 1) return;  // one size only: the exchange sort moves nothing
    PlaceBySize(spans, n, rank, ranks, next, room, sorted, smallerBefore);

    for (uint32_t start = 0; start < n;) {
        uint32_t end = start + 1;
        while (end < n && sorted[end].Size == sorted[start].Size) ++end;
        const uint32_t m = end - start;
        const SizeGroup group = {smallerBefore + start, m, start};
        // Copies within a buffer that stays in the cache cost far less than tree steps.
        if (RotationCost(group, 64ull * m) <= 64ull * m) {
            OrderByRotations(group, room, out);
        } else {
            OrderByInsertionIndex(group, room, extra, out);
        }
        for (uint32_t i = 0; i < m; ++i) spans[start + i] = sorted[start + out[i]];
        start = end;
    }
}
