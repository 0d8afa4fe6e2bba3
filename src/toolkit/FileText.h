// A text file's bytes as the program's text: the program speaks the system's ANSI code page,
// while editors today save UTF-8 (with or without a byte-order mark) or UTF-16 with its mark.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Turns Unicode text into the system's ANSI code page (the Windows build's AnsiFromUnicode;
// tests give their own).
using TToAnsi = std::function<std::string(std::u16string_view)>;

// The file's text in ANSI: UTF-8 (with its mark, or without one when the bytes are valid UTF-8
// beyond ASCII) and UTF-16 LE or BE with its mark are converted; any other file is its bytes.
std::string FileTextInAnsi(std::string_view fileBytes, const TToAnsi& toAnsi);

// The Windows build's converter: the system's ANSI code page, '?' for what it cannot spell.
std::string AnsiFromUnicode(std::u16string_view text);
