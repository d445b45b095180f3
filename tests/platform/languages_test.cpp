// Message texts: the order of the language sources, placeholders, the product name,
// yes/no words, the system language code and the English file that ships with the
// program.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/ini_file.h"
#include "platform/languages.h"
#include "platform/settings.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

using testing::WriteBytes;

class LanguagesTest : public ::testing::Test {
 protected:
  LanguagesTest() {
    WriteFile("EN", "[Languagetext]\r\n354=Browse\r\n399=All\r\n765=&Import data\r\n");
    WriteFile("F", "[Languagetext]\r\n354=Parcourir\r\n");
    WriteFile("DE", "[Languagetext]\r\n354=Suchen (Datei)\r\n");
    WriteFile("D3", "[Languagetext]\r\n765=Daten holen\r\n");
  }
  // Language files are ANSI text.
  void WriteFile(const std::string& code, const std::string& ansi) {
    WriteBytes(dir.Path(true) + "Language" + kPathSep + "SCC" + code + ".txt", ansi);
  }

  static testing::FakePlatform PlatformIn(const testing::TempDir& dir) {
    testing::FakePlatform platform;
    platform.programPath = dir.File("TavrinPlugin.exe");
    return platform;
  }

  testing::TempDir dir;
  testing::FakePlatform platform = PlatformIn(dir);
  AppPaths paths{platform};
};

TEST_F(LanguagesTest, SourcesInOrder) {
  struct Case {
    const char* code;
    int number;
    const char* expected;
  };
  const Case cases[] = {
      {"DE", 354, "Durchsuchen"},           // no file is read, not even SCCDE.txt
      {"DE", 399, "Alle"},                  // nor the English one
      {"F", 354, "Parcourir"},              // own file first,
      {"F", 399, "All"},                    // then English,
      {"F", 5583, "Seriennummer-Eingabe"},  // then German
      {"PL", 354, "Browse"},                // missing file
      {"D3", 765, "Daten holen"},           // German variants: own file,
      {"D3", 354, "Durchsuchen"},           // then German, never English
      {"EN", 354, "Browse"},
      {"EN", 531, "&Abbrechen"},
      {"F", 4242, ""},
      {"F", -1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Languages(platform, paths, c.code).GetMessageText(c.number), c.expected)
        << c.code << " " << c.number;
  }
}

TEST_F(LanguagesTest, LanguageFilesMayBeUnicode) {
  WriteBytes(dir.Path(true) + "Language" + kPathSep + "SCCGR.txt",
             testing::Utf16Le(u"@@@[Languagetext]\r\n354=Αναζήτηση\r\n"));
  Languages texts(platform, paths, "GR");
  EXPECT_EQ(texts.GetMessageText(354), "Αναζήτηση");
}

TEST_F(LanguagesTest, LineBreakArgument) {
  Languages texts(platform, paths, "DE");
  EXPECT_EQ(texts.GetMessageText(5590, {"\r\n"}),
            "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. "
            "\r\n\r\nSollen die gerade importierten Daten dem folgenden Patienten zugewiesen "
            "werden?");
}

TEST_F(LanguagesTest, PlaceholdersFilledInOrder) {
  WriteFile("F", "[Languagetext]\r\n900=%12-%10-%3-%1\r\n");
  Languages texts(platform, paths, "F");
  const std::vector<std::string> args = {"one",   "two",   "three", "four", "five",   "six",
                                         "seven", "eight", "nine",  "ten",  "eleven", "twelve"};
  EXPECT_EQ(texts.GetMessageText(900, args), "one2-one0-three-one");
}

TEST_F(LanguagesTest, PlaceholderWithoutArgumentStays) {
  Languages texts(platform, paths, "DE");
  EXPECT_EQ(texts.GetMessageText(5051, {"Import"}),
            "Folgender Fehler ist bei der Programmaktion 'Import' aufgetreten: %2");
  EXPECT_EQ(texts.GetMessageText(176), "Beenden %1");
}

