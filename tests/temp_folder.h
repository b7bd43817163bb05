// A temporary folder for a test's files, removed with everything in it.
#pragma once

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::wstring Path(const std::wstring& name) const;
    std::wstring Quoted(const std::wstring& name) const;  // the path in double quotes, for a command line
    void Write(const std::wstring& name, const std::string& bytes) const;
    std::string Read(const std::wstring& name) const;  // "(missing)" when it cannot be opened

    // Writes a dictd dictionary NAME.index with NAME.dict (or NAME.dict.dz, gzip-compressed),
    // one entry per text, headwords w0, w1, …; returns the .index file's path.
    std::wstring WriteDictd(const std::wstring& name, const std::vector<std::string>& entries,
                            bool compressed = false) const;

private:
    std::wstring path_;
};
