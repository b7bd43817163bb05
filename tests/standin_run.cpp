// Starts the stand-in host with a pipe for its journal and waits for it.
#include "standin_run.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iostream>

std::vector<std::wstring> HostRun::Lines(const std::wstring& prefix) const
{
    std::vector<std::wstring> lines;
    for (const std::wstring& line : journal) {
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
}

std::wstring Escaped(const std::wstring& path)
{
    std::wstring escaped;
    for (wchar_t unit : path) escaped += unit == L'\\' ? L"\\\\" : std::wstring(1, unit);
    return escaped;
}

std::wstring BuildFolder()
{
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring exe(path, length);
    return exe.substr(0, exe.find_last_of(L"\\/"));
}

namespace {

// Starts the host with its standard output and error going to writeEnd; false with the error
// set when it cannot be started.
bool StartHost(const std::wstring& arguments, HANDLE writeEnd, PROCESS_INFORMATION& process)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + BuildFolder() + L"\\standin.exe\" --auto --timeout 120 " + arguments;
    return CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

}  // namespace

HostRun RunHost(const std::wstring& arguments)
{
    HostRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        ADD_FAILURE() << "cannot make a pipe for the host's journal: error " << GetLastError();
        run.exitCode = ~0ul;
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // Under load, with two test programs at a time, Wine's CreateProcessW has been seen to fail
    // once and then start the same program fine; one more try tells that apart from a host that
    // cannot start at all, which is still reported with its error.
    PROCESS_INFORMATION process = {};
    bool started = StartHost(arguments, writeEnd, process);
    if (!started) {
        std::cerr << "the stand-in host did not start (error " << GetLastError() << "); trying once more\n";
        Sleep(500);
        started = StartHost(arguments, writeEnd, process);
    }
    const DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    std::string output;
    char chunk[4096];
    DWORD read = 0;
    while (started && ReadFile(readEnd, chunk, sizeof chunk, &read, nullptr) && read > 0)
        output.append(chunk, read);
    CloseHandle(readEnd);
    if (!started) {
        ADD_FAILURE() << "cannot start the stand-in host: CreateProcessW error " << startError;
        run.exitCode = ~0ul;
        return run;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    std::wstring text(output.size(), L'\0');
    text.resize(size_t(
        MultiByteToWideChar(CP_UTF8, 0, output.data(), int(output.size()), &text[0], int(text.size()))));
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        run.journal.push_back(text.substr(start, end - start));
    }
    return run;
}
