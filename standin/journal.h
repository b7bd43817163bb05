// The automated host's journal: one event per line, UTF-8, on standard output.
#pragma once

#include <string>

void Journal(const std::wstring& line);

// A text on one line: backslash, CR, LF and TAB written as \\, \r, \n and \t.
std::wstring OneLine(const std::wstring& text);
