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

// Measures text in a font, the font selected into the device context until the end.
class TTextMeasure {
public:
    // In the window's own font, on the window's device context.
    explicit TTextMeasure(HWND window);
    // In font, on dc; the text may then be drawn in it too.
    TTextMeasure(HDC dc, HFONT font);
    ~TTextMeasure();
    TTextMeasure(const TTextMeasure&) = delete;
    TTextMeasure& operator=(const TTextMeasure&) = delete;

    SIZE Extent(const std::string& text) const;
    // The font's whole height, from the top of the highest character to the bottom of the lowest.
    int LineHeight() const;

private:
    HWND window_ = nullptr;
    HDC dc_;
    HGDIOBJ old_;
};
