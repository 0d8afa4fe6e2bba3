// Plain path rules of the 8-bit Windows world, kept portable so that they are tested natively.
#pragma once

#include <string>

// The name after the last backslash or drive colon.
std::string ExtractFileName(const std::string& path);
// Everything before the name, without a trailing backslash (except for "C:\" and "\").
std::string ExtractFileDir(const std::string& path);
// Not empty, none of < > " | * ? /, and a name after the last backslash.
bool IsValidFileName(const std::string& path);
