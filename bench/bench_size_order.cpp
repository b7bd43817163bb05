// Times the size order for large span lists, with and without the fast path's scratch.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "export/size_order.h"
#include "export/size_sort_paths.h"
#include "seconds.h"

namespace {

std::vector<ArticleSpan> MakeSpans(uint32_t count, bool heavyTies, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<ArticleSpan> spans(count);
    uint32_t offset = 0;
    for (ArticleSpan& span : spans) {
        span.Size = heavyTies ? 100 + 2 * (random() % 16) * 90 : 20 + random() % 2981;
        span.Offset = offset;
        offset += span.Size;
    }
    return spans;
}

// Best of a few runs: the least disturbed by the rest of the machine.
template <typename Sort>
double Time(const std::vector<ArticleSpan>& input, Sort sort, int runs)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        std::vector<ArticleSpan> spans = input;
        const double start = Seconds();
        sort(spans);
        best = std::min(best, Seconds() - start);
    }
    return best;
}

}  // namespace

// With "--exchange N": only the seconds the exchange sort takes for N spans of uniform sizes.
int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--exchange") == 0) {
        const std::vector<ArticleSpan> input = MakeSpans(uint32_t(atoi(argv[2])), false, 1);
        printf("%.4f\n",
               Time(
                   input,
                   [](std::vector<ArticleSpan>& s) { ExchangeSortBySize(s.data(), uint32_t(s.size())); }, 1));
        return 0;
    }
    printf("%-9s %-22s %10s %14s %16s %10s %14s %10s %12s %8s\n", "spans", "sizes", "ours (s)", "static (s)",
           "largest (s)", "fast (s)", "one batch (s)", "by size (s)", "exchange (s)", "ratio");
    for (uint32_t count : {10000u, 50000u, 100000u, 1000000u, 10000000u}) {
        for (bool heavyTies : {false, true}) {
            const std::vector<ArticleSpan> input = MakeSpans(count, heavyTies, count);
            const int runs = count >= 1000000 ? 1 : 3;
            const double ours = Time(
                input, [](std::vector<ArticleSpan>& s) { SortSpansBySize(s.data(), DWORD(s.size())); },
                runs + 2);
            // The orders a host gets when the fast path's scratch cannot be had: through the static
            // area alone (minutes at 10^7, so not timed there), and through the largest batch area.
            char staticOnly[32] = "-";
            if (count <= 1000000) {
                const double seconds = Time(
                    input,
                    [](std::vector<ArticleSpan>& s) {
                        BatchedSortBySize(s.data(), uint32_t(s.size()), 0, nullptr);
                    },
                    runs);
                snprintf(staticOnly, sizeof staticOnly, "%.4f", seconds);
            }
            DWORD batch = 0;
            const double largest = Time(
                input,
                [&batch](std::vector<ArticleSpan>& s) {
                    batch = BatchedSortInLargestArea(s.data(), DWORD(s.size()));
                },
                runs);
            // The batched path given one batch of the whole list, against the fast path, each with
            // its memory taken once beforehand: where they come close, one algorithm could serve both.
            void* scratch = VirtualAlloc(nullptr, FastSortScratchBytes(count), MEM_COMMIT, PAGE_READWRITE);
            const double fast = Time(
                input,
                [scratch](std::vector<ArticleSpan>& s) {
                    FastSortBySize(s.data(), uint32_t(s.size()), scratch);
                },
                runs + 2);
            VirtualFree(scratch, 0, MEM_RELEASE);
            const uint32_t oneBatchBytes = BatchAreaBytes(count, count);
            void* oneBatchArea = VirtualAlloc(nullptr, oneBatchBytes, MEM_COMMIT, PAGE_READWRITE);
            const double oneBatch = Time(
                input,
                [oneBatchArea](std::vector<ArticleSpan>& s) {
                    BatchedSortBySize(s.data(), uint32_t(s.size()), uint32_t(s.size()), oneBatchArea);
                },
                runs + 2);
            VirtualFree(oneBatchArea, 0, MEM_RELEASE);
            char largestText[48];
            snprintf(largestText, sizeof largestText, "%.4f (w=%lu)", largest,
                     static_cast<unsigned long>(batch));
            const double bySize = Time(
                input,
                [](std::vector<ArticleSpan>& s) {
                    std::sort(s.begin(), s.end(),
                              [](const ArticleSpan& a, const ArticleSpan& b) { return a.Size < b.Size; });
                },
                runs + 2);
            char exchange[32] = "-";
            if (count <= 50000) {
                const double seconds = Time(
                    input,
                    [](std::vector<ArticleSpan>& s) { ExchangeSortBySize(s.data(), uint32_t(s.size())); }, 1);
                snprintf(exchange, sizeof exchange, "%.4f", seconds);
            }
            printf("%-9u %-22s %10.4f %14s %16s %10.4f %14.4f %10.4f %12s %8.2f\n", count,
                   heavyTies ? "16 sizes (heavy ties)" : "uniform 20-3000", ours, staticOnly, largestText,
                   fast, oneBatch, bySize, exchange, ours / bySize);
            fflush(stdout);
        }
    }
    return 0;
}
