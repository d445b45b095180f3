// The locale table that stands in for Windows' locale database: lookup of POSIX locale
// names, completeness of every entry, and the regional settings built from it.
#include "platform/posix/locale_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tavrin {
namespace {

auto Fields(const RegionalSettings& r) {
  return std::tie(r.dateOrder, r.dateSeparator, r.timeSeparator, r.decimalSeparator,
                  r.thousandSeparator, r.shortDateFormat, r.longTimeFormat, r.amSymbol, r.pmSymbol,
                  r.monthNames, r.abbreviatedMonthNames, r.dayNames, r.abbreviatedDayNames);
}

RegionalSettings RegionalOf(const char* dates, const char* numbers) {
  return RegionalFor(FindLocale(dates), FindLocale(numbers));
}

TEST(LocaleTable, NamesAreReadLikeTheCLibraryDoes) {
  // Code set, modifier and case do not matter; an unknown territory gives the language's
  // main entry; unknown languages, and English of unknown territories, give US English.
  std::string entries;
  for (const char* name :
       {"fr_CA.ISO-8859-1@euro", "DE-at", "de_LU.UTF-8", "pt", "en_IE", "C", "", "ja_JP.UTF-8"}) {
    entries += std::string(FindLocale(name).posixName) + " ";
  }
  EXPECT_EQ(entries, "fr_CA de_AT de_DE pt_PT en_US en_US en_US en_US ");
  EXPECT_EQ(LocaleInfoText(FindLocale("de_AT"), 1), "0c07");  // lower-case hex, as Windows
  // LC_ALL wins over the category's variable, which wins over LANG; empty counts as unset.
  EXPECT_EQ(SelectLocaleName("fr_CA", "de_DE", "it_IT"), "fr_CA");
  EXPECT_EQ(SelectLocaleName("", "", "it_IT"), "it_IT");
}

TEST(LocaleTable, RegionalSettings) {
  EXPECT_TRUE(Fields(RegionalOf("de_DE", "de_DE")) == Fields(RegionalSettings::German()));
  EXPECT_TRUE(Fields(RegionalOf("en_US", "en_US")) == Fields(RegionalSettings::EnglishUS()));
  EXPECT_TRUE(Fields(RegionalOf("en_GB", "en_GB")) == Fields(RegionalSettings::EnglishUK()));
  const RegionalSettings sv = RegionalOf("sv_SE", "sv_SE");
  EXPECT_EQ(sv.dateOrder, RegionalSettings::DateOrder::YearMonthDay);
  EXPECT_EQ(sv.dateSeparator + sv.thousandSeparator, "-\xC2\xA0");
  const RegionalSettings mixed = RegionalOf("de_AT", "de_CH");  // dates and numbers
  EXPECT_EQ(mixed.monthNames[0] + mixed.thousandSeparator, "Jänner'");
}

TEST(LocaleTable, EveryLocaleIsComplete) {
  for (const char* name :
       {"de_DE", "de_AT", "de_CH", "en_US", "en_GB", "en_AU", "en_CA", "fr_FR", "fr_CA",
        "fr_CH", "it_IT", "es_ES", "es_MX", "nl_NL", "nl_BE", "pt_PT", "pt_BR", "da_DK",
        "sv_SE", "nb_NO", "fi_FI", "pl_PL", "cs_CZ", "ru_RU", "tr_TR", "uk_UA"}) {
    SCOPED_TRACE(name);
    const LocaleEntry entry = FindLocale(name);
    EXPECT_EQ(entry.posixName, name);
    const auto size = [&](int type) { return LocaleInfoText(entry, type).size(); };
    EXPECT_TRUE(size(1) == 4 && size(3) == 3 && size(7) == 3 && size(21) == 3);
    for (int type : {2, 4, 5, 6, 8, 11, 4097, 4098, 4100, 4113}) EXPECT_NE(size(type), 0u) << type;
    const RegionalSettings r = RegionalFor(entry, entry);
    EXPECT_FALSE(r.dateSeparator.empty() || r.decimalSeparator == r.thousandSeparator);
    EXPECT_EQ(r.amSymbol.empty(), r.pmSymbol.empty());
    EXPECT_EQ(r.amSymbol.empty(), r.longTimeFormat.find("tt") == std::string::npos);
    for (const auto& names : {r.monthNames, r.abbreviatedMonthNames}) {
      for (const std::string& month : names) EXPECT_FALSE(month.empty());
    }
    for (const auto& names : {r.dayNames, r.abbreviatedDayNames}) {
      for (const std::string& day : names) EXPECT_FALSE(day.empty());
    }
  }
}

}  // namespace
}  // namespace tavrin
