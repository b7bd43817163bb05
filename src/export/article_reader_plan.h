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

// The read buffer's bytes for a list of count articles that would take wholeBytes in one window,
// where the host can spare hostBytes: as much as may be where the whole list's fresh memory costs
// less than reading its articles alone, else 0, one read per article; without asking what it
// costs up to 16 MiB.
ULONGLONG PlanReadBuffer(ULONGLONG wholeBytes, ULONGLONG hostBytes, DWORD count, const ReadPrices& prices);

// What the host can spare now: a quarter of its free address space, no more than 512 MiB.
ULONGLONG HostReadBufferBound();

// The plan for this host and this machine: what the host can spare now, at the prices measured
// on 1 MiB of fresh memory and the list's first articles read alone.
ULONGLONG AutomaticReadBuffer(ULONGLONG wholeBytes, HANDLE file, const ArticleSpan* spans, DWORD count);
