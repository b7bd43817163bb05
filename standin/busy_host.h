// An impolite host: between the plug-in's calls into it, it reads its article files elsewhere.
#pragma once

#include <windows.h>

// Looks a word up in an article file as a dictionary program would: moves the file's position
// somewhere else each time and reads a few bytes there.
void LookUpAWord(HANDLE articleFile);

// Has the window call lookUp before every change of its text (WM_SETTEXT, EM_REPLACESEL).
void LookUpOnTextChange(HWND window, void (*lookUp)());
