// Temporary folders and the files tests put in them.
#include "temp_folder.h"

#include <windows.h>
#include <zlib.h>

namespace {

std::string Gzip(const std::string& text)
{
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&stream, uLong(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&packed[0]);
    stream.avail_out = uInt(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

// dictd's base64 numbers, most significant digit first.
std::string DictdNumber(size_t value)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 64]);
        value /= 64;
    } while (value != 0);
    return text;
}

}  // namespace

// Named by the process and a count, so that test programs running side by side never pick the
// same folder; a name left by an earlier program with a reused process id is skipped.
TempFolder::TempFolder()
{
    static unsigned made;
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    do {
        path_ = std::wstring(temp) + L"zaq-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++made);
    } while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TempFolder::~TempFolder()
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Path(L"*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
        SetFileAttributesW(Path(found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Path(found.cFileName).c_str());
        if (!FindNextFileW(search, &found)) break;
    }
    FindClose(search);
    RemoveDirectoryW(path_.c_str());
}

std::wstring TempFolder::Path(const std::wstring& name) const
{
    return path_ + L"\\" + name;
}

std::wstring TempFolder::Quoted(const std::wstring& name) const
{
    return L"\"" + Path(name) + L"\"";
}

void TempFolder::Write(const std::wstring& name, const std::string& bytes) const
{
    HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string TempFolder::Read(const std::wstring& name) const
{
    HANDLE file =
        CreateFileW(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

std::wstring TempFolder::WriteDictd(const std::wstring& name, const std::vector<std::string>& entries,
                                    bool compressed) const
{
    std::string index, dict;
    for (size_t i = 0; i < entries.size(); ++i) {
        index += "w" + std::to_string(i) + "\t" + DictdNumber(dict.size()) + "\t" +
                 DictdNumber(entries[i].size()) + "\n";
        dict += entries[i];
    }
    Write(name + L".index", index);
    Write(name + (compressed ? L".dict.dz" : L".dict"), compressed ? Gzip(dict) : dict);
    return Path(name + L".index");
}
