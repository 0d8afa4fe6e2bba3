#include "toolkit/RegistryWin32.h"

#include <windows.h>

std::optional<unsigned long> ReadUserNumber(const std::string& key, const std::string& value)
{
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return number;
}
