#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Command lines as Windows programs read them. A Windows program receives one text and
// splits it itself with the rules of the Microsoft C runtime; the POSIX front end joins
// its argument list into such a text with these rules, so that the core reads the command
// line as it would on Windows.

// Splits a command line into the program name and its arguments:
// - The program name ends at the first blank or tab outside double quotes; the quotes
//   themselves are dropped and backslashes are always literal in it.
// - Every later argument is separated by blanks and tabs. Double quotes group blanks
//   into an argument and are dropped; inside quotes, "" stands for one literal quote.
//   2n backslashes before a quote give n backslashes and the quote keeps its meaning;
//   2n+1 backslashes before a quote give n backslashes and a literal quote. Backslashes
//   not followed by a quote are literal. A missing closing quote ends the argument at
//   the end of the line.
// Leading blanks are skipped; an empty or blank command line gives no elements.
std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine);

// Joins arguments into one command line that SplitWindowsCommandLine gives back
// element by element. An argument is quoted when it is empty or holds a blank, tab or
// double quote; trailing backslashes stay outside the closing quote, so that the first
// element reads back the same as a program name (which cannot hold a double quote).
std::string JoinWindowsCommandLine(const std::vector<std::string>& arguments);

}  // namespace tavrin
