// Reads a dictionary's articles in size order as an export does, under several bounds of the read
// buffer, and prints the windows made and the bytes read against the article file's size.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "export/article_reader.h"
#include "export/article_reader_hooks.h"
#include "export/size_order.h"
#include "seconds.h"

namespace {

struct Bound {
    const char* name;
    DWORD bytes;
};

// Named as the export benchmark names its ways of reading.
const Bound kBounds[] = {{"default", kAutomaticReadBufferBound},
                         {"16MiB", 16u << 20},
                         {"32MiB", 32u << 20},
                         {"64MiB", 64u << 20},
                         {"whole", 512u << 20},
                         {"per-article", 0}};

}  // namespace

// Usage: bench_reading (--dict INDEX | --synthetic N) [WAY [TIMES]]: every way once, or one way
// TIMES times over, as for a profile.
int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || argc > 5) {
        fprintf(stderr, "usage: bench_reading (--dict INDEX | --synthetic N) [WAY [TIMES]]\n");
        return 2;
    }
    const int times = argc == 5 ? _wtoi(argv[4]) : 1;
    std::wstring error;
    const std::unique_ptr<Dictionary> dictionary = wcscmp(argv[1], L"--synthetic") == 0
                                                       ? MakeSynthetic(DWORD(_wtoi(argv[2])), error)
                                                       : LoadDictd(argv[2], error);
    if (!dictionary) {
        fprintf(stderr, "bench_reading: %ls\n", error.c_str());
        return 1;
    }
    std::vector<ArticleSpan> spans = dictionary->spans;
    SortSpansBySize(spans.data(), DWORD(spans.size()));
    LARGE_INTEGER fileBytes = {};
    GetFileSizeEx(dictionary->articleFile, &fileBytes);

    for (const Bound& bound : kBounds) {
        wchar_t name[16];
        swprintf(name, 16, L"%hs", bound.name);
        if (argc >= 4 && wcscmp(argv[3], name) != 0) continue;
        SetReadBufferBound(bound.bytes);
        for (int time = 0; time < times; ++time) {
            const double start = Seconds();
            OpenArticleReader(dictionary->articleFile, spans.data(), DWORD(spans.size()));
            for (DWORD i = 0; i < spans.size(); ++i) FetchArticle(i);
            CloseArticleReader();
            const double seconds = Seconds() - start;
            const ReadingCounts counts = LastReadingCounts();
            printf(
                "reading way=%s windows=%lu reads=%lu bytes-read=%llu bytes-copied=%llu file-bytes=%lld "
                "seconds=%.3f\n",
                bound.name, static_cast<unsigned long>(counts.Windows),
                static_cast<unsigned long>(counts.Reads), counts.BytesRead, counts.BytesCopied,
                fileBytes.QuadPart, seconds);
        }
    }
    return 0;
}
