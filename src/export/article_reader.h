// Reading the ordered list's articles from the dictionary's article file, a position at a time.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// The most the run's read buffer may take: the plug-in lives in a 32-bit host's 2 GiB of address
// space, whose own memory matters more than our speed. 16 MiB is under 1% of it and is held only
// while a run lasts. A larger buffer saves passes over the article file: under 32-bit Wine a
// 156 MB dictionary's export took 0.32-0.38 s with 64 MiB against 0.41-0.49 s with 16 MiB (under
// 64-bit Wine on a machine whose page faults cost 10 us, the fresh pages ate the gain). Where
// that much cannot be had in one piece a smaller buffer is taken.
constexpr DWORD kReadBufferBound = 16u << 20;

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

// Releases all the reader took; the next run opens it afresh.
void CloseArticleReader();

// The read buffer's bound for the runs to come; 0 reads one article at a time.
void SetReadBufferBound(DWORD bytes);

// Whether the reader holds a read buffer now, and whether it holds any memory at all.
bool ArticleReaderWindowed();
bool ArticleReaderHoldsMemory();
