// What a piece of a child process's output is: the runner delivers pieces, the job reads them.
#pragma once

#include <cstdint>

// A whole line, or the beginning of a line that is not finished yet; the next piece of an
// unfinished line repeats it and goes on.
enum TOutputType : uint8_t { otEntireLine, otBeginningOfLine };
