// Automated mode: drives the plug-in's dialog and answers its message boxes as a person would.
#pragma once

#include <windows.h>

#include <string>

struct DriveOptions {
    int pick = 0;           // dictionary list entry
    std::wstring fileName;  // empty: leave the dialog's default
    bool stripTags = false;
    int pane = -1;  // window mode into this pane (0 dictionary, 1 text, 2 translation); -1 file mode
    enum Press { Ok, Cancel, Escape, Close } press = Ok;
    std::wstring screenshot;    // PNG of the dialog as it appeared, when set
    std::wstring failFunction;  // fault injection: this call of this function fails
    DWORD failCall = 0;
    void (*beforePress)() = nullptr;  // called from the timer once the dialog is filled in
    void (*whileBoxUp)() = nullptr;   // called from the timer while each message box is up
};

// Starts watching for the dialog and message boxes; call before the plug-in's entry.
void StartDriving(const DriveOptions& options);

// Stops watching; true when the dialog was driven as asked and closed.
bool StopDriving();
