// The export run through both outputs, with a real article file, real windows and real message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "crowded_address_space.h"
#include "export/article_reader.h"
#include "export/article_reader_hooks.h"
#include "plugin_texts.h"
#include "short_calls.h"
#include "state/module_state.h"
#include "test_host.h"

namespace {

// True when nobody holds the file open: it can be opened with no sharing at all.
bool FileIsClosed(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

class ExportRun : public ::testing::Test {
protected:
    TestHost host;
    const std::string a6 = Utf16(L"шесть"), a2 = Utf16(L"д"), a4 = Utf16(L"че");
};

TEST_F(ExportRun, WritesTheFileByteForByteAndReportsSuccess)
{
    host.SetArticles({Utf16(L"шес"), a2, a4});
    const RunRecord run = host.Run({FileSink, false, L"out.txt"});

    EXPECT_EQ(ExpectedFile(L"X", {a2, a4, Utf16(L"шес")}, 3), host.ReadOutput(L"out.txt"));
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ(kSuccessText, run.boxes[0].text);
    EXPECT_EQ(host.PathOf(L"out.txt"), run.boxes[0].caption);  // the name as typed
    EXPECT_EQ(host.MainWindow(), run.boxes[0].owner);
    EXPECT_EQ(0u, run.boxes[0].icon);
    EXPECT_EQ(std::vector<std::wstring>{kSortingText}, run.statusAtFill);
    EXPECT_EQ(L"", run.statusAfter);
    EXPECT_FALSE(run.dialogEnabledDuringRun) << "a second OK must not start a nested run";
    EXPECT_EQ(nullptr, State.SpanList);
    EXPECT_TRUE(FileIsClosed(host.PathOf(L"out.txt")));
}

TEST_F(ExportRun, CountsFromZeroAndReplacesTheFileOnEveryRun)
{
    host.SetArticles({a6, a2, a4});
    const std::string junk(10000, 'j');
    for (int runs = 0; runs < 2; ++runs) {
        HANDLE file = CreateFileW(host.PathOf(L"out.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  0, nullptr);
        DWORD written;
        WriteFile(file, junk.data(), DWORD(junk.size()), &written, nullptr);
        CloseHandle(file);
        host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", {a2, a4, a6}, 3), host.ReadOutput(L"out.txt")) << "run " << runs;
    }
}

TEST_F(ExportRun, TagRemovalOnlyWhenChosen)
{
    host.SetArticles({Utf16(L"<b>жир</b>"), Utf16(L"<i>к</i>")});
    struct Case {
        bool strip;
        int stripCalls;
        std::vector<std::string> articles;
    };
    const Case cases[] = {
        {false, 0, {Utf16(L"<i>к</i>"), Utf16(L"<b>жир</b>")}},
        {true, 2, {Utf16(L"к"), Utf16(L"жир")}},
    };
    for (const Case& c : cases) {
        const RunRecord run = host.Run({FileSink, c.strip, L"out.txt"});
        EXPECT_EQ(c.stripCalls, run.stripCalls);
        EXPECT_EQ(std::vector<std::wstring>(c.stripCalls, kWritingText), run.statusAtStrip);
        EXPECT_EQ(ExpectedFile(L"X", c.articles, 2), host.ReadOutput(L"out.txt"));
    }
}

TEST_F(ExportRun, DictionaryCountsOfZeroAndOne)
{
    struct Case {
        std::vector<std::string> articles;
    };
    for (const Case& c : {Case{{}}, Case{{a4}}}) {
        host.SetArticles(c.articles);
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", c.articles, DWORD(c.articles.size())), host.ReadOutput(L"out.txt"));
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
    }
}

TEST_F(ExportRun, WindowOutputIntoEachPane)
{
    const std::string withNul = Utf16(L"до") + std::string(2, '\0') + Utf16(L"после");
    host.SetArticles({a6, withNul, a2});
    for (int pane = 0; pane < 3; ++pane) {
        const RunRecord run = host.Run({WindowSink, true, L"unused.txt", pane});
        EXPECT_EQ(
            L"#Отсортированные по размеру статьи словаря X:\r\n\r\nд\r\nшесть\r\nдо\r\n"
            L"\r\n#Всего найдено карточек: 3",
            host.PaneText(pane));
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(std::vector<std::wstring>(3, kWritingText), run.statusAtStrip);
        EXPECT_EQ(L"", run.statusAfter);
    }
    EXPECT_EQ("(missing)", host.ReadOutput(L"unused.txt"));
}

// A pane full at its limit drops what is added without a word: the run stops there with the
// warning, and adds no total line that would count articles the pane does not hold. A pane that
// counts more than it was given has lost nothing.
TEST_F(ExportRun, APaneAtItsLimitEndsTheRunWithTheWarning)
{
    host.SetArticles({a6, a2, a4});
    const std::wstring whole =
        L"#Отсортированные по размеру статьи словаря X:\r\n\r\nд\r\nче\r\nшесть\r\n\r\n#Всего найдено "
        L"карточек: 3";
    struct Case {
        size_t limit;      // 0: the largest
        bool breaksTwice;  // the pane counts one unit more per line break than it was given
        bool whole;
    };
    // One short of the whole text refuses the count; two short, the total line before it; just
    // after the first article, the line break that ends it.
    for (const Case c :
         {Case{0, false, true}, Case{whole.size(), false, true}, Case{whole.size() - 1, false, false},
          Case{whole.size() - 2, false, false}, Case{whole.find(L"д\r\n") + 1, false, false},
          Case{60, false, false}, Case{10, false, false}, Case{0, true, true}, Case{10, true, false}}) {
        SCOPED_TRACE(testing::Message() << c.limit << (c.breaksTwice ? ", breaks counted twice" : ""));
        host.paneLimit = int(c.limit);
        host.paneCountsBreaksTwice = c.breaksTwice;
        const RunRecord run = host.Run({WindowSink, false, L"unused.txt", 2});
        const std::wstring text = host.PaneText(2);
        EXPECT_EQ(c.whole ? std::vector<std::wstring>{} : std::vector<std::wstring>{kPaneIncompleteText},
                  Texts(run));
        EXPECT_EQ(c.whole ? whole.size() : std::min(text.size(), c.limit), text.size());
        EXPECT_EQ(whole.substr(0, text.size()), text) << "what the pane took, in order";
    }
}

// The host owns its windows and may destroy them while a run is under way: the run goes on,
// writes what it can, and its last box still reaches the user, with the host's quit kept for it.
TEST_F(ExportRun, WindowsTheHostDestroysDuringARun)
{
    const struct {
        const char* what;
        void (*atFirstStrip)(TestHost&);
        OutputSink sink;
        int stripCalls;
        std::vector<std::wstring> boxes;
        int quitWhileBoxUp;  // exit code of a newer quit the host posts while the box is up
        WPARAM quitAfter;    // exit code of the quit pending afterwards; 0: none
    } cases[] = {
        {"the status window",
         [](TestHost& h) { h.DestroyStatusWindow(); },
         FileSink,
         3,
         {kSuccessText},
         0,
         0},
        // Nothing more can reach the pane: the run stops at the first article it could not add.
        {"the target pane",
         [](TestHost& h) { h.DestroyPane(1); },
         WindowSink,
         1,
         {kPaneIncompleteText},
         0,
         0},
        {"the main window",
         [](TestHost& h) { h.DestroyMainWindow(false); },
         FileSink,
         3,
         {kSuccessText},
         0,
         0},
        {"the main window, quitting",
         [](TestHost& h) { h.DestroyMainWindow(true); },
         FileSink,
         3,
         {kSuccessText},
         0,
         7},
        {"the main window, quitting, and a newer quit while the box is up",
         [](TestHost& h) { h.DestroyMainWindow(true); },
         FileSink,
         3,
         {kSuccessText},
         9,
         9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost each;
        each.SetArticles({a6, a2, a4});
        each.atFirstStrip = c.atFirstStrip;
        each.quitWhileBoxUp = c.quitWhileBoxUp;
        const RunRecord run = each.Run({c.sink, true, L"out.txt", 1});
        EXPECT_EQ(c.stripCalls, run.stripCalls);
        EXPECT_EQ(c.boxes, Texts(run));
        for (const SeenBox& box : run.boxes) EXPECT_TRUE(box.owner == nullptr || IsWindow(box.owner));
        MSG quit = {};
        EXPECT_EQ(c.quitAfter != 0, PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE)
            << "the host's quit is still there for its own loop";
        EXPECT_EQ(c.quitAfter, quit.wParam) << "the newest quit's exit code stands";
        if (c.sink != FileSink) continue;
        EXPECT_EQ(ExpectedFile(L"X", {a2, a4, a6}, 3), each.ReadOutput(L"out.txt"));
    }
}

TEST_F(ExportRun, NulInsideAnArticleEndsItInTheFileToo)
{
    host.SetArticles({Utf16(L"до") + std::string(2, '\0') + Utf16(L"после")});
    host.Run({FileSink, false, L"out.txt"});
    EXPECT_EQ(ExpectedFile(L"X", {Utf16(L"до")}, 1), host.ReadOutput(L"out.txt"));
}

TEST_F(ExportRun, ArticlesLargerThanTheTextBufferAreExportedWhole)
{
    host.CaptureTables();
    const ModuleState before = State;
    struct Case {
        size_t bytes;
        size_t exportedBytes;  // an odd size loses its half unit
    };
    for (const Case c :
         {Case{262142, 262142}, Case{262143, 262142}, Case{262144, 262144}, Case{1 << 20, 1 << 20}}) {
        std::string big(c.bytes, '\0');
        for (size_t i = 0; i + 1 < c.bytes; i += 2) big[i] = char('a' + (i / 2) % 26);
        host.SetArticles({big, a2});
        const RunRecord run = host.Run({FileSink, true, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", {a2, big.substr(0, c.exportedBytes)}, 2), host.ReadOutput(L"out.txt"))
            << c.bytes << " bytes";
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
        EXPECT_FALSE(ArticleReaderHoldsMemory()) << "the larger buffer is released at run end";
        EXPECT_EQ(before.ModuleInstance, State.ModuleInstance) << "nothing written past TextBuffer";
        EXPECT_EQ(0, memcmp(before.HostFunctions, State.HostFunctions, sizeof State.HostFunctions));
    }
}

TEST_F(ExportRun, ShortReadsAndOddSizesNeverShowEarlierBytes)
{
    const std::string abc = Utf16(L"abc");
    struct Case {
        const char* what;
        ArticleSpan span;  // over the 6-byte file "abc"
        std::string exported;
        bool incomplete;
    };
    const Case cases[] = {
        {"odd size", {0, 3}, Utf16(L"a"), false},
        {"past the end", {4, 40}, Utf16(L"c"), true},
        {"wholly past the end", {100, 8}, "", true},
    };
    for (const Case& c : cases) {
        host.SetArticles({abc});
        host.spans = {c.span};
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", {c.exported}, 1), host.ReadOutput(L"out.txt")) << c.what;
        EXPECT_EQ(std::vector<std::wstring>{c.incomplete ? kIncompleteText : kSuccessText}, Texts(run))
            << c.what;
        if (c.incomplete) {
            EXPECT_EQ(host.MainWindow(), run.boxes[0].owner);
            EXPECT_EQ(UINT(MB_ICONWARNING), run.boxes[0].icon);
        }
    }
}

// Up to the last offset a span can name: there the seek's answer, 0xFFFFFFFF, is also the one
// that means failure, and only the system's error code tells them apart. Read in one block with
// its neighbour, and on its own.
TEST_F(ExportRun, OffsetsFromTwoGibibytesUp)
{
    const std::string a3 = Utf16(L"три");
    host.SetArticlesAt({{0x7FFFFFF0ull, a2}, {0x80000010ull, a4}, {0xFFFFFFF0ull, a6}, {0xFFFFFFFFull, a3}});
    for (DWORD bound : {kAutomaticReadBufferBound, DWORD(0)}) {
        SCOPED_TRACE(bound == 0 ? "one read per article" : "through the read buffer");
        SetReadBufferBound(bound);
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(ExpectedFile(L"X", {a2, a4, a3, a6}, 4), host.ReadOutput(L"out.txt"));
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));
    }
    SetReadBufferBound(kAutomaticReadBufferBound);
}

TEST_F(ExportRun, AFileThatCannotBeCreatedStopsTheRunCleanly)
{
    host.SetArticles({a6, a2});
    const RunRecord run = host.Run({FileSink, false, L"C:\\no such folder\\out.txt"});
    EXPECT_EQ(std::vector<std::wstring>{kWriteErrorText}, Texts(run));
    EXPECT_NE(host.PathOf(L"C:\\no such folder\\out.txt"), run.boxes[0].caption) << "the platform's caption";
    EXPECT_EQ(UINT(MB_ICONERROR), run.boxes[0].icon);
    EXPECT_EQ(host.MainWindow(), run.boxes[0].owner);
    EXPECT_EQ(0, run.fillCalls) << "no article is read";
    EXPECT_EQ(L"", run.statusAfter);
    EXPECT_EQ(nullptr, State.SpanList);
}

TEST_F(ExportRun, WriteFailuresShowOneErrorAndNoSuccess)
{
    struct Case {
        const char* what;
        size_t articles;
        bool stopsEarly;   // the failure is found while articles are still being read
        bool shortWrites;  // writes succeed with fewer bytes written, instead of a full disk
    };
    for (const Case c :
         {Case{"found at the end", 3, false, false}, Case{"found midway", 3000, true, false},
          Case{"short, found at the end", 3, false, true}, Case{"short, found midway", 3000, true, true}}) {
        std::vector<std::string> articles;
        for (size_t i = 0; i < c.articles; ++i) articles.push_back(std::string(1000, 'x'));
        host.SetArticles(articles);
        for (bool strip : {true, false}) {
            SCOPED_TRACE(strip ? "tags removed" : "tags kept: each article handed on from the read buffer");
            std::unique_ptr<ShortWrites> shortWrites(c.shortWrites ? new ShortWrites : nullptr);
            const RunRecord run = host.Run({FileSink, strip, c.shortWrites ? L"out.txt" : L"Z:\\dev\\full"});
            shortWrites.reset();
            EXPECT_EQ(std::vector<std::wstring>{kWriteErrorText}, Texts(run)) << c.what;
            if (strip) {
                EXPECT_EQ(c.stopsEarly, size_t(run.stripCalls) < c.articles) << c.what;
            }
            EXPECT_EQ(INVALID_HANDLE_VALUE, State.OutputTarget) << "the file is closed";
            EXPECT_FALSE(ArticleReaderHoldsMemory()) << "the reader closed with nothing held";
            EXPECT_EQ(L"", run.statusAfter);
        }
    }
}

TEST_F(ExportRun, NoSpanListIsReportedAndTheFileClosed)
{
    host.SetArticles({a6, a2});
    host.provideFillArticleSpans = false;
    const RunRecord run = host.Run({FileSink, false, L"out.txt"});
    EXPECT_EQ(std::vector<std::wstring>{kNoListText}, Texts(run));
    EXPECT_EQ(UINT(MB_ICONERROR), run.boxes[0].icon);
    EXPECT_TRUE(FileIsClosed(host.PathOf(L"out.txt")));
}

}  // namespace

namespace {

TEST_F(ExportRun, ManyArticlesAndAVeryLongName)
{
    host.CaptureTables();
    const ModuleState before = State;
    struct Case {
        const char* what;
        DWORD articles;
        size_t nameUnits;
    };
    for (const Case c : {Case{"two articles", 2, 1}, Case{"2^20 articles", 1u << 20, 1},
                         Case{"a name longer than TextBuffer", 3, kTextBufferUnits + 100}}) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> articles;
        for (DWORD i = 0; i < c.articles; ++i)
            articles.push_back(Utf16(std::wstring(1, wchar_t(L'а' + i % 3))));
        host.SetArticles(articles);
        host.dictionaryName = std::wstring(c.nameUnits, L'Н');
        const RunRecord run = host.Run({FileSink, false, L"out.txt"});
        EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(run));

        const std::string file = host.ReadOutput(L"out.txt");
        const std::string total = Utf16(L"\r\n#Всего найдено карточек: " + std::to_wstring(c.articles));
        ASSERT_GE(file.size(), total.size());
        EXPECT_EQ(total, file.substr(file.size() - total.size()));
        // Header up to the end of TextBuffer at most, then every article as a line of its own.
        const size_t header = file.find(Utf16(L":\r\n\r\n"));
        ASSERT_NE(std::string::npos, header);
        EXPECT_LE(header / 2, size_t(kTextBufferUnits));
        EXPECT_EQ(2 + header + 8 + c.articles * 6 + total.size(), file.size());
        EXPECT_EQ(before.ModuleInstance, State.ModuleInstance) << "nothing written past TextBuffer";
        EXPECT_EQ(0, memcmp(before.HostFunctions, State.HostFunctions, sizeof State.HostFunctions));
    }
}

}  // namespace

namespace {

// Neither the read buffer for the whole list nor the fast ordering's scratch can be had: the
// reader takes a smaller buffer, the ordering batches as large as it can have and the output
// its static buffer, and the file is the same. Where not even an article's own larger buffer
// can be had, that article comes out empty and the user is told.
TEST_F(ExportRun, AHostWithItsAddressSpaceNearlyFullGetsTheSameFile)
{
    std::mt19937 random(5);
    std::vector<std::string> articles;
    for (int i = 0; i < 60000; ++i) articles.push_back(Utf16(std::wstring(1 + random() % 40, L'а' + i % 32)));
    const std::string large(600000, 'x');
    struct Case {
        const char* what;
        SIZE_T largestPiece;
        bool withLarge;  // one article larger than TextBuffer, and larger than any piece to be had
    };
    for (const Case c :
         {Case{"no piece above 1 MiB", 1u << 20, false}, Case{"none above 512 KiB", 512u << 10, false},
          Case{"none above 512 KiB, an article larger than that", 512u << 10, true}}) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> these = articles;
        if (c.withLarge) these.push_back(large);
        host.SetArticles(these);
        const RunRecord roomy = host.Run({FileSink, false, L"roomy.txt"});
        ASSERT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(roomy));
        ASSERT_EQ(1u, LastReadingCounts().Windows);

        RunRecord crowded;
        ReadingCounts counts;
        {
            const CrowdedAddressSpace space(c.largestPiece, 24u << 20);
            crowded = host.Run({FileSink, false, L"crowded.txt"});
            counts = LastReadingCounts();
        }
        EXPECT_GT(counts.Windows, 1u) << "a smaller read buffer";
        EXPECT_FALSE(ArticleReaderHoldsMemory());
        if (!c.withLarge) {
            EXPECT_EQ(std::vector<std::wstring>{kSuccessText}, Texts(crowded));
            EXPECT_EQ(host.ReadOutput(L"roomy.txt"), host.ReadOutput(L"crowded.txt"));
            continue;
        }
        // The large article is the last line: it comes out empty, and nothing else changes.
        EXPECT_EQ(std::vector<std::wstring>{kIncompleteText}, Texts(crowded));
        const std::string line = large + Utf16(L"\r\n");
        std::string expected = host.ReadOutput(L"roomy.txt");
        const size_t at = expected.find(line);
        ASSERT_NE(std::string::npos, at);
        expected.replace(at, line.size(), Utf16(L"\r\n"));
        EXPECT_EQ(expected, host.ReadOutput(L"crowded.txt"));
    }
}

}  // namespace
