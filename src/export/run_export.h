// The export run: header, articles in size order, total, driven through the current output sink.
#pragma once

#include <windows.h>

// Runs the export of the dictionary record with the choices already in the module state, then
// closes the dialog.
void RunExport(HWND dialog, const BYTE* record);
