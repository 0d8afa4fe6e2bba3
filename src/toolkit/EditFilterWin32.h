// The input filter of an edit field whose key handler decides which characters it takes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

// Keeps a field to the characters its key handler lets through, whichever way they come: typed,
// pasted (Ctrl+V, Shift+Insert, WM_PASTE, the context menu), set from outside or dropped. Pasted
// text keeps what passes the filter, then the field's limit applies.
class TInputFilter {
public:
    // keyPress may change the key or refuse it by setting it to 0. limit: 0 for none.
    TInputFilter(std::size_t limit, std::function<void(char& key)> keyPress);

    std::size_t Limit() const { return limit_; }
    // A message to the field before the field sees it; true when the filter answered it, in result.
    bool FilterMessage(HWND field, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After the field changed: brings a change that came by another path back to the accepted
    // characters.
    void RepairChange(HWND field);

private:
    bool Accepts(char c);
    void PasteFiltered(HWND field);
    std::size_t limit_;
    std::function<void(char&)> keyPress_;
    std::string accepted_;  // the text after the latest change
    bool repairing_ = false;
};
