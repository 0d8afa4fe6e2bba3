// Thin wrappers over the standard Win32 controls. Each control is a small object bound to its
// window by the window core, which reflects WM_COMMAND, WM_NOTIFY, WM_DRAWITEM and WM_CTLCOLOR*
// from the container back to the control's own object, so each control handles its own
// notifications and the form wires handlers by name.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/ContextMenuWin32.h"
#include "toolkit/EditFilterWin32.h"
#include "toolkit/ToolTipsWin32.h"
#include "toolkit/Strings.h"
#include "toolkit/WindowWin32.h"

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// Fonts and tooltips shared by the controls of one window.
struct TControlStyle {
    HFONT Font = nullptr;
    TToolTips* ToolTips = nullptr;
};

struct TControlArgs;

class TControl : public TComponent, public TWindow {
public:
    bool Enabled() const;
    void SetEnabled(bool enabled);
    void SetFocus();
    bool Focused() const;
    std::string Text() const;
    void SetText(const std::string& text);
    // Sets a font of the control's own, instead of the window's; a control whose size follows
    // its text takes its size again.
    void SetFont(HFONT font);
    // The font the control draws its text in.
    HFONT Font() const;
    const std::string& Hint() const { return hint_; }

    // Lays the control out again at dpi: its place from the layout it was created with, and the
    // window's font unless it has one of its own.
    void Rescale(int dpi) override;
    void SetHint(TToolTips* tips, const std::string& hint);

    // Reflected from the parent. Return true when handled.
    virtual void Command(WORD /*code*/) {}
    virtual bool DrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
    virtual HBRUSH ControlColor(HDC /*dc*/) { return nullptr; }
    virtual bool Notify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

protected:
    TControl() = default;
    // Make the control's window, of one of the platform's classes or of our own; it takes the
    // parent's font. subclass: the platform control's messages pass SubclassMessage first.
    void CreatePlatformWindow(const char* platformClass, const std::string& text, const TWindowPlace& place,
                              bool subclass = false);
    void CreateOwnWindow(const TWindowClass& windowClass, const TWindowPlace& place);
    // Where the control's window goes: a visible child of these styles at its layout rectangle,
    // scaled to the dots per inch the parent is laid out at. Rescale places it again from there.
    TWindowPlace LaidOut(DWORD style, DWORD exStyle, const TControlArgs& args);
    // After a new font: a control sized to its text measures it again.
    virtual void FontChanged() {}
    // The rectangle the control was created with, in layout pixels.
    const TBounds& Layout() const { return layout_; }
    // Subclass hook for keyboard and clipboard messages; return true when handled.
    virtual bool SubclassMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/)
    {
        return false;
    }
    // Takes the dots per inch its top-level window is laid out at.
    void Bound() final;
    // A subclassed platform control's messages: SubclassMessage, then the control's own handling.
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool Reflected(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) final;
    void UseParentFont();
    void ApplyFont(HFONT font);
    std::string hint_;
    TBounds layout_;
    bool hasLayout_ = false;
    bool ownFont_ = false;
};

struct TControlArgs {
    HWND Parent = nullptr;
    TBounds Bounds;  // in layout pixels, within the parent's client area
    bool Enabled = true;
};

// A container with a raised bevel one pixel wide, on the button-face colour.
class TPanel : public TControl {
public:
    explicit TPanel(const TControlArgs& args);

private:
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Static text sized to its caption, made at the parent's top-left corner: whoever places it
// places it after.
class TLabel : public TControl {
public:
    struct Args {
        HWND Parent = nullptr;
        std::string Caption;
        HFONT Font = nullptr;
        COLORREF Color = CLR_INVALID;  // CLR_INVALID: the window-text colour
    };
    explicit TLabel(const Args& args);
    void SetCaption(const std::string& caption);
    HBRUSH ControlColor(HDC dc) override;
    // Sized to its text, not to a layout: whoever placed it places it again.
    void Rescale(int dpi) override;

protected:
    void FontChanged() override { AutoSize(); }

private:
    void AutoSize();
    COLORREF color_;
};

class TEdit : public TControl {
public:
    struct Args : TControlArgs {
        int MaxLength = 0;  // 0: no limit
        char PasswordChar = 0;
        DWORD ExtraStyle = 0;
    };
    explicit TEdit(const Args& args);

    TNotifyEvent OnChange;
    TKeyPressEvent OnKeyPress;

    // CLR_INVALID: the window-text colour.
    void SetTextColor(COLORREF color);
    COLORREF TextColor() const { return color_; }
    int MaxLength() const;
    char PasswordChar() const;

    void Command(WORD code) override;
    HBRUSH ControlColor(HDC dc) override;

protected:
    bool SubclassMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // A field with OnKeyPress takes only the characters it lets through, whichever way they come.
    bool Filtered() const { return static_cast<bool>(OnKeyPress); }
    COLORREF color_ = CLR_INVALID;
    TInputFilter filter_;
};

// A file-name field: an edit with a small browse button inside its right end. The button and
// Alt+Down raise OnButtonClick.
class TFileNameEdit : public TEdit {
public:
    explicit TFileNameEdit(const Args& args);
    ~TFileNameEdit() override;
    TNotifyEvent OnButtonClick;
    HWND ButtonHandle() const { return button_->Handle(); }
    void Rescale(int dpi) override;

    // The browse button's width in layout pixels.
    static constexpr int ButtonWidth = 19;

protected:
    bool SubclassMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Lays the button over the field's right end and keeps the typed text clear of it.
    void PlaceButton();
    std::unique_ptr<TControl> button_;
};

// A check box whose OnClick follows every change of its state, by the operator or the program.
class TCheckBox : public TControl {
public:
    struct Args : TControlArgs {
        std::string Caption;
        bool Checked = false;
        HFONT Font = nullptr;  // nullptr: the window's font
    };
    explicit TCheckBox(const Args& args);
    TNotifyEvent OnClick;
    bool Checked() const;
    // Setting the state it already has raises nothing.
    void SetChecked(bool checked);
    void Command(WORD code) override;
    HBRUSH ControlColor(HDC dc) override;
    void Rescale(int dpi) override;
    // The width the box, the gap and the whole caption take in the control's font.
    int CaptionWidth() const;

protected:
    // At a scale other than 96 dots per inch, never narrower than its scaled layout width and
    // wider where its caption needs it and its row has room.
    void FontChanged() override { FitCaption(); }

private:
    void FitCaption();
};

// A push button that draws its picture above its caption, centred together.
class TPictureButton : public TControl {
public:
    struct Args : TControlArgs {
        std::string Caption;
        // Draws the picture (40 by 40) with its top-left corner at x, y; may be empty.
        std::function<void(HDC dc, int x, int y)> DrawPicture;
    };
    // In layout pixels.
    static constexpr int PictureSize = 40;
    static constexpr int PictureGap = 4;
    static constexpr int FocusInset = 4;

    explicit TPictureButton(const Args& args);
    TNotifyEvent OnClick;
    void Click();
    void Command(WORD code) override;
    bool DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    std::function<void(HDC, int, int)> drawPicture_;
};

// One text area over the whole width, without panels.
class TStatusBar : public TControl {
public:
    explicit TStatusBar(const TControlArgs& args);
    std::string SimpleText() const;
    void SetSimpleText(const std::string& text);
};
