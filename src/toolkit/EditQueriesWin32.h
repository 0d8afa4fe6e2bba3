// The platform edit control's text queries, answered for a read-only view of whole lines.
//
// Automation tools and screen readers read a text view as they read a read-only multi-line edit
// control: WM_GETTEXT, EM_GETLINECOUNT, EM_LINEINDEX, EM_GETLINE, EM_GETSEL and the rest. A view
// that keeps its own lines answers them here, from its line store and its selection, which is
// always of whole lines.
#pragma once

#include <windows.h>

#include <functional>

#include "toolkit/LineStore.h"

// What the queries read of a view, and the one change that they make (EM_SETSEL).
struct TEditQueryView {
    const TLineStore& Text;
    int FirstVisibleLine;
    int Caret;          // the line that the keyboard moves from; -1: none yet
    int SelectedFirst;  // the selected lines, first and last, inclusive; -1: none
    int SelectedLast;
    // Selects the lines from anchor to caret; -1, -1 takes the selection away.
    std::function<void(int anchor, int caret)> Select;
};

// True when msg is one of the edit control's text queries, with its answer in result.
bool AnswerEditQuery(const TEditQueryView& view, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
