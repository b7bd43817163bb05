// A dictionary as the stand-in host holds it: its record, its article file and its spans.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host/article_span.h"

struct Dictionary {
    std::wstring name;
    std::vector<ArticleSpan> spans;             // in the dictionary's own index order
    HANDLE articleFile = INVALID_HANDLE_VALUE;  // UTF-16LE articles, deleted when closed
    std::vector<BYTE> record;                   // the record the plug-in reads
    DWORD cell = 0;                             // holds the record's address; list item data points here

    ~Dictionary();
};

// Keeps the next dictionary's article file at path instead of a temporary file: made there, or
// where an earlier run made it, opened as it is (so that its pages can be dropped from the
// system's cache in between, and the export read it cold).
void KeepArticleFile(const std::wstring& path);

// Loads a dictd dictionary from its .index file, with NAME.dict or NAME.dict.dz beside it: the
// text of every entry becomes one UTF-16LE article (LF as CR LF, without the final line
// breaks) in a temporary article file. Returns null and sets error on failure.
std::unique_ptr<Dictionary> LoadDictd(const std::wstring& indexPath, std::wstring& error);

// A dictionary of count generated articles, sizes spread over 20 to 3,000 bytes with many ties.
std::unique_ptr<Dictionary> MakeSynthetic(DWORD count, std::wstring& error);
