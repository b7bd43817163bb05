// The export dialog: shown for each call of the entry, the run on OK.
#pragma once

#include <windows.h>

// Takes the host's tables and shows the dialog until it is closed; returns what the dialog box
// returns, 0 once closed. A call that arrives while an earlier one is still running returns 0 at
// once, as for Cancel, and changes nothing.
INT_PTR ShowExportDialog(const DWORD* dataTable, const DWORD* functionTable);
