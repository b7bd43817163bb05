// Sorting a span list by size, smallest first, in the one order the plug-in has always produced.
#pragma once

#include <cstdint>

#include "host/article_span.h"

// The literal exchange sort: O(n^2), in place. It defines the tie order and is the fallback
// when no scratch memory can be had.
void ExchangeSortBySize(ArticleSpan* spans, uint32_t count);

// Bytes of scratch memory FastSortBySize needs for count spans; 0 when that does not fit in 32 bits.
uint32_t FastSortScratchBytes(uint32_t count);

// The same permutation as ExchangeSortBySize in O(n log n), using scratch of FastSortScratchBytes(count).
void FastSortBySize(ArticleSpan* spans, uint32_t count, void* scratch);
