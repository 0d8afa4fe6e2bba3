// The main window's building and scaling: its panels and controls at their places for 96 dots
// per inch, the fonts and pictures for the current scale, and how the target list's marks look.
#include "windows/frmMain.h"

#include "resource_ids.h"
#include "toolkit/FontsWin32.h"

namespace {

const char* const kAtATimeCaption = "PCs at a time:";
const char* const kSkipHint =
    "Before the job, try a connection to port 445 (file sharing, which PsExec needs) on every computer, and "
    "start PsExec only on those that answer";
const char* const kAtATimeHint = "How many computers to run at once, each with its own PsExec (1: the whole list in one PsExec)";

struct MarkLook {
    TComputerMark mark;
    COLORREF color;
    const char* colorName;  // for the legend
};

constexpr MarkLook kMarkLooks[] = {
    {TComputerMark::cmWaiting, RGB(160, 160, 160), "grey"},
    {TComputerMark::cmRunning, RGB(0, 110, 230), "blue"},
    {TComputerMark::cmDone, RGB(0, 170, 0), "green"},
    {TComputerMark::cmRestartRequired, RGB(240, 190, 0), "yellow"},
    {TComputerMark::cmFailed, RGB(220, 0, 0), "red"},
    {TComputerMark::cmNotReached, RGB(150, 0, 190), "purple"},
    {TComputerMark::cmContactLost, RGB(0, 0, 0), "black"},
    {TComputerMark::cmInterrupted, RGB(255, 130, 0), "orange"},
    {TComputerMark::cmNotStarted, RGB(0, 140, 140), "teal"},
    {TComputerMark::cmNoResult, RGB(255, 255, 255), "white"},
};

TControlArgs Place(HWND parent, int left, int top, int width, int height)
{
    TControlArgs args;
    args.Parent = parent;
    args.Bounds = TBounds{left, top, width, height};
    return args;
}

TControlArgs Place(const TControl& parent, int left, int top, int width, int height)
{
    return Place(parent.Handle(), left, top, width, height);
}

TEdit::Args EditAt(const TControl& parent, int left, int top, int width)
{
    TEdit::Args args;
    static_cast<TControlArgs&>(args) = Place(parent, left, top, width, 21);
    return args;
}

}  // namespace

void TForm1::CreatePanels()
{
    // Creation order is the tab order: the input panel, the options, the buttons, then the views.
    spnl1 = std::make_unique<TPanel>(Place(Handle(), 3, 3, 536, 118));
    spnl4 = std::make_unique<TPanel>(Place(Handle(), 3, 309, 536, 86));
    spnl2 = std::make_unique<TPanel>(Place(Handle(), 3, 401, 536, 79));
    spnl3 = std::make_unique<TPanel>(Place(Handle(), 3, 127, 536, 176));
    stsbr1 = std::make_unique<TStatusBar>(Place(Handle(), 0, 483, 542, 19));
}

void TForm1::Rescaled(int dpi)
{
    // The controls take the new fonts before the old ones go.
    UniqueGdi<HFONT> oldFonts[] = {std::move(font_), std::move(boldFont_), std::move(consoleFont_)};
    CreateFonts(dpi);
    TForm::Rescaled(dpi);
    ScaleOwnParts(dpi);
}

void TForm1::CreateFonts(int dpi)
{
    font_ = MakeFont(ScaleToDpi(11, dpi), FW_NORMAL, "Tahoma");
    boldFont_ = MakeFont(ScaleToDpi(11, dpi), FW_BOLD, "Tahoma");
    consoleFont_ = MakeScaledFont(9, dpi, FW_NORMAL, "System", "Tahoma");
    SetFont(font_.Get());
}

void TForm1::ScaleOwnParts(int dpi)
{
    chk7->SetFont(boldFont_.Get());
    mmo2->SetFont(consoleFont_.Get());
    LoadButtonPictures(dpi);
    PlaceCaptions();
}

void TForm1::LoadButtonPictures(int dpi)
{
    const int pictures[] = {IDP_BUTTON_EXECUTE, IDP_BUTTON_CLEAR, IDP_BUTTON_SAVELOG, IDP_BUTTON_ABOUT, IDP_BUTTON_EXIT};
    for (std::size_t i = 0; i < buttonPictures_.size(); ++i)
        buttonPictures_[i] = LoadScaledPicture(ModuleInstance(), pictures[i], dpi);
}

std::unique_ptr<TLabel> TForm1::CaptionAbove(const TControl& control, const std::string& caption)
{
    TLabel::Args args;
    args.Parent = GetParent(control.Handle());
    args.Caption = caption;
    return std::make_unique<TLabel>(args);
}

