// An in-process stand-in for the host: real windows, real article files, host procedures that
// record what the plug-in asked, and a timer that reads and answers every message box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "box_reader.h"
#include "host/article_span.h"
#include "output/output_sink.h"
#include "output_bytes.h"
#include "temp_folder.h"

// What the host saw during one export run.
struct RunRecord {
    std::vector<SeenBox> boxes;
    std::vector<std::wstring> statusAtFill;   // status line when FillArticleSpans was called
    std::vector<std::wstring> statusAtStrip;  // status line at each StripTags call
    std::wstring statusAfter;
    int fillCalls = 0;
    int stripCalls = 0;
    bool dialogEnabledDuringRun = false;
    bool readBufferAtStrip = false;  // the run held a read buffer when StripTags was called
    bool readerMemoryAtBox = false;  // the reader held memory while a message box was up
};

// The texts of the message boxes a run showed, in order.
std::vector<std::wstring> Texts(const RunRecord& run);

struct ExportChoice {
    OutputSink sink = FileSink;
    bool stripTags = false;
    std::wstring fileName;  // a name in the host's temporary folder, or a full path
    int pane = 0;           // window mode: 0 dictionary, 1 text, 2 translation
};

class TestHost {
public:
    TestHost();
    ~TestHost();

    // Writes the article file: the articles' bytes back to back; the spans describe them in the
    // given order and may be edited before a run.
    void SetArticles(const std::vector<std::string>& articles);
    // Writes each article at its own offset (the file is sparse between them).
    void SetArticlesAt(const std::vector<std::pair<ULONGLONG, std::string>>& articles);
    std::vector<ArticleSpan> spans;
    DWORD count = 0;  // the record's article count; SetArticles sets it to the number of spans
    std::wstring dictionaryName = L"X";
    bool provideFillArticleSpans = true;
    bool busy = false;  // look a word up in the article file at every call of the plug-in into the host
    void (*atFirstStrip)(TestHost& host) = nullptr;  // what the host does in its first StripTags call
    void (*afterStrip)(WCHAR* text) = nullptr;       // what its StripTags does after removing tags
    int paneLimit = 0;                               // the panes' text limit in units; 0: the largest
    bool paneCountsBreaksTwice = false;  // panes report one unit more per line break, as rich edits may
    int quitWhileBoxUp = 0;              // exit code of a quit the host posts while a box is up; 0: none

    RunRecord Run(const ExportChoice& choice);
    // Captures the host's tables into the module state, as every run does first.
    void CaptureTables();

    std::wstring PathOf(const std::wstring& name) const;
    std::string ReadOutput(const std::wstring& name) const;
    std::wstring PaneText(int pane) const;
    HWND MainWindow() const
    {
        return mainWindow_;
    }
    HWND Dialog() const
    {
        return dialog_;
    }
    HANDLE ArticleFile() const
    {
        return articleFile_;
    }
    // The host's own windows, destroyed as a host may do between the plug-in's calls.
    void DestroyStatusWindow()
    {
        DestroyWindow(statusWindow_);
    }
    void DestroyPane(int pane)
    {
        DestroyWindow(panes_[pane]);
    }
    // With its children, the status window and the panes; a host closing down also posts WM_QUIT.
    void DestroyMainWindow(bool quit)
    {
        DestroyWindow(mainWindow_);
        if (quit) PostQuitMessage(7);
    }

private:
    TempFolder folder_;
    HANDLE articleFile_ = INVALID_HANDLE_VALUE;
    HWND mainWindow_ = nullptr, statusWindow_ = nullptr, dialog_ = nullptr;
    HWND panes_[3] = {};
    DWORD dataTable_[20] = {};
    DWORD functionTable_[20] = {};
};
