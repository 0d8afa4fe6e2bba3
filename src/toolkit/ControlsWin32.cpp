#include "toolkit/ControlsWin32.h"

#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiWin32.h"
#include "toolkit/ErrorsWin32.h"
#include "toolkit/TextWin32.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <type_traits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

const char* const kPanelClass = "TPanel";

HFONT ParentFont(HWND parent)
{
    return reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
}

// Where a visible child window of the given styles goes: the layout rectangle scaled to the dots
// per inch the parent is laid out at.
TWindowPlace ChildPlace(DWORD style, DWORD exStyle, HWND parent, const TBounds& layout)
{
    TWindowPlace place;
    place.ExStyle = exStyle;
    place.Style = WS_CHILD | WS_VISIBLE | style;
    place.Bounds = ScaleToDpi(layout, LayoutDpi(parent));
    place.Parent = parent;
    return place;
}

}  // namespace

// ---- TControl

void TControl::CreatePlatformWindow(const char* platformClass, const std::string& text, const TWindowPlace& place,
                                    bool subclass)
{
    MakePlatformWindow(platformClass, text, place, subclass);
    UseParentFont();
}

void TControl::Bound()
{
    SetLayoutDpi(LayoutDpi(Handle()));
}

TWindowPlace TControl::LaidOut(DWORD style, DWORD exStyle, const TControlArgs& args)
{
    layout_ = args.Bounds;
    hasLayout_ = true;
    return ChildPlace(style, exStyle, args.Parent, args.Bounds);
}

void TControl::Rescale(int dpi)
{
    SetLayoutDpi(dpi);
    if (hasLayout_)
        SetBounds(ScaleToDpi(layout_, dpi));
    // The window's new font; a control with a font of its own is given its new one by its owner.
    if (!ownFont_)
        UseParentFont();
}

void TControl::CreateOwnWindow(const TWindowClass& windowClass, const TWindowPlace& place)
{
    MakeWindow(windowClass, place);
    UseParentFont();
}

void TControl::UseParentFont()
{
    if (HWND parent = GetParent(Handle()))
        ApplyFont(ParentFont(parent));
}

LRESULT TControl::HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (SubclassMessage(msg, wParam, lParam, result))
        return result;
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool TControl::Reflected(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_COMMAND: {
        const WORD code = HIWORD(wParam);
        RunHandler([&] { Command(code); });
        result = 0;
        return true;
    }
    case WM_DRAWITEM:
        if (DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            result = TRUE;
            return true;
        }
        return false;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(lParam), result);
    default:
        // The WM_CTLCOLOR* messages.
        if (HBRUSH brush = ControlColor(reinterpret_cast<HDC>(wParam))) {
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    }
}

bool TControl::Enabled() const
{
    return IsWindowEnabled(Handle()) != FALSE;
}

void TControl::SetEnabled(bool enabled)
{
    EnableWindow(Handle(), enabled ? TRUE : FALSE);
}

void TControl::SetFocus()
{
    ::SetFocus(Handle());
}

bool TControl::Focused() const
{
    return GetFocus() == Handle();
}

std::string TControl::Text() const
{
    return WindowText(Handle());
}

void TControl::SetText(const std::string& text)
{
    SetWindowTextA(Handle(), text.c_str());
}

void TControl::SetFont(HFONT font)
{
    ownFont_ = true;
    ApplyFont(font);
}

HFONT TControl::Font() const
{
    return reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
}

void TControl::ApplyFont(HFONT font)
{
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    FontChanged();
}

void TControl::SetHint(TToolTips* tips, const std::string& hint)
{
    hint_ = hint;
    if (tips && !hint.empty())
        tips->Add(Handle(), hint_);
}

// ---- TPanel

TPanel::TPanel(const TControlArgs& args)
{
    TWindowClass windowClass;
    windowClass.Name = kPanelClass;
    windowClass.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateOwnWindow(windowClass, LaidOut(WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, args));
}

LRESULT TPanel::HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rect;
        GetClientRect(hwnd, &rect);
        DrawEdge(dc, &rect, BDR_RAISEDINNER, BF_RECT);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_GETFONT:
        return SendMessageA(GetParent(hwnd), WM_GETFONT, 0, 0);
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- TLabel

TLabel::TLabel(const Args& args) : color_(args.Color)
{
    CreatePlatformWindow("STATIC", args.Caption, ChildPlace(SS_LEFT | SS_NOPREFIX, 0, args.Parent, TBounds{}));
    if (args.Font)
        SetFont(args.Font);
    AutoSize();
}

void TLabel::Rescale(int dpi)
{
    TControl::Rescale(dpi);
    AutoSize();
}

void TLabel::SetCaption(const std::string& caption)
{
    SetText(caption);
    AutoSize();
}

