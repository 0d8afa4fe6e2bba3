// Reading a whole file in chunks, all or nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// Reads into buffer up to size bytes and sets read; 0 bytes read is the end. False: it failed.
using TChunkReader = std::function<bool(char* buffer, std::size_t size, std::size_t& read)>;

// Everything up to the end, or nothing when a read fails part-way: a cut-off content would pass
// for the whole.
std::optional<std::string> ReadAllChunks(const TChunkReader& readChunk);
