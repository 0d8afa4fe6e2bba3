#include "toolkit/MemoWin32.h"

#include "toolkit/AccessibleWin32.h"
#include "toolkit/EditQueriesWin32.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <memory>
#include <type_traits>
#include <stdexcept>
#include <utility>

namespace {

const char* const kMemoClass = "TMemo";
const int kWheelLines = 3;

}  // namespace

// ---- TMemoLines

std::string TMemoLines::Get(int index) const
{
    CheckListIndex(index, Count());
    return store_.Line(index);
}

void TMemoLines::Put(int index, const std::string& line)
{
    CheckListIndex(index, Count());
    store_.Put(index, line);
    memo_.LineAdded(index);
}

void TMemoLines::Add(const std::string& line)
{
    store_.Add(line);
    memo_.LineAdded(Count() - 1);
}

void TMemoLines::Insert(int index, const std::string& line)
{
    if (index != Count())
        CheckListIndex(index, Count());
    store_.Insert(index, line);
    memo_.LineAdded(index);
}

void TMemoLines::Delete(int index)
{
    CheckListIndex(index, Count());
    store_.Delete(index);
    memo_.LinesReplaced();
}

void TMemoLines::Clear()
{
    store_.Assign({});
    memo_.LinesReplaced();
}

void TMemoLines::SetText(const std::string& text)
{
    store_.Assign(SplitLines(text));
    memo_.LinesReplaced();
}

void TMemoLines::ScrollToEnd()
{
    memo_.ScrollToEnd();
}

// ---- TMemo

TMemo::TMemo(const Args& args) : textColor_(args.TextColor), backgroundColor_(args.BackgroundColor)
{
    TWindowClass windowClass;
    windowClass.Name = kMemoClass;
    windowClass.Style = CS_DBLCLKS;
    // The edit styles mean nothing to this class; they tell accessibility clients what it is.
    const DWORD editStyles = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
    const DWORD style = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | editStyles;
    CreateOwnWindow(windowClass, LaidOut(style, WS_EX_CLIENTEDGE, args));
    timers_.Attach(Handle());
    refreshTimer_->SetInterval(RefreshIntervalMs);
    MeasureFont();  // the system font, until one is set
    if (args.Font)
        SetFont(args.Font);
    UpdateScrollBars();
}

void TMemo::Rescale(int dpi)
{
    TControl::Rescale(dpi);
    // The margins, and with them the widest line, have changed.
    widest_ = WidestOf(0, lines_.Count() - 1);
    Changed();
}

COLORREF TMemo::TextColor() const
{
    return ColorOrSystem(textColor_, COLOR_WINDOWTEXT);
}

COLORREF TMemo::BackgroundColor() const
{
    return ColorOrSystem(backgroundColor_, COLOR_WINDOW);
}

int TMemo::SelectionStart() const
{
    return std::min(anchor_, caret_);
}

int TMemo::SelectionEnd() const
{
    return std::max(anchor_, caret_);
}

void TMemo::SelectLines(int anchor, int caret)
{
    const int last = lines_.Count() - 1;
    anchor_ = std::clamp(anchor, -1, last);
    caret_ = std::clamp(caret, -1, last);
    if (anchor_ < 0 || caret_ < 0)
        anchor_ = caret_ = -1;
    InvalidateRect(Handle(), nullptr, FALSE);
}

std::string TMemo::SelectedText() const
{
    std::string text;
    if (SelectionStart() < 0)
        return text;
    for (int i = SelectionStart(); i <= SelectionEnd() && i < lines_.Count(); ++i)
        text += Store().Line(i) + "\r\n";
    return text;
}

void TMemo::SelectAll()
{
    SelectLines(0, lines_.Count() - 1);
}

void TMemo::AddMenuCommand(const std::string& caption, std::function<void()> onClick,
                           std::function<bool()> isEnabled, std::optional<COLORREF> swatch)
{
    extraCommands_.push_back(TMenuCommand{caption, std::move(onClick), std::move(isEnabled), swatch});
}

void TMemo::SetLineMarks(TLineMarks marks)
{
    marks_ = std::move(marks);
    LinesReplaced();
}

void TMemo::MarksChanged()
{
    if (marks_)
        Changed();
}

std::string TMemo::MarksDescription() const
{
    std::string description;
    for (int i = 0; marks_ && i < lines_.Count(); ++i) {
        if (const auto mark = marks_(i)) {
            if (!description.empty())
                description += "\r\n";
            description += Store().Line(i) + ": " + mark->Name;
        }
    }
    return description;
}

std::vector<TMenuCommand> TMemo::MenuCommands()
{
    std::vector<TMenuCommand> commands{
        {"Copy", [this] { CopySelection(); }, [this] { return SelectionStart() >= 0; }},
        {"Select All", [this] { SelectAll(); }, [this] { return lines_.Count() > 0; }},
    };
    if (!extraCommands_.empty()) {
        commands.push_back(TMenuCommand{});
        commands.insert(commands.end(), extraCommands_.begin(), extraCommands_.end());
    }
    return commands;
}

