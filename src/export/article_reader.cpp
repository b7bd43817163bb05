// Reads the articles of the ordered list: a window of the list at a time, in offset order and in
// large blocks, or one seek and one read per article where no read buffer can be had.
#include "export/article_reader.h"

#include <algorithm>
#include <cstring>

#include "state/module_state.h"

// Articles in size order lie all over the article file. A window is as many list entries as the
// window area holds, back to back in list order; their spans are visited in offset order, and
// spans whose gap is small are fetched together, through the staging area, by one seek and one
// read, into their places in the window. The entries are then handed on in list order, each
// NUL-terminated in its place in the window; a span alone in its block is read only then.
//
// A gap is read rather than skipped where copying it costs less than one more seek and read:
// under 32-bit Wine these cost about as much as copying 8 KiB from the system's cache, and gaps
// of 16 KiB exported a 156 MB dictionary as fast as 8 or 12 KiB, where 4 KiB was 10% slower.
// Blocks of 256 KiB were as fast as blocks of 1 or 4 MiB and take fewer fresh pages
// (docs/benchmarks.md).
//
// The file's handle and its position are the host's: the host's code runs between our reads
// (StripTags, the status line, the panes) and may read the file itself, so every read seeks
// first. Leaving out the seek where the last read ended saved 93 of 7,246 seeks on a 156 MB
// dictionary, too few to time.

namespace {

constexpr DWORD kMergeGapBytes = 16u << 10;
constexpr DWORD kStagingBytes = 256u << 10;
constexpr DWORD kMinimumWindowBytes = 4u << 10;  // below this, one read per article is as good
constexpr DWORD kWindowBytesPerEntry = 128;      // entries a window may hold: one per this many bytes
constexpr DWORD kEntryBytes = 24;                // byOffset key, slotOffset, delivered
// A window entry alone in its block, or larger than the whole window, is read when it is handed
// on, straight into TextBuffer (or the larger buffer): read ahead into the window, it takes one
// seek and one read all the same, but its bytes have left the processor's cache by the time they
// are handed on. A sparse dictionary of 10^6 articles took 3.3-3.9 s so, against 3.8-5.5 s read
// ahead (32-bit build).
constexpr DWORD kReadWhenHandedOn = MAXDWORD;  // never a count of bytes in the window
constexpr DWORD kNoSlot = MAXDWORD;            // the slot offset of an article larger than the window
constexpr DWORD kLargeTextGrain = 64u << 10;

// A window entry's span and slot, sorted by offset: what the reading in offset order needs of an
// entry, next to it, so that it looks nothing up all over the window's arrays. Those lookups, a
// cache miss each, were a fifth of the reader's time on a 154 MB article file.
struct WindowKey {
    DWORD offset, size, slot, entry;
};

struct Reader {
    DWORD bound = kAutomaticReadBufferBound;  // 0: one seek and one read per article
    HANDLE file = nullptr;
    const ArticleSpan* spans = nullptr;
    DWORD count = 0;

    WCHAR* largeText = nullptr;  // room for articles that do not fit TextBuffer
    DWORD largeTextBytes = 0;

    // The read buffer, one region: a window of the ordered list held in list order, a staging
    // area for block reads, and a sort key and two words per window entry.
    BYTE* window = nullptr;
    BYTE* staging = nullptr;
    WindowKey* byOffset = nullptr;  // the window's entries in offset order
    WindowKey* scratch = nullptr;   // room for sorting them: the window, before it is filled
    DWORD* slotOffset = nullptr;    // where each window entry's bytes lie in the window
    DWORD* delivered = nullptr;     // how many of them were read
    DWORD windowBytes = 0;
    DWORD stagingBytes = 0;
    DWORD windowEntries = 0;
    DWORD windowFirst = 0;  // list positions held now: windowFirst up to windowEnd
    DWORD windowEnd = 0;

