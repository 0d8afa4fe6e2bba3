#include "toolkit/HandlesWin32.h"

#include <algorithm>

std::string SystemErrorText(DWORD code)
{
    char buffer[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' '))
        --length;
    if (length == 0)
        return "System error code " + std::to_string(code);
    return std::string(buffer, length);
}

void CheckWin32(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string(what) + " failed: " + SystemErrorText(GetLastError()));
}

TMemoryDC::TMemoryDC(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference))
{
    CheckWin32(dc_ != nullptr, "CreateCompatibleDC");
    if (bitmap)
        old_ = SelectObject(dc_, bitmap);
}

TMemoryDC::~TMemoryDC()
{
    if (old_)
        SelectObject(dc_, old_);
    DeleteDC(dc_);
}

UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face)
{
    UniqueGdi<HFONT> font(CreateFontA(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face));
    CheckWin32(font.Get() != nullptr, "CreateFont");
    return font;
}

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
