// Reads one article: seek, read, and a NUL after what arrived.
#include "export/read_article.h"

#include "state/module_state.h"

WCHAR* ArticleBuffer(DWORD size)
{
    const ULONGLONG needed = ULONGLONG(size) + sizeof(WCHAR);
    if (needed <= sizeof State.TextBuffer) return State.TextBuffer;
    if (needed <= State.LargeTextBytes) return State.LargeText;
    ReleaseLargeText();
    if (needed > MAXDWORD) return nullptr;
    void* memory = VirtualAlloc(nullptr, SIZE_T(needed), MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) return nullptr;
    State.LargeText = static_cast<WCHAR*>(memory);
    State.LargeTextBytes = DWORD(needed);
    return State.LargeText;
}

WCHAR* TerminateArticle(WCHAR* text, DWORD size)
{
    if (text == nullptr) {
        State.BytesRead = 0;
        text = State.TextBuffer;
    }
    if (State.BytesRead != size) State.ArticlesIncomplete = 1;
    // A whole zero unit over the byte after the data: a half unit from an odd size goes too.
    text[State.BytesRead / sizeof(WCHAR)] = L'\0';
    return text;
}

bool SeekArticleFile(HANDLE file, DWORD offset)
{
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, LONG(offset), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

WCHAR* ReadArticle(HANDLE file, const ArticleSpan& span)
{
    State.BytesRead = 0;
    WCHAR* text = ArticleBuffer(span.Size);
    if (text != nullptr && (!SeekArticleFile(file, span.Offset) ||
                            !ReadFile(file, text, span.Size, &State.BytesRead, nullptr))) {
        State.BytesRead = 0;
    }
    return TerminateArticle(text, span.Size);
}

void ReleaseLargeText()
{
    if (State.LargeText == nullptr) return;
    VirtualFree(State.LargeText, 0, MEM_RELEASE);  // cannot fail for a region this run reserved
    State.LargeText = nullptr;
    State.LargeTextBytes = 0;
}
