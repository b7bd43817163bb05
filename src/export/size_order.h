// The articles of a dictionary in size order, smallest first, as the host describes them.
#pragma once

#include <windows.h>

#include "host/article_span.h"

struct SizeOrder {
    ArticleSpan* List;  // committed virtual memory, released by the caller; null when none was made
    DWORD Count;        // the record's article count, with or without a list
};

// Has the host fill a span list for the record and sorts it by size.
SizeOrder BuildSizeOrder(const BYTE* record);

// Sorts spans by size in the exchange sort's order: by the fast path where its scratch memory can
// be had, else in batches, or by the exchange sort itself for a short list.
void SortSpansBySize(ArticleSpan* spans, DWORD count);
