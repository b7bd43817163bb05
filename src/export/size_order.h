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

// Sorts spans by size in the exchange sort's order: fast when scratch memory can be had, and in
// batches when it cannot.
void SortSpansBySize(ArticleSpan* spans, DWORD count);

// The same order in batches as large as the host can spare, from half the list down, and through
// the small static area where none can be had; returns the batch used (0: the static area's).
DWORD SortSpansInBatches(ArticleSpan* spans, DWORD count);
