// Dictionary records laid out as the host lays them out, for tests that call the plug-in in-process.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/article_span.h"

// A record with the article file handle at byte 8, the count block after the name, and the
// count at byte 16 of that block.
class FakeRecord {
public:
    FakeRecord(const std::wstring& name, DWORD count, HANDLE articleFile = nullptr)
        : bytes_(16 + (name.size() + 1) * 2 + 20 + 3, 0)
    {
        const DWORD countBlock = DWORD(16 + (name.size() + 1) * 2);
        Put(8, HandleToULong(articleFile));
        Put(12, countBlock);
        memcpy(bytes_.data() + 16, name.c_str(), (name.size() + 1) * 2);
        Put(countBlock + 16, count);
    }
    const BYTE* data() const
    {
        return bytes_.data();
    }

private:
    void Put(size_t at, DWORD word)
    {
        memcpy(bytes_.data() + at, &word, 4);
    }
    std::vector<BYTE> bytes_;
};