LRESULT TMemo::HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer = 0;
    const TEditQueryView view{Store(), topLine_, caret_, SelectionStart(), SelectionEnd(),
                              [this](int anchor, int caret) { SelectLines(anchor, caret); }};
    if (AnswerEditQuery(view, msg, wParam, lParam, answer))
        return answer;
    if (msg == TextViewDescriptionMessage()) {
        *reinterpret_cast<std::string*>(lParam) = MarksDescription();
        return marks_ ? 1 : 0;
    }
    switch (msg) {
    case WM_SETFONT: {
        font_ = reinterpret_cast<HFONT>(wParam);
        SelectObject(measure_.Get(), font_);
        MeasureFont();
        LinesReplaced();
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // Paint fills every pixel
    case WM_SIZE:
        UpdateScrollBars();
        return 0;
    case WM_TIMER:
        timers_.Tick(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_VSCROLL:
        Scroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        Scroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        ScrollTo(topLine_ - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * kWheelLines, leftPixel_);
        return 0;
    case WM_LBUTTONDOWN: {
        ::SetFocus(hwnd);
        const int line = LineAt(GET_Y_LPARAM(lParam));
        SelectLines((wParam & MK_SHIFT) && anchor_ >= 0 ? anchor_ : line, line);
        selecting_ = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (selecting_)
            SelectLines(anchor_, LineAt(GET_Y_LPARAM(lParam)));
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (selecting_) {
            selecting_ = false;
            if (GetCapture() == hwnd)
                ReleaseCapture();
        }
        return 0;
    case WM_KEYDOWN:
        KeyDown(wParam);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;  // Tab and Enter stay with the form
    case WM_COPY:
        CopySelection();
        return 0;
    case WM_CONTEXTMENU:
        ShowContextMenu(hwnd, lParam, MenuCommands());
        return 0;
    case WM_GETOBJECT:
        return AnswerTextViewObject(hwnd, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

int TMemo::VisibleRows() const
{
    RECT client;
    GetClientRect(Handle(), &client);
    return std::max(1, static_cast<int>(client.bottom) / lineHeight_);
}

int TMemo::LineAt(int y) const
{
    const int line = topLine_ + std::max(0, y) / lineHeight_;
    return std::min(line, lines_.Count() - 1);
}

void TMemo::MeasureFont()
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(measure_.Get(), &metrics);
    lineHeight_ = std::max<int>(1, metrics.tmHeight);
    overhang_ = metrics.tmOverhang;
    if (!GetCharWidth32A(measure_.Get(), 0, 255, charWidths_.data()))
        charWidths_.fill(metrics.tmMaxCharWidth);
}

bool TMemo::FitsWidth(const std::string& line) const
{
    RECT client;
    GetClientRect(Handle(), &client);
    return MarkMargin() + ShownWidth(line, charWidths_) + overhang_ + 2 * Margin() <= client.right;
}

int TMemo::WidestOf(int first, int last) const
{
    int widest = 0;
    for (int i = first; i <= last; ++i)
        widest = std::max(widest, MarkMargin() + ShownWidth(Store().Line(i), charWidths_) + overhang_ + 2 * Margin());
    return widest;
}

void TMemo::LineAdded(int index)
{
    widest_ = std::max(widest_, WidestOf(index, index));
    Changed();
}

// Setting a timer is a call into the system (under Wine, a round trip to its server), so a flood
// of lines sets it once per interval, not once per line.
void TMemo::Changed()
{
    dirty_ = true;
    if (GetTickCount() - lastRefresh_ >= RefreshIntervalMs)
        Refresh();
    else
        refreshTimer_->SetEnabled(true);
}

void TMemo::Refresh()
{
    refreshTimer_->SetEnabled(false);
    lastRefresh_ = GetTickCount();
    if (!std::exchange(dirty_, false))
        return;
    UpdateScrollBars();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TMemo::LinesReplaced()
{
    widest_ = WidestOf(0, lines_.Count() - 1);
    anchor_ = caret_ = -1;
    topLine_ = std::min(topLine_, std::max(0, lines_.Count() - VisibleRows()));
    Changed();
}

void TMemo::UpdateScrollBars()
{
    RECT client;
    GetClientRect(Handle(), &client);
    SetScrollBar(SB_VERT, std::max(0, lines_.Count() - 1), VisibleRows(), topLine_);
    SetScrollBar(SB_HORZ, std::max(0, widest_ - 1), std::max<int>(1, client.right), leftPixel_);
}

// Redrawing a scroll bar is slow (under Wine, milliseconds), so a bar that shows the same as
// before is left alone.
void TMemo::SetScrollBar(int bar, int maximum, int page, int position)
{
    const std::array<int, 3> shown{maximum, page, position};
    auto& last = bar == SB_VERT ? verticalShown_ : horizontalShown_;
    if (shown == last)
        return;
    last = shown;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = maximum;
    info.nPage = static_cast<UINT>(page);
    info.nPos = position;
    SetScrollInfo(Handle(), bar, &info, TRUE);
}

void TMemo::ScrollTo(int topLine, int leftPixel)
{
    RECT client;
    GetClientRect(Handle(), &client);
    const int newTop = std::clamp(topLine, 0, std::max(0, lines_.Count() - VisibleRows()));
    const int newLeft = std::clamp(leftPixel, 0, std::max(0, widest_ - static_cast<int>(client.right)));
    if (newTop == topLine_ && newLeft == leftPixel_)
        return;
    topLine_ = newTop;
    leftPixel_ = newLeft;
    Changed();
}

void TMemo::ScrollToEnd()
{
    ScrollTo(lines_.Count(), leftPixel_);
}

void TMemo::Scroll(int bar, WORD request)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(Handle(), bar, &info);
    const int line = bar == SB_VERT ? 1 : lineHeight_;
    const int page = static_cast<int>(info.nPage);
    int position = info.nPos;
    switch (request) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
    }
    if (bar == SB_VERT)
        ScrollTo(position, leftPixel_);
    else
        ScrollTo(topLine_, position);
    Refresh();
}

void TMemo::KeyDown(WPARAM key)
{
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if ((control && key == 'C') || (control && key == VK_INSERT)) {
        CopySelection();
        return;
    }
    if (control && key == 'A') {
        SelectAll();
        return;
    }
    // Up and Down from nowhere start at the first line in sight.
    const int from = caret_ >= 0 ? caret_ : topLine_;
    const int moved = caret_ >= 0 ? 1 : 0;
    switch (key) {
    case VK_UP: MoveCaret(from - moved, shift); break;
    case VK_DOWN: MoveCaret(from + moved, shift); break;
    case VK_PRIOR: MoveCaret(from - VisibleRows(), shift); break;
    case VK_NEXT: MoveCaret(from + VisibleRows(), shift); break;
    case VK_HOME:
        leftPixel_ = 0;
        MoveCaret(0, shift);
        break;
    case VK_END: MoveCaret(lines_.Count() - 1, shift); break;
    case VK_LEFT: ScrollTo(topLine_, leftPixel_ - lineHeight_); break;
    case VK_RIGHT: ScrollTo(topLine_, leftPixel_ + lineHeight_); break;
    default: break;
    }
}

void TMemo::MoveCaret(int line, bool extend)
{
    if (lines_.Count() == 0)
        return;
    const int target = std::clamp(line, 0, lines_.Count() - 1);
    SelectLines(extend && anchor_ >= 0 ? anchor_ : target, target);
    if (target < topLine_)
        ScrollTo(target, leftPixel_);
    else if (target >= topLine_ + VisibleRows())
        ScrollTo(target - VisibleRows() + 1, leftPixel_);
    Refresh();
}

void TMemo::CopySelection() const
{
    const std::string text = SelectedText();
    if (text.empty() || !OpenClipboard(Handle()))
        return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        char* target = static_cast<char*>(GlobalLock(memory));
        std::copy(text.begin(), text.end(), target);
        target[text.size()] = '\0';
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_TEXT, memory))
            GlobalFree(memory);
    }
    CloseClipboard();
}

