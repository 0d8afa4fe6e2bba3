// The About box: the product's title, credits, a description and a link to the maker's page,
// as text and as a framed logo. Created hidden once at start-up and shown modally on request.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/PicturesWin32.h"

class TGraphicHost;

enum class TPointer { ptArrow, ptHand };

using TGraphicEvent = std::function<void(TObject* Sender)>;
// Shift holds the MK_ flags of the mouse message; X and Y are relative to the control.
using TGraphicMouseMoveEvent = std::function<void(TObject* Sender, WPARAM Shift, int X, int Y)>;

// A control without a window of its own: the window it lies on draws it and hands it the
// pointer events that fall inside its bounds. Lets pictures and text overlap with
// transparency, which sibling child windows cannot do.
class TGraphicControl : public TObject {
public:
    TGraphicControl(TGraphicHost& host, const std::string& name, RECT bounds);
    TGraphicControl(const TGraphicControl&) = delete;
    TGraphicControl& operator=(const TGraphicControl&) = delete;

    const std::string Name;
    const RECT& Bounds() const { return bounds_; }
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
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

private:
    TGraphicHost& host_;
    RECT bounds_;
    TPointer cursor_ = TPointer::ptArrow;
};

class TGraphicLabel : public TGraphicControl {
public:
    TGraphicLabel(TGraphicHost& host, const std::string& name, RECT bounds, std::string caption, HFONT font,
                  COLORREF color, bool wordWrap = false);
    const std::string& Caption() const { return caption_; }
    COLORREF Color() const { return color_; }
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
    TGraphicImage(TGraphicHost& host, const std::string& name, RECT bounds, const TPicture& picture, bool stretch);
    void Paint(HDC dc) const override;

private:
    const TPicture& picture_;
    bool stretch_;
};

// Opens an address with the desktop shell, the program's window as owner; a failure is not
// reported. The real program gives this to TAboutBox; tests give it a recorder.
void OpenAddressWithShell(HWND owner, const std::string& address);

class TAboutBox : public TComponent {
public:
    static constexpr const char* Address = "https://vantrel.example.org";
    static constexpr int ClientWidth = 298;
    static constexpr int ClientHeight = 287;
    static constexpr POINT Image3Home = {128, 233};

    TAboutBox(HINSTANCE instance, std::function<void(const std::string& address)> openAddress);
    ~TAboutBox() override;
    TAboutBox(const TAboutBox&) = delete;
    TAboutBox& operator=(const TAboutBox&) = delete;

    // Disables owner, shows the box centred on the screen and returns when the box is closed.
    // A quit request that arrives meanwhile closes the box and is passed on.
    void ShowModal(HWND owner);
    // Hides the box and ends its modal showing; the title bar's Close button does the same.
    void Close();
    bool Showing() const { return showing_; }

    HWND Handle() const;
    HWND PanelHandle() const;

    // The controls, bottom first within each window.
    std::unique_ptr<TGraphicLabel> Credits;
    std::unique_ptr<TGraphicLabel> Comments;
    std::unique_ptr<TGraphicImage> Image1;
    std::unique_ptr<TShadowLabel> sLabelFX1;
    std::unique_ptr<TGraphicLabel> sLabel1;
    std::unique_ptr<TGraphicImage> image4;
    std::unique_ptr<TGraphicImage> image3;

    void CommentsMouseMove(TObject* Sender, WPARAM Shift, int X, int Y);
    void CommentsMouseLeave(TObject* Sender);
    void CommentsClick(TObject* Sender);
    void Image1MouseMove(TObject* Sender, WPARAM Shift, int X, int Y);
    void Image1MouseLeave(TObject* Sender);
    void Image1Click(TObject* Sender);
    void image3MouseEnter(TObject* Sender);
    void image3MouseLeave(TObject* Sender);
    void image3Click(TObject* Sender);

private:
    void CreateFonts();
    void CreateWindows(HINSTANCE instance);
    void CreateControls();
    void CenterOnScreen();

    std::function<void(const std::string&)> openAddress_;
    UniqueGdi<HFONT> windowFont_, titleFont_, taglineFont_;
    TPicture logo_, frame_, closePicture_;
    std::unique_ptr<TGraphicHost> box_;
    std::unique_ptr<TGraphicHost> panel_;
    HWND owner_ = nullptr;
    bool showing_ = false;
};
