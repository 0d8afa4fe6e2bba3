#include "toolkit/ContextMenuWin32.h"

#include "toolkit/ErrorsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/WindowWin32.h"

namespace {

// A square as large as the menu's check marks, framed as the views frame their marks.
UniqueGdi<HBITMAP> SwatchPicture(COLORREF color)
{
    const int side = GetSystemMetrics(SM_CYMENUCHECK);
    HDC screen = GetDC(nullptr);
    UniqueGdi<HBITMAP> picture(CreateCompatibleBitmap(screen, side, side));
    ReleaseDC(nullptr, screen);
    CheckWin32(picture.Valid(), "CreateCompatibleBitmap");
    const TMemoryDC dc(nullptr, picture.Get());
    RECT square{0, 0, side, side};
    const UniqueGdi<HBRUSH> fill(CreateSolidBrush(color));
    FillRect(dc.Get(), &square, fill.Get());
    FrameRect(dc.Get(), &square, GetSysColorBrush(COLOR_WINDOWTEXT));
    return picture;
}

}  // namespace

TContextMenu BuildContextMenu(const std::vector<TMenuCommand>& commands)
{
    TContextMenu built{{}, UniqueMenu(CreatePopupMenu())};
    CheckWin32(built.Menu.Valid(), "CreatePopupMenu");
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const TMenuCommand& command = commands[i];
        if (command.Caption.empty()) {
            AppendMenuA(built.Menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const bool enabled = !command.IsEnabled || command.IsEnabled();
        const UINT id = static_cast<UINT>(i + 1);
        AppendMenuA(built.Menu.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, command.Caption.c_str());
        if (command.Swatch) {
            built.Swatches.push_back(SwatchPicture(*command.Swatch));
            MENUITEMINFOA item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_BITMAP;
            item.hbmpItem = built.Swatches.back().Get();
            SetMenuItemInfoA(built.Menu.Get(), id, FALSE, &item);
        }
    }
    return built;
}

void ShowContextMenu(HWND owner, LPARAM screenPoint, const std::vector<TMenuCommand>& commands)
{
    const TContextMenu menu = BuildContextMenu(commands);
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        at = POINT{0, 0};
        ClientToScreen(owner, &at);
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         at.x, at.y, 0, owner, nullptr));
    if (chosen == 0 || chosen > commands.size())
        return;
    RunHandler(commands[chosen - 1].OnClick);
}
