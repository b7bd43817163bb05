// Loading dictd dictionaries into UTF-16LE article files and the records the plug-in reads.
#include "dictionary.h"

#include <zlib.h>

#include <cstring>

#include "contract_word.h"
#include "dictionary_record.h"

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        bytes.resize(size_t(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr) && read == bytes.size();
    }
    CloseHandle(file);
    return ok;
}

// A gzip stream (a dictzip file is one) inflated whole.
bool Gunzip(const std::string& packed, std::string& text)
{
    z_stream stream = {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = uInt(packed.size());
    text.clear();
    int status = Z_OK;
    char chunk[1 << 16];
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        text.append(chunk, sizeof chunk - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

// dictd's base64 numbers: offsets and lengths in the index.
bool DecodeNumber(const std::string& digits, DWORD& value)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    unsigned long long number = 0;
    for (char digit : digits) {
        const char* at = strchr(alphabet, digit);
        if (digit == '\0' || at == nullptr) return false;
        number = number * 64 + unsigned(at - alphabet);
        if (number > 0xFFFFFFFFull) return false;
    }
    value = DWORD(number);
    return !digits.empty();
}

std::wstring Widen(const char* text, int bytes)
{
    if (bytes == 0) return L"";
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, bytes, nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, bytes, &wide[0], units);
    return wide;
}

// An entry's text as an article: CR LF line breaks, no line breaks at the end.
std::wstring ArticleText(const char* text, DWORD bytes)
{
    while (bytes > 0 && (text[bytes - 1] == '\n' || text[bytes - 1] == '\r')) --bytes;
    std::wstring article;
    article.reserve(bytes + 16);
    for (wchar_t unit : Widen(text, int(bytes))) {
        if (unit == L'\r') continue;
        if (unit == L'\n') article += L'\r';
        article += unit;
    }
    return article;
}

std::wstring keptArticleFile;  // --article-file: where the next article file is kept

// A temporary article file, deleted when the host closes it; or the kept one, made there or, where
// an earlier run made it, opened as it is (reused then says so).
HANDLE CreateArticleFile(bool& reused)
{
    reused = false;
    if (!keptArticleFile.empty()) {
        const std::wstring path = keptArticleFile;
        keptArticleFile.clear();  // one dictionary only
        HANDLE kept =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        reused = kept != INVALID_HANDLE_VALUE;
        if (reused) return kept;
        return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    }
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"art", 0, path);
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// The record, and the cell whose address the dictionary list's entry holds.
void BuildRecord(Dictionary& dictionary)
{
    dictionary.record = EncodeDictionaryRecord(dictionary.name, DWORD(dictionary.spans.size()),
                                               ContractHandle(dictionary.articleFile, L"the article file"));
    dictionary.cell = ContractAddress(dictionary.record.data(), L"a dictionary record");
}

// Appends articles to a dictionary's article file in large blocks, noting each one's span.
class ArticleWriter {
public:
    ArticleWriter(Dictionary& dictionary, bool reuse) : dictionary_(dictionary), reuse_(reuse) {}

    bool Add(const wchar_t* text, size_t units)
    {
        const DWORD bytes = DWORD(units * sizeof(wchar_t));
        dictionary_.spans.push_back({fileSize_, bytes});
        fileSize_ += bytes;
        if (reuse_) return true;
        pending_.append(text, units);
        return pending_.size() < (1u << 20) || Flush();
    }

    // Writes what is pending; a kept file made by an earlier run must hold exactly the articles.
    bool Flush()
    {
        if (reuse_) return GetFileSize(dictionary_.articleFile, nullptr) == fileSize_;
        DWORD done = 0;
        const DWORD size = DWORD(pending_.size() * sizeof(wchar_t));
        const bool ok =
            WriteFile(dictionary_.articleFile, pending_.data(), size, &done, nullptr) && done == size;
        pending_.clear();
        return ok;
    }

private:
    Dictionary& dictionary_;
    const bool reuse_;  // the kept file holds the articles already: only their spans are noted
    std::wstring pending_;
    DWORD fileSize_ = 0;
};

std::wstring FileStem(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring stem = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = stem.find(L'.');
    return dot == std::wstring::npos ? stem : stem.substr(0, dot);
}

}  // namespace

