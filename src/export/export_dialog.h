// The export dialog's procedure.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ExportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
