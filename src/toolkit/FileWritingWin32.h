// Writing files so that no reader ever finds one half-written.
#pragma once

#include <string>
#include <vector>

struct TFileToWrite {
    std::string Path;
    std::string Bytes;
};

// Writes every file whole or not at all: each goes first to a temporary file in its own folder,
// and only when all of them are complete, and no name belongs to a folder or a read-only file, do
// they replace the files of their names. A failure (a denied folder, a full disk) throws std::runtime_error with the path and the system's reason
// and leaves no temporary file behind.
void WriteFilesWhole(const std::vector<TFileToWrite>& files);
