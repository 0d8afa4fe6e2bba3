#include "toolkit/ControlsWin32.h"

#include "toolkit/BoundsWin32.h"
#include "toolkit/DpiWin32.h"
#include "toolkit/TextFilter.h"
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

// A control of our own class is no longer bound to its object once the object's own parts are
// gone: its last messages get the default handling.
TControl::~TControl()
{
    DestroyBoundWindow(hwnd_);
}

void TControl::CreatePlatformWindow(const char* platformClass, const std::string& text, const TWindowPlace& place,
                                    bool subclass)
{
    CreateBoundControl(this, platformClass, text, place, subclass);
    UseParentFont();
}

void TControl::Bound(HWND hwnd)
{
    hwnd_ = hwnd;
    dpi_ = LayoutDpi(hwnd);
}

TWindowPlace TControl::LaidOut(DWORD style, DWORD exStyle, const TControlArgs& args)
{
    layout_ = args.Bounds;
    hasLayout_ = true;
    return ChildPlace(style, exStyle, args.Parent, args.Bounds);
}

void TControl::Rescale(int dpi)
{
    dpi_ = dpi;
    if (hasLayout_)
        PlaceWindow(hwnd_, ScaleToDpi(layout_, dpi));
    // The window's new font; a control with a font of its own is given its new one by its owner.
    if (!ownFont_)
        UseParentFont();
}

void TControl::CreateOwnWindow(const TWindowClass& windowClass, const TWindowPlace& place)
{
    CreateBoundWindow(this, windowClass, place);
    UseParentFont();
}

void TControl::UseParentFont()
{
    if (HWND parent = GetParent(hwnd_))
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

RECT TControl::BoundsRect() const
{
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    PlaceWindow(hwnd_, TBounds{left, top, width, height});
}

bool TControl::Enabled() const
{
    return IsWindowEnabled(hwnd_) != FALSE;
}

void TControl::SetEnabled(bool enabled)
{
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void TControl::SetFocus()
{
    ::SetFocus(hwnd_);
}

bool TControl::Focused() const
{
    return GetFocus() == hwnd_;
}

std::string TControl::Text() const
{
    return WindowText(hwnd_);
}

void TControl::SetText(const std::string& text)
{
    SetWindowTextA(hwnd_, text.c_str());
}

void TControl::SetFont(HFONT font)
{
    ownFont_ = true;
    ApplyFont(font);
}

void TControl::ApplyFont(HFONT font)
{
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    FontChanged();
}

void TControl::SetHint(TToolTips* tips, const std::string& hint)
{
    hint_ = hint;
    if (tips && !hint.empty())
        tips->Add(hwnd_, hint_);
}

// ---- context menus

void ShowContextMenu(HWND owner, LPARAM screenPoint, const std::vector<TMenuCommand>& commands)
{
    UniqueMenu menu(CreatePopupMenu());
    CheckWin32(menu.Valid(), "CreatePopupMenu");
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const TMenuCommand& command = commands[i];
        if (command.Caption.empty()) {
            AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const bool enabled = !command.IsEnabled || command.IsEnabled();
        AppendMenuA(menu.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), i + 1, command.Caption.c_str());
    }
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        at = POINT{0, 0};
        ClientToScreen(owner, &at);
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         at.x, at.y, 0, owner, nullptr));
    if (chosen == 0 || chosen > commands.size())
        return;
    RunHandler(commands[chosen - 1].OnClick);
}

// ---- TToolTips

TToolTips::TToolTips(HWND owner)
{
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                            ModuleInstance(), nullptr);
    CheckWin32(hwnd_ != nullptr, "CreateWindowEx(tooltips)");
}

