// The bytes the plug-in's output file should hold, for comparing files byte for byte.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The UTF-16LE bytes of a text.
std::string Utf16(const std::wstring& text);

// An output file: BOM, header for the name, the articles' bytes each with CR LF, the total line.
std::string ExpectedFile(const std::wstring& name, const std::vector<std::string>& articles, DWORD total);
