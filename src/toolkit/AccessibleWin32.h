// The accessible object of a read-only multi-line text view of our own, for screen readers and
// automation tools that use accessibility rather than the text queries.
#pragma once

#include <windows.h>

#include <oleacc.h>

// Answers WM_GETOBJECT for the view: its client object reads as a read-only text whose value is
// the view's whole text (through WM_GETTEXT, so it never outlives what it reads).
LRESULT AnswerTextViewObject(HWND view, WPARAM flags, LPARAM objectId);

// The object itself, with one reference for the caller.
IAccessible* NewTextViewAccessible(HWND view);

// Asked of the view for its accessible description: lParam points to a std::string of this
// process to fill; the view answers nonzero when it has a description.
UINT TextViewDescriptionMessage();
