// Reads the articles of a window of the ordered list in offset order, neighbours in one block.
#include "export/article_window.h"

#include <algorithm>
#include <cstring>

#include "export/read_article.h"
#include "state/module_state.h"

// Articles in size order lie all over the article file. A window is as many list entries as the
// window area holds, back to back in list order; their spans are visited in offset order, and
// spans whose gap is small are fetched together, through the staging area, by one seek and one
// read. A span alone in its block is read straight into its place in the window. The entries
// are then handed on in list order, each copied into TextBuffer with its NUL.
//
// The numbers come from timing whole exports under Wine (bench/bench_export.sh, and the same
// with other values; bench/bench_platform.cpp gives the costs behind them). One seek and one
// read cost 1.5-4.5 us, as much as copying 30-80 KiB more from the system's cache, so a gap below
// 64 KiB is read rather than skipped: 16 KiB was 10% slower and 256 KiB no faster. Blocks of
// 256 KiB are as fast as blocks of 1 or 4 MiB and take fewer fresh pages; 64 KiB was slower.

namespace {

constexpr DWORD kMergeGapBytes = 64u << 10;
constexpr DWORD kStagingBytes = 256u << 10;
constexpr DWORD kMinimumWindowBytes = 4u << 10;  // below this, one read per article is as good
constexpr DWORD kWindowBytesPerEntry = 128;      // entries a window may hold: one per this many bytes
constexpr DWORD kEntryBytes = 16;                // ByOffset key, SlotOffset, Delivered
constexpr ULONGLONG kUnknownPosition = ~0ull;

struct Layout {
    DWORD window, staging, entries;
    ULONGLONG Bytes() const
    {
        return ULONGLONG(window) + staging + ULONGLONG(entries) * kEntryBytes;
    }
};

// The window, and so the staging area, a multiple of 8 bytes: the keys after them stay aligned.
Layout LayoutFor(DWORD window)
{
    window &= ~7u;
    return {window, std::min(window, kStagingBytes), window / kWindowBytesPerEntry + 64};
}

// The largest layout within bytes whose window is at most window.
Layout LayoutWithin(DWORD window, DWORD bytes)
{
    Layout layout = LayoutFor(window);
    while (layout.Bytes() > bytes && layout.window >= kMinimumWindowBytes)
        layout = LayoutFor(layout.window - layout.window / 8 - 1);
    return layout;
}

bool Take(const Layout& layout)
{
    void* region = VirtualAlloc(nullptr, SIZE_T(layout.Bytes()), MEM_COMMIT, PAGE_READWRITE);
    if (region == nullptr) return false;
    BYTE* at = static_cast<BYTE*>(region);
    State.ReadBuffer = at;
    State.Staging = at + layout.window;
    State.ByOffset =
        reinterpret_cast<ULONGLONG*>(State.Staging + layout.staging);  // 8-aligned: see LayoutFor
    State.SlotOffset = reinterpret_cast<DWORD*>(State.ByOffset + layout.entries);
    State.Delivered = State.SlotOffset + layout.entries;
    State.WindowBytes = layout.window;
    State.StagingBytes = layout.staging;
    State.WindowEntries = layout.entries;
    State.WindowFirst = State.WindowEnd = 0;
    State.WindowDirect = false;
    State.FilePosition = kUnknownPosition;
    return true;
}

// Reads bytes at an offset into dest; returns how many arrived, 0 when the seek or read failed.
// The seek is left out where our last read ended right there.
DWORD ReadAt(HANDLE file, DWORD offset, BYTE* dest, DWORD bytes)
{
    if (bytes == 0) return 0;
    if (State.FilePosition != offset && !SeekArticleFile(file, offset)) {
        State.FilePosition = kUnknownPosition;
        return 0;
    }
    DWORD got = 0;
    if (!ReadFile(file, dest, bytes, &got, nullptr)) {
        State.FilePosition = kUnknownPosition;
        return 0;
    }
    State.FilePosition = ULONGLONG(offset) + got;
    return got;
}

// The window entry at position k of the offset order.
DWORD EntryByOffset(DWORD k)
{
    return DWORD(State.ByOffset[k]);  // the key's low half
}

// Fetches the window entries ByOffset[from..to), one block from start to end in the file.
void ReadBlock(HANDLE file, const ArticleSpan* window, DWORD from, DWORD to, DWORD start, ULONGLONG end)
{
    if (to - from == 1) {
        const DWORD entry = EntryByOffset(from);
        State.Delivered[entry] =
            ReadAt(file, start, State.ReadBuffer + State.SlotOffset[entry], window[entry].Size);
        return;
    }
    const DWORD got = ReadAt(file, start, State.Staging, DWORD(end - start));
    for (DWORD k = from; k < to; ++k) {
        const DWORD entry = EntryByOffset(k);
        const DWORD at = window[entry].Offset - start;
        const DWORD delivered = got > at ? std::min<DWORD>(window[entry].Size, got - at) : 0;
        memcpy(State.ReadBuffer + State.SlotOffset[entry], State.Staging + at, delivered);
        State.Delivered[entry] = delivered;
    }
}

// Takes the next window from list position first and fetches its articles.
void FetchWindow(HANDLE file, const ArticleSpan* spans, DWORD count, DWORD first)
{
    State.WindowFirst = first;
    DWORD end = first, used = 0;
    while (end < count && end - first < State.WindowEntries && spans[end].Size <= State.WindowBytes - used) {
        State.SlotOffset[end - first] = used;
        used += spans[end].Size;
        ++end;
    }
    State.WindowDirect = end == first;  // an article larger than the whole window
    if (State.WindowDirect) {
        State.WindowEnd = first + 1;
        return;
    }
    State.WindowEnd = end;

    const ArticleSpan* window = spans + first;
    const DWORD entries = end - first;
    // Each key is an entry's offset above its number: sorting the keys orders the entries.
    for (DWORD k = 0; k < entries; ++k) State.ByOffset[k] = ULONGLONG(window[k].Offset) << 32 | k;
    std::sort(State.ByOffset, State.ByOffset + entries);

    // Offset plus size can pass 4 GiB: block ends are 64-bit.
    DWORD from = 0, start = window[EntryByOffset(0)].Offset;
    ULONGLONG blockEnd = ULONGLONG(start) + window[EntryByOffset(0)].Size;
    for (DWORD k = 1; k < entries; ++k) {
        const ArticleSpan& span = window[EntryByOffset(k)];
        const ULONGLONG spanEnd = ULONGLONG(span.Offset) + span.Size;
        const ULONGLONG joinedEnd = std::max(blockEnd, spanEnd);
        if (span.Offset <= blockEnd + kMergeGapBytes && joinedEnd - start <= State.StagingBytes) {
            blockEnd = joinedEnd;
            continue;
        }
        ReadBlock(file, window, from, k, start, blockEnd);
        from = k;
        start = span.Offset;
        blockEnd = spanEnd;
    }
    ReadBlock(file, window, from, entries, start, blockEnd);
}

}  // namespace

