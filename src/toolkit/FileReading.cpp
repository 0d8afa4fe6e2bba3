#include "toolkit/FileReading.h"

#include <array>

std::optional<std::string> ReadAllChunks(const TChunkReader& readChunk)
{
    std::string content;
    std::array<char, 65536> buffer;
    for (;;) {
        std::size_t read = 0;
        if (!readChunk(buffer.data(), buffer.size(), read))
            return std::nullopt;
        if (read == 0)
            return content;
        content.append(buffer.data(), read);
    }
}
