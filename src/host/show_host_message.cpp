// Message boxes for the user, owned by the host's main window while it exists.
#include "host/host_tables.h"

int ShowHostMessage(const WCHAR* text, const WCHAR* caption, UINT style)
{
    // The host may have destroyed its main window during the run; Windows refuses a box whose
    // owner is gone, so the box then stands on its own.
    HWND owner = HostMainWindow();
    if (!IsWindow(owner)) owner = nullptr;
    // A host that destroys its main window usually posts WM_QUIT too, and that would end the
    // box's own message loop before the user saw it: hold the quit back until the box is answered.
    MSG quit;
    const BOOL quitting = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    const int answer = MessageBoxW(owner, text, caption, style);
    // A quit posted while the box was up ended its loop and is still pending: being newer, it
    // stands, and the one held back is dropped.
    MSG newer;
    if (quitting && !PeekMessageW(&newer, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
        PostQuitMessage(int(quit.wParam));
    return answer;
}