void TLabel::AutoSize()
{
    const TTextMeasure measure(Handle());
    SetBounds(Bounds().Resized(measure.Extent(Text()).cx, measure.LineHeight()));
    InvalidateRect(Handle(), nullptr, TRUE);
}

HBRUSH TLabel::ControlColor(HDC dc)
{
    ::SetTextColor(dc, ColorOrSystem(color_, COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

// ---- TEdit

TEdit::TEdit(const Args& args)
    : filter_(static_cast<std::size_t>(std::max(0, args.MaxLength)),
              [this](char& key) { RunHandler([&] { OnKeyPress(this, key); }); })
{
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | args.ExtraStyle;
    if (args.PasswordChar)
        style |= ES_PASSWORD;
    CreatePlatformWindow("EDIT", "", LaidOut(style, WS_EX_CLIENTEDGE, args), true);
    if (args.PasswordChar)
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(args.PasswordChar)), 0);
    // Zero lifts the control's default limit: a field without a limit takes any length.
    SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(filter_.Limit()), 0);
    SetEnabled(args.Enabled);
}

void TEdit::SetTextColor(COLORREF color)
{
    color_ = color;
    InvalidateRect(Handle(), nullptr, TRUE);
}

int TEdit::MaxLength() const
{
    return static_cast<int>(SendMessageA(Handle(), EM_GETLIMITTEXT, 0, 0));
}

char TEdit::PasswordChar() const
{
    return static_cast<char>(SendMessageA(Handle(), EM_GETPASSWORDCHAR, 0, 0));
}

void TEdit::Command(WORD code)
{
    if (code != EN_CHANGE)
        return;
    if (Filtered())
        filter_.RepairChange(Handle());
    if (OnChange)
        OnChange(this);
}

HBRUSH TEdit::ControlColor(HDC dc)
{
    if (!Enabled())
        return nullptr;
    ::SetTextColor(dc, ColorOrSystem(color_, COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
}

bool TEdit::SubclassMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return Filtered() && filter_.FilterMessage(Handle(), msg, wParam, lParam, result);
}

// ---- TFileNameEdit

namespace {
// The field must not paint over the browse button that lies on its right end.
TEdit::Args WithClippedSiblings(TEdit::Args args)
{
    args.ExtraStyle |= WS_CLIPSIBLINGS;
    return args;
}
}  // namespace

namespace {
// The browse button of a file-name field: a control of its own that reports its clicks to the
// field's handler.
class TBrowseButton : public TControl {
public:
    TBrowseButton(const TWindowPlace& place, TFileNameEdit& field) : field_(field)
    {
        CreatePlatformWindow("BUTTON", "...", place);
    }
    void Command(WORD code) override
    {
        if (code == BN_CLICKED && field_.OnButtonClick)
            field_.OnButtonClick(&field_);
    }

private:
    TFileNameEdit& field_;
};
}  // namespace

TFileNameEdit::TFileNameEdit(const Args& args) : TEdit(WithClippedSiblings(args))
{
    // A sibling laid over the field's right end, inside its border, placed by the field.
    button_ = std::make_unique<TBrowseButton>(ChildPlace(WS_CLIPSIBLINGS | BS_PUSHBUTTON, 0, args.Parent, TBounds{}),
                                              *this);
    PlaceButton();
}

void TFileNameEdit::Rescale(int dpi)
{
    TEdit::Rescale(dpi);
    PlaceButton();
}

void TFileNameEdit::PlaceButton()
{
    const TBounds inside = Bounds().Inset(SystemMetricForDpi(SM_CXEDGE, Dpi()));
    const int width = Scaled(ButtonWidth);
    SetWindowPos(button_->Handle(), HWND_TOP, inside.Right() - width, inside.Top, width, inside.Height,
                 SWP_NOACTIVATE);
    // Keep the typed text clear of the button.
    SendMessageA(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, width + Scaled(2)));
}

TFileNameEdit::~TFileNameEdit() = default;

bool TFileNameEdit::SubclassMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == WM_SETFONT) {
        // The button shows the field's font; a new font resets the field's margins.
        result = DefSubclassProc(Handle(), msg, wParam, lParam);
        if (button_)
            button_->SetFont(reinterpret_cast<HFONT>(wParam));
        PlaceButton();
        return true;
    }
    if (msg == WM_SYSKEYDOWN && wParam == VK_DOWN) {
        RunHandler([&] {
            if (OnButtonClick)
                OnButtonClick(this);
        });
        result = 0;
        return true;
    }
    return TEdit::SubclassMessage(msg, wParam, lParam, result);
}

// ---- TCheckBox

