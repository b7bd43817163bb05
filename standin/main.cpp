// The stand-in host: a small dictionary program that loads the plug-in and calls it, for a person
// (menu «Плагин») or, with --auto, driving the dialog itself and journaling what it sees.
#include <windows.h>

#include <shellapi.h>

#include "busy_host.h"
#include "call_again.h"
#include "dictionary.h"
#include "driver.h"
#include "faults.h"
#include "host.h"
#include "journal.h"
#include "measure.h"
#include "read_limit.h"

namespace {

const WCHAR kUsage[] =
    L"usage: standin [--plugin PATH] [--dict PATH]... [--auto] [--pick N] [--file NAME] [--strip-tags]\n"
    L"               [--pane dictionary|text|translation] [--cancel | --escape | --close]\n"
    L"               [--screenshot PNG] [--timeout SECONDS] [--empty] [--synthetic N]\n"
    L"               [--measure | --measure-calls] [--copy-floor] [--faults] [--fail FUNCTION:N]\n"
    L"               [--data-length N] [--function-length N] [--zero-word N] [--read-buffer-limit BYTES]\n"
    L"               [--read-buffer-bound BYTES]\n"
    L"               [--busy-host] [--call-again fill|strip|status|timer|box] [--article-file PATH]\n"
    L"               [--next RUN-OPTIONS]...";

struct Options {
    std::wstring plugin;
    std::vector<std::wstring> dictionaries;
    bool noDictionaries = false;  // --empty: the host offers none
    DWORD synthetic = 0;          // articles of a generated dictionary, 0 for none
    int measure = 0;              // 1: time the phases, 2: also add up the plug-in's file calls
    bool copyFloor = false;
    bool faults = false;    // watch the plug-in's system calls; --fail implies it
    DWORD dataLength = 20;  // the tables' length words
    DWORD functionLength = 20;
    std::vector<DWORD> zeroWords;  // function table words left zero
    bool limitReadBuffer = false;  // --read-buffer-limit: fail larger allocations while writing
    DWORD readBufferLimit = 0;
    bool boundReadBuffer = false;  // --read-buffer-bound: a fixed bound, through the benchmark's plug-in
    DWORD readBufferBound = 0;
    bool busyHost = false;  // --busy-host: the host reads its article files between the plug-in's calls
    CallAgainPoint callAgain = CallAgainPoint::Never;  // --call-again: where the host calls the plug-in again
    bool automated = false;
    std::vector<DriveOptions> runs;  // one call of the plug-in each; --next starts another
    DWORD timeoutSeconds = 600;
};

std::wstring ExeFolder()
{
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

bool ParseOptions(Options& options)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool ok = arguments != nullptr;
    options.runs.resize(1);
    for (int i = 1; ok && i < count; ++i) {
        const std::wstring name = arguments[i];
        const bool hasValue = i + 1 < count;
        const std::wstring value = hasValue ? arguments[i + 1] : L"";
        DriveOptions& drive = options.runs.back();
        if (name == L"--auto") {
            options.automated = true;
        } else if (name == L"--empty") {
            options.noDictionaries = true;
        } else if (name == L"--measure") {
            options.measure = 1;
        } else if (name == L"--measure-calls") {
            options.measure = 2;
        } else if (name == L"--busy-host") {
            options.busyHost = true;
        } else if (name == L"--copy-floor") {
            options.copyFloor = true;
        } else if (name == L"--faults") {
            options.faults = true;
        } else if (name == L"--next") {
            options.runs.emplace_back();
        } else if (name == L"--strip-tags") {
            drive.stripTags = true;
        } else if (name == L"--cancel") {
            drive.press = DriveOptions::Cancel;
        } else if (name == L"--escape") {
            drive.press = DriveOptions::Escape;
        } else if (name == L"--close") {
            drive.press = DriveOptions::Close;
        } else if (!hasValue) {
            ok = false;
        } else if (name == L"--article-file") {
            KeepArticleFile(value), ++i;
        } else if (name == L"--call-again") {
            ok = ParseCallAgainPoint(value, options.callAgain), ++i;
        } else if (name == L"--plugin") {
            options.plugin = value, ++i;
        } else if (name == L"--dict") {
            options.dictionaries.push_back(value), ++i;
        } else if (name == L"--pick") {
            drive.pick = _wtoi(value.c_str()), ++i;
        } else if (name == L"--file") {
            drive.fileName = value, ++i;
        } else if (name == L"--screenshot") {
            drive.screenshot = value, ++i;
        } else if (name == L"--fail") {
            const size_t colon = value.find(L':');
            drive.failFunction = value.substr(0, colon);
            drive.failCall = colon == std::wstring::npos ? 0 : DWORD(_wtoi(value.c_str() + colon + 1));
            ok = drive.failCall > 0 && IsWatched(drive.failFunction);
            options.faults = true;
            ++i;
        } else if (name == L"--data-length") {
            options.dataLength = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--function-length") {
            options.functionLength = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--zero-word") {
            options.zeroWords.push_back(DWORD(_wtoi(value.c_str()))), ++i;
        } else if (name == L"--read-buffer-limit") {
            options.limitReadBuffer = true;
            options.readBufferLimit = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--read-buffer-bound") {
            options.boundReadBuffer = true;
            options.readBufferBound = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--synthetic") {
            options.synthetic = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--timeout") {
            options.timeoutSeconds = DWORD(_wtoi(value.c_str())), ++i;
        } else if (name == L"--pane") {
            const WCHAR* panes[] = {L"dictionary", L"text", L"translation"};
            drive.pane = -1;
            for (int pane = 0; pane < 3; ++pane) {
                if (value == panes[pane]) drive.pane = pane;
            }
            ok = drive.pane >= 0, ++i;
        } else {
            ok = false;
        }
    }
    LocalFree(arguments);
    if (options.plugin.empty()) options.plugin = ExeFolder() + L"\\ZAQ.ZAQ";
    if (options.dictionaries.empty() && !options.noDictionaries && options.synthetic == 0)
        options.dictionaries.push_back(ExeFolder() + L"\\sample\\sample.index");
    return ok;
}

DWORD WINAPI Watchdog(LPVOID seconds)
{
    Sleep(DWORD(UINT_PTR(seconds)) * 1000);
    Journal(L"timeout");
    ExitProcess(3);
}

int Fail(const std::wstring& message)
{
    Journal(L"error: " + message);
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
    Options options;
    if (!ParseOptions(options)) return Fail(kUsage);
    if (options.automated && options.timeoutSeconds > 0) {
        CloseHandle(CreateThread(nullptr, 0, Watchdog,
                                 reinterpret_cast<LPVOID>(UINT_PTR(options.timeoutSeconds)), 0, nullptr));
    }
    for (const std::wstring& path : options.dictionaries) {
        std::wstring error;
        auto dictionary = LoadDictd(path, error);
        if (dictionary == nullptr) return Fail(error);
        TheHost.dictionaries.push_back(std::move(dictionary));
    }
    if (options.synthetic > 0) {
        std::wstring error;
        auto dictionary = MakeSynthetic(options.synthetic, error);
        if (dictionary == nullptr) return Fail(error);
        TheHost.dictionaries.push_back(std::move(dictionary));
    }
    std::wstring error;
    if (!CreateHostWindows(instance)) return Fail(L"cannot create the host's windows");
    if (!LoadPlugin(options.plugin, error)) return Fail(error);
    FillHostTables(options.dataLength, options.functionLength);
    for (DWORD word : options.zeroWords) {
        if (word < 128) TheHost.functionTable[word] = 0;
    }
    if (options.busyHost) MakeHostBusy();
    ShowWindow(TheHost.mainWindow, options.automated ? SW_SHOWNORMAL : show);
    UpdateWindow(TheHost.mainWindow);

    if (!options.automated) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return 0;
    }

