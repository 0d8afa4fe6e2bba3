#include "toolkit/ContextMenuWin32.h"

#include "toolkit/ErrorsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/WindowWin32.h"

void ShowContextMenu(HWND owner, LPARAM screenPoint, const std::vector<TMenuCommand>& commands)
{
    UniqueMenu menu(CreatePopupMenu());
    CheckWin32(menu.Valid(), "CreatePopupMenu");
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const TMenuCommand& command = commands[i];
        if (command.Caption.empty()) {
            AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const bool enabled = !command.IsEnabled || command.IsEnabled();
        AppendMenuA(menu.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), i + 1, command.Caption.c_str());
    }
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        at = POINT{0, 0};
        ClientToScreen(owner, &at);
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         at.x, at.y, 0, owner, nullptr));
    if (chosen == 0 || chosen > commands.size())
        return;
    RunHandler(commands[chosen - 1].OnClick);
}
