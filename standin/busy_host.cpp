// The impolite host's habits: looking words up in its article files whenever the plug-in calls in.
#include "busy_host.h"

#include "contract_word.h"
#include "host.h"
#include "host/host_interface.h"
#include "host_procedures.h"

namespace {

const WCHAR kNextProc[] = L"ZaqBusyNextProc";
const WCHAR kLookUp[] = L"ZaqBusyLookUp";

LRESULT CALLBACK LookingUpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto next = reinterpret_cast<WNDPROC>(GetPropW(window, kNextProc));
    if (message == WM_SETTEXT || message == EM_REPLACESEL) {
        reinterpret_cast<void (*)()>(GetPropW(window, kLookUp))();
    }
    return CallWindowProcW(next, window, message, wParam, lParam);
}

void LookUpInEveryDictionary()
{
    for (const auto& dictionary : TheHost.dictionaries) LookUpAWord(dictionary->articleFile);
}

void __stdcall BusyStripTags(WCHAR* text)
{
    LookUpInEveryDictionary();
    StripTags(text);
}

}  // namespace

void LookUpAWord(HANDLE articleFile)
{
    static DWORD lookups;
    const DWORD size = GetFileSize(articleFile, nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) return;
    // Scattered over the file, a different place each time; the zero high part keeps offsets
    // from 2 GiB up from being taken as negative.
    LONG high = 0;
    SetFilePointer(articleFile, LONG(DWORD(++lookups * 2654435761ull % size)), &high, FILE_BEGIN);
    BYTE word[6];
    DWORD read = 0;
    ReadFile(articleFile, word, sizeof word, &read, nullptr);  // what it finds does not matter here
}

void LookUpOnTextChange(HWND window, void (*lookUp)())
{
    SetPropW(window, kLookUp, reinterpret_cast<HANDLE>(lookUp));
    const LONG_PTR next = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LookingUpProc));
    SetPropW(window, kNextProc, reinterpret_cast<HANDLE>(next));
}

void MakeHostBusy()
{
    if (TheHost.functionTable[kStripTagsWord] != 0) {
        TheHost.functionTable[kStripTagsWord] =
            ContractAddress(reinterpret_cast<void*>(&BusyStripTags), L"a host procedure");
    }
    LookUpOnTextChange(TheHost.statusWindow, LookUpInEveryDictionary);
    for (HWND pane : TheHost.panes) LookUpOnTextChange(pane, LookUpInEveryDictionary);
}
