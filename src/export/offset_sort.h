// Sorting a window's entries by their offsets in the article file.
#pragma once

#include <windows.h>

// A window entry's span and its place in the window's list order.
struct OffsetKey {
    DWORD Offset, Size, Entry;
};

// Sorts keys by offset, keeping equal offsets in the order they come in, through scratch room
// for as many keys.
void SortByOffset(OffsetKey* keys, DWORD count, OffsetKey* scratch);