    ReadingCounts counts = {0, 0};
    bool open = false;
};

Reader reader;
ReadingCounts lastCounts = {0, 0};  // the last closed run's

// An article's room in the window: its bytes, an odd one made even, and a NUL unit, so that it
// is handed on where it lies, aligned and terminated.
ULONGLONG SlotBytes(DWORD size)
{
    return ((ULONGLONG(size) + 1) & ~1ull) + sizeof(WCHAR);
}

// Room for size bytes and a NUL unit: TextBuffer when it fits, else the larger buffer, grown as
// needed. Null when that memory cannot be had.
WCHAR* ArticleBuffer(DWORD size)
{
    const ULONGLONG needed = ULONGLONG(size) + sizeof(WCHAR);
    if (needed <= sizeof State.TextBuffer) return State.TextBuffer;
    if (needed <= reader.largeTextBytes) return reader.largeText;
    if (reader.largeText != nullptr) {
        VirtualFree(reader.largeText, 0, MEM_RELEASE);  // cannot fail for a region we reserved
        reader.largeText = nullptr;
        reader.largeTextBytes = 0;
    }
    // Rounded up, so that articles of ascending size take it again only every 64 KiB.
    const ULONGLONG rounded = (needed + kLargeTextGrain - 1) & ~ULONGLONG(kLargeTextGrain - 1);
    if (rounded > MAXDWORD) return nullptr;
    void* memory = VirtualAlloc(nullptr, SIZE_T(rounded), MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) return nullptr;
    reader.largeText = static_cast<WCHAR*>(memory);
    reader.largeTextBytes = DWORD(rounded);
    return reader.largeText;
}

// Ends an article of the given size whose State.BytesRead bytes arrived in text: a NUL after
// them, and the run's articles marked incomplete when that is not all. A null text (no room
// could be had) gives an empty article in TextBuffer.
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

// Reads bytes at an offset into dest; returns how many arrived, 0 when the seek or read failed.
// The zero high part of the seek keeps offsets from 2 GiB up from being taken as negative.
DWORD ReadAt(DWORD offset, void* dest, DWORD bytes)
{
    if (bytes == 0) return 0;
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(reader.file, LONG(offset), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
    DWORD got = 0;
    if (!ReadFile(reader.file, dest, bytes, &got, nullptr)) return 0;
    reader.counts.BytesRead += got;
    return got;
}

WCHAR* ReadAlone(const ArticleSpan& span)
{
    WCHAR* text = ArticleBuffer(span.Size);
    State.BytesRead = text != nullptr ? ReadAt(span.Offset, text, span.Size) : 0;
    return TerminateArticle(text, span.Size);
}

struct Layout {
    DWORD window, staging, entries;
    ULONGLONG Bytes() const
    {
        return ULONGLONG(window) + staging + ULONGLONG(entries) * kEntryBytes;
    }
};

// The window, and so the staging area, a multiple of 8 bytes: the keys after them stay aligned.
// Its entries' keys fit in it (16 of window / 128 + 64 for any window of 4 KiB or more): they
// are sorted there before it is filled.
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
    reader.window = at;
    reader.staging = at + layout.window;
    reader.byOffset =
        reinterpret_cast<WindowKey*>(reader.staging + layout.staging);  // 8-aligned: see LayoutFor
    reader.scratch = reinterpret_cast<WindowKey*>(reader.window);       // room for them: see LayoutFor
    reader.slotOffset = reinterpret_cast<DWORD*>(reader.byOffset + layout.entries);
    reader.delivered = reader.slotOffset + layout.entries;
    reader.windowBytes = layout.window;
    reader.stagingBytes = layout.staging;
    reader.windowEntries = layout.entries;
    reader.windowFirst = reader.windowEnd = 0;
    return true;
}

// The bound of an automatic read buffer: a quarter of the address space the process has free
// now, and no more than kReadBufferMost; 16 MiB where the system does not say.
ULONGLONG AutomaticBound()
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 16u << 20;
    return std::min<ULONGLONG>(status.ullAvailVirtual / 4, kReadBufferMost);
}

// The largest power of two below bytes.
ULONGLONG PowerOfTwoBelow(ULONGLONG bytes)
{
    ULONGLONG power = 1;
    while (power * 2 < bytes) power *= 2;
    return power;
}