TCheckBox::TCheckBox(const Args& args)
{
    CreatePlatformWindow("BUTTON", args.Caption, LaidOut(WS_TABSTOP | BS_AUTOCHECKBOX, 0, args));
    if (args.Font)
        SetFont(args.Font);
    SendMessageA(Handle(), BM_SETCHECK, args.Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SetEnabled(args.Enabled);
}

bool TCheckBox::Checked() const
{
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == Checked())
        return;
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (OnClick)
        OnClick(this);
}

void TCheckBox::Command(WORD code)
{
    if (code == BN_CLICKED && OnClick)
        OnClick(this);
}

void TCheckBox::Rescale(int dpi)
{
    TControl::Rescale(dpi);
    FitCaption();
}

int TCheckBox::CaptionWidth() const
{
    const TTextMeasure measure(Handle());
    // The platform leaves about half a digit's width between the box and the caption.
    return SystemMetricForDpi(SM_CXMENUCHECK, Dpi()) + measure.Extent("0").cx / 2 + measure.Extent(Text()).cx;
}

namespace {
// How far a control at bounds may grow to the right: to the parent's edge, or to the nearest
// sibling on the same row.
int RoomToTheRight(HWND control, const TBounds& bounds)
{
    HWND parent = GetParent(control);
    int limit = ClientBounds(parent).Right();
    for (HWND sibling = GetWindow(parent, GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == control || !(GetWindowLongPtrA(sibling, GWL_STYLE) & WS_VISIBLE))
            continue;
        const TBounds other = BoundsInParent(sibling);
        if (other.Left >= bounds.Right() && other.Top < bounds.Bottom() && other.Bottom() > bounds.Top)
            limit = std::min<int>(limit, other.Left);
    }
    return limit - bounds.Left;
}
}  // namespace

void TCheckBox::FitCaption()
{
    // At 96 dots per inch the layout stands as it was designed.
    if (!Handle() || Dpi() == DefaultDpi)
        return;
    const TBounds bounds = Bounds();
    const TBounds laidOut = ScaleToDpi(Layout(), Dpi());
    const int width = std::max(laidOut.Width, std::min(CaptionWidth(), RoomToTheRight(Handle(), laidOut)));
    if (width != bounds.Width)
        SetBounds(bounds.Resized(width, bounds.Height));
}

HBRUSH TCheckBox::ControlColor(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return GetSysColorBrush(COLOR_BTNFACE);
}

// ---- TPictureButton

TPictureButton::TPictureButton(const Args& args) : drawPicture_(args.DrawPicture)
{
    CreatePlatformWindow("BUTTON", args.Caption, LaidOut(WS_TABSTOP | BS_OWNERDRAW, 0, args));
}

void TPictureButton::Click()
{
    if (OnClick)
        OnClick(this);
}

void TPictureButton::Command(WORD code)
{
    if (code == BN_CLICKED)
        Click();
}

bool TPictureButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    const TBounds button = ToBounds(rect);
    {
        const std::string caption = Text();
        const TTextMeasure measure(dc, Font());
        const SIZE text = measure.Extent(caption);
        const int offset = pushed ? Scaled(1) : 0;
        const int picture = Scaled(PictureSize);
        const int gap = Scaled(PictureGap);
        const int contentTop = TBounds::Centred(button.Top, button.Height, picture + gap + text.cy) + offset;
        if (drawPicture_)
            drawPicture_(dc, TBounds::Centred(button.Left, button.Width, picture) + offset, contentTop);

        RECT textRect = ToRect(TBounds{button.Left + offset, contentTop + picture + gap, button.Width, text.cy});
        SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
                  DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = ToRect(button.Inset(Scaled(FocusInset)));
        DrawFocusRect(dc, &focus);
    }
    return true;
}

// ---- TStatusBar

TStatusBar::TStatusBar(const TControlArgs& args)
{
    // Placed exactly where the layout says; the bar must not move or size itself.
    CreatePlatformWindow(STATUSCLASSNAMEA, "", LaidOut(CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0, args));
    SendMessageA(Handle(), SB_SIMPLE, TRUE, 0);
}

std::string TStatusBar::SimpleText() const
{
    // Platforms differ in which index names the simple text: try the simple id, then part 0.
    for (WPARAM part : {WPARAM{SB_SIMPLEID}, WPARAM{0}}) {
        const LRESULT info = SendMessageA(Handle(), SB_GETTEXTLENGTHA, part, 0);
        if (LOWORD(info) == 0)
            continue;
        std::string text(static_cast<std::size_t>(LOWORD(info)) + 1, '\0');
        SendMessageA(Handle(), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text.data()));
        text.resize(LOWORD(info));
        return text;
    }
    return {};
}

void TStatusBar::SetSimpleText(const std::string& text)
{
    SendMessageA(Handle(), SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
}
