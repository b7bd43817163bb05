// Whether a read buffer pays on this machine, from what fresh memory and reading alone cost.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// What this machine charges, in seconds: the first touch of a MiB of fresh memory, and one seek
// and one read of an article on its own.
struct ReadPrices {
    double FreshMiB;
    double ArticleRead;
};

// A read buffer no larger than this is taken without asking what it costs.
constexpr ULONGLONG kReadBufferPricedAbove = 16u << 20;
constexpr ULONGLONG kReadBufferMost = 512u << 20;

// The read buffer's bytes for a list of count articles that would take wholeBytes in one window,
// where the host can spare hostBytes: as much as may be where the whole list's fresh memory costs
// less than reading its articles alone, else 0, one read per article.
ULONGLONG PlanReadBuffer(ULONGLONG wholeBytes, ULONGLONG hostBytes, DWORD count, const ReadPrices& prices);

// This machine's prices, from 1 MiB of fresh memory and the list's first articles read alone.
ReadPrices MeasureReadPrices(HANDLE file, const ArticleSpan* spans, DWORD count);

// A quarter of the address space the host has free now, and no more than kReadBufferMost.
ULONGLONG HostReadBufferBound();