// Takes the read buffer for the list: the whole list in one window where the bound allows it,
// else the largest layout within the bound, then within each power of two below, where the
// host's address space has no room for one piece that large.
void TakeReadBuffer()
{
    if (reader.bound == 0 || reader.count == 0) return;
    const ULONGLONG bound = reader.bound == kAutomaticReadBufferBound ? AutomaticBound() : reader.bound;
    ULONGLONG articleBytes = 0;
    for (DWORD i = 0; i < reader.count; ++i) articleBytes += SlotBytes(reader.spans[i].Size);
    // At least the room to sort every entry's key in, where the articles are tiny.
    articleBytes = std::max<ULONGLONG>(
        {(articleBytes + 7) & ~7ull, kMinimumWindowBytes, ULONGLONG(reader.count) * sizeof(WindowKey)});
    const DWORD window = DWORD(std::min<ULONGLONG>(articleBytes, MAXDWORD & ~7u));
    const Layout whole = {window, std::min(window, kStagingBytes), reader.count};
    if (window == articleBytes && whole.Bytes() <= bound && Take(whole)) return;
    for (ULONGLONG bytes = std::min(bound, whole.Bytes()); bytes >= kMinimumWindowBytes;
         bytes = PowerOfTwoBelow(bytes)) {
        const Layout layout = LayoutWithin(window, DWORD(std::min<ULONGLONG>(bytes, MAXDWORD)));
        if (layout.window < kMinimumWindowBytes) return;
        if (Take(layout)) return;
    }
}

