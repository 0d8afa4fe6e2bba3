// Context menus: a list of commands shown at a point, the chosen one run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One command of a context menu. An empty caption stands for a separator; a command whose
// IsEnabled says false is greyed.
struct TMenuCommand {
    std::string Caption;
    std::function<void()> OnClick;
    std::function<bool()> IsEnabled;
};

// Shows a context menu for owner at a point on the screen (-1, -1: at owner's top-left corner,
// as for Shift+F10) and runs the chosen command.
void ShowContextMenu(HWND owner, LPARAM screenPoint, const std::vector<TMenuCommand>& commands);
