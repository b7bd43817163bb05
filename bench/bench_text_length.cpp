// Times the ways of finding an article's end over many texts laid back to back, as the output
// meets them: lstrlenW, two units a word, and eight units an SSE2 block.
#include <windows.h>

#include <cstdio>
#include <random>
#include <vector>

#include "output/text_length.h"
#include "seconds.h"

int main()
{
    // About FreeDict's articles: 20 to 700 units, 64 MiB in all, each at an even address.
    std::mt19937 random(7);
    std::vector<WCHAR> units;
    std::vector<size_t> starts;
    while (units.size() < (32u << 20)) {
        starts.push_back(units.size());
        units.insert(units.end(), 20 + random() % 680, L'ж');
        units.push_back(L'\0');
    }
    struct Way {
        const char* name;
        DWORD (*length)(const WCHAR*);
    };
    const Way ways[] = {
        {"lstrlenW", [](const WCHAR* text) { return DWORD(lstrlenW(text)); }},
        {"words", TextLengthByWords},
        {"sse2", IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) ? TextLengthBySse2 : nullptr}};
    for (const Way& way : ways) {
        if (way.length == nullptr) continue;
        double best = 1e9;
        ULONGLONG total = 0;
        for (int run = 0; run < 5; ++run) {
            total = 0;
            const double start = Seconds();
            for (size_t at : starts) total += way.length(units.data() + at);
            best = std::min(best, Seconds() - start);
        }
        printf("text-length way=%s texts=%u units=%llu seconds=%.4f ns-per-text=%.1f\n", way.name,
               unsigned(starts.size()), total, best, best * 1e9 / double(starts.size()));
    }
    return 0;
}
