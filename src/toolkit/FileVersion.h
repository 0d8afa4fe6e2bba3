// A file's version as four numbers, from the fixed record of its version resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Four unsigned decimal numbers joined by ".": the high and low halves of the most significant
// word, then of the least significant word.
std::string FormatFileVersion(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS);

// Reads the file version from a fixed file-information record that a version query returned as
// a pointer into the block that was read. The record is used only when it lies wholly inside the
// block, is long enough and carries the record's signature; otherwise the result is empty.
std::string FileVersionFromRecord(const void* block, std::size_t blockSize, const void* record,
                                  std::size_t recordLength);
