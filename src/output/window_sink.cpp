// Appends the export's text to one of the host's edit panes.
#include <windows.h>

#include "host/host_tables.h"
#include "output/text_length.h"

// A pane takes no more than its limit (32,767 units unless its owner raised it) and drops the
// rest without a word, and the host may change or destroy it between our calls: every insertion
// is checked by the pane's length before and after. At the first one that grew it by less than
// the text's length the user is warned and the sink fails, so the run stops and no total is
// added. A pane may count more than it was given (a rich edit control counts each paragraph end
// as CR LF, so a lone CR or LF grows it by two): that is no loss.

namespace {

LRESULT PaneLength(HWND pane)
{
    return SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0);
}

bool Insert(const WCHAR* text)
{
    HWND pane = static_cast<HWND>(State.OutputTarget);
    const LRESULT before = PaneLength(pane);
    SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    return PaneLength(pane) - before >= LRESULT(TextLength(text));
}

DWORD Fail()
{
    ShowHostMessage(State.TextPaneIncomplete, nullptr, MB_ICONWARNING);
    return 1;
}

}  // namespace

DWORD WindowSink(UINT_PTR argument)
{
    switch (argument) {
        case StartPhase:
            SetWindowTextW(static_cast<HWND>(State.OutputTarget), L"");
            return Insert(State.TextBuffer) ? 0 : Fail();
        case FinishPhase:
            if (!Insert(State.TextTotal)) return Fail();
            *AppendDecimal(State.ArticleCount, State.TextBuffer) = L'\0';
            return Insert(State.TextBuffer) ? 0 : Fail();
        case AbortPhase:
            return 0;
        default:
            if (!Insert(reinterpret_cast<const WCHAR*>(argument))) return Fail();
            return Insert(State.TextLineBreak) ? 0 : Fail();
    }
}
