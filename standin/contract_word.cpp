// Checked conversions of the host's addresses and handles into contract words.
#include "contract_word.h"

#include <cwchar>

#include "journal.h"

namespace {

[[noreturn]] void CannotKeepContract(const void* value, const WCHAR* what)
{
    WCHAR hex[32];
    swprintf(hex, 32, L"%llx", static_cast<unsigned long long>(UINT_PTR(value)));
    Journal(std::wstring(L"error: ") + what + L" is at 0x" + hex +
            L", which does not fit in a 32-bit word of the host contract");
    ExitProcess(2);
}

}  // namespace

DWORD ContractAddress(const void* address, const WCHAR* what)
{
    if (UINT_PTR(address) > MAXDWORD) CannotKeepContract(address, what);
    return DWORD(UINT_PTR(address));
}

DWORD ContractHandle(HANDLE handle, const WCHAR* what)
{
    if (LongToHandle(HandleToLong(handle)) != handle) CannotKeepContract(handle, what);
    return HandleToULong(handle);
}
