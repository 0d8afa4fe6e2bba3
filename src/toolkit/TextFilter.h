// Keeping a filtered field's text acceptable whichever way text reaches it: typed, pasted,
// dropped or set from outside.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

using TCharFilter = std::function<bool(char)>;

// The characters of text that accepts lets through, in order.
std::string KeepAccepted(const std::string& text, const TCharFilter& accepts);

struct TFilteredText {
    std::string Text;
    std::size_t Caret = 0;  // just after what was inserted
};

// A change turned before into after, inserting some text where the two differ. Keeps the
// accepted characters of the inserted text and then as many as fit into limit characters
// (0: no limit), as a paste would; what the change removed stays removed.
TFilteredText FilterInsertion(const std::string& before, const std::string& after, const TCharFilter& accepts,
                              std::size_t limit);
