// Reading one article's text from the dictionary's article file.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// Reads the span into TextBuffer, or into the run's larger buffer when it does not fit there,
// and NUL-terminates it after the bytes actually read. Returns the text. Marks the run's
// articles incomplete when the span could not be read in full.
WCHAR* ReadArticle(HANDLE file, const ArticleSpan& span);

// Releases the larger buffer, if the run needed one.
void ReleaseLargeText();
