// libFuzzer entry point for the PNG decoder. Any outcome other than a picture of the declared
// size or a TPngError is a fault: the sanitizers report out-of-bounds access and undefined
// behaviour, and an unexpected exception or a wrong size aborts.
#include "toolkit/Png.h"

#include <cstdlib>

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
