// The one way this program makes windows of its own classes and binds windows to their objects.
// A class is registered the first time a window of it is made; a window of our own class is bound
// to its object at WM_NCCREATE, before any other message, and a platform control right after it
// is made; either way the object learns its handle before Bound. Notifications of child controls
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
#include "toolkit/DpiScale.h"

// The module every class, resource and window of this program belongs to.
HINSTANCE ModuleInstance();

// A colour given by the caller, or the system's colour of that index when none was given.
COLORREF ColorOrSystem(COLORREF color, int systemIndex);

// Moves a top-level window so that it is centred on the screen, or on another window inside the
// work area of that window's monitor, keeping its size; a window larger than the area keeps its
// top-left corner in it.
void CenterOnScreen(HWND window);
void CenterOnWindow(HWND window, HWND other);

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

// A window bound to its object: the base of every control and top-level window. It owns the
// handle, knows the dots per inch it is laid out at, and gets the window's messages.
class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // The dots per inch the window is laid out at, and a layout size (96-DPI pixels) at them.
    int Dpi() const { return dpi_; }
    int Scaled(int layoutPixels) const { return ScaleToDpi(layoutPixels, dpi_); }
    // Where the window lies: in its parent's client area, or on the screen for a top-level window.
    TBounds Bounds() const;
    void SetBounds(const TBounds& bounds);

protected:
    TWindow() = default;
    // Unbinds and destroys the window, if it still exists: its last messages get the default
    // handling, since the object's own parts are gone by then.
    virtual ~TWindow();

    // Makes the window, of one of our own classes (bound at WM_NCCREATE, before its first
    // message) or of the platform's (bound right after it is made; subclass: its messages go
    // to HandleWindowMessage too, whose default handling is then DefSubclassProc). Throws when
    // the window cannot be made.
    void MakeWindow(const TWindowClass& windowClass, const TWindowPlace& place);
    void MakePlatformWindow(const char* platformClass, const std::string& text, const TWindowPlace& place,
                            bool subclass);
    // Unbinds and destroys the window now, before the object's other parts go.
    void DestroyOwnWindow();
    void SetLayoutDpi(int dpi) { dpi_ = dpi; }

    // The window is bound to this object; Handle() is set.
    virtual void Bound() {}
    // Every message of a window of our own class, and of a platform control once subclassed.
    virtual LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // A notification that the window's parent reflects back to it (WM_COMMAND, WM_NOTIFY,
    // WM_DRAWITEM, WM_CTLCOLOR*). Returns true when handled, with the parent's answer in result.
    virtual bool Reflected(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/)
    {
        return false;
    }
    // The window's top-level window is now laid out at dpi (RescaleChildWindows).
    virtual void Rescale(int /*dpi*/) {}
    // A top-level window's keyboard shortcuts, which the dispatch translates before anything
    // else for every message to the window or its controls; nullptr: none.
    virtual HACCEL Shortcuts() const { return nullptr; }

private:
    friend struct TWindowCore;
    HWND hwnd_ = nullptr;
    int dpi_ = DefaultDpi;
};

// The dots per inch that the layout of a window and of all its children is scaled for: what its
// top-level window of ours is laid out at, or the display's when it has none.
int LayoutDpi(HWND window);
// Tells every bound window inside parent, at any depth, that it is now laid out at dpi.
void RescaleChildWindows(HWND parent, int dpi);

// Runs an event handler; an exception that escapes it goes to the handler exception sink.
void RunHandler(const std::function<void()>& handler);
// Where escaping exceptions go (the application sets this once at start-up: its error box).
void SetHandlerExceptionSink(std::function<void(std::exception_ptr)> sink);

// Dispatches one message taken from the queue: the dialog keys (Tab, the arrows, Enter, Esc) of
// the window's top-level window first, then the message itself. Every message loop uses it.
void DispatchQueuedMessage(MSG& msg);

// Dispatches messages while showing() holds: the loop of a modal window. A quit request ends
// the loop and is posted again for the program's own loop; returns false then.
bool RunModalLoop(const std::function<bool()>& showing);
