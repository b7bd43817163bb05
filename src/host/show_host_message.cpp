// Message boxes for the user, owned by the host's main window.
#include "host/host_tables.h"

int ShowHostMessage(const WCHAR* text, const WCHAR* caption, UINT style)
{
    return MessageBoxW(HostMainWindow(), text, caption, style);
}
