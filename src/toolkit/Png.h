// A PNG decoder over zlib's inflate. It is the one place where the program parses a binary
// format from outside, so every length, checksum and size is checked before it is trusted:
// bad input gives a TPngError, never a crash, a hang or an access out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class TPngError : public std::runtime_error {
public:
    explicit TPngError(const std::string& what) : std::runtime_error("PNG: " + what) {}
};

// A decoded picture: Width * Height pixels, rows from the top, 4 bytes each (red, green, blue,
// alpha), alpha not premultiplied.
struct TPngImage {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::vector<std::uint8_t> Rgba;
};

struct TPngLimits {
    // A picture whose decoded pixels or whose decompressed data would take more bytes than
    // this is refused as soon as its header is read, before anything is allocated for it.
    std::size_t MaxImageBytes = std::size_t{256} << 20;
};

// Decodes a whole PNG file: colour types 0, 2, 3, 4 and 6 at every bit depth the format
// allows (1, 2, 4, 8, 16), all five row filters, and Adam7 interlacing. 16-bit samples are
// rounded to 8 bits; low bit depths are scaled to the full 8-bit range. A tRNS chunk gives
// alpha to the colour types without an alpha channel. Colour-management chunks are ignored.
TPngImage DecodePng(std::span<const std::uint8_t> file, const TPngLimits& limits = {});
