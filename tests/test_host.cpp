// The in-process test host: windows, tables, article files, recording host procedures and message boxes.
#include "test_host.h"

#include <algorithm>
#include <cstring>

#include "busy_host.h"
#include "contract_word.h"
#include "dictionary_record.h"
#include "export/article_reader_hooks.h"
#include "export/run_export.h"
#include "host/host_tables.h"
#include "host_procedures.h"

namespace {

TestHost* current;
RunRecord* record;

std::wstring WindowText(HWND window)
{
    WCHAR text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

void LookUpWhenBusy()
{
    if (current != nullptr && current->busy) LookUpAWord(current->ArticleFile());
}

void __stdcall RecordingFillArticleSpans(const BYTE*, ArticleSpan* list)
{
    ++record->fillCalls;
    record->dialogEnabledDuringRun = IsWindowEnabled(current->Dialog()) != FALSE;
    record->statusAtFill.push_back(WindowText(HostStatusWindow()));
    for (size_t i = 0; i < current->spans.size(); ++i) list[i] = current->spans[i];
}

void __stdcall RecordingStripTags(WCHAR* text)
{
    ++record->stripCalls;
    LookUpWhenBusy();
    if (record->stripCalls == 1 && current->atFirstStrip != nullptr) current->atFirstStrip(*current);
    record->readBufferAtStrip = ArticleReaderWindowed();
    record->statusAtStrip.push_back(WindowText(HostStatusWindow()));
    StripTags(text);
    if (current->afterStrip != nullptr) current->afterStrip(text);
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM)
{
    if (!IsActiveDialog(window)) return TRUE;
    record->boxes.push_back(ReadMessageBox(window));
    record->readerMemoryAtBox = record->readerMemoryAtBox || ArticleReaderHoldsMemory();
    if (current->quitWhileBoxUp != 0) PostQuitMessage(current->quitWhileBoxUp);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

const WCHAR kPaneProc[] = L"ZaqTestPaneProc";

// A pane whose length counts each line break once more, as a rich edit control that stores a
// lone CR or LF as a paragraph end and reports it as CR LF.
LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto next = reinterpret_cast<WNDPROC>(GetPropW(window, kPaneProc));
    const LRESULT result = CallWindowProcW(next, window, message, wParam, lParam);
    if (message != WM_GETTEXTLENGTH || current == nullptr || !current->paneCountsBreaksTwice) return result;
    std::wstring text(size_t(result) + 1, L'\0');
    text.resize(size_t(CallWindowProcW(next, window, WM_GETTEXT, text.size(), LPARAM(&text[0]))));
    return result + LRESULT(std::count(text.begin(), text.end(), L'\n'));
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

HWND MakeWindow(const WCHAR* className, DWORD style, HWND parent = nullptr)
{
    return CreateWindowExW(0, className, L"", style, 0, 0, 400, 300, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

std::vector<std::wstring> Texts(const RunRecord& run)
{
    std::vector<std::wstring> texts;
    for (const SeenBox& box : run.boxes) texts.push_back(box.text);
    return texts;
}

TestHost::TestHost()
{
    mainWindow_ = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
    statusWindow_ = MakeWindow(L"STATIC", WS_CHILD, mainWindow_);
    dialog_ = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
    for (HWND& pane : panes_) {
        pane = MakeWindow(L"EDIT", WS_CHILD | ES_MULTILINE, mainWindow_);
        SendMessageW(pane, EM_SETLIMITTEXT, 0, 0);
        LookUpOnTextChange(pane, LookUpWhenBusy);
        SetPropW(pane, kPaneProc,
                 reinterpret_cast<HANDLE>(SetWindowLongPtrW(pane, GWLP_WNDPROC, LONG_PTR(PaneProc))));
    }
    LookUpOnTextChange(statusWindow_, LookUpWhenBusy);

    static DWORD variables[5];
    variables[0] = ContractHandle(mainWindow_, L"the main window");
    variables[1] = ContractHandle(statusWindow_, L"the status window");
    for (int i = 0; i < 3; ++i) variables[2 + i] = ContractHandle(panes_[i], L"a pane");
    dataTable_[0] = 20;
    dataTable_[kMainWindowWord] = ContractAddress(&variables[0], L"a window variable");
    dataTable_[kStatusWindowWord] = ContractAddress(&variables[1], L"a window variable");
    for (int i = 0; i < 3; ++i)
        dataTable_[kDictionaryPaneWord + i] = ContractAddress(&variables[2 + i], L"a window variable");
    functionTable_[0] = 20;
    functionTable_[kStripTagsWord] =
        ContractAddress(reinterpret_cast<void*>(&RecordingStripTags), L"a host procedure");
}

TestHost::~TestHost()
{
    if (articleFile_ != INVALID_HANDLE_VALUE) CloseHandle(articleFile_);
    DestroyWindow(dialog_);
    DestroyWindow(mainWindow_);
}

void TestHost::SetArticles(const std::vector<std::string>& articles)
{
    std::vector<std::pair<ULONGLONG, std::string>> placed;
    ULONGLONG offset = 0;
    for (const std::string& article : articles) {
        placed.push_back({offset, article});
        offset += article.size();
    }
    SetArticlesAt(placed);
}

void TestHost::SetArticlesAt(const std::vector<std::pair<ULONGLONG, std::string>>& articles)
{
    if (articleFile_ != INVALID_HANDLE_VALUE) CloseHandle(articleFile_);
    const std::wstring path = folder_.Path(L"articles.bin");
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    spans.clear();
    for (const auto& article : articles) {
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(article.first);
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        DWORD written = 0;
        WriteFile(file, article.second.data(), DWORD(article.second.size()), &written, nullptr);
        spans.push_back({DWORD(article.first), DWORD(article.second.size())});
    }
    CloseHandle(file);
    articleFile_ =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    count = DWORD(spans.size());
}

std::wstring TestHost::PathOf(const std::wstring& name) const
{
    return name.find(L'\\') == std::wstring::npos ? folder_.Path(name) : name;
}

std::string TestHost::ReadOutput(const std::wstring& name) const
{
    return name.find(L'\\') == std::wstring::npos ? folder_.Read(name) : "(not in the folder)";
}

std::wstring TestHost::PaneText(int pane) const
{
    std::wstring text(GetWindowTextLengthW(panes_[pane]) + 1, L'\0');
    text.resize(GetWindowTextW(panes_[pane], &text[0], int(text.size())));
    return text;
}

void TestHost::CaptureTables()
{
    functionTable_[kFillArticleSpansWord] =
        provideFillArticleSpans
            ? ContractAddress(reinterpret_cast<void*>(&RecordingFillArticleSpans), L"a host procedure")
            : 0;
    CaptureHostTables(dataTable_, functionTable_);
}

RunRecord TestHost::Run(const ExportChoice& choice)
{
    RunRecord run;
    current = this;
    record = &run;
    CaptureTables();

    for (HWND pane : panes_) SendMessageW(pane, EM_SETLIMITTEXT, WPARAM(paneLimit), 0);
    State.CurrentSink = choice.sink;
    State.StripTagsFlag = choice.stripTags ? 1 : 0;
    State.OutputTarget = choice.sink == WindowSink ? panes_[choice.pane] : nullptr;
    lstrcpynW(State.FileName, PathOf(choice.fileName).c_str(), kFileNameUnits);

    const std::vector<BYTE> dictionary =
        EncodeDictionaryRecord(dictionaryName, count, HandleToULong(articleFile_));
    ContractAddress(dictionary.data(), L"the dictionary record");  // exits where it lies beyond 4 GB

    EnableWindow(dialog_, TRUE);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, OnTimer);
    RunExport(dialog_, dictionary.data());
    KillTimer(nullptr, timer);
    run.statusAfter = WindowText(statusWindow_);
    record = nullptr;
    return run;
}
