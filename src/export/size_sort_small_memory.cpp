// Sorting a span list by size in the exchange sort's order in batches, through a bounded area.
#include "export/size_sort_paths.h"

#include <algorithm>
#include <cstring>

#include "export/free_slots.h"

// The exchange order of the list's first i entries carries over to the first i + w: for each size,
// the order its entries have in the shorter list is where the rotations of that size's entries
// among the next w resume (see size_sort.cpp for the rotations). So the list is ordered in
// batches of w entries. Each batch is sorted by size in the batch area, counting for every
// entry the smaller entries before it in the batch; then the ordered part and the batch are
// merged from the back, one size at a time, in place. A size with no entry in the batch is only
// rotated by the batch's smaller entries; one with entries in the batch has them inserted where
// the rotations put them, their slots found by the same insertion-index reasoning as the fast
// path's, rebuilt last-inserted first.
//
// Each merge moves the ordered part once, so for n entries the merges cost O(n^2 / w) and the
// batches' sorts O(n log w). Placing a size's m members of a batch costs O(m^2) in a sorted list
// of taken slots, or O(m log n) in a free-slot map of the size's list: the map serves where the
// host's area holds one and m is large. A host that can spare an area for batches of n / 2 gets
// the order in O(n log n), where the static area's batches of 4,096 take minutes at 10^7 entries
// (32-bit build; docs/benchmarks.md).

namespace {

// A batch entry: the span, and one word that each stage of the batch reads as the last one wrote it.
struct BatchEntry {
    uint32_t Offset;
    uint32_t Size;
    union {
        uint32_t SmallerBefore;  // once the batch is sorted: the batch entries before it with a smaller size
        uint32_t Rank;           // while its size is merged: the rank it is inserted at
        uint32_t Slot;           // once placed: its slot in its size's merged list
    };
};

// A slot of a size's merged list taken by a batch entry, kept in slot order.
struct TakenSlot {
    uint32_t Slot;
    uint32_t Entry;
};

// The batch area: the batch, its merge sort's spare, the taken slots of the size being merged,
// and, in an area from the host, a free-slot map for the longest list of one size.
struct BatchArea {
    BatchEntry* entries;
    BatchEntry* spare;
    TakenSlot* taken;
    uint32_t* map;  // null in the static area
};

constexpr uint64_t kBatchEntryBytes = 2 * sizeof(BatchEntry) + sizeof(TakenSlot);

// Static, so this way needs nothing from a host that is short of memory.
BatchEntry staticEntries[kStaticBatchSpans], staticSpare[kStaticBatchSpans];
TakenSlot staticTaken[kStaticBatchSpans];

// A stable bottom-up merge sort by size of entries that counts, for each, the entries before it
// with a smaller size. Returns the array that holds the result.
BatchEntry* SortBatch(BatchEntry* entries, BatchEntry* spare, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) entries[i].SmallerBefore = 0;
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t low = 0; low < count; low += 2 * width) {
            const uint32_t middle = std::min(low + width, count), high = std::min(low + 2 * width, count);
            uint32_t left = low, right = middle, out = low, smaller = low;
            while (left < middle || right < high) {
                if (right == high || (left < middle && entries[left].Size <= entries[right].Size)) {
                    spare[out++] = entries[left++];
                    continue;
                }
                while (smaller < middle && entries[smaller].Size < entries[right].Size) ++smaller;
                spare[out] = entries[right++];
                spare[out++].SmallerBefore += smaller - low;
            }
        }
        std::swap(entries, spare);
    }
    return entries;
}

// Moves count spans to an address at or above their own, rotated left by shift on the way.
void MoveRotated(const ArticleSpan* from, uint32_t count, ArticleSpan* to, uint32_t shift)
{
    if (count == 0) return;
    if (to >= from + count) {
        memcpy(to, from + shift, (count - shift) * sizeof(ArticleSpan));
        memcpy(to + count - shift, from, shift * sizeof(ArticleSpan));
        return;
    }
    memmove(to, from, count * sizeof(ArticleSpan));
    std::rotate(to, to + shift, to + count);
}