    JournalStatusLine();
    CallAgainAt(options.callAgain, options.runs);
    if (options.measure > 0 && options.faults) return Fail(L"--measure and fault injection do not mix");
    if (options.measure > 0) StartMeasuring(TheHost.plugin, options.measure == 2);
    if (options.faults) InstallFaultHooks(TheHost.plugin);
    if (options.limitReadBuffer) LimitReadBuffer(TheHost.plugin, options.readBufferLimit);
    if (options.boundReadBuffer && !BoundReadBuffer(TheHost.plugin, options.readBufferBound))
        return Fail(L"--read-buffer-bound needs the benchmarks' build of the plug-in, bench/ZAQ.ZAQ");
    bool asAsked = true;
    for (const DriveOptions& drive : options.runs) {
        if (options.faults) ArmFault(drive.failFunction, drive.failCall);
        StartDriving(drive);
        const INT_PTR result = CallPlugin();
        asAsked = StopDriving() && result == 0 && asAsked;
        Journal(L"result: " + std::to_wstring(result));
        const size_t picked = size_t(drive.pick) < TheHost.dictionaries.size() ? size_t(drive.pick) : 0;
        const std::wstring output = drive.fileName.empty() ? L"sortsize.txt" : drive.fileName;
        if (options.measure > 0 && !TheHost.dictionaries.empty()) {
            JournalMeasurement(DWORD(TheHost.dictionaries[picked]->spans.size()), output);
        }
        if (options.copyFloor) {
            JournalCopyFloor(output);
            if (!TheHost.dictionaries.empty()) {
                const Dictionary& dictionary = *TheHost.dictionaries[picked];
                JournalJobFloor(dictionary.spans, dictionary.articleFile);
            }
        }
        if (options.faults) JournalFaults();
        if (drive.pane < 0) continue;
        HWND pane = TheHost.panes[drive.pane];
        std::wstring text(size_t(GetWindowTextLengthW(pane)) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(pane, &text[0], int(text.size()))));
        Journal(L"pane: " + OneLine(text));
    }
    DestroyWindow(TheHost.mainWindow);
    return asAsked ? 0 : 1;
}
