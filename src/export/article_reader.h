// Reading the ordered list's articles from the dictionary's article file, a position at a time.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// Starts reading the list's articles from the article file, with a read buffer where this
// machine's prices say it pays and one can be had, else by one seek and one read each.
void OpenArticleReader(HANDLE file, const ArticleSpan* spans, DWORD count);

// The article at a list position, positions taken in order from 0: NUL-terminated where its
// bytes lie in the read buffer, or in TextBuffer or a larger buffer; valid, and not to be
// changed, until the next call. State.BytesRead holds how many of its bytes arrived, and the
// run's articles are marked incomplete when that is not all of them.
const WCHAR* FetchArticle(DWORD position);

// An article with room to grow, in TextBuffer or the larger buffer, for the host's StripTags,
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
