// The system's text for a failed call, and a one-line check that turns a failed call into an error.
#pragma once

#include <windows.h>

#include <string>

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// Throws std::runtime_error naming the call and the system's reason when ok is false.
void CheckWin32(bool ok, const char* what);
