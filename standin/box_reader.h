// Reading a message box on screen as its user sees it: text, caption, owner and icon.
#pragma once

#include <windows.h>

#include <string>

struct SeenBox {
    std::wstring text;
    std::wstring caption;
    HWND owner;
    UINT icon;  // MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONQUESTION or 0
};

// True for a visible, enabled dialog-class window: a message box or a modal dialog waiting for input.
bool IsActiveDialog(HWND window);

SeenBox ReadMessageBox(HWND box);

// "error", "warning", "information", "question" or "none".
const WCHAR* IconName(UINT icon);
