// What the platform's installer library reads from a package file.
#pragma once

#include <optional>
#include <string>

// The ProductCode of an .msi, or with patch set the patch code of an .msp; nothing when the
// file cannot be opened as such a package (missing, unreachable, damaged).
std::optional<std::string> ReadPackageCode(const std::string& path, bool patch);
