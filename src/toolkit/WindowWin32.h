// The one way this program makes windows of its own classes and binds windows to their objects.
// A class is registered the first time a window of it is made; a window of our own class is bound
// to its object at WM_NCCREATE, before any other message, and a platform control right after it
// is made; either way the object learns its handle from Bound. Notifications of child controls
// (commands, notes, owner drawing, colours) are reflected back to the controls' own objects;
// every other message goes to the object until the object unbinds itself or the window is
// destroyed. An exception that escapes an event handler goes to one sink, the application's
// error box; every message loop dispatches through one routine.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "toolkit/Bounds.h"

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
    TBounds Bounds;  // in pixels of the parent's client area, or of the screen for a top-level window
    HWND Parent = nullptr;  // HWND_MESSAGE for a message-only window
};

// What a window of ours, or a platform control made through the core, forwards its messages to.
class IWindowProcedure {
public:
    // Called once, when the window is bound: at WM_NCCREATE for a window of our own class, before
    // its first message reaches HandleWindowMessage; right after creation for a platform control.
    virtual void Bound(HWND hwnd) = 0;
    // Every message of a window of our own class, and of a platform control once subclassed.
    virtual LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // A notification that the window's parent reflects back to it (WM_COMMAND, WM_NOTIFY,
    // WM_DRAWITEM, WM_CTLCOLOR*). Returns true when handled, with the parent's answer in result.
    virtual bool Reflected(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/)
    {
        return false;
    }
    // The window's top-level window is now laid out at dpi dots per inch (RescaleChildWindows).
    virtual void Rescale(int /*dpi*/) {}

protected:
    ~IWindowProcedure() = default;
};

// Creates a window of the class, bound to procedure (nullptr: the system's default handling).
// Throws when the window cannot be made.
HWND CreateBoundWindow(IWindowProcedure* procedure, const TWindowClass& windowClass, const TWindowPlace& place);
// Creates a window of one of the platform's own classes, bound to procedure, which learns its
// handle from Bound. subclass: its messages go to the procedure's HandleWindowMessage too, whose
// default handling is then DefSubclassProc. Throws when the window cannot be made.
HWND CreateBoundControl(IWindowProcedure* procedure, const char* platformClass, const std::string& text,
                        const TWindowPlace& place, bool subclass);
// The object a window is bound to, or nullptr.
IWindowProcedure* BoundProcedure(HWND hwnd);
// Tells every bound window inside parent, at any depth, that it is now laid out at dpi.
void RescaleChildWindows(HWND parent, int dpi);
// From now on the window's messages get the system's default handling only.
void UnbindWindow(HWND hwnd);
// Unbinds and destroys the window, if it still exists.
void DestroyBoundWindow(HWND hwnd);

// Runs an event handler; an exception that escapes it goes to the handler exception sink.
void RunHandler(const std::function<void()>& handler);
// Where escaping exceptions go (the application sets this once at start-up: its error box).
void SetHandlerExceptionSink(std::function<void(std::exception_ptr)> sink);

// Dispatches one message taken from the queue: the dialog keys (Tab, the arrows, Enter, Esc) of
// the window's top-level window first, then the message itself. Every message loop uses it.
void DispatchQueuedMessage(MSG& msg);
// A top-level window's keyboard shortcuts, which the dispatch translates before anything else
// for every message to the window or its controls; nullptr removes them. The caller keeps the
// table alive while it is set.
void SetWindowShortcuts(HWND window, HACCEL shortcuts);

// Dispatches messages while showing() holds: the loop of a modal window. A quit request ends
// the loop and is posted again for the program's own loop; returns false then.
bool RunModalLoop(const std::function<bool()>& showing);
