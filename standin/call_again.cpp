// The host calling the plug-in again from within its own procedures, windows and timers.
#include "call_again.h"

#include "contract_word.h"
#include "host.h"
#include "host/host_interface.h"
#include "journal.h"

namespace {

const WCHAR* const kPointNames[] = {L"never", L"fill", L"strip", L"status", L"timer", L"box"};

CallAgainPoint point;
DWORD previousFill, previousStrip;  // the host procedures' words before ours
WNDPROC previousStatusProc;

// Another window of the host, with tables of its own: nothing the plug-in could use.
DWORD otherData[20] = {20};
DWORD otherFunctions[20] = {20};

void CallAgain()
{
    const INT_PTR result = TheHost.entry(otherData, otherFunctions);
    Journal(L"again: at=" + std::wstring(kPointNames[int(point)]) + L" result=" + std::to_wstring(result));
}

void __stdcall FillThenCallAgain(const BYTE* record, ArticleSpan* spans)
{
    reinterpret_cast<FillArticleSpansProc>(UINT_PTR(previousFill))(record, spans);
    CallAgain();
}

void __stdcall StripThenCallAgain(WCHAR* text)
{
    reinterpret_cast<StripTagsProc>(UINT_PTR(previousStrip))(text);
    CallAgain();
}

LRESULT CALLBACK StatusThenCallAgain(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcW(previousStatusProc, window, message, wParam, lParam);
    if (message == WM_SETTEXT) CallAgain();
    return result;
}

void Replace(DWORD& word, DWORD& previous, void* procedure)
{
    previous = word;
    if (word != 0) word = ContractAddress(procedure, L"a host procedure");
}

}  // namespace

bool ParseCallAgainPoint(const std::wstring& name, CallAgainPoint& parsed)
{
    for (int i = 1; i < int(sizeof kPointNames / sizeof kPointNames[0]); ++i) {
        if (name != kPointNames[i]) continue;
        parsed = CallAgainPoint(i);
        return true;
    }
    return false;
}

void CallAgainAt(CallAgainPoint at, std::vector<DriveOptions>& runs)
{
    point = at;
    switch (at) {
        case CallAgainPoint::Never:
            break;
        case CallAgainPoint::Fill:
            Replace(TheHost.functionTable[kFillArticleSpansWord], previousFill,
                    reinterpret_cast<void*>(&FillThenCallAgain));
            break;
        case CallAgainPoint::Strip:
            Replace(TheHost.functionTable[kStripTagsWord], previousStrip,
                    reinterpret_cast<void*>(&StripThenCallAgain));
            break;
        case CallAgainPoint::Status:
            previousStatusProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                TheHost.statusWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusThenCallAgain)));
            break;
        case CallAgainPoint::Timer:
            for (DriveOptions& run : runs) run.beforePress = CallAgain;
            break;
        case CallAgainPoint::Box:
            for (DriveOptions& run : runs) run.whileBoxUp = CallAgain;
            break;
    }
}
