// The 8-byte record the host writes for each article: where it lies in the article file and how large it is.
#pragma once

#include <cstdint>

struct ArticleSpan {
    uint32_t Offset;  // bytes from the start of the article file
    uint32_t Size;    // bytes of UTF-16LE text, no NUL
};

static_assert(sizeof(ArticleSpan) == 8, "the host writes spans back to back, 8 bytes each");
