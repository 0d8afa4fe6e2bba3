// Controls without a window of their own (labels, a label with a soft shadow, pictures) and the
// window that hosts them: it draws them, bottom first, and routes the pointer to the topmost one
// under it. Lets pictures and text overlap with transparency, which sibling child windows cannot.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/DpiScale.h"
#include "toolkit/PicturesWin32.h"
#include "toolkit/WindowWin32.h"

class TGraphicSurface;

enum class TPointer { ptArrow, ptHand };

using TGraphicEvent = std::function<void(TObject* Sender)>;
// Shift holds the MK_ flags of the mouse message; X and Y are relative to the control.
using TGraphicMouseMoveEvent = std::function<void(TObject* Sender, WPARAM Shift, int X, int Y)>;

// A control without a window of its own: the window it lies on draws it and hands it the
// pointer events that fall inside its bounds. Lets pictures and text overlap with
// transparency, which sibling child windows cannot do. Its place is given in layout pixels
// (96 dots per inch) and drawn at the host's scale.
class TGraphicControl : public TObject {
public:
    TGraphicControl(TGraphicSurface& host, const std::string& name, const TBounds& layout);
    TGraphicControl(const TGraphicControl&) = delete;
    TGraphicControl& operator=(const TGraphicControl&) = delete;

    const std::string Name;
    // Where it is drawn, in the host's pixels.
    TBounds Bounds() const;
    // Where it lies in the layout.
    int Left() const { return layout_.Left; }
    int Top() const { return layout_.Top; }
    void SetPosition(int left, int top);

    // The pointer shape while the pointer is over this control.
    TPointer Cursor() const { return cursor_; }
    void SetCursor(TPointer cursor);

    // Decoration only when false: pointer events go to whatever lies beneath.
    bool TakesPointer = true;
    std::string Hint;

    TGraphicMouseMoveEvent OnMouseMove;
    TGraphicEvent OnMouseEnter;
    TGraphicEvent OnMouseLeave;
    TGraphicEvent OnClick;

    virtual void Paint(HDC dc) const = 0;

protected:
    void Invalidate() const;
    // A layout size at the host's scale.
    int Scaled(int layoutPixels) const;

private:
    TGraphicSurface& host_;
    TBounds layout_;
    TPointer cursor_ = TPointer::ptArrow;
};

class TGraphicLabel : public TGraphicControl {
public:
    TGraphicLabel(TGraphicSurface& host, const std::string& name, const TBounds& layout, std::string caption, HFONT font,
                  COLORREF color, bool wordWrap = false);
    const std::string& Caption() const { return caption_; }
    COLORREF Color() const { return color_; }
    HFONT Font() const { return font_; }
    void SetFont(HFONT font);
    void SetColor(COLORREF color);
    void Paint(HDC dc) const override;

protected:
    void DrawCaption(HDC dc, RECT box, COLORREF color) const;

private:
    std::string caption_;
    HFONT font_;
    COLORREF color_;
    bool wordWrap_;
};

// A label over a soft shadow: the text's shape moved one pixel right and down and blurred.
class TShadowLabel : public TGraphicLabel {
public:
    using TGraphicLabel::TGraphicLabel;
    static constexpr int ShadowOffset = 1;
    static constexpr int BlurPasses = 4;
    void Paint(HDC dc) const override;
};

class TGraphicImage : public TGraphicControl {
public:
    // stretch: fill the bounds without keeping proportions; otherwise the picture is drawn at
    // its own size from the top-left corner and clipped to the bounds.
    TGraphicImage(TGraphicSurface& host, const std::string& name, const TBounds& layout, const TPicture& picture,
                  bool stretch);
    void Paint(HDC dc) const override;

private:
    const TPicture& picture_;
    bool stretch_;
};

// The graphic controls of one window: it draws them, bottom first, and routes the pointer to the
// topmost one under it that takes pointer input: moves, enter and leave, clicks and the pointer
// shape. The window hands it its messages first.
class TGraphicSurface {
public:
    // Draws paintBackground, then the controls, at the window's scale.
    TGraphicSurface(const TWindow& window, std::function<void(HDC dc, RECT client)> paintBackground);
    TGraphicSurface(const TGraphicSurface&) = delete;
    TGraphicSurface& operator=(const TGraphicSurface&) = delete;

    void Add(TGraphicControl* control) { controls_.push_back(control); }
    // A layout size or rectangle at the window's scale.
    int Scaled(int layoutPixels) const { return window_.Scaled(layoutPixels); }
    TBounds Scaled(const TBounds& layout) const { return ScaleToDpi(layout, window_.Dpi()); }
    void Invalidate(const TBounds& area) const;
    void CursorChanged(const TGraphicControl& control) const;
    // The window has gone from under the pointer (hidden): the control under it is left.
    void PointerGone();
    // A message of the window; true when the surface answered it, in result.
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    HWND Window() const { return window_.Handle(); }
    static POINT PointOf(LPARAM lParam);
    TGraphicControl* ControlAt(POINT p) const;
    void PointerMoved(POINT p, WPARAM shift);
    void SetHovered(TGraphicControl* control);
    void ButtonReleased(POINT p);
    void Paint() const;

    const TWindow& window_;
    std::function<void(HDC, RECT)> paintBackground_;
    std::vector<TGraphicControl*> controls_;
    TGraphicControl* hovered_ = nullptr;
    TGraphicControl* pressed_ = nullptr;
    bool tracking_ = false;
};

// A child window that holds graphic controls and nothing else.
class TGraphicHost : public TWindow, public TGraphicSurface {
public:
    // The host's window goes where its place says, in pixels.
    struct Args : TWindowPlace {
        const char* ClassName = nullptr;
        int Dpi = DefaultDpi;  // the scale its controls are drawn at
        std::function<void(HDC dc, RECT client)> PaintBackground;
    };
    explicit TGraphicHost(const Args& args);

    // Draws the controls at another scale from now on.
    void SetDpi(int dpi);

private:
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Draws a bevel of the given width inward from box, which shrinks by that width.
void Frame3D(HDC dc, RECT& box, COLORREF topLeft, COLORREF bottomRight, int width);
