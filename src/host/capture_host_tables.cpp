// Brings the host's two tables into the module state at every call of the entry.
#include "host/host_tables.h"

namespace {

// Copies table words 2 through length - 1, at most as many as the copy holds. The copy is
// cleared first, so a shorter table leaves no slot from an earlier call behind.
void CopyTable(DWORD* copy, const DWORD* table)
{
    memset(copy, 0, kCopiedWords * sizeof(DWORD));
    if (table == nullptr) return;
    const DWORD length = table[0];
    if (length <= kFirstCopiedWord) return;
    const DWORD words = length - kFirstCopiedWord < kCopiedWords ? length - kFirstCopiedWord : kCopiedWords;
    memcpy(copy, table + kFirstCopiedWord, words * sizeof(DWORD));
}

// Replaces the address of a host variable by the value it holds; a missing address gives 0.
void ReadThrough(DWORD& slot)
{
    if (slot != 0) slot = ReadHostWord(HostAddress(slot));
}

}  // namespace

void CaptureHostTables(const DWORD* dataTable, const DWORD* functionTable)
{
    CopyTable(State.HostData, dataTable);
    ReadThrough(State.HostData[kMainWindowWord - kFirstCopiedWord]);
    ReadThrough(State.HostData[kStatusWindowWord - kFirstCopiedWord]);
    CopyTable(State.HostFunctions, functionTable);
}
