// The one way this program makes windows of its own classes. A class is registered the first
// time a window of it is made; the window is bound to its object at WM_NCCREATE, before any
// other message; notifications of child controls (commands, notes, owner drawing, colours) are
// reflected back to the controls' own objects; every other message goes to the object until the
// object unbinds itself or the window is destroyed.
#pragma once

#include <windows.h>

#include <functional>

// The module every class, resource and window of this program belongs to.
HINSTANCE ModuleInstance();

// A colour given by the caller, or the system's colour of that index when none was given.
COLORREF ColorOrSystem(COLORREF color, int systemIndex);

// Moves a top-level window so that it is centred on the screen, keeping its size.
void CenterOnScreen(HWND window);

struct TWindowClass {
    const char* Name = nullptr;
    HBRUSH Background = nullptr;  // nullptr: the window paints all of itself
    HICON Icon = nullptr;
    UINT Style = 0;  // class styles, such as CS_DBLCLKS
};

struct TWindowPlace {
    DWORD ExStyle = 0;
    const char* Caption = "";
    DWORD Style = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    HWND Parent = nullptr;  // HWND_MESSAGE for a message-only window
};

// What a window of ours forwards its messages to.
class IWindowProcedure {
public:
    // Called once at WM_NCCREATE, before the window's first message reaches HandleWindowMessage.
    virtual void Bound(HWND hwnd) = 0;
    virtual LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IWindowProcedure() = default;
};

// Creates a window of the class, bound to procedure (nullptr: the system's default handling).
// Throws when the window cannot be made.
HWND CreateBoundWindow(IWindowProcedure* procedure, const TWindowClass& windowClass, const TWindowPlace& place);
// From now on the window's messages get the system's default handling only.
void UnbindWindow(HWND hwnd);
// Unbinds and destroys the window, if it still exists.
void DestroyBoundWindow(HWND hwnd);

// Dispatches messages while showing() holds: the loop of a modal window. A quit request ends
// the loop and is posted again for the program's own loop; returns false then.
bool RunModalLoop(const std::function<bool()>& showing);
