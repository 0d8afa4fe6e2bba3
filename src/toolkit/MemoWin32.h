// A read-only multi-line text view that holds any amount of text at a flat cost per line.
//
// The platform's multi-line edit control does work in proportion to all the text it holds at
// every change (under Wine, tens of milliseconds at 40,000 lines), so a long run of output made
// it quadratic. This view keeps its lines in a list and paints only the rows in sight; the
// operator selects whole lines with the mouse or the keyboard and copies them with Ctrl+C.
//
// Automation tools and screen readers read it as they read a read-only multi-line edit control:
// it answers the edit control's text queries (WM_GETTEXT, EM_GETLINE and the rest) through
// EditQueriesWin32, and gives accessibility clients a read-only text object whose value is the
// whole text.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/ControlsWin32.h"
#include "toolkit/HandlesWin32.h"
#include "toolkit/LineStore.h"
#include "toolkit/Strings.h"
#include "toolkit/TimersWin32.h"

class TMemo;

// A small coloured square before a line, with the name that automation reads for it.
struct TLineMark {
    COLORREF Color;
    std::string Name;
};
// The mark of a line by its index; none for a line without one.
using TLineMarks = std::function<std::optional<TLineMark>(int line)>;

// The lines of a TMemo as a string list; every change shows at the next paint.
class TMemoLines : public TStrings {
    friend class TMemo;

public:
    explicit TMemoLines(TMemo& memo) : memo_(memo) {}
    int Count() const override { return store_.Count(); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& line) override;
    void Add(const std::string& line) override;
    void Delete(int index) override;
    void Clear() override;
    void SetText(const std::string& text) override;
    void Insert(int index, const std::string& line) override;
    // Scrolls so that the last line is in sight, even when the operator had scrolled up.
    void ScrollToEnd();

private:
    TMemo& memo_;
    TLineStore store_;
};

class TMemo : public TControl {
public:
    struct Args : TControlArgs {
        COLORREF TextColor = CLR_INVALID;        // CLR_INVALID: the window-text colour
        COLORREF BackgroundColor = CLR_INVALID;  // CLR_INVALID: the window colour
        HFONT Font = nullptr;                    // nullptr: the window's font
    };
    explicit TMemo(const Args& args);

    // The blank space left of the text and right of the widest line, in layout pixels, and in
    // pixels at the view's scale.
    static constexpr int TextMargin = 2;
    int Margin() const { return Scaled(TextMargin); }
    // A line mark's side in layout pixels; the square stands Margin() from the view's left edge.
    static constexpr int MarkSize = 7;
    void Rescale(int dpi) override;

    TMemoLines& Lines() { return lines_; }
    COLORREF TextColor() const;
    COLORREF BackgroundColor() const;

    // The first line in sight, and the selected lines (first and last, inclusive; -1 for none).
    int TopLine() const { return topLine_; }
    int LineHeight() const { return lineHeight_; }
    // Whether a line would show whole, without scrolling, in the view as it is now sized.
    bool FitsWidth(const std::string& line) const;
    int SelectionStart() const;
    int SelectionEnd() const;
    // The line that the keyboard moves from (-1: none yet).
    int CaretLine() const { return caret_; }
    void SelectLines(int anchor, int caret);
    // The selected lines, each followed by CR LF, as Ctrl+C puts them on the clipboard.
    std::string SelectedText() const;
    void SelectAll();

    // Marks lines with a coloured square in a margin of their own, left of the text; the text
    // stays as it is. Automation reads the marks as the view's accessible description, one
    // "line: mark" per marked line. nullptr takes the marks and their margin away.
    void SetLineMarks(TLineMarks marks);
    // The marks may have changed: they are drawn again at the next refresh.
    void MarksChanged();
    // Each marked line with its mark's name, one "line: name" per line, joined with CR LF.
    std::string MarksDescription() const;

    // Adds a command to the context menu: after a separator below Copy and Select All, in the
    // order added. A command whose isEnabled says false is greyed; one with a swatch shows that
    // colour before its caption.
    void AddMenuCommand(const std::string& caption, std::function<void()> onClick,
                        std::function<bool()> isEnabled = nullptr, std::optional<COLORREF> swatch = std::nullopt);
    // The context menu as it would show now: Copy, Select All, then the added commands.
    std::vector<TMenuCommand> MenuCommands();

private:
    friend class TMemoLines;
    LRESULT HandleWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Called by the lines after a change.
    void LineAdded(int index);
    void LinesReplaced();
    void Paint(HDC dc);
    void PaintMark(HDC dc, int line, const RECT& rowRect);
    // Shows changes at most every RefreshIntervalMs: a flood of lines costs one repaint per
    // interval, not one per line.
    void Changed();
    void Refresh();
    void UpdateScrollBars();
    void SetScrollBar(int bar, int maximum, int page, int position);
    void ScrollTo(int topLine, int leftPixel);
    void ScrollToEnd();
    void Scroll(int bar, WORD request);
    void KeyDown(WPARAM key);
    // Moves the caret to a line, keeping it in sight; extend keeps the selection's anchor.
    void MoveCaret(int line, bool extend);
    const TLineStore& Store() const { return lines_.store_; }
    int LineAt(int y) const;
    int VisibleRows() const;
    // Reads the measures of the font selected for measuring.
    void MeasureFont();
    // The widest of the lines first to last, in pixels, margins included.
    int WidestOf(int first, int last) const;
    void CopySelection() const;

    // Ten refreshes a second keep a flood readable; each redraws a scroll bar, which is slow.
    static constexpr DWORD RefreshIntervalMs = 100;

    TMemoLines lines_{*this};
    // A memory context with the font selected, for measuring lines without the screen.
    TMemoryDC measure_{nullptr};
    bool dirty_ = false;
    DWORD lastRefresh_ = 0;
    TWindowTimers timers_;
    const std::unique_ptr<IPeriodicTimer> refreshTimer_ = timers_.Create([this] { Refresh(); });
    // What each scroll bar shows: maximum, page and position; -1 before it was first set.
    std::array<int, 3> verticalShown_{-1, -1, -1};
    std::array<int, 3> horizontalShown_{-1, -1, -1};
    // The font's character widths and overhang, read when the font is set.
    TCharWidths charWidths_{};
    int overhang_ = 0;
    COLORREF textColor_;
    COLORREF backgroundColor_;
    HFONT font_ = nullptr;
    int lineHeight_ = 13;
    int widest_ = 0;
    int topLine_ = 0;
    int leftPixel_ = 0;
    int anchor_ = -1;  // where the selection began
    int caret_ = -1;   // where it ends
    bool selecting_ = false;
    std::vector<TMenuCommand> extraCommands_;
    TLineMarks marks_;
    // The marks' margin: nothing without marks.
    int MarkMargin() const { return marks_ ? Scaled(MarkSize) + 2 * Margin() + Scaled(1) : 0; }
};