void TForm1::PlaceCaptions()
{
    // Each caption sits on its control's top edge, from its left edge or centred over it.
    const auto place = [](TLabel& label, const TControl& control, bool centred) {
        const TBounds bounds = control.Bounds();
        const TBounds size = label.Bounds();
        const int left = centred ? TBounds::Centred(bounds.Left, bounds.Width, size.Width) : bounds.Left;
        label.SetBounds(size.MovedTo(left, bounds.Top - size.Height));
    };
    place(*lblListFile, *edt1, false);
    place(*lblPackage, *edt2, false);
    place(*lblDomain, *edt3, false);
    place(*lblUser, *edt4, false);
    place(*lblPassword, *edt5, false);
    place(*lblTargets, *mmo1, false);
    place(*lblConsole, *mmo2, true);

    // The caption of the computers-at-a-time field stands to its left, centred on its height.
    const TBounds field = edt7->Bounds();
    const TBounds size = lblAtATime->Bounds();
    lblAtATime->SetBounds(size.MovedTo(field.Left - edt7->Scaled(6) - size.Width,
                                       TBounds::Centred(field.Top, field.Height, size.Height)));
}

void TForm1::CreateInputPanel()
{
    TEdit::Args list = EditAt(*spnl1, 8, 16, 523);
    list.MaxLength = 255;
    edt1 = std::make_unique<TFileNameEdit>(list);
    edt1->SetHint(tips_.get(), "Selecet the computers list text file");
    edt3 = std::make_unique<TEdit>(EditAt(*spnl1, 8, 90, 154));
    edt3->SetHint(tips_.get(), "Enter the Windows Domain Name");
    edt4 = std::make_unique<TEdit>(EditAt(*spnl1, 191, 90, 161));
    edt4->SetHint(tips_.get(), "Enter the user account to use");
    TEdit::Args password = EditAt(*spnl1, 378, 90, 153);
    password.PasswordChar = '*';
    edt5 = std::make_unique<TEdit>(password);
    edt5->SetHint(tips_.get(), "Enter the account password");
    edt2 = std::make_unique<TEdit>(EditAt(*spnl1, 8, 53, 523));
    edt2->SetHint(tips_.get(), "Point to an MSI or MSP package on a UNC path");

    lblListFile = CaptionAbove(*edt1, "Distribution List File:");
    lblPackage = CaptionAbove(*edt2, "Install package UNC path (Example: \\\\Server\\share\\install.msi):");
    lblDomain = CaptionAbove(*edt3, "Domain:");
    lblUser = CaptionAbove(*edt4, "User Name:");
    lblPassword = CaptionAbove(*edt5, "Password:");

    edt1->OnChange = [this](TObject* sender) { edt1Change(sender); };
    edt1->OnButtonClick = [this](TObject* sender) { edt1ButtonClick(sender); };
    edt2->OnChange = [this](TObject* sender) { edt2Change(sender); };
}

void TForm1::CreateOptionsPanel()
{
    // Check boxes 20 pixels high; each is created in its place in the tab order.
    struct Option {
        std::unique_ptr<TCheckBox>& box;
        int left, top, width;
        const char* caption;
        const char* hint;
        bool checked = false;
    };
    const auto create = [this](const Option& option) {
        TCheckBox::Args args;
        static_cast<TControlArgs&>(args) = Place(*spnl4, option.left, option.top, option.width, 20);
        args.Caption = option.caption;
        args.Checked = option.checked;
        option.box = std::make_unique<TCheckBox>(args);
        option.box->SetHint(tips_.get(), option.hint);
    };
    const Option options[] = {
        {chk1, 8, 1, 141, "No UI on remote machine", "Silent, no UI on remote machine during installation", true},
        {chk2, 8, 21, 192, "Prompt user for restart if necessary",
         "Prompt the user on the remote machine to restart after installation"},
        {chk3, 8, 41, 164, "Force restart after installation", "Force the remote machine to restart after installation"},
        {chk4, 288, 1, 213, "Don't load the specified account's profile", "Does not load the specified account's profile"},
        {chk5, 288, 21, 187, "Don't wait for process to terminate", " Don't wait for process to terminate (non-interactive)"},
        {chk6, 288, 41, 209, "Timeout (seconds) connecting to target",
         "Specifies timeout in seconds connecting to remote computers"},
    };
    for (const Option& option : options)
        create(option);

    TEdit::Args timeout = EditAt(*spnl4, 504, 40, 25);
    timeout.MaxLength = 2;
    timeout.Enabled = false;
    edt6 = std::make_unique<TEdit>(timeout);
    edt6->SetHint(tips_.get(), "Enter timeout in seconds");

    create({chk7, 8, 65, 321, "Execute Uninstall procedure for the selected package",
            "Execute Uninstall procedure for the selected package from the selected computer list"});

    // In the free space of the first row, after the existing options in the tab order; the
    // caption comes first, so that automation reads it as the field's name.
    TLabel::Args caption;
    caption.Parent = spnl4->Handle();
    caption.Caption = kAtATimeCaption;
    lblAtATime = std::make_unique<TLabel>(caption);
    TEdit::Args atATime = EditAt(*spnl4, 255, 0, 25);
    atATime.MaxLength = 2;
    edt7 = std::make_unique<TEdit>(atATime);
    edt7->SetHint(tips_.get(), kAtATimeHint);
    edt7->SetText("1");

    // Beside the uninstall option, the only free space wide enough for its caption; last in the
    // tab order.
    create({chk8, 329, 65, 200, "Skip computers that do not answer", kSkipHint});

    edt6->OnKeyPress = [this](TObject* sender, char& key) { edt6KeyPress(sender, key); };
    edt7->OnKeyPress = [this](TObject* sender, char& key) { edt7KeyPress(sender, key); };
    chk2->OnClick = [this](TObject* sender) { chk2Click(sender); };
    chk3->OnClick = [this](TObject* sender) { chk3Click(sender); };
    chk6->OnClick = [this](TObject* sender) { chk6Click(sender); };
    chk7->OnClick = [this](TObject* sender) { chk7Click(sender); };
}

