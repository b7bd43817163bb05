// Reading one article's text from the dictionary's article file.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// Reads the span into TextBuffer, or into the run's larger buffer when it does not fit there,
// and NUL-terminates it after the bytes actually read. Returns the text. Marks the run's
// articles incomplete when the span could not be read in full.
WCHAR* ReadArticle(HANDLE file, const ArticleSpan& span);

// Room for size bytes and a NUL unit: TextBuffer when it fits, else the run's larger buffer,
// grown as needed. Null when that memory cannot be had.
WCHAR* ArticleBuffer(DWORD size);

// Ends an article of the given size whose State.BytesRead bytes arrived in text: a NUL after
// them, and the run's articles marked incomplete when that is not all. A null text (no room
// could be had) gives an empty article in TextBuffer. Returns the text.
WCHAR* TerminateArticle(WCHAR* text, DWORD size);

// Moves the file position to an unsigned 32-bit offset; the zero high part keeps offsets from
// 2 GiB up from being taken as negative.
bool SeekArticleFile(HANDLE file, DWORD offset);

// Releases the larger buffer, if the run needed one.
void ReleaseLargeText();
