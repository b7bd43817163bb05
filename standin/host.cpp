// The host's windows, the tables it hands the plug-in, and loading and calling the plug-in.
#include "host.h"

#include "contract_word.h"
#include "host/host_interface.h"
#include "host_procedures.h"
#include "journal.h"

Host TheHost;

namespace {

const WCHAR kMainClass[] = L"ZaqStandInHost";
const UINT kRunPluginCommand = 100;
const UINT kExitCommand = 101;

// The 32-bit variables whose addresses the data table holds; the plug-in reads them through.
DWORD mainWindowVariable, statusWindowVariable, paneVariables[3];

WNDPROC statusDefault;

LRESULT CALLBACK StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        const WCHAR* text = lParam != 0 ? reinterpret_cast<const WCHAR*>(lParam) : L"";
        if (TheHost.onStatus != nullptr) TheHost.onStatus(text);
        Journal(L"status: " + OneLine(text));
    }
    return CallWindowProcW(statusDefault, window, message, wParam, lParam);
}

void Layout(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const int statusHeight = 22, width = client.right, height = client.bottom - statusHeight;
    MoveWindow(TheHost.statusWindow, 0, height, width, statusHeight, TRUE);
    MoveWindow(TheHost.panes[0], 0, 0, width / 4, height, TRUE);
    MoveWindow(TheHost.panes[1], width / 4, 0, (width * 3 / 4) / 2, height, TRUE);
    MoveWindow(TheHost.panes[2], width / 4 + (width * 3 / 4) / 2, 0, width - width / 4 - (width * 3 / 4) / 2,
               height, TRUE);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_SIZE:
            Layout(window);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kRunPluginCommand) CallPlugin();
            if (LOWORD(wParam) == kExitCommand) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HMENU CreateMainMenu()
{
    HMENU plugin = CreatePopupMenu();
    AppendMenuW(plugin, MF_STRING, kRunPluginCommand, L"&Выдать все статьи, отсортировав по размеру...");
    AppendMenuW(plugin, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(plugin, MF_STRING, kExitCommand, L"В&ыход");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, UINT_PTR(plugin), L"&Плагин");
    return bar;
}

}  // namespace

void FillHostTables(DWORD dataLength, DWORD functionLength)
{
    mainWindowVariable = ContractHandle(TheHost.mainWindow, L"the main window");
    statusWindowVariable = ContractHandle(TheHost.statusWindow, L"the status window");
    for (int i = 0; i < 3; ++i) paneVariables[i] = ContractHandle(TheHost.panes[i], L"a pane");

    TheHost.dataTable[0] = dataLength;
    TheHost.dataTable[kMainWindowWord] = ContractAddress(&mainWindowVariable, L"a window variable");
    TheHost.dataTable[kStatusWindowWord] = ContractAddress(&statusWindowVariable, L"a window variable");
    TheHost.dataTable[kDictionaryPaneWord] = ContractAddress(&paneVariables[0], L"a window variable");
    TheHost.dataTable[kTextPaneWord] = ContractAddress(&paneVariables[1], L"a window variable");
    TheHost.dataTable[kTranslationPaneWord] = ContractAddress(&paneVariables[2], L"a window variable");

    TheHost.functionTable[0] = functionLength;
    TheHost.functionTable[kFillDictionaryListWord] =
        ContractAddress(reinterpret_cast<void*>(&FillDictionaryList), L"a host procedure");
    TheHost.functionTable[kFillArticleSpansWord] =
        ContractAddress(reinterpret_cast<void*>(&FillArticleSpans), L"a host procedure");
    TheHost.functionTable[kStripTagsWord] =
        ContractAddress(reinterpret_cast<void*>(&StripTags), L"a host procedure");
}

bool CreateHostWindows(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kMainClass;
    if (!RegisterClassExW(&windowClass)) return false;

    TheHost.mainWindow =
        CreateWindowExW(0, kMainClass, L"Словарь — стенд для плагина ZAQ.ZAQ", WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, 900, 600, nullptr, CreateMainMenu(), instance, nullptr);
    if (TheHost.mainWindow == nullptr) return false;
    TheHost.statusWindow =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_LEFTNOWORDWRAP, 0, 0, 0, 0,
                        TheHost.mainWindow, nullptr, instance, nullptr);
    for (HWND& pane : TheHost.panes) {
        pane =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL,
                            0, 0, 0, 0, TheHost.mainWindow, nullptr, instance, nullptr);
        SendMessageW(pane, EM_SETLIMITTEXT, 0, 0);  // no limit: an export can be large
    }
    SendMessageW(TheHost.panes[1], WM_SETTEXT, 0, LPARAM(L"Меню «Плагин» запускает ZAQ.ZAQ."));
    Layout(TheHost.mainWindow);
    return true;
}

void JournalStatusLine()
{
    statusDefault = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(TheHost.statusWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusProc)));
}

bool LoadPlugin(const std::wstring& path, std::wstring& error)
{
    TheHost.plugin = LoadLibraryW(path.c_str());
    if (TheHost.plugin == nullptr) {
        error = L"cannot load the plug-in " + path;
        return false;
    }
    TheHost.entry = reinterpret_cast<PluginEntry>(
        reinterpret_cast<void*>(GetProcAddress(TheHost.plugin, MAKEINTRESOURCEA(1))));
    if (TheHost.entry == nullptr) {
        error = L"the plug-in has no export at ordinal 1";
        return false;
    }
    return true;
}

INT_PTR CallPlugin()
{
    return TheHost.entry(TheHost.dataTable, TheHost.functionTable);
}
