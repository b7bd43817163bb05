// Finding a text's NUL a 32-bit word or a 16-byte block at a time, instead of a unit at a time.
#include "output/text_length.h"

#include <emmintrin.h>

#include <cstring>

// The output scans every article for its end, with lstrlenW about 8% of an export's samples; SSE2
// scans in about half the time, two units a word in the same (32-bit build; docs/benchmarks.md).
// The 32-bit product may run on a processor without SSE2, so it asks the system before using it.

namespace {

const bool hasSse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;

DWORD UnitsUpTo(const WCHAR* text, const void* end)
{
    return DWORD((static_cast<const BYTE*>(end) - reinterpret_cast<const BYTE*>(text)) / sizeof(WCHAR));
}

}  // namespace

DWORD TextLengthByWords(const WCHAR* text)
{
    const WCHAR* at = text;
    if ((UINT_PTR(at) & 2) != 0 && *at++ == L'\0') return 0;  // on to a 32-bit boundary
    for (;; at += 2) {
        DWORD word;
        memcpy(&word, at, sizeof word);
        // Nonzero exactly where one of the two units is zero.
        if (((word - 0x00010001u) & ~word & 0x80008000u) != 0) return UnitsUpTo(text, at + (at[0] != L'\0'));
    }
}

__attribute__((target("sse2"))) DWORD TextLengthBySse2(const WCHAR* text)
{
    // From the 16-byte block that holds the text's start, the units before it masked off.
    const UINT_PTR skipped = UINT_PTR(text) & 15;
    const __m128i* block = reinterpret_cast<const __m128i*>(UINT_PTR(text) - skipped);
    const __m128i zero = _mm_setzero_si128();
    unsigned nuls =
        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero))) >> skipped << skipped;
    while (nuls == 0) nuls = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(++block), zero)));
    return UnitsUpTo(text, reinterpret_cast<const BYTE*>(block) + __builtin_ctz(nuls));
}

DWORD TextLength(const WCHAR* text)
{
    return hasSse2 ? TextLengthBySse2(text) : TextLengthByWords(text);
}
