#pragma once

#include <string>

// The file version of a file through the platform's version calls; empty when the file is
// missing or carries no readable fixed version record.
std::string ReadFileVersionText(const std::string& fileName);
