// Message texts: the order of the language sources, placeholders, the product name,
// yes/no words, the system language code and the English file that ships with the
// program.
#include "platform/languages.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "platform/file_helpers.h"
#include "platform/ini_file.h"
#include "platform/settings.h"

namespace tavrin {
namespace {

using namespace testing;

class LanguagesTest : public ::testing::Test {
 protected:
  LanguagesTest() {
    WriteFile("EN", "354=Browse\r\n399=All\r\n765=&Import data");
    WriteFile("F", "354=Parcourir\r\n900=%12-%10-%3-%1\r\n901=Bienvenue dans Glamora (Glamora %1)");
    WriteFile("DE", "354=Suchen (Datei)");
    WriteFile("D3", "765=Daten holen");
    WriteBytes(dir.File("Language/SCCGR.txt"), Utf16Le(u"@@@[Languagetext]\r\n354=Αναζήτηση\r\n"));
  }
  // Language files are ANSI text unless marked as Unicode.
  void WriteFile(const std::string& code, const std::string& lines) {
    WriteBytes(dir.File("Language/SCC" + code + ".txt"), "[Languagetext]\r\n" + lines + "\r\n");
  }
  std::string Text(const char* code, int number, const std::vector<std::string>& args = {}) {
    return Languages(platform, paths, code).GetMessageText(number, args);
  }

  TempDir dir;
  FakePlatform platform = PlatformIn(dir);
  AppPaths paths{platform};
};

TEST_F(LanguagesTest, SourcesInOrder) {
  // The own file first, then English, then the built-in German table. German reads no file
  // at all; its variants read their own, then never English.
  // clang-format off
  const std::tuple<const char*, int, const char*> cases[] = {
      {"F", 354, "Parcourir"},    {"F", 399, "All"},         {"F", 5583, "Seriennummer-Eingabe"},
      {"EN", 531, "&Abbrechen"},  {"PL", 354, "Browse"},     {"GR", 354, "Αναζήτηση"},
      {"F", 4242, ""},            {"DE", 354, "Durchsuchen"}, {"DE", 399, "Alle"},
      {"D3", 765, "Daten holen"}, {"D3", 354, "Durchsuchen"}};
  // clang-format on
  for (const auto& [code, number, text] : cases) {
    EXPECT_EQ(Text(code, number), text) << code << " " << number;
  }
}

TEST_F(LanguagesTest, PlaceholdersAndProductName) {
  // Filled in order, so "%1" is also taken out of "%12" and "%10".
  EXPECT_EQ(Text("F", 900, {"one", "2", "three", "4", "5", "6", "7", "8", "9", "10", "11", "12"}),
            "one2-one0-three-one");
  EXPECT_EQ(Text("F", 901, {"2"}),
            "Bienvenue dans Tavrin Plugin for Orvolux (Tavrin Plugin for Orvolux 2)");
  // A placeholder without argument stays.
  EXPECT_EQ(Text("DE", 5051, {"Import"}),
            "Folgender Fehler ist bei der Programmaktion 'Import' aufgetreten: %2");
  EXPECT_EQ(Text("DE", 5590, {"\r\n"}),
            "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. "
            "\r\n\r\nSollen die gerade importierten Daten dem folgenden Patienten zugewiesen "
            "werden?");
}

TEST_F(LanguagesTest, YesNoWords) {
  const char* cases[][2] = {{"", "Ja/Nein"},  // German: the built-in text
                            {"5082=Num|Texte|Liste|Oui/Non", "Oui/Non"},
                            {"5082=Num|Texte|Liste|Oui-Non", "Yes/No"},
                            {"5082=Num|Texte", "Yes/No"}};
  for (const auto& [line, words] : cases) {
    WriteFile("F", line);
    const auto [yes, no] = Languages(platform, paths, *line ? "F" : "DE").YesNoTexts();
    EXPECT_EQ(yes + "/" + no, words) << line;
  }
}

TEST(SystemLanguageCode, MapsTheLocalesAbbreviation) {
  FakePlatform platform;
  platform.localeInfo[3] = "FRC";
  EXPECT_EQ(Languages::SystemLanguageCode(platform), "F");
  std::string codes;
  for (const char* abbreviation : {"ENU", "KOR", "deu", "ITS", "SVE", "UKR", "NOR", "", "DEUX"}) {
    codes += Languages::LanguageCodeForAbbreviation(abbreviation) + " ";
  }
  EXPECT_EQ(codes, "EN EN DE I SE UA NO EN EN ");
}

// The English file shipped with the program: every message the program shows, with the
// placeholders of the German text, as ANSI text with CR LF line ends.
TEST(ShippedEnglishFile, CoversEveryMessage) {
  const std::string path = std::string(TAVRIN_SOURCE_DIR) + "/resources/Language/SCCEN.txt";
  const std::string bytes = ReadBytes(path);
  EXPECT_FALSE(bytes.empty() || std::regex_search(bytes, std::regex("[^\r]\n")));
  FakePlatform platform;
  cIniFile english(platform);
  english.IniFile(path);
  const auto placeholders = [](const std::string& text) {
    const std::regex placeholder("%[0-9]+");
    return std::multiset<std::string>(
        std::sregex_token_iterator(text.begin(), text.end(), placeholder), {});
  };
  // Every line is the section header or a message the program has a German text for ...
  std::set<int> numbers;
  std::istringstream lines(bytes);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "[Languagetext]\r");
  const std::regex message("([0-9]+)=(.+)\r");
  std::smatch match;
  while (std::getline(lines, line)) {
    ASSERT_TRUE(std::regex_match(line, match, message)) << line;
    const int number = std::stoi(match[1]);
    const std::string german = Languages::BuiltInText(number);
    EXPECT_FALSE(german.empty()) << number;
    EXPECT_EQ(english.Load("Languagetext", match[1], ""), match[2].str()) << number;
    EXPECT_EQ(placeholders(match[2]), placeholders(german)) << number;
    numbers.insert(number);
  }
  // ... and every such message is there.
  for (int number = 0; number < 10000; ++number) {
    EXPECT_EQ(numbers.count(number), Languages::BuiltInText(number).empty() ? 0u : 1u) << number;
  }
  EXPECT_EQ(english.Load("Languagetext", "5082", ""), "Numeric|Free text|Selection list|Yes/No");
  EXPECT_EQ(Languages::BuiltInText(25), "");
}

}  // namespace
}  // namespace tavrin
