// Whether files and folders exist, and full paths, as the file system answers.
#pragma once

#include <string>

// A path exists when it names an existing entry that is not a folder.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The full path of a path relative to the current folder; the path itself when it cannot be had.
std::string FullPathName(const std::string& path);

// Reads a whole file as 8-bit text; throws std::runtime_error, naming the file and the system's
// reason, when it cannot be opened or read to the end.
std::string ReadWholeFile(const std::string& path);
// Writes a whole file as 8-bit text, replacing any earlier content; throws on failure.
void WriteWholeFile(const std::string& path, const std::string& text);
