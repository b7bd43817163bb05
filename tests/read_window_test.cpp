// Reading the articles in offset order through the read buffer writes exactly what one seek and
// one read per article writes, whatever the spans and whatever the buffer's bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "export/article_reader.h"
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
         ExpectedFile(L"X", {lengthened, lengthened, lengthened}, 3), L"Данные в файл записаны успешно!"},
        {[](WCHAR* text) {
             if (text == State.TextBuffer) std::fill(text, text + kTextBufferUnits, L'x');
         },
         ExpectedFile(L"X", {filled, filled, filled}, 3), L"Не все статьи удалось прочитать полностью!"},
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
        EXPECT_EQ(std::vector<std::wstring>{L"Данные в файл записаны успешно!"}, Texts(run));
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

}  // namespace
