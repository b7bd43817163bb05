// The host procedures handed to the plug-in through the function table.
#pragma once

#include <windows.h>

#include "host/article_span.h"

// Adds one entry per dictionary; each entry's item data is the address of a cell holding the
// dictionary record's address.
void __stdcall FillDictionaryList(HWND list);

// Writes the spans of the dictionary whose record this is, in the dictionary's index order.
void __stdcall FillArticleSpans(const BYTE* record, ArticleSpan* spans);

// Removes markup tags in place: everything from a '<' to the next '>', both included. The text
// only ever gets shorter.
void __stdcall StripTags(WCHAR* text);
