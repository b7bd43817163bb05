// The dictionary record as the host lays it out, for the stand-in host and the in-process tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A record: a tag in bytes 0-3, bytes 4-7 unused, the article file's handle (as a contract word)
// at 8, the distance to the count block at 12, the NUL-terminated name from 16, and the count
// block, four-byte aligned, holding the article count at its byte 16.
std::vector<BYTE> EncodeDictionaryRecord(const std::wstring& name, DWORD count, DWORD articleFile);
