// Reads a window of the ordered list: its spans in offset order, neighbours together in blocks.
#include "export/article_reader_window.h"

#include <xmmintrin.h>

#include <algorithm>

#include "export/article_reader_plan.h"
#include "export/offset_sort.h"
#include "state/module_state.h"

// A window is as many list entries as it holds, in list order. Their spans are visited in offset
// order; spans less than kMergeGapBytes apart are one block, read by one seek and one read into
// the window's room, the blocks back to back while it lasts. Reading a gap costs less than one
// more seek and read; smaller limits were slower (docs/benchmarks.md). The file's position is the
// host's, whose code runs between our reads and may read the file itself: every read seeks.

namespace {

constexpr DWORD kMergeGapBytes = 16u << 10;
constexpr DWORD kMinimumRoom = 4u << 10;  // below this, one read per article is as good
constexpr DWORD kRoomPerEntry = 128;      // a window of part of the list: an entry per 128 bytes
constexpr DWORD kEntryBytes = sizeof(OffsetKey) + 2 * sizeof(DWORD);  // key, where, delivered
// An article alone in its block is read straight into TextBuffer when it is handed on: read ahead,
// it takes a seek and a read all the same, and its bytes have left the processor's cache by then.
constexpr DWORD kReadWhenHandedOn = MAXDWORD;

// One region: the room, a multiple of 8 bytes, then for each entry a key, its place in the room
// and how many of its bytes were read.
struct Window {
    HANDLE file = nullptr;
    const ArticleSpan* spans = nullptr;
    DWORD count = 0;
    BYTE* room = nullptr;
    OffsetKey* keys = nullptr;
    DWORD* where = nullptr;
    DWORD* delivered = nullptr;
    DWORD roomBytes = 0, entries = 0;
    DWORD first = 0, end = 0;  // the list positions held: first up to end
};

Window window;

// Articles are handed on from all over the window: the one kPrefetchAhead further on in the list
// is asked for while this one is written, where the processor has SSE's prefetch.
constexpr DWORD kPrefetchAhead = 8;
const bool hasSse = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;

// Out of the compiler's sight (noipa), or it drops the call as one without effect.
__attribute__((target("sse"), noipa)) void Prefetch(const BYTE* bytes)
{
    _mm_prefetch(reinterpret_cast<const char*>(bytes), _MM_HINT_T0);
}

ULONGLONG RegionBytes(ULONGLONG room, DWORD entries)
{
    return room + ULONGLONG(entries) * kEntryBytes;
}

bool Take(DWORD room, DWORD entries)
{
    if (room < kMinimumRoom) return false;
    void* region = VirtualAlloc(nullptr, SIZE_T(RegionBytes(room, entries)), MEM_COMMIT, PAGE_READWRITE);
    if (region == nullptr) return false;
    window.room = static_cast<BYTE*>(region);
    window.keys = reinterpret_cast<OffsetKey*>(window.room + room);
    window.where = reinterpret_cast<DWORD*>(window.keys + entries);
    window.delivered = window.where + entries;
    window.roomBytes = room;
    window.entries = entries;
    return true;
}

// Reads the block of keys [from, to), start to end in the file, into the room from next on;
// returns where the next block may start. An article alone in its block is read when its turn
// comes instead, and so is one that does not fit the room.
DWORD ReadBlock(DWORD from, DWORD to, DWORD next, DWORD start, ULONGLONG end)
{
    const OffsetKey* keys = window.keys;
    const DWORD base = next + ((next ^ start) & 1);  // an even offset at an even address
    if (to - from == 1 && (ULONGLONG(keys[from].Size) + sizeof(WCHAR) <= sizeof State.TextBuffer ||
                           base + ULONGLONG(keys[from].Size) + sizeof(WCHAR) > window.roomBytes)) {
        window.where[keys[from].Entry] = kReadWhenHandedOn;
        return next;
    }
    const DWORD got = ReadAt(window.file, start, window.room + base, DWORD(end - start));
    for (DWORD k = from; k < to; ++k) {
        const DWORD at = keys[k].Offset - start;
        window.where[keys[k].Entry] = base + at;
        window.delivered[keys[k].Entry] = got > at ? std::min(keys[k].Size, got - at) : 0;
    }
    return base + DWORD(end - start);
}

// Takes the window from list position first on and reads its blocks: a block ends where the
// next gap or article would pass the room's end. Offset plus size can pass 4 GiB.
void FetchWindow(DWORD first)
{
    ++ReaderCounts.Windows;
    window.first = first;
    window.end = first + std::min(window.count - first, window.entries);
    const DWORD entries = window.end - first;
    for (DWORD k = 0; k < entries; ++k)
        window.keys[k] = {window.spans[first + k].Offset, window.spans[first + k].Size, k};
    SortByOffset(window.keys, entries, reinterpret_cast<OffsetKey*>(window.room));

    DWORD next = 0;
    for (DWORD from = 0, to; from < entries; from = to) {
        const DWORD start = window.keys[from].Offset;
        const ULONGLONG base = next + ((next ^ start) & 1);
        ULONGLONG end = ULONGLONG(start) + window.keys[from].Size;
        for (to = from + 1; to < entries; ++to) {
            const ULONGLONG joined = std::max(end, ULONGLONG(window.keys[to].Offset) + window.keys[to].Size);
            if (window.keys[to].Offset > end + kMergeGapBytes) break;
            if (base + (joined - start) + sizeof(WCHAR) > window.roomBytes) break;
            end = joined;
        }
        next = ReadBlock(from, to, next, start, end);
    }
}

}  // namespace

