// The export run proper, from the header to the closed dialog.
#include "export/run_export.h"

#include "export/article_reader.h"
#include "export/size_order.h"
#include "host/host_tables.h"

namespace {

void SetStatus(const WCHAR* text)
{
    HWND status = HostStatusWindow();
    if (status != nullptr) SetWindowTextW(status, text);
}

// Appends text at 'at' without passing 'end' (where the NUL goes); returns the new end of text.
WCHAR* AppendBounded(WCHAR* at, const WCHAR* text, const WCHAR* end)
{
    while (*text != L'\0' && at < end) *at++ = *text++;
    return at;
}

// The header: fixed text, dictionary name, ":" and two line breaks. A name too long for
// TextBuffer is cut so that the rest still fits.
void ComposeHeader(const BYTE* record)
{
    WCHAR* const end = State.TextBuffer + kTextBufferUnits - 1;
    WCHAR* at = AppendBounded(State.TextBuffer, State.TextHeader, end);
    at = AppendBounded(at, RecordName(record), end - 5);
    at = AppendBounded(at, L":", end);
    at = AppendBounded(at, State.TextLineBreak, end);
    at = AppendBounded(at, State.TextLineBreak, end);
    *at = L'\0';
}

void ExportArticles(const BYTE* record)
{
    SetStatus(State.TextSorting);
    const SizeOrder order = BuildSizeOrder(record);
    State.SpanList = order.List;
    if (order.List == nullptr && order.Count != 0) {
        State.CurrentSink(AbortPhase);  // the user is told below; there is nothing else to undo
        ShowHostMessage(State.TextNoSpanList, nullptr, MB_ICONERROR);
        return;
    }

    const HANDLE file = RecordArticleFile(record);
    const auto stripTags = State.StripTagsFlag != 0 ? HostProcedure<StripTagsProc>(kStripTagsWord) : nullptr;
    SetStatus(State.TextWriting);
    OpenArticleReader(file, State.SpanList, order.Count);
    for (DWORD i = 0; i < order.Count; ++i) {
        const WCHAR* text;
        if (stripTags == nullptr) {
            text = FetchArticle(i);
        } else {
            const ArticleRoom room = FetchArticleWithRoom(i);
            stripTags(room.Text);
            EndsWithinRoom(room);  // a text cut there marks the run incomplete, reported at the end
            text = room.Text;
        }
        if (State.CurrentSink(reinterpret_cast<UINT_PTR>(text)) != 0) return;  // the sink has told the user
        ++State.ArticleCount;
    }
    CloseArticleReader();  // its memory goes back to the host before the closing message
    if (State.CurrentSink(FinishPhase) != 0) return;
    if (State.ArticlesIncomplete != 0) ShowHostMessage(State.TextArticlesIncomplete, nullptr, MB_ICONWARNING);
}

}  // namespace

void RunExport(HWND dialog, const BYTE* record)
{
    // Message boxes are owned by the host's main window, not the dialog: keep the dialog from
    // starting a second run or closing while one is up.
    EnableWindow(dialog, FALSE);
    State.ArticleCount = 0;
    State.ArticlesIncomplete = 0;
    ComposeHeader(record);
    if (State.CurrentSink(StartPhase) == 0) ExportArticles(record);

    SetStatus(L"");
    CloseArticleReader();
    if (State.SpanList != nullptr) {
        VirtualFree(State.SpanList, 0, MEM_RELEASE);  // cannot fail for a region this run reserved
        State.SpanList = nullptr;
    }
    EndDialog(dialog, 0);
}
