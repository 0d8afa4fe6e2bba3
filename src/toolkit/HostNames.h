// What a computer name looks like: shared by the job's list checks and the network check, which
// must agree on which names are worth looking up.
#pragma once

#include <string_view>

// Whether a list line names one computer: a host name (dot-separated labels of letters, digits,
// '-' and '_', of at most 63 bytes each and 253 in all, letters beyond ASCII allowed), or an IPv6
// address; a leading "\\" and blanks around it are allowed. A comma, a blank, a quote, a
// semicolon or a '#' inside mean more than one computer, or none.
bool IsOneComputerName(std::string_view name);

// The name as a network lookup takes it: without the blanks around it, a leading "\\" and the
// root's closing dot.
std::string_view HostNameOf(std::string_view name);

// The text without the blanks and tabs around it.
std::string_view TrimBlanks(std::string_view text);
