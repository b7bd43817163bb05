// How the probes tell the plug-in's phases apart from outside it: by its status line.
#pragma once

#include <windows.h>

// The status text with which the plug-in starts writing the articles, after it has ordered them.
constexpr WCHAR kWritingStatus[] = L"Запись данных в файл";
