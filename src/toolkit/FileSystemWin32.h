// Whether files and folders exist, full paths, and whole files read and written, as the file
// system answers.
#pragma once

#include <string>
#include <vector>

// A path exists when it names an existing entry that is not a folder.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The full path of a path relative to the current folder; the path itself when it cannot be had.
std::string FullPathName(const std::string& path);

// Reads a whole file as 8-bit text; throws std::runtime_error, naming the file and the system's
// reason, when it cannot be opened or read to the end.
std::string ReadWholeFile(const std::string& path);

struct TFileToWrite {
    std::string Path;
    std::string Bytes;
};

// Writes every file whole or not at all: each goes first to a temporary file in its own folder,
// and only when all of them are complete, and no name belongs to a folder or a read-only file, do
// they replace the files of their names. A failure (a denied folder, a full disk)
// throws std::runtime_error with the path and the system's reason and leaves no temporary file
// behind.
void WriteFilesWhole(const std::vector<TFileToWrite>& files);
// One file, written whole or not at all as above.
void WriteWholeFile(const std::string& path, const std::string& bytes);