TEST_F(LanguagesTest, ProductNameIsReplaced) {
  WriteFile("F", "[Languagetext]\r\n901=Bienvenue dans Glamora (Glamora %1)\r\n");
  Languages texts(platform, paths, "F");
  EXPECT_EQ(texts.GetMessageText(901, {"2"}),
            "Bienvenue dans Tavrin Plugin for Orvolux (Tavrin Plugin for Orvolux 2)");
}

TEST_F(LanguagesTest, YesNoWords) {
  EXPECT_EQ(Languages(platform, paths, "DE").YesNoTexts(),
            (std::pair<std::string, std::string>("Ja", "Nein")));
  WriteFile("F", "[Languagetext]\r\n5082=Num|Texte|Liste|Oui/Non\r\n");
  EXPECT_EQ(Languages(platform, paths, "F").YesNoTexts(),
            (std::pair<std::string, std::string>("Oui", "Non")));
  WriteFile("F", "[Languagetext]\r\n5082=Num|Texte|Liste|Oui-Non\r\n");
  EXPECT_EQ(Languages(platform, paths, "F").YesNoTexts(),
            (std::pair<std::string, std::string>("Yes", "No")));
  WriteFile("F", "[Languagetext]\r\n5082=Num|Texte\r\n");
  EXPECT_EQ(Languages(platform, paths, "F").YesNoTexts(),
            (std::pair<std::string, std::string>("Yes", "No")));
}

TEST(SystemLanguageCode, MapsTheLocalesAbbreviation) {
  testing::FakePlatform platform;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ENU", "EN"}, {"KOR", "EN"}, {"FRC", "F"},  {"deu", "DE"}, {"ITS", "I"},
      {"SVE", "SE"}, {"UKR", "UA"}, {"NOR", "NO"}, {"", "EN"},    {"DEUX", "EN"}};
  for (const auto& [abbreviation, code] : cases) {
    platform.localeInfo[3] = abbreviation;
    EXPECT_EQ(Languages::SystemLanguageCode(platform), code) << abbreviation;
  }
}

TEST(BuiltInTable, GermanTexts) {
  EXPECT_EQ(Languages::BuiltInText(5466), "Bitte wählen Sie die Übergabedatei (von %1) aus...");
  EXPECT_EQ(Languages::BuiltInText(1816), "Messung mit Kontrolllösung %1");
  EXPECT_EQ(Languages::BuiltInText(5082), "Nummerisch|Freitext|Auswahlliste|Ja/Nein");
  EXPECT_EQ(Languages::BuiltInText(5700),
            "Die Datei %1 enthält keine Daten, die importiert werden können.");
  EXPECT_EQ(Languages::BuiltInText(25), "");
  EXPECT_EQ(Languages::BuiltInText(5602), "");
}

// The English file shipped with the program: every message the program shows, with the
// placeholders of the German text, as ANSI text with CR LF line ends.
TEST(ShippedEnglishFile, CoversEveryMessage) {
  const std::string path = std::string(TAVRIN_SOURCE_DIR) + "/resources/Language/SCCEN.txt";
  const std::string bytes = testing::ReadBytes(path);
  ASSERT_FALSE(bytes.empty());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
    }
  }

  testing::FakePlatform platform;
  cIniFile english(platform);
  english.IniFile(path);
  const int numbers[] = {176,  303,  354,  399,  531,  536,  765,  770,  1816, 1833,
                         5037, 5038, 5051, 5082, 5297, 5390, 5466, 5577, 5579, 5580,
                         5583, 5584, 5585, 5586, 5587, 5588, 5589, 5590, 5591, 5700};
  const std::regex placeholder("%[0-9]+");
  auto placeholders = [&](const std::string& text) {
    std::multiset<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), placeholder), end; it != end; ++it) {
      found.insert(it->str());
    }
    return found;
  };
  for (int number : numbers) {
    const std::string german = Languages::BuiltInText(number);
    const std::string text = english.Load("Languagetext", std::to_string(number), "");
    EXPECT_FALSE(german.empty()) << number;
    EXPECT_FALSE(text.empty()) << number;
    EXPECT_EQ(placeholders(text), placeholders(german)) << number;
  }
  EXPECT_EQ(english.Load("Languagetext", "5082", ""), "Numeric|Free text|Selection list|Yes/No");
}

}  // namespace
}  // namespace tavrin
