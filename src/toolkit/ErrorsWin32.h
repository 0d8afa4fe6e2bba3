// The system's text for a failed call, and a one-line check that turns a failed call into an error.
#pragma once

#include <windows.h>

#include <string>

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// The one form of every error the system explains: what could not be done, then the system's
// reason ("Cannot open file "C:\x.txt". The system cannot find the file specified.").
[[noreturn]] void ThrowSystemError(const std::string& what, DWORD code);

// Throws, naming the call and the system's reason ("CreateFont failed. ..."), when ok is false.
void CheckWin32(bool ok, const char* what);
