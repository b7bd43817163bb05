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
// One window for the whole list reads a 154 MB article file once, where windows of 16 MiB read
// it 8.5 times: 0.015 s in reading calls against 0.17 s (32-bit build). What its fresh pages cost
// instead depends on the machine; docs/benchmarks.md sets the two side by side.
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
