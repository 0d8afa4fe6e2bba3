#include "toolkit/EditQueriesWin32.h"

#include <algorithm>
#include <string>

bool AnswerEditQuery(const TEditQueryView& view, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const TLineStore& store = view.Text;
    // The line the caret is on, for the queries that ask with -1.
    const int caretLine = std::max(0, view.Caret);
    switch (msg) {
    case WM_GETTEXTLENGTH:
        result = static_cast<LRESULT>(store.TextLength());
        return true;
    case WM_GETTEXT: {
        result = 0;
        if (wParam == 0 || lParam == 0)
            return true;
        const std::string text = store.JoinedText(wParam - 1);
        char* buffer = reinterpret_cast<char*>(lParam);
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = '\0';
        result = static_cast<LRESULT>(text.size());
        return true;
    }
    case WM_SETTEXT:
        result = FALSE;  // read-only: only the program writes the view
        return true;
    case EM_GETLINECOUNT:
        result = std::max(1, store.Count());
        return true;
    case EM_GETFIRSTVISIBLELINE:
        result = view.FirstVisibleLine;
        return true;
    case EM_LINEINDEX: {
        const int line = static_cast<int>(wParam) == -1 ? caretLine : static_cast<int>(wParam);
        if (line == 0)
            result = 0;  // an empty view still has its one empty line
        else
            result = line > 0 && line < store.Count() ? static_cast<LRESULT>(store.LineIndex(line)) : -1;
        return true;
    }
    case EM_LINEFROMCHAR:
        result = static_cast<int>(wParam) == -1 ? caretLine : store.LineFromChar(wParam);
        return true;
    case EM_LINELENGTH:
        // -1 asks for the unselected characters of the selected lines: whole lines leave none.
        result = static_cast<int>(wParam) == -1 || store.Count() == 0
                     ? 0
                     : static_cast<LRESULT>(store.Line(store.LineFromChar(wParam)).size());
        return true;
    case EM_GETLINE: {
        result = 0;
        const int line = static_cast<int>(wParam);
        if (lParam == 0 || line < 0 || line >= store.Count())
            return true;
        char* buffer = reinterpret_cast<char*>(lParam);
        const std::size_t room = *reinterpret_cast<const WORD*>(buffer);
        const std::string& text = store.Line(line);
        const std::size_t copied = std::min(room, text.size());
        std::copy_n(text.begin(), copied, buffer);
        result = static_cast<LRESULT>(copied);
        return true;
    }
    case EM_GETSEL: {
        DWORD start = 0, end = 0;
        if (view.SelectedFirst >= 0) {
            start = static_cast<DWORD>(store.LineIndex(view.SelectedFirst));
            end = static_cast<DWORD>(store.LineIndex(view.SelectedLast) + store.Line(view.SelectedLast).size());
        }
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = start;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = end;
        result = start > 0xFFFF || end > 0xFFFF ? -1 : MAKELRESULT(start, end);
        return true;
    }
    case EM_SETSEL: {
        const auto start = static_cast<int>(wParam);
        const auto end = static_cast<int>(lParam);
        if (start < 0 || store.Count() == 0) {
            view.Select(-1, -1);
        } else {
            const int last = end < 0 ? store.Count() - 1 : store.LineFromChar(static_cast<std::size_t>(std::max(start, end - 1)));
            view.Select(store.LineFromChar(static_cast<std::size_t>(start)), last);
        }
        result = 0;
        return true;
    }
    default:
        return false;
    }
}
