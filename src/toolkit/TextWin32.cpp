#include "toolkit/TextWin32.h"

#include <algorithm>

// Between the program's 8-bit text (the platform's code page) and UTF-16.
std::string NarrowText(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 1)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

std::wstring WideText(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Utf8Text(const std::string& text)
{
    const std::wstring wide = WideText(text);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

std::string WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

TTextMeasure::TTextMeasure(HWND window)
    : window_(window), dc_(GetDC(window)),
      old_(SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0))))
{
}

TTextMeasure::TTextMeasure(HDC dc, HFONT font) : dc_(dc), old_(SelectObject(dc, font)) {}

TTextMeasure::~TTextMeasure()
{
    SelectObject(dc_, old_);
    if (window_)
        ReleaseDC(window_, dc_);
}

SIZE TTextMeasure::Extent(const std::string& text) const
{
    SIZE size{};
    GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

int TTextMeasure::LineHeight() const
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc_, &metrics);
    return metrics.tmHeight;
}
