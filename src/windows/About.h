// The About box: the product's title, credits, a description and a link to the maker's page,
// as text and as a framed logo. Created hidden once at start-up and shown modally on request.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/FormsWin32.h"
#include "toolkit/GraphicControlsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/PicturesWin32.h"

// Opens an address with the desktop shell, the program's window as owner; a failure is not
// reported. The real program gives this to TAboutBox; tests give it a recorder.
void OpenAddressWithShell(HWND owner, const std::string& address);

class TAboutBox : public TComponent, public TTopLevelWindow {
public:
    static constexpr const char* Address = "https://vantrel.example.org";
    static constexpr TBounds Client = {0, 0, 298, 287};
    static constexpr POINT Image3Home = {128, 233};

    TAboutBox(HINSTANCE instance, std::function<void(const std::string& address)> openAddress);
    ~TAboutBox() override;

    // Disables owner, shows the box centred on the screen and returns when the box is closed.
    // A quit request that arrives meanwhile closes the box and is passed on.
    void ShowModal(HWND owner);
    // Hides the box and ends its modal showing; the title bar's Close button does the same.
    void Close();
    bool Showing() const { return showing_; }

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

protected:
    // Fonts and pictures for dpi; the box's frame and controls follow.
    void Rescaled(int dpi) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateFonts();
    void LoadPictures();
    void CreatePanel();
    void CreateControls();

    std::function<void(const std::string&)> openAddress_;
    HINSTANCE instance_;
    UniqueGdi<HFONT> windowFont_, titleFont_, taglineFont_;
    TPicture logo_, frame_, closePicture_;
    // The box's own graphic controls (image3), over its background.
    TGraphicSurface surface_;
    std::unique_ptr<TGraphicHost> panel_;
    HWND owner_ = nullptr;
    bool showing_ = false;
};
