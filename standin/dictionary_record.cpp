// Laying out a dictionary record as the host does.
#include "dictionary_record.h"

#include <cstring>

std::vector<BYTE> EncodeDictionaryRecord(const std::wstring& name, DWORD count, DWORD articleFile)
{
    const DWORD nameBytes = DWORD((name.size() + 1) * sizeof(WCHAR));
    const DWORD countBlock = (16 + nameBytes + 3) & ~3u;
    std::vector<BYTE> record(countBlock + 20, 0);
    memcpy(record.data(), "ZAQD", 4);
    memcpy(record.data() + 8, &articleFile, 4);
    memcpy(record.data() + 12, &countBlock, 4);
    memcpy(record.data() + 16, name.c_str(), nameBytes);
    memcpy(record.data() + countBlock + 16, &count, 4);
    return record;
}
