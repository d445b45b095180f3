#pragma once

#include <string>
#include <string_view>

namespace tavrin {

class Platform;

// True when the command line asks for the second step of a transfer job: it contains
// "-jobid" in any letter case.
bool IsJobMode(std::string_view commandLine);

// The call form the host uses. A command line with "/ID:" (any case) is cut at its first
// "/": the text before it (trimmed) stays as the command line, and the file named after
// "/f:" in the rest (up to the next " /") is returned, without the quotes a host may put
// around the whole argument or the path. Any other command line is cut at
// its first " /". Returns the "/f:" file name (empty when none is given); the caller
// checks that the file exists, and when it does not, shows message 5577 and ends.
std::string ApplyHostCallForm(std::string& commandLine);

// Whether the whole command line names an "xml" or "json" file whose hex dump start-up
// puts on the clipboard.
bool IsDumpFileName(std::string_view commandLine);

// The hex dump of a text: for each character "0x", two upper-case hexadecimal digits of
// its code in the system's ANSI code page, and a blank. A character that takes two bytes
// in that code page shows its last byte.
std::string HexDumpOfText(Platform& platform, std::string_view text);

}  // namespace tavrin
