// Text between the platform's code page, UTF-16 and UTF-8, and a window's text.
#pragma once

#include <windows.h>

#include <string>

// Between the program's 8-bit text (the platform's code page) and UTF-16.
std::string NarrowText(const wchar_t* text);
std::wstring WideText(const std::string& text);
// The program's 8-bit text as UTF-8, for files read by tools outside Windows.
std::string Utf8Text(const std::string& text);

// A window's text, as GetWindowText gives it (for our own windows: their WM_GETTEXT answer).
std::string WindowText(HWND hwnd);
