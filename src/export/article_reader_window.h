// The read buffer: a window of the ordered list, its articles' bytes as they lie in the article file.
#pragma once

#include <windows.h>

#include "export/article_reader_hooks.h"
#include "host/article_span.h"

extern ReadingCounts ReaderCounts;  // this run's, kept by the reader

// Reads bytes at an offset, seeking first; how many arrived, 0 where the seek or the read failed.
DWORD ReadAt(HANDLE file, DWORD offset, void* dest, DWORD bytes);

// Takes the read buffer for the list: bound bytes at most, or with kAutomaticReadBufferBound as
// large as this machine's prices say pays. False where none can be had.
bool TakeReadWindow(HANDLE file, const ArticleSpan* spans, DWORD count, DWORD bound);

// Where the article at a list position lies in its window, and how many of its bytes arrived;
// null for one read alone. The unit after its bytes is the window's too, for its NUL.
BYTE* WindowArticle(DWORD position, DWORD& delivered);

bool HoldsReadWindow();
void ReleaseReadWindow();
