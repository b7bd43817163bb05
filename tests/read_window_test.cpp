// Reading the articles in offset order through the read buffer writes exactly what one seek and
// one read per article writes, whatever the spans and whatever the buffer's bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "export/article_reader.h"
#include "export/article_reader_hooks.h"
#include "plugin_texts.h"
#include "short_calls.h"
#include "state/module_state.h"
#include "test_host.h"

namespace {

// Bounds from none (one read per article) through windows of a few articles to the default,
// which holds these whole lists in one window.
const DWORD kBounds[] = {0, 12u << 10, 40u << 10, 256u << 10, 3u << 20, kAutomaticReadBufferBound};

// A list of every kind of span over a file of fileBytes: runs of near neighbours, far jumps,
// repeats and overlaps of earlier spans, spans running past the end or lying wholly beyond
// it, empty ones, ones larger than TextBuffer, odd sizes.
std::vector<ArticleSpan> RandomSpans(std::mt19937& random, DWORD fileBytes)
{
    auto below = [&random](DWORD n) { return DWORD(random() % n); };
    std::vector<ArticleSpan> spans;
    const DWORD count = 1 + below(400);
    DWORD next = below(fileBytes);
    for (DWORD i = 0; i < count; ++i) {
        ArticleSpan span = {next, 2 * (1 + below(600))};
        switch (below(12)) {
            case 0:
                span.Offset = below(fileBytes);
                break;
            case 1:
                if (!spans.empty()) span = spans[below(DWORD(spans.size()))];
                break;
            case 2:
                if (!spans.empty()) span.Offset = spans[below(DWORD(spans.size()))].Offset + below(64);
                break;
            case 3:
                span.Offset = fileBytes - below(200);
                break;
            case 4:
                span.Offset = fileBytes + below(1000);
                break;
            case 5:
                span.Size = 0;
                break;
            case 6:
                span.Size = (300u << 10) + below(4) * 2;
                break;
            case 7:
                span.Size |= 1;
                break;
            case 8:
                span.Offset = next + (20u << 10) + below(40u << 10);
                break;
            default:
                break;  // the next neighbour, a little gap or none
        }
        spans.push_back(span);
        next = span.Offset + span.Size + (below(3) == 0 ? below(3000) : 0);
        if (next >= fileBytes) next = below(fileBytes);
    }
    return spans;
}

// A tag remover that makes the text longer, as a host's may (an entity spelt out, say).
void AppendThreeUnits(WCHAR* text)
{
    lstrcatW(text, L"+++");
}

// The host reads its article file at every call the plug-in makes into it (StripTags for each
// article, the status line), as a dictionary program looking words up may.
TEST(ReadWindow, WritesWhatOneReadPerArticleWrites)
{
    TestHost host;
    host.busy = true;
    const DWORD fileBytes = 700u << 10;
    std::mt19937 random(20261209);
    std::string text(fileBytes, '\0');
    for (DWORD i = 0; i < fileBytes; i += 2) text[i] = char('a' + random() % 26);
    host.SetArticles({text});

    for (int list = 0; list < 40; ++list) {
        host.afterStrip = list % 2 == 0 ? nullptr : AppendThreeUnits;
        host.spans = RandomSpans(random, fileBytes);
        host.count = DWORD(host.spans.size());
        std::string reference;
        std::vector<std::wstring> referenceBoxes;
        for (DWORD bound : kBounds) {
            SCOPED_TRACE("list " + std::to_string(list) + ", bound " + std::to_string(bound));
            SetReadBufferBound(bound);
            const RunRecord run = host.Run({FileSink, true, L"out.txt"});
            EXPECT_EQ(bound != 0, run.readBufferAtStrip);
            EXPECT_FALSE(ArticleReaderHoldsMemory()) << "released at run end";
            EXPECT_FALSE(run.readerMemoryAtBox) << "released before the closing box";
            if (bound == kAutomaticReadBufferBound) {
                EXPECT_EQ(1u, LastReadingCounts().Windows) << "the whole list in one window";
            }
            if (bound == 0) {
                reference = host.ReadOutput(L"out.txt");
                referenceBoxes = Texts(run);
                continue;
            }
            EXPECT_EQ(reference, host.ReadOutput(L"out.txt"));
            EXPECT_EQ(referenceBoxes, Texts(run)) << "the same warning, or the same success";
        }
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

// A tag remover that lengthens the text never writes into the next article: every article has
// TextBuffer's room to grow, however the file was read. One that fills all of that room and
// leaves no NUL has failed: the article is cut at the room's end, with the warning.
TEST(ReadWindow, ATagRemoverThatLengthensTheTextTouchesNoOtherArticle)
{
    TestHost host;
    const std::string five = Utf16(L"пять!");
    host.SetArticlesAt({{0, five}, {100, five}, {200, five}});
    const std::string lengthened = Utf16(L"пять!+");
    const std::string filled = Utf16(std::wstring(kTextBufferUnits - 1, L'x'));
    struct Case {
        void (*afterStrip)(WCHAR*);
        std::string expected;
        std::wstring box;
    };
    const Case cases[] = {
        {[](WCHAR* text) { lstrcatW(text, L"+"); },
         ExpectedFile(L"X", {lengthened, lengthened, lengthened}, 3), kSuccessText},
        {[](WCHAR* text) {
             if (text == State.TextBuffer) std::fill(text, text + kTextBufferUnits, L'x');
         },
         ExpectedFile(L"X", {filled, filled, filled}, 3), kIncompleteText},
    };
    for (const Case& c : cases) {
        host.afterStrip = c.afterStrip;
        for (DWORD bound : kBounds) {
            SCOPED_TRACE(bound);
            SetReadBufferBound(bound);
            const RunRecord run = host.Run({FileSink, true, L"out.txt"});
            EXPECT_EQ(c.expected, host.ReadOutput(L"out.txt"));
            EXPECT_EQ(std::vector<std::wstring>{c.box}, Texts(run));
        }
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

TEST(ReadWindow, OffsetsFromTwoGibibytesUpAndPastFour)
{
    TestHost host;
    const std::string a2 = Utf16(L"д"), a4 = Utf16(L"че"), crossing = Utf16(std::wstring(20, L'ф'));
    host.SetArticlesAt({{0x7FFFFFF0ull, a2}, {0x80000010ull, a4}, {0xFFFFFFF0ull, crossing}});
    for (DWORD bound : kBounds) {
        SCOPED_TRACE(bound);
        SetReadBufferBound(bound);
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", {a2, a4, crossing}, 3), host.ReadOutput(L"out.txt"));
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

// Articles that share bytes in the read buffer: the NUL after one lies over the unit after it,
// which may be another's, until the next is handed on. Each must come out as a read of its own
// gives it, however it is read and whether or not it is copied out for the tag remover.
TEST(ReadWindow, ArticlesSharingBytesComeOutAsTheirOwnReadsGiveThem)
{
    TestHost host;
    std::wstring units;
    for (int i = 0; i < 12000; ++i) units += wchar_t(L'а' + i % 32);
    const std::string file = Utf16(units);
    host.SetArticles({file});
    auto bytes = [&file](DWORD offset, DWORD size) { return file.substr(offset, size); };
    struct Case {
        const char* what;
        std::vector<ArticleSpan> spans;  // over the file, which is one window's single block
        std::vector<std::string> expected;
        ULONGLONG copiedWithoutTags;  // bytes the reader copies itself
    };
    const Case cases[] = {
        {"a neighbour whose first unit held the NUL", {{0, 4}, {4, 6}}, {bytes(0, 4), bytes(4, 6)}, 0},
        {"the same, handed on in the other order", {{4, 2}, {0, 4}}, {bytes(4, 2), bytes(0, 4)}, 0},
        {"one article repeated", {{2, 6}, {2, 6}, {0, 2}}, {bytes(0, 2), bytes(2, 6), bytes(2, 6)}, 0},
        {"one contained in another, ending inside it", {{0, 12}, {2, 4}}, {bytes(2, 4), bytes(0, 12)}, 0},
        {"one contained in another, ending with it", {{0, 12}, {8, 4}}, {bytes(8, 4), bytes(0, 12)}, 0},
        {"an odd offset among neighbours",
         {{0, 4}, {5, 6}, {12, 8}},
         {bytes(0, 4), bytes(5, 6), bytes(12, 8)},
         6},
        {"an odd offset and an odd size", {{1, 5}, {6, 8}}, {bytes(1, 4), bytes(6, 8)}, 5},
        {"an odd offset alone, an odd size",
         {{0, 4}, {4, 8}, {20001, 7}},
         {bytes(0, 4), bytes(20001, 6), bytes(4, 8)},
         0},
    };
    for (const Case& c : cases) {
        for (DWORD bound : {kAutomaticReadBufferBound, DWORD(0)}) {
            for (bool strip : {false, true}) {
                SCOPED_TRACE(std::string(c.what) + (bound == 0 ? ", one read each" : ", windowed") +
                             (strip ? ", tags removed" : ""));
                SetReadBufferBound(bound);
                host.spans = c.spans;
                host.count = DWORD(c.spans.size());
                const RunRecord run = host.Run({FileSink, strip, L"out.txt"});
                EXPECT_TRUE(ExpectedFile(L"X", c.expected, host.count) == host.ReadOutput(L"out.txt"));
                EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
                if (bound != 0 && !strip) {
                    EXPECT_EQ(c.copiedWithoutTags, LastReadingCounts().BytesCopied);
                }
                EXPECT_FALSE(ArticleReaderHoldsMemory());
            }
        }
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

// A block may take the room up to its last unit, which then holds its last article's NUL, and
// no further: one byte more and the block ends before that article, which is read on its own.
TEST(ReadWindow, ABlockTakesTheRoomUpToItsLastUnitAndNoFurther)
{
    const DWORD bound = 64u << 10;
    const DWORD room = ReadWindowRoomWithin(bound);
    ASSERT_GT(room, 16u << 10);
    TestHost host;
    std::string text(2 * room + (64u << 10), '\0');
    for (size_t i = 0; i < text.size(); i += 2) text[i] = char('a' + i / 2 % 26);
    host.SetArticles({text});
    struct Case {
        DWORD blockBytes;  // two neighbours from offset 0, their NULs included
        DWORD reads;       // with the far article's own
    };
    for (const Case c : {Case{room, 2}, Case{room + 1, 3}, Case{room + 2, 3}}) {
        SCOPED_TRACE(c.blockBytes);
        // The far article keeps the whole list from fitting the bound; it is read on its own.
        const ArticleSpan distant = {room + (64u << 10), room / 2};
        host.spans = {{0, 4}, {4, c.blockBytes - 2 - 4}, distant};
        host.count = 3;
        SetReadBufferBound(bound);
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        const std::string expected =
            ExpectedFile(L"X",
                         {text.substr(0, 4), text.substr(distant.Offset, distant.Size),
                          text.substr(4, (c.blockBytes - 6) & ~1u)},
                         3);
        EXPECT_TRUE(expected == host.ReadOutput(L"out.txt")) << "the bytes one read per article gives";
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
        EXPECT_EQ(1u, LastReadingCounts().Windows);
        EXPECT_EQ(c.reads, LastReadingCounts().Reads);
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

// A block read that comes back short in its middle delivers the bytes that arrived to the
// articles they belong to, and marks exactly the others incomplete.
TEST(ReadWindow, AShortBlockReadMarksWhatItDidNotDeliver)
{
    TestHost host;
    const std::string file = Utf16(L"аабббввв");
    host.SetArticles({file});
    host.spans = {{0, 4}, {4, 6}, {10, 6}};
    host.count = 3;
    for (bool strip : {false, true}) {
        SCOPED_TRACE(strip ? "tags removed" : "tags kept");
        RunRecord run;
        {
            const ShortReads shortReads;
            run = host.Run({FileSink, strip, L"out.txt"});
        }
        EXPECT_EQ(ExpectedFile(L"X", {file.substr(0, 4), file.substr(4, 2), ""}, 3),
                  host.ReadOutput(L"out.txt"));
        EXPECT_EQ(std::vector<std::wstring>{kIncompleteText}, Texts(run));
    }
}

}  // namespace