// The largest room within bytes for part of the list; its keys are sorted in it before it fills.
DWORD ReadWindowRoomWithin(DWORD bytes)
{
    if (bytes < RegionBytes(kMinimumRoom, 64)) return 0;
    const ULONGLONG room =
        (ULONGLONG(bytes) - 64 * kEntryBytes) * kRoomPerEntry / (kRoomPerEntry + kEntryBytes);
    return DWORD(room) & ~7u;
}

DWORD ReadAt(HANDLE file, DWORD offset, void* dest, DWORD bytes)
{
    if (bytes == 0) return 0;
    // The zero high part keeps offsets from 2 GiB up from being taken as negative.
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, LONG(offset), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
    DWORD got = 0;
    if (!ReadFile(file, dest, bytes, &got, nullptr)) return 0;
    ++ReaderCounts.Reads;
    ReaderCounts.BytesRead += got;
    return got;
}

bool TakeReadWindow(HANDLE file, const ArticleSpan* spans, DWORD count, DWORD bound)
{
    if (bound == 0 || count == 0) return false;
    window = {file, spans, count};
    // The whole list in one window: room for every article and its NUL, a sixteenth more for gaps
    // read between them, and at least for every entry's key, where the articles are tiny.
    ULONGLONG articleBytes = 0;
    for (DWORD i = 0; i < count; ++i) articleBytes += ULONGLONG(spans[i].Size) + sizeof(WCHAR);
    const ULONGLONG room = std::max<ULONGLONG>(
        {(articleBytes * 17 / 16 + 8) & ~7ull, kMinimumRoom, ULONGLONG(count) * sizeof(OffsetKey)});
    const ULONGLONG whole = RegionBytes(room, count);
    ULONGLONG bytes = std::min<ULONGLONG>(whole, bound);
    if (bound == kAutomaticReadBufferBound) bytes = AutomaticReadBuffer(whole, file, spans, count);
    if (room <= MAXDWORD && bytes >= whole && Take(DWORD(room), count)) return true;
    // Where a piece that large cannot be had, the largest within each power of two below.
    for (; bytes >= kMinimumRoom; bytes = 1ull << (63 - __builtin_clzll(bytes - 1))) {
        const DWORD part = ReadWindowRoomWithin(DWORD(bytes));
        if (Take(part, part / kRoomPerEntry + 64)) return true;
    }
    return false;
}

BYTE* WindowArticle(DWORD position, DWORD& delivered)
{
    if (position < window.first || position >= window.end) FetchWindow(position);
    const DWORD entry = position - window.first;
    if (hasSse && entry + kPrefetchAhead < window.end - window.first) {
        const DWORD ahead = window.where[entry + kPrefetchAhead];
        if (ahead != kReadWhenHandedOn) Prefetch(window.room + ahead);
    }
    if (window.where[entry] == kReadWhenHandedOn) return nullptr;
    delivered = window.delivered[entry];
    return window.room + window.where[entry];
}

bool HoldsReadWindow()
{
    return window.room != nullptr;
}

void ReleaseReadWindow()
{
    if (window.room != nullptr) VirtualFree(window.room, 0, MEM_RELEASE);  // ours: cannot fail
    window = Window();
}
