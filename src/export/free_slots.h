// The free slots of a list being rebuilt from insertion indices, last-inserted first.
#pragma once

#include <cstdint>

inline uint32_t PopCount(uint32_t x)
{
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    return (((x + (x >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}

// A bitmap of 32-slot words (set = free) and a Fenwick tree of free counts per word, padded to a
// power of two so a search needs no bounds check. For the lists of one size it is small enough
// to stay in the first-level cache.
struct FreeSlots {
    uint32_t* bits;
    uint32_t* tree;  // 1-based, words entries
    uint32_t words;  // a power of two

    // The words of memory the map takes for the given number of slots.
    static uint64_t MemoryWords(uint32_t slots)
    {
        uint64_t words = 1;
        while (words * 32 < slots) words *= 2;
        return 2 * words + 1;
    }

    FreeSlots(uint32_t* memory, uint32_t slots) : bits(memory), words(1)
    {
        while (words * 32 < slots) words *= 2;
        tree = memory + words;
        for (uint32_t w = 0; w < words; ++w) {
            const uint32_t first = w * 32;
            bits[w] = first >= slots ? 0 : slots - first >= 32 ? 0xFFFFFFFFu : (1u << (slots - first)) - 1;
        }
        for (uint32_t i = 1; i <= words; ++i) tree[i] = PopCount(bits[i - 1]);
        for (uint32_t i = 1; i <= words; ++i) {
            const uint32_t parent = i + (i & (0u - i));
            if (parent <= words) tree[parent] += tree[i];
        }
    }

    // Takes the free slot of the given 0-based rank; returns its index.
    uint32_t Take(uint32_t rank)
    {
        uint32_t word = 0;
        for (uint32_t step = words; step > 0; step >>= 1) {
            const uint32_t below = tree[word + step];
            const bool past = below <= rank;  // branch-free: the outcome is a coin toss
            word += past ? step : 0;
            rank -= past ? below : 0;
        }
        uint32_t free = bits[word];
        for (; rank > 0; --rank) free &= free - 1;
        const uint32_t bit = uint32_t(__builtin_ctz(free));
        bits[word] &= ~(1u << bit);
        for (uint32_t i = word + 1; i <= words; i += i & (0u - i)) --tree[i];
        return word * 32 + bit;
    }

    // The number of free slots before the given one.
    uint32_t FreeBefore(uint32_t slot) const
    {
        uint32_t free = PopCount(bits[slot / 32] & ((1u << (slot % 32)) - 1));
        for (uint32_t i = slot / 32; i > 0; i &= i - 1) free += tree[i];
        return free;
    }
};
