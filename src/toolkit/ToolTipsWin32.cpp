#include "toolkit/ToolTipsWin32.h"

#include <commctrl.h>

TToolTips::TToolTips(HWND owner)
{
    TWindowPlace place;
    place.ExStyle = WS_EX_TOPMOST;
    place.Style = WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP;
    place.Bounds = TBounds{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    place.Parent = owner;
    MakePlatformWindow(TOOLTIPS_CLASSA, "", place, false);
}

void TToolTips::Add(HWND control, const std::string& text)
{
    TTTOOLINFOA info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(Handle(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}