bool OpenArticleWindow(const ArticleSpan* spans, DWORD count)
{
    if (State.ReadBufferBound == 0 || count == 0) return false;
    ULONGLONG articleBytes = 0;
    for (DWORD i = 0; i < count; ++i) articleBytes += spans[i].Size;
    // Whole pages, enough for every article, within the bound; then ever smaller where the
    // host's address space has no room for one piece that large.
    const ULONGLONG needed = std::max<ULONGLONG>((articleBytes + 4095) & ~4095ull, kMinimumWindowBytes);
    Layout layout =
        LayoutWithin(DWORD(std::min<ULONGLONG>(needed, State.ReadBufferBound)), State.ReadBufferBound);
    for (; layout.window >= kMinimumWindowBytes; layout = LayoutFor(layout.window / 4)) {
        if (Take(layout)) return true;
    }
    return false;
}

WCHAR* FetchArticle(HANDLE file, const ArticleSpan* spans, DWORD count, DWORD position)
{
    if (State.ReadBuffer == nullptr) return ReadArticle(file, spans[position]);
    if (position >= State.WindowEnd || position < State.WindowFirst)
        FetchWindow(file, spans, count, position);
    if (State.WindowDirect) {
        State.FilePosition = kUnknownPosition;  // ReadArticle moves it
        return ReadArticle(file, spans[position]);
    }
    const DWORD entry = position - State.WindowFirst;
    State.BytesRead = State.Delivered[entry];
    WCHAR* text = ArticleBuffer(spans[position].Size);
    if (text != nullptr) memcpy(text, State.ReadBuffer + State.SlotOffset[entry], State.BytesRead);
    return TerminateArticle(text, spans[position].Size);
}

void CloseArticleWindow()
{
    if (State.ReadBuffer == nullptr) return;
    VirtualFree(State.ReadBuffer, 0, MEM_RELEASE);  // cannot fail for a region this run reserved
    State.ReadBuffer = nullptr;
}
