#include "toolkit/HandlesWin32.h"

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
