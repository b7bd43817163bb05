// Fetching the ordered list's articles a window at a time, in offset order and in large blocks.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// Takes the run's read buffer for the list: no larger than its articles need nor than
// State.ReadBufferBound, smaller where that much cannot be had. False when none can be had;
// every article is then read on its own.
bool OpenArticleWindow(const ArticleSpan* spans, DWORD count);

// The article at a list position, positions taken in order from 0: NUL-terminated in
// TextBuffer, or in the run's larger buffer when it does not fit there, with State.BytesRead
// and the run's incomplete mark as ReadArticle leaves them.
WCHAR* FetchArticle(HANDLE file, const ArticleSpan* spans, DWORD count, DWORD position);

// Releases the read buffer, if the run has one.
void CloseArticleWindow();
