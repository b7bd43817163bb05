// Writes journal lines to standard output as UTF-8.
#include "journal.h"

#include <windows.h>

void Journal(const std::wstring& line)
{
    const std::wstring text = line + L"\n";
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    // Nothing to do when nobody reads the journal: the run itself goes on.
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), DWORD(utf8.size()), &written, nullptr);
}

std::wstring OneLine(const std::wstring& text)
{
    std::wstring line;
    for (wchar_t unit : text) {
        const wchar_t* escape = unit == L'\\'   ? L"\\\\"
                                : unit == L'\r' ? L"\\r"
                                : unit == L'\n' ? L"\\n"
                                : unit == L'\t' ? L"\\t"
                                                : nullptr;
        if (escape != nullptr) {
            line += escape;
        } else {
            line += unit;
        }
    }
    return line;
}
