// Benchmark mode: the phases of an export and the plug-in's memory, timed from outside the plug-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/article_span.h"

// Hooks the plug-in's memory calls and MessageBoxW, and watches the moments of each run the host
// sees (OK, FillArticleSpans, the status line); with timeCalls also the plug-in's file calls,
// whose time it adds up per phase (which costs a little time of its own).
void StartMeasuring(HMODULE plugin, bool timeCalls);

// Journals the run just measured: articles, output bytes, total and phase times, peak memory.
void JournalMeasurement(DWORD articles, const std::wstring& outputFile);

// Copies a file sequentially in 1 MiB blocks and journals how long the best of three copies
// took: the floor for any export that writes that many bytes.
void JournalCopyFloor(const std::wstring& file);

// Journals what an export of the dictionary must do beyond that copy: gather its articles in
// size order from all over a buffer of the article file's size into 1 MiB blocks, and touch that
// buffer's fresh pages once.
void JournalJobFloor(const std::vector<ArticleSpan>& spans, HANDLE articleFile);
