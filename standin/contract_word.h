// Addresses and handles as the 32-bit words of the host contract, checked so that none is cut.
#pragma once

#include <windows.h>

// The word for an address the host hands over. Where the address does not fit in 32 bits (a
// 64-bit build whose memory lies above 4 GB) the host cannot keep the contract: it says so and
// exits with status 2 rather than hand over a shortened address.
DWORD ContractAddress(const void* address, const WCHAR* what);

// The word for a handle: handles are 32-bit values that widen with their sign.
DWORD ContractHandle(HANDLE handle, const WCHAR* what);
