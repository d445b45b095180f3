#include "platform/command_line.h"

namespace tavrin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// The program name: quotes only protect blanks, backslashes are taken as they stand
// (a program path such as "C:\Program Files\" must not lose its backslashes).
std::string ReadProgramName(std::string_view text, std::size_t& pos) {
  std::string name;
  bool quoted = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      name += c;
    }
  }
  return name;
}

std::string ReadArgument(std::string_view text, std::size_t& pos) {
  std::string argument;
  bool quoted = false;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\\') {
      std::size_t count = 0;
      while (pos < text.size() && text[pos] == '\\') {
        ++count;
        ++pos;
      }
      if (pos < text.size() && text[pos] == '"') {
        argument.append(count / 2, '\\');
        if (count % 2 == 1) {
          argument += '"';
          ++pos;
        }
        // With an even count the quote is handled as a quote in the next round.
      } else {
        argument.append(count, '\\');
      }
    } else if (c == '"') {
      if (quoted && pos + 1 < text.size() && text[pos + 1] == '"') {
        argument += '"';  // "" inside quotes: a literal quote, still inside
        pos += 2;
      } else {
        quoted = !quoted;
        ++pos;
      }
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      argument += c;
      ++pos;
    }
  }
  return argument;
}

bool NeedsQuotes(const std::string& argument) {
  return argument.empty() || argument.find_first_of(" \t\"") != std::string::npos;
}

std::string Quote(const std::string& argument) {
  if (!NeedsQuotes(argument)) return argument;
  // Trailing backslashes are written after the closing quote, where they are literal
  // under both the program-name and the argument rules.
  std::size_t end = argument.size();
  while (end > 0 && argument[end - 1] == '\\') --end;
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (std::size_t i = 0; i < end; ++i) {
    const char c = argument[i];
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are doubled, and one more escapes the quote.
      text.append(2 * backslashes + 1, '\\');
    } else {
      text.append(backslashes, '\\');
    }
    backslashes = 0;
    text += c;
  }
  text.append(backslashes, '\\');  // only literal backslashes are left here
  text += '"';
  text.append(argument.size() - end, '\\');
  return text;
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine) {
  std::vector<std::string> parts;
  std::size_t pos = SkipBlanks(commandLine, 0);
  if (pos >= commandLine.size()) return parts;
  parts.push_back(ReadProgramName(commandLine, pos));
  for (pos = SkipBlanks(commandLine, pos); pos < commandLine.size();
       pos = SkipBlanks(commandLine, pos)) {
    parts.push_back(ReadArgument(commandLine, pos));
  }
  return parts;
}

std::string JoinWindowsCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += Quote(argument);
  }
  return line;
}

}  // namespace tavrin
