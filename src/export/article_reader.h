// Reading the ordered list's articles from the dictionary's article file, a position at a time.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// The read buffer is sized at each run to the work and to what the host can spare: as large as
// the ordered list needs (every article's slot, the window's keys and the staging area), so that
// one window reads each block of the article file once, but no larger than a quarter of the
// address space the process has free at that moment, nor than kReadBufferMost. Where a piece
// that large cannot be had, the largest layout within each power of two below it is tried in
// turn, through 16 MiB down to the smallest window; below that, one read per article.
//
// Measured under 64-bit Wine (bench/bench_export.sh): a 154 MB article file of 464,228 articles
// needs 171 MB, one window that reads the file once; its reading calls took 0.013 s, against
// 0.167 s for the 13 windows that 16 MiB allows (1,313 MB read) and 0.046 s for the 3 of 64 MiB.
// The fresh pages of the larger buffer (0.5 ms per MiB there) took back most of that in the
// total: 0.367 s against 0.380 s and 0.391 s, and cold 0.658 s against 0.673 s. On a guest whose
// fresh pages cost 2.7-3.6 ms per MiB, the 171 MB cost about 0.45 s and the export took
// 0.72-0.75 s against 0.45-0.46 s for 16 MiB. Where fresh pages are as cheap as they were
// on another machine (0.33 ms per MiB under 32-bit Wine), the pages should cost about 0.06 s
// and the passes saved about 0.2 s, reckoned from that machine's figures. A 1.5 GB file of
// 10^6 articles makes 4 windows of 480 MB, which read 4.5 GB from the cache against 2.6 GB for
// 123 windows of 16 MiB, and exports as fast or faster (5.1-7.4 s against 6.6-9.0 s; the disk's
// writing bounds both).
constexpr DWORD kAutomaticReadBufferBound = MAXDWORD;
constexpr DWORD kReadBufferMost = 512u << 20;

// Starts reading the list's articles from the article file. Takes the run's read buffer, no
// larger than the articles need nor than the bound; where none can be had, each article is
// read on its own, by one seek and one read.
void OpenArticleReader(HANDLE file, const ArticleSpan* spans, DWORD count);

// The article at a list position, positions taken in order from 0: NUL-terminated in the read
// buffer, in TextBuffer, or in a larger buffer of the reader's, valid until the next call.
// It may be changed in place, as long as it grows no longer: in the read buffer the next
// article follows right after it. State.BytesRead
// holds how many of its bytes arrived, and the run's articles are marked incomplete when that
// is not all of them. The host may have moved the article file's position since the last call.
WCHAR* FetchArticle(DWORD position);

// An article with room to grow: in TextBuffer, whose whole room it has, or where it does not
// fit there, in the reader's larger buffer, made in steps of 64 KiB. For the host's StripTags,
// which edits the text in place and may make it longer.
struct ArticleRoom {
    WCHAR* Text;
    DWORD Units;  // room, the NUL included
};
ArticleRoom FetchArticleWithRoom(DWORD position);

// True when the text still ends within its room; where it does not, it is cut there and the
// run's articles are marked incomplete, for the host wrote more than it was given.
bool EndsWithinRoom(const ArticleRoom& room);

// Releases all the reader took; the next run opens it afresh. Closing it again does nothing.
void CloseArticleReader();

// The read buffer's bound for the runs to come: kAutomaticReadBufferBound (the default) sizes it
// as above; other values are a fixed bound in bytes, for tests; 0 reads one article at a time.
void SetReadBufferBound(DWORD bytes);

// What the last run's reading took, kept after the reader is closed: windows of the list made
// (0 where each article was read on its own) and bytes read from the article file.
struct ReadingCounts {
    DWORD Windows;
    ULONGLONG BytesRead;
};
ReadingCounts LastReadingCounts();

// Whether the reader holds a read buffer now, and whether it holds any memory at all.
bool ArticleReaderWindowed();
bool ArticleReaderHoldsMemory();