void KeepArticleFile(const std::wstring& path)
{
    keptArticleFile = path;
}

Dictionary::~Dictionary()
{
    if (articleFile != INVALID_HANDLE_VALUE) CloseHandle(articleFile);
}

std::unique_ptr<Dictionary> LoadDictd(const std::wstring& indexPath, std::wstring& error)
{
    std::string index, text;
    if (!ReadWholeFile(indexPath, index)) {
        error = L"cannot read " + indexPath;
        return nullptr;
    }
    const std::wstring base = indexPath.substr(0, indexPath.size() - (indexPath.size() >= 6 ? 6 : 0));
    std::string packed;
    if (ReadWholeFile(base + L".dict.dz", packed)) {
        if (!Gunzip(packed, text)) {
            error = L"cannot unpack " + base + L".dict.dz";
            return nullptr;
        }
    } else if (!ReadWholeFile(base + L".dict", text)) {
        error = L"no " + base + L".dict or .dict.dz";
        return nullptr;
    }

    auto dictionary = std::make_unique<Dictionary>();
    dictionary->name = FileStem(indexPath);
    bool reused = false;
    dictionary->articleFile = CreateArticleFile(reused);
    if (dictionary->articleFile == INVALID_HANDLE_VALUE) {
        error = L"cannot create an article file";
        return nullptr;
    }

    ArticleWriter writer(*dictionary, reused);
    bool written = true;
    size_t lineStart = 0;
    while (lineStart < index.size() && written) {
        size_t lineEnd = index.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = index.size();
        const std::string line = index.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
        const std::string headword = line.substr(0, tab1);
        const size_t tab3 = line.find('\t', tab2 + 1);
        DWORD offset = 0, length = 0;
        if (!DecodeNumber(line.substr(tab1 + 1, tab2 - tab1 - 1), offset) ||
            !DecodeNumber(
                line.substr(tab2 + 1, tab3 == std::string::npos ? std::string::npos : tab3 - tab2 - 1),
                length) ||
            offset > text.size() || length > text.size() - offset) {
            continue;
        }
        const std::wstring article = ArticleText(text.data() + offset, length);
        if (headword == "00-database-short" || headword == "00databaseshort") {
            const size_t lineBreak = article.find(L"\r\n");
            if (lineBreak != std::wstring::npos) dictionary->name = article.substr(lineBreak + 2);
            while (!dictionary->name.empty() && dictionary->name[0] == L' ') dictionary->name.erase(0, 1);
        }
        if (headword.compare(0, 11, "00-database") == 0 || headword.compare(0, 10, "00database") == 0)
            continue;
        written = writer.Add(article.data(), article.size());
    }
    if (!written || !writer.Flush()) {
        error = L"cannot write the article file, or the kept one holds other articles";
        return nullptr;
    }
    BuildRecord(*dictionary);
    return dictionary;
}

std::unique_ptr<Dictionary> MakeSynthetic(DWORD count, std::wstring& error)
{
    auto dictionary = std::make_unique<Dictionary>();
    dictionary->name = L"Синтетический словарь, " + std::to_wstring(count) + L" статей";
    bool reused = false;
    dictionary->articleFile = CreateArticleFile(reused);
    if (dictionary->articleFile == INVALID_HANDLE_VALUE) {
        error = L"cannot create an article file";
        return nullptr;
    }
    // Every article is a slice of one run of Cyrillic letters; sizes are even, 20 to 3,000 bytes.
    std::wstring letters;
    for (int i = 0; i < 1510; ++i) letters += wchar_t(L'а' + i % 32);
    ArticleWriter writer(*dictionary, reused);
    DWORD random = 12345;
    for (DWORD i = 0; i < count; ++i) {
        random = random * 1103515245u + 12345u;
        const size_t units = 10 + (random >> 8) % 1491;
        if (!writer.Add(letters.data() + i % 7, units)) {
            error = L"cannot write the article file";
            return nullptr;
        }
    }
    if (!writer.Flush()) {
        error = L"cannot write the article file";
        return nullptr;
    }
    BuildRecord(*dictionary);
    return dictionary;
}
