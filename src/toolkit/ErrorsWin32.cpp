#include "toolkit/ErrorsWin32.h"

#include <stdexcept>

std::string SystemErrorText(DWORD code)
{
    char buffer[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' '))
        --length;
    if (length == 0)
        return "System error code " + std::to_string(code);
    return std::string(buffer, length);
}

void ThrowSystemError(const std::string& what, DWORD code)
{
    throw std::runtime_error(what + ". " + SystemErrorText(code));
}

void CheckWin32(bool ok, const char* what)
{
    if (!ok)
        ThrowSystemError(std::string(what) + " failed", GetLastError());
}
