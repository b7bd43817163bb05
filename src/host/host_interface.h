// The contract with the host: table words, host procedures and the dictionary record, all 32-bit words.
#pragma once

#include <windows.h>

#include <cstring>

#include "host/article_span.h"

static_assert(sizeof(void*) == 4, "the host contract is made of 32-bit words");

// Words of the host's tables that the plug-in uses. Both tables are copied from word 2 on, so
// table word w lives in slot w - 2 of the copy.
enum HostDataWord {
    kMainWindowWord = 3,
    kStatusWindowWord = 4,
    kDictionaryPaneWord = 6,
    kTextPaneWord = 7,
    kTranslationPaneWord = 8,
};
enum HostFunctionWord {
    kFillDictionaryListWord = 13,
    kFillArticleSpansWord = 14,
    kStripTagsWord = 18,
};
constexpr DWORD kFirstCopiedWord = 2;
constexpr DWORD kCopiedWords = 18;

// The host's procedures; every argument is a 32-bit word and results are not used.
typedef void(__stdcall* FillDictionaryListProc)(HWND list);
typedef void(__stdcall* FillArticleSpansProc)(const BYTE* record, ArticleSpan* spans);
typedef void(__stdcall* StripTagsProc)(WCHAR* text);

// Reads a host word at any alignment.
inline DWORD ReadHostWord(const void* address)
{
    DWORD word;
    memcpy(&word, address, sizeof word);
    return word;
}

// A dictionary record: article file handle at byte 8, distance to the count block at byte 12,
// display name from byte 16. The count is at byte 16 of the count block.
inline HANDLE RecordArticleFile(const BYTE* record)
{
    return reinterpret_cast<HANDLE>(ReadHostWord(record + 8));
}

inline DWORD RecordArticleCount(const BYTE* record)
{
    const DWORD countBlock = DWORD(reinterpret_cast<UINT_PTR>(record)) + ReadHostWord(record + 12);
    return ReadHostWord(reinterpret_cast<const BYTE*>(UINT_PTR(countBlock)) + 16);
}

inline const WCHAR* RecordName(const BYTE* record)
{
    return reinterpret_cast<const WCHAR*>(record + 16);
}
