// Failure handling end to end: every system call of a run failed in turn, a real full disk, and
// host data and tables of every odd shape, each run through the stand-in host.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>

#include "output_bytes.h"
#include "plugin_texts.h"
#include "standin_run.h"
#include "temp_folder.h"

namespace {

const std::wstring kSuccessBox = L"box: text=\"" + kSuccessText + L"\"";

// One call of the plug-in within a host run: its journal lines up to its "faults:" or
// "leaks:" lines, whichever comes last.
struct PluginRun {
    std::vector<std::wstring> lines;
    size_t Count(const std::wstring& part) const
    {
        size_t count = 0;
        for (const std::wstring& line : lines) count += line.find(part) != std::wstring::npos;
        return count;
    }
    std::wstring Value(const std::wstring& key) const  // "injected" from "... injected=WriteFile#2"
    {
        for (const std::wstring& line : lines) {
            const size_t at = line.find(L" " + key + L"=");
            if (at != std::wstring::npos)
                return line.substr(at + key.size() + 2, line.find(L' ', at + 1) - at - key.size() - 2);
        }
        return L"";
    }
};

std::vector<PluginRun> SplitRuns(const HostRun& host)
{
    std::vector<PluginRun> runs(1);
    for (const std::wstring& line : host.journal) {
        runs.back().lines.push_back(line);
        if (line.compare(0, 7, L"leaks: ") == 0) runs.emplace_back();
    }
    runs.pop_back();
    return runs;
}

class Reliability : public ::testing::Test {
protected:
    // A dictd dictionary of the given entries; returns the --dict option for it.
    std::wstring WriteDictd(const std::wstring& name, const std::vector<std::string>& entries) const
    {
        return L"--dict \"" + temp.WriteDictd(name, entries) + L"\"";
    }

    // Fails every call of each watched function of one export in turn, each in a run of its own
    // within one host process, and checks what the user is shown.
    void FailEveryCallInTurn(const std::wstring& hostOptions);

    TempFolder temp;
};

TEST_F(Reliability, EverySystemCallOfARunFailedInTurn)
{
    // 40 articles of 30,000 to 31,950 bytes: the output takes more than one block of 1 MiB to write.
    std::vector<std::string> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(std::string(15000 + (i * 37) % 976, char('a' + i % 26)) + "\n");
    const std::wstring dictionary = WriteDictd(L"R", entries);

    // The articles read in one block; in windows of a few articles, through a read buffer of at
    // most 128 KiB; and one at a time, with no read buffer at all.
    for (const WCHAR* reading : {L"", L" --read-buffer-limit 131072", L" --read-buffer-limit 0"}) {
        SCOPED_TRACE(reading);
        FailEveryCallInTurn(dictionary + reading);
    }
}

void Reliability::FailEveryCallInTurn(const std::wstring& hostOptions)
{
    const HostRun clean = RunHost(hostOptions + L" --faults --file " + temp.Quoted(L"clean.txt"));
    ASSERT_EQ(0u, clean.exitCode);
    const std::vector<PluginRun> cleanRuns = SplitRuns(clean);
    ASSERT_EQ(1u, cleanRuns.size());
    const std::string cleanFile = temp.Read(L"clean.txt");

    std::wstring arguments = hostOptions + L" --faults --file " + temp.Quoted(L"unused.txt");
    std::vector<std::wstring> planned;
    for (const WCHAR* function :
         {L"CreateFileW", L"WriteFile", L"ReadFile", L"SetFilePointer", L"CloseHandle", L"VirtualAlloc"}) {
        const int calls = _wtoi(cleanRuns[0].Value(function).c_str());
        EXPECT_GT(calls, 0) << function;
        for (int k = 1; k <= calls; ++k) {
            const std::wstring fault = std::wstring(function) + L"#" + std::to_wstring(k);
            planned.push_back(fault);
            arguments += L" --next --fail " + std::wstring(function) + L":" + std::to_wstring(k) +
                         L" --file " + temp.Quoted(L"out" + std::to_wstring(planned.size()) + L".txt");
        }
    }
    EXPECT_GE(_wtoi(cleanRuns[0].Value(L"WriteFile").c_str()), 2);

    const HostRun host = RunHost(arguments);
    EXPECT_EQ(0u, host.exitCode) << "every dialog closed, every entry returned 0";
    const std::vector<PluginRun> runs = SplitRuns(host);
    ASSERT_EQ(planned.size() + 1, runs.size()) << "no run crashed or hung";
    for (size_t i = 1; i < runs.size(); ++i) {
        const PluginRun& run = runs[i];
        const std::wstring& fault = planned[i - 1];
        const std::string file = temp.Read(L"out" + std::to_wstring(i) + L".txt");
        SCOPED_TRACE(fault);
        EXPECT_EQ(fault, run.Value(L"injected"));
        EXPECT_EQ(1u, run.Count(L"result: 0"));
        EXPECT_EQ(0u, run.Count(L"still open"));
        EXPECT_EQ(1u, run.Count(L"box: ")) << "the user is told once, one way or the other";
        EXPECT_LE(run.Count(L"icon=error"), 1u);
        if (run.Count(kSuccessBox) > 0) {
            EXPECT_EQ(cleanFile, file) << "success only when nothing was lost";
        }
        EXPECT_EQ(1u, run.Count(L"leaks: handles=0 regions=0"));
    }
    std::wcout << planned.size() << L" fault cases run" << std::endl;
}

TEST_F(Reliability, ARealFullDiskGivesOneErrorAndNoSuccess)
{
    const HostRun host = RunHost(L"--file Z:\\dev\\full");
    EXPECT_EQ(1u, host.Lines(L"box: text=\"" + kWriteErrorText + L"\"").size());
    EXPECT_EQ(1u, host.Lines(L"box: ").size());
    EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, host.Lines(L"result: "));
}

