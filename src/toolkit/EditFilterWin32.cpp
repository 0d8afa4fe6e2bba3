#include "toolkit/EditFilterWin32.h"

#include <commctrl.h>

#include <utility>

#include "toolkit/TextFilter.h"
#include "toolkit/TextWin32.h"

TInputFilter::TInputFilter(std::size_t limit, std::function<void(char& key)> keyPress)
    : limit_(limit), keyPress_(std::move(keyPress))
{
}

bool TInputFilter::Accepts(char c)
{
    // Control characters are keys, not text: in pasted text they never pass.
    if (static_cast<unsigned char>(c) < 0x20)
        return false;
    char key = c;
    keyPress_(key);
    return key != 0;
}

bool TInputFilter::FilterMessage(HWND field, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const char ctrlV = 0x16;
    result = 0;
    switch (msg) {
    case WM_CHAR: {
        char key = static_cast<char>(wParam);
        if (key == ctrlV) {
            PasteFiltered(field);
            return true;
        }
        keyPress_(key);
        return key == 0;
    }
    case WM_KEYDOWN:
        // The platform's field pastes on Shift+Insert by itself, without a WM_PASTE.
        if (wParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0) {
            PasteFiltered(field);
            return true;
        }
        return false;
    case WM_PASTE:
        PasteFiltered(field);
        return true;
    case WM_SETTEXT: {
        // The subclass sees the field's messages in UTF-16 when the field is a Unicode window.
        const bool wide = IsWindowUnicode(field) != FALSE;
        std::string text;
        if (lParam)
            text = wide ? NarrowText(reinterpret_cast<const wchar_t*>(lParam)) : reinterpret_cast<const char*>(lParam);
        text = KeepAccepted(text, [this](char c) { return Accepts(c); });
        if (limit_ > 0 && text.size() > limit_)
            text.resize(limit_);
        const std::wstring wideText = WideText(text);
        const LPARAM passed = wide ? reinterpret_cast<LPARAM>(wideText.c_str()) : reinterpret_cast<LPARAM>(text.c_str());
        result = DefSubclassProc(field, WM_SETTEXT, wParam, passed);
        return true;
    }
    case WM_CONTEXTMENU:
        // The platform's menu pastes by itself, and would cut the text at the limit before the
        // filter sees it: lift the limit while the menu runs; RepairChange applies it afterwards.
        SendMessageA(field, EM_SETLIMITTEXT, 0, 0);
        result = DefSubclassProc(field, msg, wParam, lParam);
        SendMessageA(field, EM_SETLIMITTEXT, static_cast<WPARAM>(limit_), 0);
        return true;
    default:
        return false;
    }
}

void TInputFilter::PasteFiltered(HWND field)
{
    if (!OpenClipboard(field))
        return;
    std::string text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* chars = static_cast<const char*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    const std::string accepted = KeepAccepted(text, [this](char c) { return Accepts(c); });
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(accepted.c_str()));
}

void TInputFilter::RepairChange(HWND field)
{
    if (repairing_)
        return;
    const std::string current = WindowText(field);
    const TFilteredText repaired = FilterInsertion(accepted_, current, [this](char c) { return Accepts(c); }, limit_);
    accepted_ = repaired.Text;
    if (repaired.Text == current)
        return;
    repairing_ = true;
    SetWindowTextA(field, repaired.Text.c_str());
    SendMessageA(field, EM_SETSEL, repaired.Caret, repaired.Caret);
    repairing_ = false;
}
