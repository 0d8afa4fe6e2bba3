// Context menus: a list of commands shown at a point, the chosen one run.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/HandlesWin32.h"

// One command of a context menu. An empty caption stands for a separator; a command whose
// IsEnabled says false is greyed. A command with a swatch shows a framed square of that colour
// before its caption, which stays its name for automation.
struct TMenuCommand {
    std::string Caption;
    std::function<void()> OnClick;
    std::function<bool()> IsEnabled;
    std::optional<COLORREF> Swatch{};
};

// A popup menu of the commands, item i + 1 for command i, with the swatches' pictures, which
// live as long as the menu.
struct TContextMenu {
    std::vector<UniqueGdi<HBITMAP>> Swatches;
    UniqueMenu Menu;
};
TContextMenu BuildContextMenu(const std::vector<TMenuCommand>& commands);

// Shows a context menu for owner at a point on the screen (-1, -1: at owner's top-left corner,
// as for Shift+F10) and runs the chosen command.
void ShowContextMenu(HWND owner, LPARAM screenPoint, const std::vector<TMenuCommand>& commands);
