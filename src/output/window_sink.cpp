// Appends the export's text to one of the host's edit panes.
#include <windows.h>

#include "state/module_state.h"

namespace {

void Insert(const WCHAR* text)
{
    SendMessageW(static_cast<HWND>(State.OutputTarget), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

}  // namespace

DWORD WindowSink(UINT_PTR argument)
{
    HWND pane = static_cast<HWND>(State.OutputTarget);
    switch (argument) {
        case StartPhase:
            SetWindowTextW(pane, L"");
            Insert(State.TextBuffer);
            break;
        case FinishPhase:
            Insert(State.TextTotal);
            *AppendDecimal(State.ArticleCount, State.TextBuffer) = L'\0';
            Insert(State.TextBuffer);
            break;
        case AbortPhase:
            break;
        default:
            Insert(reinterpret_cast<const WCHAR*>(argument));
            Insert(State.TextLineBreak);
            break;
    }
    return 0;
}
