// The length of a NUL-terminated UTF-16 text, found a word or eight units at a time.
#pragma once

#include <windows.h>

// Units before the first NUL: eight at a time with SSE2 where the processor reports it, else two
// at a time. The text lies at an even address; the scan reads no further than the aligned block
// that holds its NUL, so never past the page where the text ends.
DWORD TextLength(const WCHAR* text);

// The two ways, for the tests and the benchmark; the second only where the processor has SSE2.
DWORD TextLengthByWords(const WCHAR* text);
DWORD TextLengthBySse2(const WCHAR* text);
