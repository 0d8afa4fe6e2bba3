// libFuzzer entry point for the PNG decoder. Any outcome other than a picture of the declared
// size or a TPngError is a fault: the sanitizers report out-of-bounds access and undefined
// behaviour, and an unexpected exception or a wrong size aborts.
#include "toolkit/Png.h"

#include <zlib.h>

#include <cstdlib>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A low limit keeps every run fast; the checks before it are the same at any limit.
    TPngLimits limits;
    limits.MaxImageBytes = std::size_t{4} << 20;
    try {
        const TPngImage image = DecodePng({data, size}, limits);
        if (image.Width == 0 || image.Height == 0 ||
            image.Rgba.size() != std::size_t{image.Width} * image.Height * 4)
            std::abort();
    } catch (const TPngError&) {
        // Refused, as bad input must be.
    }
    return 0;
}

// Rewrites the checksum of every complete chunk, so that mutations reach the code behind
// the checksum test instead of dying at it.
void FixChecksums(std::uint8_t* data, std::size_t size)
{
    std::size_t pos = 8;
    while (pos <= size && size - pos >= 12) {
        const std::uint32_t length = std::uint32_t(data[pos]) << 24 | std::uint32_t(data[pos + 1]) << 16 |
                                     std::uint32_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length > size - pos - 12)
            return;
        const uLong crc = crc32(crc32(0L, nullptr, 0), data + pos + 4, static_cast<uInt>(length + 4));
        std::uint8_t* out = data + pos + 8 + length;
        out[0] = std::uint8_t(crc >> 24);
        out[1] = std::uint8_t(crc >> 16);
        out[2] = std::uint8_t(crc >> 8);
        out[3] = std::uint8_t(crc);
        pos += 12 + std::size_t{length};
    }
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed)
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    // Leave one mutant in sixteen with its checksums as they came, so the test itself is fuzzed.
    if (seed % 16 != 0)
        FixChecksums(data, size);
    return size;
}
