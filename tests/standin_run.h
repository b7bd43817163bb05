// Runs the stand-in host in automated mode and collects its journal, for end-to-end tests.
#pragma once

#include <string>
#include <vector>

struct HostRun {
    std::vector<std::wstring> journal;  // one event per line
    unsigned long exitCode = 0;

    // The journal lines that start with a prefix, such as L"box: ".
    std::vector<std::wstring> Lines(const std::wstring& prefix) const;
};

// A path as the journal writes it, with each backslash doubled.
std::wstring Escaped(const std::wstring& path);

// The folder that holds standin.exe, ZAQ.ZAQ and the sample dictionary.
std::wstring BuildFolder();

// Runs standin.exe --auto with the given arguments (already quoted where needed).
HostRun RunHost(const std::wstring& arguments);