// Index of the first taken slot whose free slots before it exceed rank: the rank-th free slot is
// then rank plus this index.
uint32_t TakenBelowFree(const TakenSlot* takenSlots, uint32_t taken, uint32_t rank)
{
    uint32_t low = 0, high = taken;
    while (low < high) {
        const uint32_t middle = (low + high) / 2;
        if (takenSlots[middle].Slot - middle <= rank) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// Gives each of count members (each holding its insertion rank) its slot among all, last-inserted
// first, each into the free slot of its rank; fills takenSlots with them in slot order.
void PlaceMembers(BatchEntry* members, uint32_t count, uint32_t all, const BatchArea& area)
{
    TakenSlot* const takenSlots = area.taken;
    // The map's set-up and tree steps cost more than the sorted list's moves for few members.
    if (area.map != nullptr && uint64_t(count) * count / 4 > all / 16 + 40ull * count) {
        FreeSlots free(area.map, all);
        for (uint32_t j = count; j-- > 0;) members[j].Slot = free.Take(members[j].Rank);
        // Once all are placed, a member's slot less the free slots before it is its place in slot order.
        for (uint32_t j = 0; j < count; ++j) {
            const uint32_t slot = members[j].Slot;
            takenSlots[slot - free.FreeBefore(slot)] = {slot, j};
        }
        return;
    }
    for (uint32_t taken = 0, j = count; j-- > 0; ++taken) {
        const uint32_t index = TakenBelowFree(takenSlots, taken, members[j].Rank);
        memmove(takenSlots + index + 1, takenSlots + index, (taken - index) * sizeof(TakenSlot));
        takenSlots[index] = {members[j].Rank + index, j};
    }
}

// Merges one size: kept entries of the ordered part (its order there, at from) and members from
// the batch (in host order, each with its smaller batch entries before it); smallerInBatch is the
// batch entries smaller than this size. The result fills to[0, kept + members).
void MergeSize(const ArticleSpan* from, uint32_t kept, BatchEntry* members, uint32_t count,
               uint32_t smallerInBatch, const BatchArea& area, ArticleSpan* to)
{
    const uint32_t all = kept + count;
    // Insertion ranks, in a frame where the kept entries hold ranks 0..kept-1 and the list starts
    // at the cut.
    uint32_t cut = 0, previous = 0;
    for (uint32_t j = 0; j < count; ++j) {
        const uint32_t length = kept + j;
        const uint32_t between = members[j].SmallerBefore - previous;
        previous = members[j].SmallerBefore;
        if (length > 0) cut = (cut + between % length) % length;
        members[j].Rank = cut++;
    }
    const uint32_t start = (cut + (smallerInBatch - previous) % all) % all;

    PlaceMembers(members, count, all, area);
    const TakenSlot* const takenSlots = area.taken;
    const uint32_t taken = count;

    // The kept entries fill the free slots in their order; the list reads from the start slot on.
    uint32_t takenBeforeStart = 0;
    while (takenBeforeStart < taken && takenSlots[takenBeforeStart].Slot < start) ++takenBeforeStart;
    ArticleSpan* keptInOrder = to + count;
    MoveRotated(from, kept, keptInOrder, start - takenBeforeStart);
    uint32_t nextKept = 0, placed = 0;
    for (uint32_t q = 0; q < all; ++q) {
        const uint32_t slot = start + q < all ? start + q : start + q - all;
        uint32_t index = takenBeforeStart + placed;
        if (index >= taken) index -= taken;
        if (placed < count && takenSlots[index].Slot == slot) {
            const BatchEntry& member = members[takenSlots[index].Entry];
            to[q] = {member.Offset, member.Size};
            ++placed;
        } else {
            to[q] = keptInOrder[nextKept++];  // read before written over: q trails it by the members to come
        }
    }
}

// Merges a sorted batch of count entries into the ordered first done spans, from the back.
void MergeBatch(ArticleSpan* spans, uint32_t done, BatchEntry* batch, uint32_t count, const BatchArea& area)
{
    uint32_t orderedEnd = done, batchEnd = count, write = done + count;
    while (batchEnd > 0) {  // below the batch's smallest size the ordered part stays where it is
        const uint32_t batchSize = batch[batchEnd - 1].Size;
        const uint32_t size =
            orderedEnd > 0 && spans[orderedEnd - 1].Size > batchSize ? spans[orderedEnd - 1].Size : batchSize;
        uint32_t orderedStart = orderedEnd, batchStart = batchEnd;
        while (orderedStart > 0 && spans[orderedStart - 1].Size == size) --orderedStart;
        while (batchStart > 0 && batch[batchStart - 1].Size == size) --batchStart;
        const uint32_t kept = orderedEnd - orderedStart, members = batchEnd - batchStart;
        ArticleSpan* to = spans + write - kept - members;
        if (members == 0) {
            MoveRotated(spans + orderedStart, kept, to, batchStart % kept);
        } else {
            MergeSize(spans + orderedStart, kept, batch + batchStart, members, batchStart, area, to);
        }
        write -= kept + members;
        orderedEnd = orderedStart;
        batchEnd = batchStart;
    }
}

}  // namespace

uint32_t BatchAreaBytes(uint32_t count, uint32_t batch)
{
    const uint64_t bytes = batch * kBatchEntryBytes + FreeSlots::MemoryWords(count) * sizeof(uint32_t);
    return bytes > 0xFFFFFFFFull ? 0 : uint32_t(bytes);
}

void BatchedSortBySize(ArticleSpan* spans, uint32_t count, uint32_t batch, void* memory)
{
    BatchArea area = {staticEntries, staticSpare, staticTaken, nullptr};
    if (memory != nullptr) {
        area.entries = static_cast<BatchEntry*>(memory);
        area.spare = area.entries + batch;
        area.taken = reinterpret_cast<TakenSlot*>(area.spare + batch);
        area.map = reinterpret_cast<uint32_t*>(area.taken + batch);
    } else if (batch == 0 || batch > kStaticBatchSpans) {
        batch = kStaticBatchSpans;
    }
    for (uint32_t done = 0; done < count;) {
        const uint32_t entries = std::min(batch, count - done);
        for (uint32_t j = 0; j < entries; ++j)
            area.entries[j] = {spans[done + j].Offset, spans[done + j].Size, 0};
        BatchEntry* sorted = SortBatch(area.entries, area.spare, entries);
        MergeBatch(spans, done, sorted, entries, area);
        done += entries;
    }
}
