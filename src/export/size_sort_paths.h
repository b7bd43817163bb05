// The size order's three paths one by one, for the tests and the benchmarks; a run takes the
// order through SortSpansBySize (size_order.h) alone, which picks the path.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/article_span.h"

// The literal exchange sort: O(n^2), in place. It defines the tie order and, for short lists,
// is the fallback when no scratch memory can be had.
void ExchangeSortBySize(ArticleSpan* spans, uint32_t count);

// Bytes of scratch memory FastSortBySize needs for count spans; 0 when that does not fit in 32 bits.
uint32_t FastSortScratchBytes(uint32_t count);

// The fast path: the same permutation as ExchangeSortBySize in O(n log n), using scratch of
// FastSortScratchBytes(count).
void FastSortBySize(ArticleSpan* spans, uint32_t count, void* scratch);

// The batched path: the same permutation in batches, for hosts that cannot spare the fast path's
// scratch: O(n log batch + n^2 / batch). With an area of BatchAreaBytes(count, batch) bytes, in batches of
// batch spans (at least 1); with a null area, through a static area of 128 KiB in batches of at most
// kStaticBatchSpans (0 or more: that many). Batches smaller than those are for tests.
constexpr uint32_t kStaticBatchSpans = 4096;
uint32_t BatchAreaBytes(uint32_t count, uint32_t batch);  // 0 when that does not fit in 32 bits
void BatchedSortBySize(ArticleSpan* spans, uint32_t count, uint32_t batch, void* area);

// The batched path in batches as large as the host can spare, from half the list down, and
// through the static area where none can be had; returns the batch used (0: the static area's).
DWORD BatchedSortInLargestArea(ArticleSpan* spans, DWORD count);

// The fast path's two ways of ordering the m entries of one size. Members are numbered 0..m-1 in
// host order; smallerBefore[k] is the number of smaller entries before member k in the host's
// list, smallerTotal the number in the whole list. out receives the member numbers in output
// order. Rotations need m words of ring and are fast when few smaller entries lie between
// equal ones; the insertion-index way is O(m log m) always, with m words at insertAt and
// m / 8 + 8 at slots.
void OrderSizeGroupByRotations(const uint32_t* smallerBefore, uint32_t count, uint32_t smallerTotal,
                               uint32_t* ring, uint32_t* out);
void OrderSizeGroupByInsertionIndex(const uint32_t* smallerBefore, uint32_t count, uint32_t smallerTotal,
                                    uint32_t* insertAt, uint32_t* slots, uint32_t* out);
