// The platform's standard rules for command-line arguments, so that what the program composes
// reaches a child as the same arguments that the child's runtime will split back out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a whole command line into arguments as the Microsoft C runtime does:
// - Arguments are separated by blanks and tabs outside double quotes.
// - The first token, the program name, takes no escapes: double quotes only switch quoting, and
//   it ends at the first blank or tab outside quotes (so a leading blank gives an empty name).
// - Elsewhere, 2n backslashes before a double quote give n backslashes and the quote switches
//   quoting; 2n+1 backslashes before a double quote give n backslashes and a literal quote.
//   Backslashes not followed by a double quote are literal.
// - Inside quotes, two double quotes in a row give one literal double quote and quoting goes on.
// An empty command line gives no arguments.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Writes one argument so that SplitCommandLine gives it back unchanged (for any argument but
// the first). A value that is not empty and holds no blank, tab or double quote is returned as
// it is; otherwise it is put in double quotes, each inner double quote escaped with a backslash
// and the backslashes that precede a double quote (the closing one too) doubled.
std::string QuoteArgument(std::string_view value);
