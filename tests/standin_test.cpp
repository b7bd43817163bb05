// End to end through the stand-in host: the real DLL, the real dialog driven as a person would.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include "output_bytes.h"
#include "standin_run.h"

namespace {

const std::wstring kSuccess = L"Данные в файл записаны успешно!";

// A path as the journal writes it, with each backslash doubled.
std::wstring Escaped(const std::wstring& path)
{
    std::wstring escaped;
    for (wchar_t unit : path) escaped += unit == L'\\' ? L"\\\\" : std::wstring(1, unit);
    return escaped;
}

// A temporary folder with a dictd dictionary X of three articles, 6, 2 and 4 bytes in UTF-16.
class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        WCHAR temp[MAX_PATH], unique[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetTempFileNameW(temp, L"e2e", 0, unique);
        DeleteFileW(unique);
        CreateDirectoryW(unique, nullptr);
        folder = unique;
        WriteDictd(L"X", false);
    }
    void TearDown() override
    {
        for (const WCHAR* name :
             {L"X.index", L"X.dict", L"Z.index", L"Z.dict.dz", L"out.txt", L"second.txt"}) {
            DeleteFileW(Path(name).c_str());
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring Path(const std::wstring& name) const
    {
        return folder + L"\\" + name;
    }
    std::wstring Quoted(const std::wstring& name) const
    {
        return L"\"" + Path(name) + L"\"";
    }
    std::wstring DictX() const
    {
        return L"--dict " + Quoted(L"X.index");
    }

    // Entries "шес", "д", "че": UTF-8 in the .dict, 6, 2 and 4 bytes as UTF-16 articles.
    void WriteDictd(const std::wstring& name, bool compressed)
    {
        const std::string dict = "\xD1\x88\xD0\xB5\xD1\x81\n\xD0\xB4\n\xD1\x87\xD0\xB5\n";
        WriteFileBytes(name + L".index", "a\tA\tH\nb\tH\tD\nc\tK\tF\n");
        WriteFileBytes(name + (compressed ? L".dict.dz" : L".dict"), compressed ? Gzip(dict) : dict);
    }

    void WriteFileBytes(const std::wstring& name, const std::string& bytes) const
    {
        HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    static std::string Gzip(const std::string& text)
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

    std::string Read(const std::wstring& name) const
    {
        HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "(missing)";
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
        CloseHandle(file);
        return bytes;
    }

    std::wstring folder;
    const std::vector<std::string> sorted = {Utf16(L"д"), Utf16(L"че"), Utf16(L"шес")};
};

TEST_F(StandIn, DialogOpensWithItsDefaults)
{
    const HostRun run =
        RunHost(DictX() + L" --dict \"" + BuildFolder() + L"\\sample\\sample.index\" --cancel");
    EXPECT_EQ(
        std::vector<std::wstring>{L"dialog: caption=\"Выдать все статьи, отсортировав по размеру\" "
                                  L"dictionary=\"X\" entries=2 file=\"sortsize.txt\" to-file=1 to-window=0 "
                                  L"strip-tags=0"},
        run.Lines(L"dialog: "));
}

TEST_F(StandIn, CancelEscapeAndClosingCreateNoFile)
{
    for (const WCHAR* press : {L"--cancel", L"--escape", L"--close"}) {
        const HostRun run = RunHost(DictX() + L" --file " + Quoted(L"out.txt") + L" " + press);
        EXPECT_EQ(0u, run.exitCode) << press;
        EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, run.Lines(L"result: ")) << press;
        EXPECT_TRUE(run.Lines(L"status: ").empty()) << press;
        EXPECT_TRUE(run.Lines(L"box: ").empty()) << press;
        EXPECT_EQ("(missing)", Read(L"out.txt")) << press;
    }
}

TEST_F(StandIn, ExportsTheFileByteForByte)
{
    WriteDictd(L"Z", true);
    for (const WCHAR* dictionary : {L"X.index", L"Z.index"}) {
        const HostRun run = RunHost(L"--dict " + Quoted(dictionary) + L" --file " + Quoted(L"out.txt"));
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(ExpectedFile(std::wstring(dictionary, 1), sorted, 3), Read(L"out.txt")) << dictionary;
        EXPECT_EQ(std::vector<std::wstring>{L"box: text=\"" + kSuccess + L"\" caption=\"" +
                                            Escaped(Path(L"out.txt")) + L"\" icon=none"},
                  run.Lines(L"box: "));
        EXPECT_EQ((std::vector<std::wstring>{L"status: Сортировка статей по размеру",
                                             L"status: Запись данных в файл", L"status: "}),
                  run.Lines(L"status: "));
        EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, run.Lines(L"result: "));
    }
}

TEST_F(StandIn, TagsAreRemovedOnlyWhenAsked)
{
    for (bool strip : {false, true}) {
        const HostRun run = RunHost(L"--file " + Quoted(L"out.txt") + (strip ? L" --strip-tags" : L""));
        EXPECT_EQ(0u, run.exitCode);
        const std::string file = Read(L"out.txt");
        EXPECT_EQ(!strip, file.find(Utf16(L"<b>")) != std::string::npos);
        EXPECT_NE(std::string::npos, file.find(Utf16(L"вода")));
    }
}

TEST_F(StandIn, WindowOutputIntoEachPane)
{
    for (const WCHAR* pane : {L"dictionary", L"text", L"translation"}) {
        const HostRun run = RunHost(DictX() + L" --pane " + pane);
        EXPECT_EQ(0u, run.exitCode) << pane;
        EXPECT_EQ(
            std::vector<std::wstring>{
                L"pane: #Отсортированные по размеру статьи словаря X:\\r\\n\\r\\nд\\r\\n"
                L"че\\r\\nшес\\r\\n\\r\\n#Всего найдено карточек: 3"},
            run.Lines(L"pane: "))
            << pane;
        EXPECT_TRUE(run.Lines(L"box: ").empty()) << pane;
    }
}

TEST_F(StandIn, TwoExportsInOneLoad)
{
    const HostRun run = RunHost(DictX() + L" --file " + Quoted(L"out.txt") +
                                L" --next --pane text --next --file " + Quoted(L"second.txt"));
    EXPECT_EQ(0u, run.exitCode);
    const std::vector<std::wstring> dialogs = run.Lines(L"dialog: ");
    ASSERT_EQ(3u, dialogs.size());
    EXPECT_NE(std::wstring::npos, dialogs[2].find(L"to-file=1 to-window=0"))
        << "a new dialog starts in file mode";
    EXPECT_EQ(ExpectedFile(L"X", sorted, 3), Read(L"out.txt"));
    EXPECT_EQ(ExpectedFile(L"X", sorted, 3), Read(L"second.txt"))
        << "the third run counts from 0 and writes a file";
    EXPECT_EQ(2u, run.Lines(L"box: text=\"" + kSuccess).size());
}

TEST_F(StandIn, OkWithNoDictionaryKeepsTheDialogOpen)
{
    const HostRun run = RunHost(L"--empty --file " + Quoted(L"out.txt"));
    const std::vector<std::wstring> boxes = run.Lines(L"box: ");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].find(L"box: text=\"Не выбран словарь!\" caption=\"")) << "the platform's caption";
    EXPECT_NE(std::wstring::npos, boxes[0].find(L"\" icon=warning"));
    EXPECT_EQ(std::vector<std::wstring>{L"dialog: still open after OK"}, run.Lines(L"dialog: still"));
    EXPECT_EQ("(missing)", Read(L"out.txt"));
    EXPECT_EQ(1u, run.exitCode) << "the export did not happen as asked";
}

}  // namespace
