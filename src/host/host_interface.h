// The contract with the host: table words, host procedures and the dictionary record, all 32-bit words.
#pragma once

#include <windows.h>

#include <cstring>

#include "host/article_span.h"

// Addresses cross the contract in 32-bit words; a 64-bit build must link every image below 4 GB.
#ifndef ZAQ_ADDRESSES_BELOW_4GB
static_assert(sizeof(void*) == 4, "the host contract is made of 32-bit words");
#endif

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

// A host address held in a 32-bit word.
inline const void* HostAddress(DWORD word)
{
    return reinterpret_cast<const void*>(UINT_PTR(word));
}

// A handle held in a 32-bit word. Handles widen with their sign, as the platform's LongToHandle
// does, so that INVALID_HANDLE_VALUE stays itself in a 64-bit build.
inline HANDLE HostHandle(DWORD word)
{
    return LongToHandle(LONG(word));
}

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
    return HostHandle(ReadHostWord(record + 8));
}

inline DWORD RecordArticleCount(const BYTE* record)
{
    const DWORD countBlock = DWORD(reinterpret_cast<UINT_PTR>(record)) + ReadHostWord(record + 12);
    return ReadHostWord(static_cast<const BYTE*>(HostAddress(countBlock)) + 16);
}

inline const WCHAR* RecordName(const BYTE* record)
{
    return reinterpret_cast<const WCHAR*>(record + 16);
}
