// What the tests and the benchmarks may set and see of the article reader.
#pragma once

#include <windows.h>

// The read buffer's bound for the runs to come: kAutomaticReadBufferBound (the default) sizes it
// to this machine's prices; other values are a fixed bound in bytes, the whole list's room where
// it is smaller; 0 reads one article at a time.
constexpr DWORD kAutomaticReadBufferBound = MAXDWORD;
void SetReadBufferBound(DWORD bytes);

// The room for articles of a read buffer bounded to bytes that cannot hold the whole list.
DWORD ReadWindowRoomWithin(DWORD bytes);

// What the last run's reading took, kept after the reader is closed: windows of the list made
// (0 where each article was read on its own), reads of the article file and the bytes they
// brought, and bytes the reader copied itself (odd offsets, articles given room to grow).
struct ReadingCounts {
    DWORD Windows;
    DWORD Reads;
    ULONGLONG BytesRead;
    ULONGLONG BytesCopied;
};
ReadingCounts LastReadingCounts();

// Whether the reader holds a read buffer now; whether it holds memory or a unit under a NUL.
bool ArticleReaderWindowed();
bool ArticleReaderHoldsMemory();
