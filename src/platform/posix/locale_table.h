#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/posix/calendar_names.h"
#include "shared/regional.h"

namespace tavrin {

// What Windows answers for one locale: its locale information texts and the default
// regional settings. Systems without Windows' locale database take these from this table.
struct LocaleEntry {
  std::string_view posixName;        // "de_DE"
  unsigned lcid = 0;                 // 0x0407
  std::string_view language;         // "German (Germany)"
  std::string_view abbrevLanguage;   // "DEU"
  std::string_view nativeLanguage;   // "Deutsch"
  unsigned countryCode = 0;          // 49
  std::string_view country;          // "Germany"
  std::string_view abbrevCountry;    // "DEU"
  std::string_view nativeCountry;    // "Deutschland"
  unsigned oemCodePage = 0;          // 850
  std::string_view currency;         // "EUR"
  std::string_view englishLanguage;  // "German"
  std::string_view englishCountry;   // "Germany"
  unsigned ansiCodePage = 0;         // 1252
  unsigned ebcdicCodePage = 0;       // 20273
  std::string_view shortDate;        // "dd.MM.yyyy"
  std::string_view longTime;         // "HH:mm:ss"
  std::string_view am;               // empty under a 24-hour clock
  std::string_view pm;
  std::string_view decimal;
  std::string_view thousand;
  const CalendarNames* names = nullptr;
};

// The entry for a POSIX locale name such as "de_DE.UTF-8", "bs_BA@cyrillic" or "fr_CA@euro"
// (the code set and the case of the letters are ignored; a modifier counts where the table
// knows it, otherwise the plain entry is taken). A language known with another territory
// gives that language's main entry ("de_BE" gives de_DE); "C", "POSIX", an empty name and
// languages the table does not know give en_US.
LocaleEntry FindLocale(std::string_view posixLocaleName);
// Every entry of the table.
std::span<const LocaleEntry> AllLocales();

// The locale name in effect for one category: LC_ALL when set, else the category's own
// variable, else LANG (empty values count as unset).
std::string_view SelectLocaleName(std::string_view lcAll, std::string_view lcCategory,
                                  std::string_view lang);

// The text Windows gives for a locale information type (1 language id as four hex digits,
// 2 language, 3 abbreviated language, 4 native language, 5 country code, 6 country,
// 7 abbreviated country, 8 native country, 9 default language, 10 default country,
// 11 OEM code page, 21 international currency, 4097 English language, 4098 English
// country, 4100 ANSI code page, 4113 EBCDIC code page); empty for other types.
std::string LocaleInfoText(const LocaleEntry& entry, int type);

// Regional settings with dates, times and month names from one locale and the number
// separators from another (the two may differ, as LC_TIME and LC_NUMERIC may).
RegionalSettings RegionalFor(const LocaleEntry& dateTime, const LocaleEntry& numbers);

}  // namespace tavrin
