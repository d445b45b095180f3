#include "platform/posix/locale_table.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin {
namespace {

void ExpectSameRegional(const RegionalSettings& actual, const RegionalSettings& expected) {
  EXPECT_EQ(actual.dateOrder, expected.dateOrder);
  EXPECT_EQ(actual.dateSeparator, expected.dateSeparator);
  EXPECT_EQ(actual.timeSeparator, expected.timeSeparator);
  EXPECT_EQ(actual.decimalSeparator, expected.decimalSeparator);
  EXPECT_EQ(actual.thousandSeparator, expected.thousandSeparator);
  EXPECT_EQ(actual.shortDateFormat, expected.shortDateFormat);
  EXPECT_EQ(actual.longTimeFormat, expected.longTimeFormat);
  EXPECT_EQ(actual.amSymbol, expected.amSymbol);
  EXPECT_EQ(actual.pmSymbol, expected.pmSymbol);
  EXPECT_EQ(actual.monthNames, expected.monthNames);
  EXPECT_EQ(actual.abbreviatedMonthNames, expected.abbreviatedMonthNames);
  EXPECT_EQ(actual.dayNames, expected.dayNames);
  EXPECT_EQ(actual.abbreviatedDayNames, expected.abbreviatedDayNames);
}

TEST(LocaleTable, GermanGermany) {
  const LocaleEntry de = FindLocale("de_DE.UTF-8");
  EXPECT_EQ(de.posixName, "de_DE");
  EXPECT_EQ(LocaleInfoText(de, 1), "0407");
  EXPECT_EQ(LocaleInfoText(de, 3), "DEU");
  EXPECT_EQ(LocaleInfoText(de, 5), "49");
  EXPECT_EQ(LocaleInfoText(de, 9), "0407");
  EXPECT_EQ(LocaleInfoText(de, 10), "49");
  EXPECT_EQ(LocaleInfoText(de, 4100), "1252");
  EXPECT_EQ(LocaleInfoText(de, 0), "");
  EXPECT_EQ(LocaleInfoText(de, 14), "");
  ExpectSameRegional(RegionalFor(de, de), RegionalSettings::German());
}

TEST(LocaleTable, EnglishLocales) {
  const LocaleEntry us = FindLocale("en_US.UTF-8");
  EXPECT_EQ(LocaleInfoText(us, 3), "ENU");
  EXPECT_EQ(LocaleInfoText(us, 1), "0409");
  EXPECT_EQ(LocaleInfoText(us, 11), "437");
  ExpectSameRegional(RegionalFor(us, us), RegionalSettings::EnglishUS());
  const LocaleEntry gb = FindLocale("en_GB.UTF-8");
  EXPECT_EQ(LocaleInfoText(gb, 3), "ENG");
  ExpectSameRegional(RegionalFor(gb, gb), RegionalSettings::EnglishUK());
}

TEST(LocaleTable, NamesAreReadLikeTheCLibraryDoes) {
  EXPECT_EQ(FindLocale("fr_CA@euro").abbrevLanguage, "FRC");
  EXPECT_EQ(FindLocale("fr_CA.ISO-8859-1@euro").abbrevLanguage, "FRC");
  EXPECT_EQ(FindLocale("de-at").abbrevLanguage, "DEA");
  EXPECT_EQ(FindLocale("DE_ch.utf8").abbrevLanguage, "DES");
  EXPECT_EQ(FindLocale("no_NO").abbrevLanguage, "NOR");
  EXPECT_EQ(LocaleInfoText(FindLocale("de_AT"), 1), "0c07");  // lower-case hex, as Windows
}

TEST(LocaleTable, FallBacks) {
  for (const char* name : {"C", "POSIX", "", "C.UTF-8", "xx_YY", "ja_JP.UTF-8", "e"}) {
    EXPECT_EQ(FindLocale(name).posixName, "en_US") << name;
  }
  EXPECT_EQ(FindLocale("de_LU.UTF-8").posixName, "de_DE");
  EXPECT_EQ(FindLocale("de").posixName, "de_DE");
  EXPECT_EQ(FindLocale("pt").posixName, "pt_PT");
  EXPECT_EQ(FindLocale("en_IE").posixName, "en_US");
}

TEST(LocaleTable, EveryLocaleIsComplete) {
  for (const char* name :
       {"de_DE", "de_AT", "de_CH", "en_US", "en_GB", "en_AU", "en_CA", "fr_FR", "fr_CA",
        "fr_CH", "it_IT", "es_ES", "es_MX", "nl_NL", "nl_BE", "pt_PT", "pt_BR", "da_DK",
        "sv_SE", "nb_NO", "fi_FI", "pl_PL", "cs_CZ", "ru_RU", "tr_TR", "uk_UA"}) {
    SCOPED_TRACE(name);
    const LocaleEntry entry = FindLocale(name);
    EXPECT_EQ(entry.posixName, name);
    EXPECT_EQ(LocaleInfoText(entry, 1).size(), 4u);
    EXPECT_EQ(LocaleInfoText(entry, 3).size(), 3u);
    EXPECT_EQ(LocaleInfoText(entry, 7).size(), 3u);
    EXPECT_EQ(LocaleInfoText(entry, 21).size(), 3u);
    for (int type : {2, 4, 5, 6, 8, 11, 4097, 4098, 4100, 4113}) {
      EXPECT_FALSE(LocaleInfoText(entry, type).empty()) << type;
    }
    const RegionalSettings regional = RegionalFor(entry, entry);
    EXPECT_FALSE(regional.dateSeparator.empty());
    EXPECT_EQ(regional.amSymbol.empty(), regional.pmSymbol.empty());
    EXPECT_EQ(regional.amSymbol.empty(), regional.longTimeFormat.find("tt") == std::string::npos);
    EXPECT_NE(regional.decimalSeparator, regional.thousandSeparator);
    for (std::size_t m = 0; m < 12; ++m) {
      EXPECT_FALSE(regional.monthNames[m].empty());
      EXPECT_FALSE(regional.abbreviatedMonthNames[m].empty());
    }
    for (std::size_t d = 0; d < 7; ++d) {
      EXPECT_FALSE(regional.dayNames[d].empty());
      EXPECT_FALSE(regional.abbreviatedDayNames[d].empty());
    }
  }
}

TEST(LocaleTable, DateOrderAndSeparatorFromTheShortDate) {
  const RegionalSettings nl = RegionalFor(FindLocale("nl_NL"), FindLocale("nl_NL"));
  EXPECT_EQ(nl.dateOrder, RegionalSettings::DateOrder::DayMonthYear);
  EXPECT_EQ(nl.dateSeparator, "-");
  const RegionalSettings sv = RegionalFor(FindLocale("sv_SE"), FindLocale("sv_SE"));
  EXPECT_EQ(sv.dateOrder, RegionalSettings::DateOrder::YearMonthDay);
  EXPECT_EQ(sv.dateSeparator, "-");
  EXPECT_EQ(sv.thousandSeparator, "\xC2\xA0");
  const RegionalSettings ch = RegionalFor(FindLocale("de_CH"), FindLocale("de_CH"));
  EXPECT_EQ(ch.decimalSeparator, ".");
  EXPECT_EQ(ch.thousandSeparator, "'");
  EXPECT_EQ(RegionalFor(FindLocale("de_AT"), FindLocale("de_AT")).monthNames[0], "Jänner");
}

TEST(LocaleTable, DatesAndNumbersFromDifferentLocales) {
  const RegionalSettings mixed = RegionalFor(FindLocale("de_DE"), FindLocale("en_US"));
  EXPECT_EQ(mixed.shortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(mixed.monthNames[2], "März");
  EXPECT_EQ(mixed.decimalSeparator, ".");
  EXPECT_EQ(mixed.thousandSeparator, ",");
}

}  // namespace
}  // namespace tavrin
