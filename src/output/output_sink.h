// Where the export run's text goes: a procedure of one 32-bit argument, 0 for success and 1 for failure.
#pragma once

#include <windows.h>

typedef DWORD (*OutputSink)(UINT_PTR argument);

// The argument is a phase, or else the address of a NUL-terminated UTF-16 article text.
constexpr UINT_PTR StartPhase = 0;   // begin the output; the header is in TextBuffer
constexpr UINT_PTR FinishPhase = 1;  // end the output with the total line
constexpr UINT_PTR AbortPhase = 2;   // end the output without a total line; nothing is reported

DWORD FileSink(UINT_PTR argument);
DWORD WindowSink(UINT_PTR argument);

// Writes the decimal digits of value at destination, without a NUL; returns the end.
WCHAR* AppendDecimal(DWORD value, WCHAR* destination);
