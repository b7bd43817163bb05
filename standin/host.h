// The stand-in host's own state: its windows, the tables it hands the plug-in, its dictionaries.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"

typedef INT_PTR(__stdcall* PluginEntry)(const DWORD* dataTable, const DWORD* functionTable);

struct Host {
    HWND mainWindow = nullptr;
    HWND statusWindow = nullptr;
    HWND panes[3] = {};         // dictionary, text, translation
    DWORD dataTable[128] = {};  // room beyond the 20 words the plug-in may copy, for odd lengths
    DWORD functionTable[128] = {};
    std::vector<std::unique_ptr<Dictionary>> dictionaries;
    HMODULE plugin = nullptr;
    PluginEntry entry = nullptr;

    // Where the probes watch a run: each, when set, is called at that moment of the host's work.
    void (*onOk)() = nullptr;                       // the driver presses OK
    void (*onFill)(bool starting) = nullptr;        // FillArticleSpans starts, and ends
    void (*onStatus)(const WCHAR* text) = nullptr;  // the status line is given a text
};

extern Host TheHost;

// Fills both tables as the plug-in expects them: window variables and host procedures, with
// the given length words (20 carries every word the plug-in may copy).
void FillHostTables(DWORD dataLength, DWORD functionLength);

// Creates the main window with its status line and panes; false when that fails.
bool CreateHostWindows(HINSTANCE instance);

// Reports every text the status line is given to the journal.
void JournalStatusLine();

// Loads the plug-in and finds its entry by ordinal 1; sets error on failure.
bool LoadPlugin(const std::wstring& path, std::wstring& error);

// Calls the plug-in's entry with the host's tables; returns what it returns.
INT_PTR CallPlugin();
