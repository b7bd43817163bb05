// Hands on the list's articles, each from its room: the read buffer, TextBuffer or a larger one.
#include "export/article_reader.h"

#include <algorithm>
#include <cstring>

#include "export/article_reader_window.h"
#include "state/module_state.h"

// An article in the read buffer is handed on where it lies: its NUL goes over the unit after it,
// which may be a neighbour's first, and that unit is put back before the next is handed on, so
// articles sharing bytes each come out as their own reads give them. Copying each out was over a
// third of the reader's time (32-bit build; docs/benchmarks.md).

ReadingCounts ReaderCounts;

namespace {

constexpr DWORD kLargeTextGrain = 64u << 10;

struct Reader {
    DWORD bound = kAutomaticReadBufferBound;  // 0: one seek and one read per article
    HANDLE file = nullptr;
    const ArticleSpan* spans = nullptr;
    WORD* held = nullptr;  // under the last article's NUL, where that lies in the read buffer
    WORD heldUnit = 0;
    WCHAR* largeText = nullptr;  // room for articles that do not fit TextBuffer
    DWORD largeTextBytes = 0;
};

Reader reader;
ReadingCounts lastCounts;  // the last closed run's

void PutBackHeldUnit()
{
    if (reader.held != nullptr) *reader.held = reader.heldUnit;
    reader.held = nullptr;
}

void ReleaseLargeText()
{
    if (reader.largeText != nullptr) VirtualFree(reader.largeText, 0, MEM_RELEASE);  // ours: cannot fail
    reader.largeText = nullptr;
    reader.largeTextBytes = 0;
}

// Room for size bytes and a NUL unit: TextBuffer when it fits, else the larger buffer, grown in
// steps of 64 KiB, so that articles of ascending size take it again only every 64 KiB. Null
// when that memory cannot be had.
WCHAR* ArticleBuffer(DWORD size)
{
    const ULONGLONG needed = ULONGLONG(size) + sizeof(WCHAR);
    if (needed <= sizeof State.TextBuffer) return State.TextBuffer;
    if (needed <= reader.largeTextBytes) return reader.largeText;
    ReleaseLargeText();
    const ULONGLONG rounded = (needed + kLargeTextGrain - 1) & ~ULONGLONG(kLargeTextGrain - 1);
    void* memory =
        rounded > MAXDWORD ? nullptr : VirtualAlloc(nullptr, SIZE_T(rounded), MEM_COMMIT, PAGE_READWRITE);
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

WCHAR* ReadAlone(const ArticleSpan& span)
{
    WCHAR* text = ArticleBuffer(span.Size);
    State.BytesRead = text != nullptr ? ReadAt(reader.file, span.Offset, text, span.Size) : 0;
    return TerminateArticle(text, span.Size);
}

// Copies the State.BytesRead bytes of an article into a room of its own.
WCHAR* CopyOut(const BYTE* bytes, DWORD size)
{
    WCHAR* room = ArticleBuffer(size);
    if (room == nullptr) return TerminateArticle(nullptr, size);
    memcpy(room, bytes, State.BytesRead);
    ReaderCounts.BytesCopied += State.BytesRead;
    return TerminateArticle(room, size);
}

}  // namespace

void OpenArticleReader(HANDLE file, const ArticleSpan* spans, DWORD count)
{
    reader.file = file;
    reader.spans = spans;
    TakeReadWindow(file, spans, count, reader.bound);  // without one, each article is read alone
}

const WCHAR* FetchArticle(DWORD position)
{
    PutBackHeldUnit();
    const ArticleSpan& span = reader.spans[position];
    DWORD delivered = 0;
    BYTE* bytes = HoldsReadWindow() ? WindowArticle(position, delivered) : nullptr;
    if (bytes == nullptr) return ReadAlone(span);
    State.BytesRead = delivered;
    // At an odd offset its text would start at an odd address, where it is no string of units.
    if ((UINT_PTR(bytes) & 1) != 0) return CopyOut(bytes, span.Size);
    if (delivered != span.Size) State.ArticlesIncomplete = 1;
    reader.held = reinterpret_cast<WORD*>(bytes + (delivered & ~1u));
    reader.heldUnit = *reader.held;
    *reader.held = 0;
    return reinterpret_cast<const WCHAR*>(bytes);
}

ArticleRoom FetchArticleWithRoom(DWORD position)
{
    WCHAR* text = const_cast<WCHAR*>(FetchArticle(position));
    if (reader.held != nullptr) {
        // In the read buffer, whose bytes other articles share: moved out first.
        text = CopyOut(reinterpret_cast<const BYTE*>(text), reader.spans[position].Size);
        PutBackHeldUnit();
    }
    if (text == reader.largeText) return {text, reader.largeTextBytes / DWORD(sizeof(WCHAR))};
    return {text, kTextBufferUnits};
}

bool EndsWithinRoom(const ArticleRoom& room)
{
    if (std::find(room.Text, room.Text + room.Units, L'\0') != room.Text + room.Units) return true;
    room.Text[room.Units - 1] = L'\0';
    State.ArticlesIncomplete = 1;
    return false;
}

void CloseArticleReader()
{
    if (reader.spans == nullptr) return;  // closed already
    PutBackHeldUnit();
    ReleaseReadWindow();
    ReleaseLargeText();
    lastCounts = ReaderCounts;
    ReaderCounts = ReadingCounts();
    reader = Reader{reader.bound};
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
    return HoldsReadWindow();
}

bool ArticleReaderHoldsMemory()
{
    return HoldsReadWindow() || reader.largeText != nullptr || reader.held != nullptr;
}
