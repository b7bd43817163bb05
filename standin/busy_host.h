// An impolite host: between the plug-in's calls into it, it reads its article files elsewhere.
#pragma once

#include <windows.h>

// Looks a word up in an article file as a dictionary program would: moves the file's position
// somewhere else each time and reads a few bytes there.
void LookUpAWord(HANDLE articleFile);

// Has the window call lookUp before every change of its text (WM_SETTEXT, EM_REPLACESEL).
void LookUpOnTextChange(HWND window, void (*lookUp)());

// Makes the stand-in host impolite: whenever the plug-in calls into it (StripTags, the status
// line's text, an insertion into a pane) it first looks a word up in every article file, moving
// the file's position. Call after the tables are filled.
void MakeHostBusy();
