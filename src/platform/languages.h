#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ini_file.h"

namespace tavrin {

class Platform;
class AppPaths;

// The user-interface texts: numbered messages looked up in the language file of the
// chosen language ("Language" + separator + "SCC" + code + ".txt" in the program
// folder), then in the English file "SCCEN.txt", then in the built-in German table.
class Languages {
 public:
  Languages(Platform& platform, const AppPaths& paths, std::string languageCode);

  // The message's text before placeholders are filled; empty when no source has it.
  // "DE" reads the built-in table only; "D1" to "D9" and "EN" fall back from their file
  // straight to the built-in table, every other code first to the English file.
  std::string LookupLanguageText(int number);
  // The message with "%1", "%2", ... replaced by the arguments in that order, and the
  // family's diary product name replaced by this program's title.
  std::string GetMessageText(int number, const std::vector<std::string>& args = {});
  // The message (as GetMessageText gives it) in the chosen language first, then in every
  // language the program ships (the built-in German table, the English file), each text
  // once; texts no source has are left out. For texts the program looks for in what other
  // programs wrote, whose language need not be the user interface's.
  std::vector<std::string> MessageInEveryLanguage(int number,
                                                  const std::vector<std::string>& args = {});
  // The words for yes and no, from the fourth part of message 5082.
  std::pair<std::string, std::string> YesNoTexts();

  const std::string& Code() const { return code_; }

  // The language code of the system default locale (its abbreviated language name
  // mapped by LanguageCodeForAbbreviation).
  static std::string SystemLanguageCode(Platform& platform);
  // The language code for a three-letter language abbreviation (any case); "EN" for
  // every abbreviation not known.
  static std::string LanguageCodeForAbbreviation(std::string_view abbreviation);
  // The built-in German text of a message; empty for numbers without one.
  static std::string BuiltInText(int number);

 private:
  std::string code_;
  cIniFile languageFile_;
  cIniFile englishFile_;
};

}  // namespace tavrin
