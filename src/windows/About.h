// The About box: the product's title, credits, a description and a link to the maker's page,
// as text and as a framed logo. Created hidden once at start-up and shown modally on request.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Component.h"
#include "toolkit/GraphicControlsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/PicturesWin32.h"

// Opens an address with the desktop shell, the program's window as owner; a failure is not
// reported. The real program gives this to TAboutBox; tests give it a recorder.
void OpenAddressWithShell(HWND owner, const std::string& address);

class TAboutBox : public TComponent {
public:
    static constexpr const char* Address = "https://vantrel.example.org";
    static constexpr TBounds Client = {0, 0, 298, 287};
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
    // Lays the box out again at dpi, with fonts and pictures for that scale: into suggested (what
    // the system proposes when the box moves to another monitor), or around the same centre.
    void ChangeDpi(int dpi, const RECT* suggested = nullptr);
    int Dpi() const { return dpi_; }
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
    void LoadPictures();
    void CreateWindows();
    void CreateControls();
    // The box's frame around its client area at the box's scale.
    SIZE FrameSize() const;

    std::function<void(const std::string&)> openAddress_;
    HINSTANCE instance_;
    int dpi_;
    UniqueGdi<HFONT> windowFont_, titleFont_, taglineFont_;
    TPicture logo_, frame_, closePicture_;
    std::unique_ptr<TGraphicHost> box_;
    std::unique_ptr<TGraphicHost> panel_;
    HWND owner_ = nullptr;
    bool showing_ = false;
};