// Sorts keys by offset, keeping equal offsets in the order they come in: a radix sort, one pass
// for each byte in which the offsets differ. In profiles of a 156 MB dictionary's export
// std::sort of the keys took 5% of the time, this under 0.5%.
void SortByOffset(WindowKey* keys, DWORD n)
{
    DWORD counts[4][256] = {};
    for (DWORD i = 0; i < n; ++i) {
        for (int b = 0; b < 4; ++b) ++counts[b][keys[i].offset >> 8 * b & 0xFF];
    }
    WindowKey* from = keys;
    WindowKey* to = reader.scratch;
    for (int b = 0; b < 4; ++b) {
        DWORD* const count = counts[b];
        if (count[keys[0].offset >> 8 * b & 0xFF] == n) continue;  // every offset alike here
        DWORD start = 0;
        for (int digit = 0; digit < 256; ++digit) {
            const DWORD here = count[digit];
            count[digit] = start;
            start += here;
        }
        for (DWORD i = 0; i < n; ++i) to[count[from[i].offset >> 8 * b & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != keys) memcpy(keys, from, n * sizeof *keys);
}

// A window entry's slot; only for an entry that has one (not kNoSlot), so the pointer stays
// within the window.
WCHAR* SlotText(DWORD entry)
{
    return reinterpret_cast<WCHAR*>(reader.window + reader.slotOffset[entry]);
}

// Fetches the window entries byOffset[from..to), one block from start to end in the file. An
// entry's delivered count was set to its whole size; only one that got less is written.
void ReadBlock(DWORD from, DWORD to, DWORD start, ULONGLONG end)
{
    if (to - from == 1) {
        reader.delivered[reader.byOffset[from].entry] = kReadWhenHandedOn;
        return;
    }
    const DWORD got = ReadAt(start, reader.staging, DWORD(end - start));
    for (DWORD k = from; k < to; ++k) {
        const WindowKey& key = reader.byOffset[k];
        const DWORD at = key.offset - start;
        const DWORD delivered = got > at ? std::min(key.size, got - at) : 0;
        memcpy(reader.window + key.slot, reader.staging + at, delivered);
        if (delivered != key.size) reader.delivered[key.entry] = delivered;
    }
}

// Takes the next window from list position first and fetches its articles.
void FetchWindow(DWORD first)
{
    reader.windowFirst = first;
    ++reader.counts.Windows;
    DWORD end = first, used = 0;
    while (end < reader.count && end - first < reader.windowEntries &&
           SlotBytes(reader.spans[end].Size) <= reader.windowBytes - used) {
        reader.slotOffset[end - first] = used;
        used += DWORD(SlotBytes(reader.spans[end].Size));
        ++end;
    }
    if (end == first) {  // an article larger than the whole window: read alone
        reader.windowEnd = first + 1;
        reader.slotOffset[0] = kNoSlot;
        reader.delivered[0] = kReadWhenHandedOn;
        return;
    }
    reader.windowEnd = end;

    const ArticleSpan* window = reader.spans + first;
    const DWORD entries = end - first;
    for (DWORD k = 0; k < entries; ++k) {
        reader.byOffset[k] = {window[k].Offset, window[k].Size, reader.slotOffset[k], k};
        reader.delivered[k] = window[k].Size;
    }
    SortByOffset(reader.byOffset, entries);

    // Offset plus size can pass 4 GiB: block ends are 64-bit.
    DWORD from = 0, start = reader.byOffset[0].offset;
    ULONGLONG blockEnd = ULONGLONG(start) + reader.byOffset[0].size;
    for (DWORD k = 1; k < entries; ++k) {
        const WindowKey& key = reader.byOffset[k];
        const ULONGLONG spanEnd = ULONGLONG(key.offset) + key.size;
        const ULONGLONG joinedEnd = std::max(blockEnd, spanEnd);
        if (key.offset <= blockEnd + kMergeGapBytes && joinedEnd - start <= reader.stagingBytes) {
            blockEnd = joinedEnd;
            continue;
        }
        ReadBlock(from, k, start, blockEnd);
        from = k;
        start = key.offset;
        blockEnd = spanEnd;
    }
    ReadBlock(from, entries, start, blockEnd);
}

}  // namespace

void OpenArticleReader(HANDLE file, const ArticleSpan* spans, DWORD count)
{
    reader.open = true;
    reader.file = file;
    reader.spans = spans;
    reader.count = count;
    TakeReadBuffer();  // without one, each article is read on its own
}

WCHAR* FetchArticle(DWORD position)
{
    const ArticleSpan& span = reader.spans[position];
    if (reader.window == nullptr) return ReadAlone(span);
    if (position >= reader.windowEnd || position < reader.windowFirst) FetchWindow(position);
    const DWORD entry = position - reader.windowFirst;
    if (reader.delivered[entry] == kReadWhenHandedOn) {
        // One too large for TextBuffer is read into its own slot, which has room for it already.
        if (reader.slotOffset[entry] == kNoSlot || SlotBytes(span.Size) <= sizeof State.TextBuffer)
            return ReadAlone(span);
        WCHAR* const slot = SlotText(entry);
        State.BytesRead = ReadAt(span.Offset, slot, span.Size);
        return TerminateArticle(slot, span.Size);
    }
    // Handed on from its slot, not copied into TextBuffer first: that copy was a third of the
    // plug-in's own copying.
    State.BytesRead = reader.delivered[entry];
    return TerminateArticle(SlotText(entry), span.Size);
}

ArticleRoom FetchArticleWithRoom(DWORD position)
{
    WCHAR* text = FetchArticle(position);
    if (text == State.TextBuffer) return {text, kTextBufferUnits};
    if (text == reader.largeText) return {text, reader.largeTextBytes / DWORD(sizeof(WCHAR))};
    // In a slot of the window, whose next article follows right after its NUL: moved out first.
    const DWORD units = State.BytesRead / sizeof(WCHAR) + 1;
    WCHAR* room = ArticleBuffer(reader.spans[position].Size);
    if (room == nullptr) return {TerminateArticle(nullptr, reader.spans[position].Size), kTextBufferUnits};
    memcpy(room, text, units * sizeof(WCHAR));
    if (room == State.TextBuffer) return {room, kTextBufferUnits};
    return {room, reader.largeTextBytes / DWORD(sizeof(WCHAR))};
}

bool EndsWithinRoom(const ArticleRoom& room)
{
    for (DWORD i = 0; i < room.Units; ++i) {
        if (room.Text[i] == L'\0') return true;
    }
    room.Text[room.Units - 1] = L'\0';
    State.ArticlesIncomplete = 1;
    return false;
}

void CloseArticleReader()
{
    if (!reader.open) return;
    // Both regions were reserved by this run: releasing them cannot fail.
    if (reader.window != nullptr) VirtualFree(reader.window, 0, MEM_RELEASE);
    if (reader.largeText != nullptr) VirtualFree(reader.largeText, 0, MEM_RELEASE);
    lastCounts = reader.counts;
    const DWORD bound = reader.bound;
    reader = Reader();
    reader.bound = bound;
}

void SetReadBufferBound(DWORD bytes)
{
    reader.bound = bytes;
}

ReadingCounts LastReadingCounts()
{
    return lastCounts;
}

bool ArticleReaderWindowed()
{
    return reader.window != nullptr;
}

bool ArticleReaderHoldsMemory()
{
    return reader.window != nullptr || reader.largeText != nullptr;
}