TEST_F(Reliability, OddHostTablesAndChoices)
{
    const std::wstring dictionary = WriteDictd(L"T", {"<b>tag</b>\n", "x\n", "<i>it</i>\n"});
    temp.Write(L"readonly.txt", "keep");
    SetFileAttributesW(temp.Path(L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    temp.Write(L"locked.txt", "keep");
    HANDLE locked =
        CreateFileW(temp.Path(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::string stripped = ExpectedFile(L"T", {Utf16(L"x"), Utf16(L"it"), Utf16(L"tag")}, 3);
    const std::string tagged =
        ExpectedFile(L"T", {Utf16(L"x"), Utf16(L"<i>it</i>"), Utf16(L"<b>tag</b>")}, 3);
    enum Outcome { kWritten, kNoDictionary, kNoList, kWriteError, kOneBox };
    struct Case {
        std::wstring options;
        Outcome outcome;
        const std::string* file;
        bool tagChoice = true;  // "Удалить тэги" can be ticked: the host gives StripTags
    };
    const Case cases[] = {
        {L"--data-length 0", kWritten, &stripped},
        {L"--data-length 1", kWritten, &stripped},
        {L"--data-length 2", kWritten, &stripped},
        {L"--data-length 8", kWritten, &stripped},
        {L"--data-length 9", kWritten, &stripped},
        {L"--data-length 18", kWritten, &stripped},
        {L"--data-length 19", kWritten, &stripped},
        {L"--data-length 20", kWritten, &stripped},
        {L"--data-length 21", kWritten, &stripped},
        {L"--data-length 100", kWritten, &stripped},
        {L"--function-length 0", kNoDictionary, nullptr, false},
        {L"--function-length 1", kNoDictionary, nullptr, false},
        {L"--function-length 2", kNoDictionary, nullptr, false},
        {L"--function-length 8", kNoDictionary, nullptr, false},
        {L"--function-length 9", kNoDictionary, nullptr, false},
        {L"--function-length 14", kNoList, nullptr, false},   // word 13 copied, word 14 not
        {L"--function-length 18", kWritten, &tagged, false},  // no StripTags
        {L"--function-length 19", kWritten, &stripped},
        {L"--function-length 20", kWritten, &stripped},
        {L"--function-length 21", kWritten, &stripped},
        {L"--function-length 100", kWritten, &stripped},
        {L"--zero-word 13", kNoDictionary, nullptr},
        {L"--zero-word 14", kNoList, nullptr},
        {L"--zero-word 18", kWritten, &tagged, false},
        {L"--zero-word 13 --zero-word 14 --zero-word 18", kNoDictionary, nullptr, false},
        {L"--empty", kNoDictionary, nullptr},
        {L"--file " + temp.Quoted(L"missing folder\\out.txt"), kWriteError, nullptr},
        {L"--file " + temp.Quoted(L"locked.txt"), kWriteError, nullptr},
        // Windows refuses to replace a read-only file; Wine running as root does not.
        {L"--file " + temp.Quoted(L"readonly.txt"), kOneBox, nullptr},
        {L"--file " + std::wstring(300, L'n'), kOneBox, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        DeleteFileW(temp.Path(L"out.txt").c_str());
        const bool ownFile = c.options.find(L"--file") != std::wstring::npos;
        const HostRun host =
            RunHost((c.options == L"--empty" ? L"" : dictionary + L" ") + L"--strip-tags " +
                    (ownFile ? L"" : L"--file " + temp.Quoted(L"out.txt") + L" ") + c.options);
        EXPECT_EQ(std::vector<std::wstring>{L"result: 0"}, host.Lines(L"result: "));
        EXPECT_EQ(c.tagChoice ? 0u : 1u, host.Lines(L"dialog: control 1011 is disabled").size())
            << "the tag choice is offered exactly when the host can remove tags";
        const std::vector<std::wstring> boxes = host.Lines(L"box: ");
        ASSERT_EQ(1u, boxes.size());
        switch (c.outcome) {
            case kWritten:
                EXPECT_EQ(0u, boxes[0].find(kSuccessBox));
                EXPECT_EQ(*c.file, temp.Read(L"out.txt"));
                EXPECT_EQ(0u, host.exitCode);
                break;
            case kNoDictionary:
                EXPECT_EQ(0u, boxes[0].find(L"box: text=\"" + kNoDictionaryText));
                EXPECT_EQ("(missing)", temp.Read(L"out.txt"));
                EXPECT_EQ(1u, host.exitCode) << "OK could not export";
                break;
            case kNoList:
                EXPECT_EQ(0u, boxes[0].find(L"box: text=\"" + kNoListText + L"\""));
                break;
            case kWriteError:
                EXPECT_EQ(0u, boxes[0].find(L"box: text=\"" + kWriteErrorText + L"\""));
                break;
            case kOneBox:
                break;
        }
    }
    CloseHandle(locked);
    EXPECT_EQ("keep", temp.Read(L"locked.txt")) << "a file another program holds is left alone";
    const std::string readOnly = temp.Read(L"readonly.txt");
    EXPECT_TRUE(readOnly == "keep" || readOnly == stripped) << "left alone, or replaced whole";
}

// A host that calls the plug-in again at each point where it has control: from its own procedures,
// once the status line is set, from a timer before OK, while a message box is up. The second
// call returns 0 at once, opening nothing, and the first run goes on as if it had not happened.
TEST_F(Reliability, AHostThatCallsAgainWhileItRunsLosesNothing)
{
    const std::wstring dictionary = WriteDictd(L"T", {"<b>tag</b>\n", "x\n", "<i>it</i>\n"});
    for (const std::wstring& output : {L"--file " + temp.Quoted(L"out.txt"), std::wstring(L"--pane text")}) {
        const std::wstring options = dictionary + L" --strip-tags --faults --timeout 60 " + output;
        DeleteFileW(temp.Path(L"out.txt").c_str());
        const HostRun clean = RunHost(options);
        ASSERT_EQ(0u, clean.exitCode);
        const std::string cleanFile = temp.Read(L"out.txt");
        for (const WCHAR* point : {L"fill", L"strip", L"status", L"timer", L"box"}) {
            if (clean.Lines(L"box: ").empty() && wcscmp(point, L"box") == 0) continue;  // the pane has no box
            SCOPED_TRACE(output + L" --call-again " + point);
            DeleteFileW(temp.Path(L"out.txt").c_str());
            const HostRun host = RunHost(options + L" --call-again " + point);
            EXPECT_EQ(0u, host.exitCode);
            const std::vector<std::wstring> again = host.Lines(L"again: ");
            EXPECT_FALSE(again.empty()) << "the host called again";
            for (const std::wstring& line : again)
                EXPECT_EQ(L"again: at=" + std::wstring(point) + L" result=0", line);
            EXPECT_TRUE(host.Lines(L"dialog: a second").empty());
            EXPECT_TRUE(host.Lines(L"dialog: still open").empty());
            EXPECT_EQ(clean.Lines(L"box: "), host.Lines(L"box: "));
            EXPECT_TRUE(cleanFile == temp.Read(L"out.txt")) << "the files differ";
            EXPECT_EQ(clean.Lines(L"pane: "), host.Lines(L"pane: "));
            EXPECT_EQ(std::vector<std::wstring>{L"leaks: handles=0 regions=0"}, host.Lines(L"leaks: "));
        }
    }
}

// The field holds 259 units; a longer name is cut there, and a cut through a surrogate pair
// drops its first half as well.
TEST_F(Reliability, AFileNameLongerThanTheFieldHoldsShowsAsWhatIsWritten)
{
    const std::wstring dictionary = WriteDictd(L"T", {"x\n"});
    const std::wstring folder = temp.Path(L"");
    const std::wstring pair = L"\U0001F600";  // two units
    const struct {
        size_t plain;  // units of the name before the tail
        std::wstring tail;
        size_t used;  // units of the name the file is written under
    } cases[] = {
        {258, L"", 258},         {259, L"", 259},         {260, L"", 259},
        {300, L"", 259},         {257, pair + L"n", 259},  // the pair ends at unit 259: whole
        {258, pair + L"n", 258},                           // the pair would be cut after its first half
        {258, pair, 258},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.plain << " + " << c.tail.size());
        const std::wstring typed = folder + std::wstring(c.plain - folder.size(), L'n') + c.tail;
        const std::wstring used = typed.substr(0, c.used);
        const HostRun host = RunHost(dictionary + L" --file \"" + typed + L"\"");
        if (typed.size() <= 259 || c.used == 259) {  // the field's text, unless it ends in half a pair
            EXPECT_EQ(std::vector<std::wstring>{L"dialog: typed file=\"" + Escaped(used) + L"\""},
                      host.Lines(L"dialog: typed"));
        }
        const std::vector<std::wstring> boxes = host.Lines(L"box: ");
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(0u, boxes[0].find(kSuccessBox));
        EXPECT_NE(std::wstring::npos, boxes[0].find(L"caption=\"" + Escaped(used) + L"\""))
            << "the name as shown";
        EXPECT_EQ(ExpectedFile(L"T", {Utf16(L"x")}, 1), temp.Read(used.substr(folder.size())));
    }
}

}  // namespace
