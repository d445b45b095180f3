#include "platform/languages.h"

#include <algorithm>
#include <array>

#include "platform/platform.h"
#include "platform/settings.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr const char* kSection = "Languagetext";
constexpr int kFieldTypesMessage = 5082;

struct CodeMapping {
  std::string_view code;
  std::string_view abbreviations;  // three letters each, separated by ","
};

constexpr std::array<CodeMapping, 24> kCodes = {{
    {"RU", "BEL,RUS"},
    {"BA", "BSB,BSC"},
    {"CT", "CAT"},
    {"CZ", "CSY"},
    {"DK", "DAN,FOS"},
    {"DE", "DEA,DEC,DEL,DES,DEU,LBX"},
    {"GR", "ELL"},
    {"EN", "ENA,ENB,ENC,ENG,ENI,ENJ,ENL,ENP,ENS,ENT,ENU,ENW,ENZ,IRE"},
    {"ES", "ESA,ESB,ESC,ESD,ESE,ESF,ESG,ESH,ESI,ESL,ESM,ESN,ESO,ESP,ESR,ESS,ESU,ESV,ESY,ESZ"},
    {"FI", "FIN,SMG,SMN,SMS"},
    {"F", "FRA,FRB,FRC,FRL,FRM,FRS"},
    {"NL", "FYN,NLB,NLD"},
    {"HR", "HRB,HRV,MKI"},
    {"I", "ITA,ITS"},
    {"MT", "MLT"},
    {"NO", "NON,NOR,SMA,SME,SMJ"},
    {"PL", "PLK"},
    {"PT", "PTB,PTG"},
    {"SK", "SKY"},
    {"SI", "SLV"},
    {"SE", "SMB,SMF,SMK,SVE,SVF"},
    {"TH", "THA"},
    {"TR", "TRK"},
    {"UA", "UKR"},
}};

// Codes whose texts fall back to the built-in German table without trying English.
bool FallsBackToGerman(std::string_view code) {
  if (code == "DE" || code == "EN") return true;
  return code.size() == 2 && code[0] == 'D' && code[1] >= '1' && code[1] <= '9';
}

std::string LanguageFilePath(const AppPaths& paths, const std::string& code) {
  return paths.ProgramFolder() + "Language" + kPathSep + "SCC" + code + ".txt";
}

}  // namespace

Languages::Languages(Platform& platform, const AppPaths& paths, std::string languageCode)
    : code_(std::move(languageCode)), languageFile_(platform), englishFile_(platform) {
  languageFile_.IniFile(LanguageFilePath(paths, code_));
  englishFile_.IniFile(LanguageFilePath(paths, "EN"));
}

std::string Languages::LookupLanguageText(int number) {
  const std::string key = std::to_string(number);
  std::string text;
  if (!code_.empty() && code_ != "DE") text = languageFile_.Load(kSection, key, "");
  if (text.empty() && !FallsBackToGerman(code_)) text = englishFile_.Load(kSection, key, "");
  if (text.empty()) text = BuiltInText(number);
  return text;
}

namespace {

// A message text with "%1", "%2", ... replaced by the arguments and the family's diary
// product name by this program's title.
std::string FillMessage(std::string text, const std::vector<std::string>& args) {
  // In order, so "%1" is filled before "%10" (which then reads as argument 1 and "0").
  for (std::size_t i = 0; i < args.size(); ++i) {
    text = ReplaceAll(text, "%" + std::to_string(i + 1), args[i]);
  }
  return ReplaceAll(text, "Glamora", "Tavrin Plugin for Orvolux");
}

}  // namespace

std::string Languages::GetMessageText(int number, const std::vector<std::string>& args) {
  return FillMessage(LookupLanguageText(number), args);
}

std::vector<std::string> Languages::MessageInEveryLanguage(int number,
                                                           const std::vector<std::string>& args) {
  const std::string key = std::to_string(number);
  std::vector<std::string> texts;
  for (const std::string& raw :
       {LookupLanguageText(number), BuiltInText(number), englishFile_.Load(kSection, key, "")}) {
    if (raw.empty()) continue;
    std::string text = FillMessage(raw, args);
    if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
  }
  return texts;
}

std::pair<std::string, std::string> Languages::YesNoTexts() {
  const std::vector<std::string> parts = SplitText(GetMessageText(kFieldTypesMessage), "|");
  const std::string yesNo = parts.size() >= 4 ? parts[3] : std::string();
  const std::size_t slash = yesNo.find('/');
  if (slash == std::string::npos) return {"Yes", "No"};
  return {yesNo.substr(0, slash), yesNo.substr(slash + 1)};
}

std::string Languages::SystemLanguageCode(Platform& platform) {
  return LanguageCodeForAbbreviation(platform.Locale().LocaleInfo(3));
}

std::string Languages::LanguageCodeForAbbreviation(std::string_view abbreviation) {
  const std::string upper = ToUpper(abbreviation);
  if (upper.size() == 3) {
    for (const CodeMapping& mapping : kCodes) {
      for (std::size_t at = 0; at < mapping.abbreviations.size(); at += 4) {
        if (mapping.abbreviations.substr(at, 3) == upper) return std::string(mapping.code);
      }
    }
  }
  return "EN";
}

}  // namespace tavrin
