// Decimal text of an unsigned 32-bit number, for the total line.
#include "output/output_sink.h"

WCHAR* AppendDecimal(DWORD value, WCHAR* destination)
{
    WCHAR scratch[16];
    int digits = 0;
    do {
        scratch[digits++] = WCHAR(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (digits > 0) *destination++ = scratch[--digits];
    return destination;
}
