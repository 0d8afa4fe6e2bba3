// Reading the current user's settings from the registry.
#pragma once

#include <optional>
#include <string>

// A number value of a key under HKEY_CURRENT_USER; nothing when the key or value is missing or
// is not a number.
std::optional<unsigned long> ReadUserNumber(const std::string& key, const std::string& value);