TToolTips::~TToolTips()
{
    if (IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

void TToolTips::Add(HWND control, const std::string& text)
{
    TTTOOLINFOA info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(hwnd_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
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
    const std::string caption = Text();
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    const RECT bounds = BoundsRect();
    SetBounds(bounds.left, bounds.top, size.cx, metrics.tmHeight);
    InvalidateRect(Handle(), nullptr, TRUE);
}

HBRUSH TLabel::ControlColor(HDC dc)
{
    ::SetTextColor(dc, ColorOrSystem(color_, COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

// ---- TEdit

TEdit::TEdit(const Args& args) : limit_(static_cast<std::size_t>(std::max(0, args.MaxLength)))
{
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | args.ExtraStyle;
    if (args.PasswordChar)
        style |= ES_PASSWORD;
    CreatePlatformWindow("EDIT", "", LaidOut(style, WS_EX_CLIENTEDGE, args), true);
    if (args.PasswordChar)
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(args.PasswordChar)), 0);
    // Zero lifts the control's default limit: a field without a limit takes any length.
    SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(limit_), 0);
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
        RepairChange();
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

bool TEdit::Accepts(char c)
{
    // Control characters are keys, not text: in pasted text they never pass.
    if (static_cast<unsigned char>(c) < 0x20)
        return false;
    char key = c;
    RunHandler([&] { OnKeyPress(this, key); });
    return key != 0;
}

bool TEdit::SubclassMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return Filtered() && FilterMessage(msg, wParam, lParam, result);
}

bool TEdit::FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const char ctrlV = 0x16;
    result = 0;
    switch (msg) {
    case WM_CHAR: {
        char key = static_cast<char>(wParam);
        if (key == ctrlV) {
            PasteFiltered();
            return true;
        }
        RunHandler([&] { OnKeyPress(this, key); });
        return key == 0;
    }
    case WM_KEYDOWN:
        // The platform's field pastes on Shift+Insert by itself, without a WM_PASTE.
        if (wParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0) {
            PasteFiltered();
            return true;
        }
        return false;
    case WM_PASTE:
        PasteFiltered();
        return true;
    case WM_SETTEXT: {
        // The subclass sees the field's messages in UTF-16 when the field is a Unicode window.
        const bool wide = IsWindowUnicode(Handle()) != FALSE;
        std::string text;
        if (lParam)
            text = wide ? NarrowText(reinterpret_cast<const wchar_t*>(lParam)) : reinterpret_cast<const char*>(lParam);
        text = KeepAccepted(text, [this](char c) { return Accepts(c); });
        if (limit_ > 0 && text.size() > limit_)
            text.resize(limit_);
        const std::wstring wideText = WideText(text);
        const LPARAM passed = wide ? reinterpret_cast<LPARAM>(wideText.c_str()) : reinterpret_cast<LPARAM>(text.c_str());
        result = DefSubclassProc(Handle(), WM_SETTEXT, wParam, passed);
        return true;
    }
    case WM_CONTEXTMENU:
        // The platform's menu pastes by itself, and would cut the text at the limit before the
        // filter sees it: lift the limit while the menu runs; RepairChange applies it afterwards.
        SendMessageA(Handle(), EM_SETLIMITTEXT, 0, 0);
        result = DefSubclassProc(Handle(), msg, wParam, lParam);
        SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(limit_), 0);
        return true;
    default:
        return false;
    }
}

void TEdit::PasteFiltered()
{
    if (!OpenClipboard(Handle()))
        return;
    std::string text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* chars = static_cast<const char*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    InsertFiltered(text);
}

void TEdit::InsertFiltered(const std::string& text)
{
    const std::string accepted = KeepAccepted(text, [this](char c) { return Accepts(c); });
    SendMessageA(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(accepted.c_str()));
}

void TEdit::RepairChange()
{
    if (repairing_)
        return;
    const std::string current = Text();
    const TFilteredText repaired = FilterInsertion(accepted_, current, [this](char c) { return Accepts(c); }, limit_);
    accepted_ = repaired.Text;
    if (repaired.Text == current)
        return;
    repairing_ = true;
    SetText(repaired.Text);
    SendMessageA(Handle(), EM_SETSEL, repaired.Caret, repaired.Caret);
    repairing_ = false;
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
    const RECT field = BoundsRect();
    const int border = SystemMetricForDpi(SM_CXEDGE, Dpi());
    const int width = Scaled(ButtonWidth);
    SetWindowPos(button_->Handle(), HWND_TOP, field.right - border - width, field.top + border, width,
                 field.bottom - field.top - 2 * border, SWP_NOACTIVATE);
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
    const std::string caption = Text();
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    // The platform leaves about half a digit's width between the box and the caption.
    SIZE digit{};
    GetTextExtentPoint32A(dc, "0", 1, &digit);
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    return SystemMetricForDpi(SM_CXMENUCHECK, Dpi()) + digit.cx / 2 + text.cx;
}

namespace {
// How far a control at bounds may grow to the right: to the parent's edge, or to the nearest
// sibling on the same row.
int RoomToTheRight(HWND control, const RECT& bounds)
{
    HWND parent = GetParent(control);
    RECT client{};
    GetClientRect(parent, &client);
    int limit = client.right;
    for (HWND sibling = GetWindow(parent, GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == control || !(GetWindowLongPtrA(sibling, GWL_STYLE) & WS_VISIBLE))
            continue;
        RECT other{};
        GetWindowRect(sibling, &other);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&other), 2);
        if (other.left >= bounds.right && other.top < bounds.bottom && other.bottom > bounds.top)
            limit = std::min<int>(limit, other.left);
    }
    return limit - bounds.left;
}
}  // namespace

void TCheckBox::FitCaption()
{
    // At 96 dots per inch the layout stands as it was designed.
    if (!Handle() || Dpi() == DefaultDpi)
        return;
    const RECT bounds = BoundsRect();
    const TBounds laidOut = ScaleToDpi(Layout(), Dpi());
    const int width = std::max(laidOut.Width, std::min(CaptionWidth(), RoomToTheRight(Handle(), ToRect(laidOut))));
    if (width != bounds.right - bounds.left)
        SetBounds(bounds.left, bounds.top, width, bounds.bottom - bounds.top);
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

    const std::string caption = Text();
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    const int offset = pushed ? Scaled(1) : 0;
    const int width = rect.right - rect.left;
    const int picture = Scaled(PictureSize);
    const int gap = Scaled(PictureGap);
    const int contentTop = rect.top + (rect.bottom - rect.top - (picture + gap + text.cy)) / 2 + offset;
    if (drawPicture_)
        drawPicture_(dc, rect.left + (width - picture) / 2 + offset, contentTop);

    RECT textRect{rect.left + offset, contentTop + picture + gap, rect.right + offset,
                  contentTop + picture + gap + text.cy};
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -Scaled(FocusInset), -Scaled(FocusInset));
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
