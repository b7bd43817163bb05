// Saving a window as it appears on screen, as a PNG file.
#pragma once

#include <windows.h>

#include <string>

bool SaveWindowPng(HWND window, const std::wstring& path);
