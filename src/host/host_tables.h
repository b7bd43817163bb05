// The host's tables as captured into the module state, and the handles and procedures read from them.
#pragma once

#include "host/host_interface.h"
#include "state/module_state.h"

// Copies both host tables into the module state and resolves the main and status window handles.
void CaptureHostTables(const DWORD* dataTable, const DWORD* functionTable);

inline HWND HostMainWindow()
{
    return static_cast<HWND>(HostHandle(State.HostData[kMainWindowWord - kFirstCopiedWord]));
}

inline HWND HostStatusWindow()
{
    return static_cast<HWND>(HostHandle(State.HostData[kStatusWindowWord - kFirstCopiedWord]));
}

// The address of the host variable that holds a pane's handle, as the data table gives it.
inline DWORD HostPaneVariable(HostDataWord word)
{
    return State.HostData[word - kFirstCopiedWord];
}

// A host procedure, or null where the host's table has no such word or leaves it zero.
template <typename Procedure>
Procedure HostProcedure(HostFunctionWord word)
{
    return reinterpret_cast<Procedure>(UINT_PTR(State.HostFunctions[word - kFirstCopiedWord]));
}

// A message box owned by the host's main window.
int ShowHostMessage(const WCHAR* text, const WCHAR* caption, UINT style);
