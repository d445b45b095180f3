#include "app/command_line.h"

#include "platform/platform.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

bool IsJobMode(std::string_view commandLine) {
  return FindNoCase(commandLine, "-jobid") != std::string_view::npos;
}

std::string ApplyHostCallForm(std::string& commandLine) {
  if (FindNoCase(commandLine, "/ID:") != std::string_view::npos) {
    // "/ID:" contains a "/", so one is always found.
    const std::size_t slash = commandLine.find('/');
    const std::string arguments = Trim(std::string_view(commandLine).substr(slash));
    commandLine = Trim(std::string_view(commandLine).substr(0, slash));
    if (arguments.empty()) return std::string();
    // A host that quotes the whole argument ("/f:C:\a b.csv") or only the path
    // (/f:"C:\a b.csv") means the path without the quotes.
    std::string name = Trim(GetBetween(arguments, "/f:", " /"));
    if (name.starts_with('"')) name.erase(0, 1);
    if (name.ends_with('"')) name.pop_back();
    return name;
  }
  const std::size_t cut = commandLine.find(" /");
  if (cut != std::string::npos) commandLine = Trim(std::string_view(commandLine).substr(0, cut));
  return std::string();
}

bool IsDumpFileName(std::string_view commandLine) {
  const std::string extension = ToLower(GetExtension(commandLine));
  return extension == "xml" || extension == "json";
}

std::string HexDumpOfText(Platform& platform, std::string_view text) {
  std::string dump;
  dump.reserve(text.size() * 5);
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t length = Utf8SequenceLength(text, position);
    const std::string ansi = platform.Locale().Utf8ToAnsi(text.substr(position, length));
    position += length;
    // A code page without the character gives "?"; guard against an empty conversion.
    const unsigned char code = ansi.empty() ? '?' : static_cast<unsigned char>(ansi.back());
    dump += "0x";
    AppendHex(dump, code, HexLetters::kUpper);
    dump += ' ';
  }
  return dump;
}

}  // namespace tavrin