// The mark stays in its margin while the text scrolls sideways.
void TMemo::PaintMark(HDC dc, int line, const RECT& rowRect)
{
    const auto mark = marks_(line);
    if (!mark)
        return;
    const int size = Scaled(MarkSize);
    const int top = rowRect.top + (lineHeight_ - size) / 2;
    RECT square{Margin(), top, Margin() + size, top + size};
    UniqueGdi<HBRUSH> fill(CreateSolidBrush(mark->Color));
    FillRect(dc, &square, fill.Get());
    FrameRect(dc, &square, GetSysColorBrush(COLOR_WINDOWTEXT));
}

void TMemo::Paint(HDC dc)
{
    RECT client;
    GetClientRect(Handle(), &client);
    UniqueGdi<HBRUSH> background(CreateSolidBrush(BackgroundColor()));
    FillRect(dc, &client, background.Get());
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, OPAQUE);
    const bool focused = GetFocus() == Handle();
    const int rows = VisibleRows() + 1;
    for (int row = 0; row < rows && topLine_ + row < lines_.Count(); ++row) {
        const int line = topLine_ + row;
        const bool selected = line >= SelectionStart() && line <= SelectionEnd() && SelectionStart() >= 0;
        RECT rowRect{0, row * lineHeight_, client.right, (row + 1) * lineHeight_};
        if (selected) {
            FillRect(dc, &rowRect, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            ::SetTextColor(dc, GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
            SetBkColor(dc, GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        } else {
            ::SetTextColor(dc, TextColor());
            SetBkColor(dc, BackgroundColor());
        }
        const std::string text = ExpandTabs(Store().Line(line));
        RECT textRect = rowRect;
        textRect.left = MarkMargin();
        ExtTextOutA(dc, MarkMargin() + Margin() - leftPixel_, row * lineHeight_, ETO_CLIPPED | ETO_OPAQUE, &textRect,
                    text.c_str(), static_cast<UINT>(text.size()), nullptr);
        if (marks_)
            PaintMark(dc, line, rowRect);
    }
    SelectObject(dc, oldFont);
}