void TForm1::CreateButtonsPanel()
{
    struct Button {
        std::unique_ptr<TPictureButton>& button;
        int left;
        const char* caption;
        const char* hint;
        void (TForm1::*handler)(TObject*);
    };
    const Button buttons[] = {
        {sbtbtn1, 8, "Execute", "Start the distribution process", &TForm1::sbtbtn1Click},
        {sbtbtn4, 114, "Clear", "Clear all fields", &TForm1::sbtbtn4Click},
        {sbtbtn5, 220, "Save Log ...", "Save console view to a text file", &TForm1::sbtbtn5Click},
        {sbtbtn3, 328, "About...", "About...", &TForm1::sbtbtn3Click},
        {sbtbtn2, 434, "Exit", "Exit", &TForm1::sbtbtn2Click},
    };
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        const Button& entry = buttons[i];
        TPictureButton::Args args;
        static_cast<TControlArgs&>(args) = Place(*spnl2, entry.left, 6, 97, 68);
        args.Caption = entry.caption;
        const TPicture* picture = &buttonPictures_[i];
        args.DrawPicture = [picture](HDC dc, int x, int y) { DrawPicture(dc, *picture, x, y); };
        entry.button = std::make_unique<TPictureButton>(args);
        entry.button->SetHint(tips_.get(), entry.hint);
        entry.button->OnClick = [this, handler = entry.handler](TObject* sender) { (this->*handler)(sender); };
    }
}

void TForm1::CreateListPanel()
{
    TMemo::Args targets;
    static_cast<TControlArgs&>(targets) = Place(*spnl3, 4, 16, 168, 156);
    mmo1 = std::make_unique<TMemo>(targets);
    mmo1->SetHint(tips_.get(), "Display the computers list for distribution");

    TMemo::Args console;
    static_cast<TControlArgs&>(console) = Place(*spnl3, 178, 16, 354, 156);
    console.TextColor = RGB(255, 255, 255);
    console.BackgroundColor = RGB(0, 0, 0);
    mmo2 = std::make_unique<TMemo>(console);
    mmo2->SetHint(tips_.get(), "Watch a live console view of the progress");
    mmo2->AddMenuCommand("Save Retry List...", [this] { SaveRetryList(false); }, [this] { return HasRetryList(false); });
    mmo2->AddMenuCommand("Save Retry List with Restart Required...", [this] { SaveRetryList(true); },
                         [this] { return HasRetryList(true); });
    mmo2->AddMenuCommand("Save Results...", [this] { SaveResults(); }, [this] { return HasResults(); });
    mmo2->AddMenuCommand("Stop", [this] { StopRun(); }, [this] { return RunActive(); });

    for (const MarkLook& look : kMarkLooks) {
        const std::string entry = std::string("Mark ") + look.colorName + ": " + std::string(MarkName(look.mark));
        mmo1->AddMenuCommand(entry, [] {}, [] { return false; }, look.color);
    }

    lblTargets = CaptionAbove(*mmo1, TargetsCaption);
    lblConsole = CaptionAbove(*mmo2, "Console view:");
}

std::optional<TLineMark> TForm1::TargetMark(int line) const
{
    const auto mark = session_->MarkOfLine(mmo1->Lines().Get(line));
    if (!mark)
        return std::nullopt;
    for (const MarkLook& look : kMarkLooks)
        if (look.mark == *mark)
            return TLineMark{look.color, std::string(MarkName(*mark))};
    return std::nullopt;
}
