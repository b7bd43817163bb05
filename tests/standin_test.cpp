// End to end through the stand-in host: the real DLL, the real dialog driven as a person would.
#include <gtest/gtest.h>

#include <windows.h>

#include "output_bytes.h"
#include "plugin_texts.h"
#include "standin_run.h"
#include "temp_folder.h"

namespace {

// A temporary folder with a dictd dictionary X of three articles, 6, 2 and 4 bytes in UTF-16:
// "шес", "д" and "че", in UTF-8 in the .dict.
class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteDictd(L"X", false);
    }

    void WriteDictd(const std::wstring& name, bool compressed)
    {
        temp.WriteDictd(name, {"\xD1\x88\xD0\xB5\xD1\x81\n", "\xD0\xB4\n", "\xD1\x87\xD0\xB5\n"}, compressed);
    }
    std::wstring DictX() const
    {
        return L"--dict " + temp.Quoted(L"X.index");
    }

    TempFolder temp;
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
        const HostRun run = RunHost(DictX() + L" --file " + temp.Quoted(L"out.txt") + L" " + press);
        EXPECT_EQ(0u, run.exitCode) << press;
        EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, run.Lines(L"result: ")) << press;
        EXPECT_TRUE(run.Lines(L"status: ").empty()) << press;
        EXPECT_TRUE(run.Lines(L"box: ").empty()) << press;
        EXPECT_EQ("(missing)", temp.Read(L"out.txt")) << press;
    }
}

TEST_F(StandIn, ExportsTheFileByteForByte)
{
    WriteDictd(L"Z", true);
    for (const WCHAR* dictionary : {L"X.index", L"Z.index"}) {
        const HostRun run =
            RunHost(L"--dict " + temp.Quoted(dictionary) + L" --file " + temp.Quoted(L"out.txt"));
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(ExpectedFile(std::wstring(dictionary, 1), sorted, 3), temp.Read(L"out.txt")) << dictionary;
        EXPECT_EQ(std::vector<std::wstring>{L"box: text=\"" + kSuccessText + L"\" caption=\"" +
                                            Escaped(temp.Path(L"out.txt")) + L"\" icon=none"},
                  run.Lines(L"box: "));
        EXPECT_EQ(
            (std::vector<std::wstring>{L"status: " + kSortingText, L"status: " + kWritingText, L"status: "}),
            run.Lines(L"status: "));
        EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, run.Lines(L"result: "));
    }
}

TEST_F(StandIn, TagsAreRemovedOnlyWhenAsked)
{
    for (bool strip : {false, true}) {
        const HostRun run = RunHost(L"--file " + temp.Quoted(L"out.txt") + (strip ? L" --strip-tags" : L""));
        EXPECT_EQ(0u, run.exitCode);
        const std::string file = temp.Read(L"out.txt");
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
    const HostRun run = RunHost(DictX() + L" --file " + temp.Quoted(L"out.txt") +
                                L" --next --pane text --next --file " + temp.Quoted(L"second.txt"));
    EXPECT_EQ(0u, run.exitCode);
    const std::vector<std::wstring> dialogs = run.Lines(L"dialog: caption=");
    ASSERT_EQ(3u, dialogs.size());
    EXPECT_NE(std::wstring::npos, dialogs[2].find(L"to-file=1 to-window=0"))
        << "a new dialog starts in file mode";
    EXPECT_EQ(ExpectedFile(L"X", sorted, 3), temp.Read(L"out.txt"));
    EXPECT_EQ(ExpectedFile(L"X", sorted, 3), temp.Read(L"second.txt"))
        << "the third run counts from 0 and writes a file";
    EXPECT_EQ(2u, run.Lines(L"box: text=\"" + kSuccessText).size());
}

// A host that reads its article file whenever the plug-in calls into it changes no byte of the
// output. The articles lie in the file in ascending size, so each window of the read buffer ends
// exactly where the next one's first block begins. Fewer articles go to the pane: a Wine edit
// control takes 20 s for 1,200 of them.
TEST_F(StandIn, ABusyHostChangesNoByte)
{
    const auto ascending = [this](const std::wstring& name, int count) {
        std::vector<std::string> entries;
        for (int i = 0; i < count; ++i) {
            const size_t units = 5 + size_t(i) * 40 / size_t(count);  // 10 to 88 bytes in UTF-16
            std::string text = std::to_string(i);
            if (units >= text.size() + 7) text = "<b>" + text + "</b>";
            text.resize(units, char('a' + i % 26));
            entries.push_back(text + "\n");
        }
        return L"--dict \"" + temp.WriteDictd(name, entries) + L"\" ";
    };
    const std::wstring toFile = ascending(L"Many", 1200) + L"--file " + temp.Quoted(L"out.txt");
    const std::wstring toPane = ascending(L"Few", 200) + L"--pane text";
    for (const std::wstring& output : {toFile, toPane}) {
        for (const WCHAR* strip : {L"", L" --strip-tags"}) {
            SCOPED_TRACE(output + strip);
            DeleteFileW(temp.Path(L"out.txt").c_str());
            const HostRun polite = RunHost(output + strip + L" --read-buffer-limit 0");
            const std::string politeFile = temp.Read(L"out.txt");
            DeleteFileW(temp.Path(L"out.txt").c_str());
            const HostRun busy = RunHost(output + strip + L" --busy-host");
            EXPECT_EQ(0u, busy.exitCode);
            EXPECT_TRUE(politeFile == temp.Read(L"out.txt")) << "the files differ";
            EXPECT_TRUE(polite.Lines(L"pane: ") == busy.Lines(L"pane: ")) << "the panes differ";
            EXPECT_EQ(polite.Lines(L"box: "), busy.Lines(L"box: "));
        }
    }
}

TEST_F(StandIn, OkWithNoDictionaryKeepsTheDialogOpen)
{
    const HostRun run = RunHost(L"--empty --file " + temp.Quoted(L"out.txt"));
    const std::vector<std::wstring> boxes = run.Lines(L"box: ");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].find(L"box: text=\"" + kNoDictionaryText + L"\" caption=\""))
        << "the platform's caption";
    EXPECT_NE(std::wstring::npos, boxes[0].find(L"\" icon=warning"));
    EXPECT_EQ(std::vector<std::wstring>{L"dialog: still open after OK"}, run.Lines(L"dialog: still"));
    EXPECT_EQ("(missing)", temp.Read(L"out.txt"));
    EXPECT_EQ(1u, run.exitCode) << "the export did not happen as asked";
}

}  // namespace
