// The locale table that stands in for Windows' locale database: lookup of POSIX locale
// names, completeness of every entry, and the regional settings built from it.
#include "platform/posix/locale_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "platform/languages.h"

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
  // Code set and case do not matter, a modifier only where the table knows it; an unknown
  // territory gives the language's main entry; unknown languages give US English.
  std::string entries;
  for (const char* name : {"fr_CA.ISO-8859-1@euro", "DE-at", "de_BE.UTF-8", "pt", "en_IN", "C", "",
                           "sr_RS.UTF-8@latin", "bs_BA@cyrillic", "bs_BA", "sma_se", "xx_YY"}) {
    entries += std::string(FindLocale(name).posixName) + " ";
  }
  EXPECT_EQ(entries,
            "fr_CA de_AT de_DE pt_PT en_US en_US en_US sr_RS@latin bs_BA@cyrillic bs_BA sma_SE "
            "en_US ");
  EXPECT_EQ(LocaleInfoText(FindLocale("de_AT"), 1), "0c07");  // lower-case hex, as Windows
  // LC_ALL wins over the category's variable, which wins over LANG; empty counts as unset.
  EXPECT_EQ(SelectLocaleName("fr_CA", "de_DE", "it_IT"), "fr_CA");
  EXPECT_EQ(SelectLocaleName("", "", "it_IT"), "it_IT");
}

TEST(LocaleTable, EveryLanguageOfTheMessageTablesHasItsLocales) {
  // The abbreviation and, through it, the language code of locales of every language the
  // message tables know, regional variants included; other languages name themselves.
  std::string codes;
  for (const char* name :
       {"sk_SK", "it_CH", "fr_BE", "en_NZ", "de_LU", "sv_FI",          "el_GR",
        "hr_BA", "mk_MK", "mt_MT", "sl_SI", "th_TH", "bs_BA@cyrillic", "ca_ES",
        "be_BY", "fo_FO", "fy_NL", "lb_LU", "se_FI", "ga_IE",          "ja_JP"}) {
    const std::string abbreviation = LocaleInfoText(FindLocale(name), 3);
    codes += abbreviation + "=" + Languages::LanguageCodeForAbbreviation(abbreviation) + " ";
  }
  EXPECT_EQ(codes,
            "SKY=SK ITS=I FRB=F ENZ=EN DEL=DE SVF=SE ELL=GR HRB=HR MKI=HR MLT=MT SLV=SI THA=TH "
            "BSC=BA CAT=CT BEL=RU FOS=DK FYN=NL LBX=DE SMG=FI IRE=EN JPN=EN ");
  // Every abbreviation with a language code of its own has a locale.
  std::set<std::string_view> known;
  for (const LocaleEntry& entry : AllLocales()) known.insert(entry.abbrevLanguage);
  for (int i = 0; i < 26 * 26 * 26; ++i) {
    const std::string name = {char('A' + i / 676), char('A' + i / 26 % 26), char('A' + i % 26)};
    if (Languages::LanguageCodeForAbbreviation(name) == "EN") continue;
    EXPECT_TRUE(known.contains(name)) << name;
  }
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
  for (const LocaleEntry& entry : AllLocales()) {
    SCOPED_TRACE(entry.posixName);
    EXPECT_EQ(FindLocale(entry.posixName).lcid, entry.lcid);
    const auto size = [&](int type) { return LocaleInfoText(entry, type).size(); };
    EXPECT_TRUE(size(1) == 4 && size(3) == 3 && size(7) == 3 && size(21) == 3);
    for (int type : {2, 4, 5, 6, 8, 11, 4097, 4098, 4100, 4113}) EXPECT_NE(size(type), 0u) << type;
    const RegionalSettings r = RegionalFor(entry, entry);
    EXPECT_FALSE(r.dateSeparator.empty() || r.decimalSeparator == r.thousandSeparator);
    EXPECT_EQ(r.amSymbol.empty(), r.pmSymbol.empty());
    EXPECT_EQ(r.amSymbol.empty(), r.longTimeFormat.find("tt") == std::string::npos);
    if (!entry.names) continue;  // languages without texts of their own keep English names
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
