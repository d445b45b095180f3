#include "platform/posix/locale_table.h"

#include <cstdio>

namespace tavrin {
namespace {

// A no-break space, the thousand separator of many European locales.
constexpr char kNbsp[] = "\xC2\xA0";

constexpr CalendarNames kGerman = {
    {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};
constexpr CalendarNames kAustrian = {
    {"Jänner", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jän", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};
constexpr CalendarNames kEnglish = {
    {"January", "February", "March", "April", "May", "June", "July", "August", "September",
     "October", "November", "December"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};
constexpr CalendarNames kFrench = {
    {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre",
     "octobre", "novembre", "décembre"},
    {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.",
     "déc."},
    {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
    {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."}};
constexpr CalendarNames kItalian = {
    {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio", "agosto", "settembre",
     "ottobre", "novembre", "dicembre"},
    {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
    {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"},
    {"dom", "lun", "mar", "mer", "gio", "ven", "sab"}};
constexpr CalendarNames kSpanish = {
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
     "octubre", "noviembre", "diciembre"},
    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
    {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"},
    {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"}};
constexpr CalendarNames kDutch = {
    {"januari", "februari", "maart", "april", "mei", "juni", "juli", "augustus", "september",
     "oktober", "november", "december"},
    {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"},
    {"zo", "ma", "di", "wo", "do", "vr", "za"}};
constexpr CalendarNames kPortuguese = {
    {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho", "agosto", "setembro",
     "outubro", "novembro", "dezembro"},
    {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"},
    {"domingo", "segunda-feira", "terça-feira", "quarta-feira", "quinta-feira", "sexta-feira",
     "sábado"},
    {"dom", "seg", "ter", "qua", "qui", "sex", "sáb"}};
constexpr CalendarNames kDanish = {
    {"januar", "februar", "marts", "april", "maj", "juni", "juli", "august", "september", "oktober",
     "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};
constexpr CalendarNames kSwedish = {
    {"januari", "februari", "mars", "april", "maj", "juni", "juli", "augusti", "september",
     "oktober", "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"söndag", "måndag", "tisdag", "onsdag", "torsdag", "fredag", "lördag"},
    {"sö", "må", "ti", "on", "to", "fr", "lö"}};
constexpr CalendarNames kNorwegian = {
    {"januar", "februar", "mars", "april", "mai", "juni", "juli", "august", "september", "oktober",
     "november", "desember"},
    {"jan", "feb", "mar", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};
constexpr CalendarNames kFinnish = {
    {"tammikuu", "helmikuu", "maaliskuu", "huhtikuu", "toukokuu", "kesäkuu", "heinäkuu", "elokuu",
     "syyskuu", "lokakuu", "marraskuu", "joulukuu"},
    {"tammi", "helmi", "maalis", "huhti", "touko", "kesä", "heinä", "elo", "syys", "loka", "marras",
     "joulu"},
    {"sunnuntai", "maanantai", "tiistai", "keskiviikko", "torstai", "perjantai", "lauantai"},
    {"su", "ma", "ti", "ke", "to", "pe", "la"}};
constexpr CalendarNames kPolish = {
    {"styczeń", "luty", "marzec", "kwiecień", "maj", "czerwiec", "lipiec", "sierpień", "wrzesień",
     "październik", "listopad", "grudzień"},
    {"sty", "lut", "mar", "kwi", "maj", "cze", "lip", "sie", "wrz", "paź", "lis", "gru"},
    {"niedziela", "poniedziałek", "wtorek", "środa", "czwartek", "piątek", "sobota"},
    {"N", "Pn", "Wt", "Śr", "Cz", "Pt", "So"}};
constexpr CalendarNames kCzech = {
    {"leden", "únor", "březen", "duben", "květen", "červen", "červenec", "srpen", "září", "říjen",
     "listopad", "prosinec"},
    {"led", "úno", "bře", "dub", "kvě", "čvn", "čvc", "srp", "zář", "říj", "lis", "pro"},
    {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"},
    {"ne", "po", "út", "st", "čt", "pá", "so"}};
constexpr CalendarNames kRussian = {
    {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь",
     "Ноябрь", "Декабрь"},
    {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"},
    {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"},
    {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}};
constexpr CalendarNames kTurkish = {
    {"Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran", "Temmuz", "Ağustos", "Eylül", "Ekim",
     "Kasım", "Aralık"},
    {"Oca", "Şub", "Mar", "Nis", "May", "Haz", "Tem", "Ağu", "Eyl", "Eki", "Kas", "Ara"},
    {"Pazar", "Pazartesi", "Salı", "Çarşamba", "Perşembe", "Cuma", "Cumartesi"},
    {"Paz", "Pzt", "Sal", "Çar", "Per", "Cum", "Cmt"}};
constexpr CalendarNames kUkrainian = {
    {"Січень", "Лютий", "Березень", "Квітень", "Травень", "Червень", "Липень", "Серпень",
     "Вересень", "Жовтень", "Листопад", "Грудень"},
    {"Січ", "Лют", "Бер", "Кві", "Тра", "Чер", "Лип", "Сер", "Вер", "Жов", "Лис", "Гру"},
    {"неділя", "понеділок", "вівторок", "середа", "четвер", "п'ятниця", "субота"},
    {"Нд", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}};

// Windows' answers and regional defaults per locale. The first entry of each language is
// its main entry, used for territories not in the table; en_US stands for everything else.
// clang-format off
constexpr LocaleEntry kLocales[] = {
  // name, LCID, language, abbrev., native language, country code, country, abbrev. country,
  // native country, OEM, currency, English language, English country, ANSI, EBCDIC,
  // short date, long time, AM, PM, decimal, thousand, month and day names
  {"en_US", 0x0409, "English (United States)", "ENU", "English", 1, "United States", "USA",
   "United States", 437, "USD", "English", "United States", 1252, 37,
   "M/d/yyyy", "h:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_GB", 0x0809, "English (United Kingdom)", "ENG", "English", 44, "United Kingdom", "GBR",
   "United Kingdom", 850, "GBP", "English", "United Kingdom", 1252, 20285,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ".", ",", &kEnglish},
  {"en_AU", 0x0C09, "English (Australia)", "ENA", "English", 61, "Australia", "AUS",
   "Australia", 850, "AUD", "English", "Australia", 1252, 500,
   "d/MM/yyyy", "h:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_CA", 0x1009, "English (Canada)", "ENC", "English", 2, "Canada", "CAN",
   "Canada", 850, "CAD", "English", "Canada", 1252, 37,
   "dd/MM/yyyy", "h:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"de_DE", 0x0407, "German (Germany)", "DEU", "Deutsch", 49, "Germany", "DEU",
   "Deutschland", 850, "EUR", "German", "Germany", 1252, 20273,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", &kGerman},
  {"de_AT", 0x0C07, "German (Austria)", "DEA", "Deutsch", 43, "Austria", "AUT",
   "Österreich", 850, "EUR", "German", "Austria", 1252, 20273,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", &kAustrian},
  {"de_CH", 0x0807, "German (Switzerland)", "DES", "Deutsch", 41, "Switzerland", "CHE",
   "Schweiz", 850, "CHF", "German", "Switzerland", 1252, 20273,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ".", "'", &kGerman},
  {"fr_FR", 0x040C, "French (France)", "FRA", "français", 33, "France", "FRA",
   "France", 850, "EUR", "French", "France", 1252, 20297,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kFrench},
  {"fr_CA", 0x0C0C, "French (Canada)", "FRC", "français", 2, "Canada", "CAN",
   "Canada", 850, "CAD", "French", "Canada", 1252, 20297,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kFrench},
  {"fr_CH", 0x100C, "French (Switzerland)", "FRS", "français", 41, "Switzerland", "CHE",
   "Suisse", 850, "CHF", "French", "Switzerland", 1252, 500,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ".", "'", &kFrench},
  {"it_IT", 0x0410, "Italian (Italy)", "ITA", "italiano", 39, "Italy", "ITA",
   "Italia", 850, "EUR", "Italian", "Italy", 1252, 20280,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", ".", &kItalian},
  {"es_ES", 0x0C0A, "Spanish (Spain)", "ESN", "español", 34, "Spain", "ESP",
   "España", 850, "EUR", "Spanish", "Spain", 1252, 20284,
   "dd/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kSpanish},
  {"es_MX", 0x080A, "Spanish (Mexico)", "ESM", "español", 52, "Mexico", "MEX",
   "México", 850, "MXN", "Spanish", "Mexico", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"nl_NL", 0x0413, "Dutch (Netherlands)", "NLD", "Nederlands", 31, "Netherlands", "NLD",
   "Nederland", 850, "EUR", "Dutch", "Netherlands", 1252, 500,
   "d-M-yyyy", "H:mm:ss", "", "", ",", ".", &kDutch},
  {"nl_BE", 0x0813, "Dutch (Belgium)", "NLB", "Nederlands", 32, "Belgium", "BEL",
   "België", 850, "EUR", "Dutch", "Belgium", 1252, 500,
   "d/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kDutch},
  {"pt_PT", 0x0816, "Portuguese (Portugal)", "PTG", "português", 351, "Portugal", "PRT",
   "Portugal", 850, "EUR", "Portuguese", "Portugal", 1252, 500,
   "dd-MM-yyyy", "HH:mm:ss", "", "", ",", ".", &kPortuguese},
  {"pt_BR", 0x0416, "Portuguese (Brazil)", "PTB", "português", 55, "Brazil", "BRA",
   "Brasil", 850, "BRL", "Portuguese", "Brazil", 1252, 500,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", ".", &kPortuguese},
  {"da_DK", 0x0406, "Danish (Denmark)", "DAN", "dansk", 45, "Denmark", "DNK",
   "Danmark", 850, "DKK", "Danish", "Denmark", 1252, 20277,
   "dd-MM-yyyy", "HH:mm:ss", "", "", ",", ".", &kDanish},
  {"sv_SE", 0x041D, "Swedish (Sweden)", "SVE", "svenska", 46, "Sweden", "SWE",
   "Sverige", 850, "SEK", "Swedish", "Sweden", 1252, 20278,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kSwedish},
  {"nb_NO", 0x0414, "Norwegian, Bokmål (Norway)", "NOR", "norsk (bokmål)", 47, "Norway", "NOR",
   "Norge", 850, "NOK", "Norwegian (Bokmål)", "Norway", 1252, 20277,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kNorwegian},
  {"fi_FI", 0x040B, "Finnish (Finland)", "FIN", "suomi", 358, "Finland", "FIN",
   "Suomi", 850, "EUR", "Finnish", "Finland", 1252, 20278,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kFinnish},
  {"pl_PL", 0x0415, "Polish (Poland)", "PLK", "polski", 48, "Poland", "POL",
   "Polska", 852, "PLN", "Polish", "Poland", 1250, 870,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kPolish},
  {"cs_CZ", 0x0405, "Czech (Czech Republic)", "CSY", "čeština", 420, "Czech Republic", "CZE",
   "Česká republika", 852, "CZK", "Czech", "Czech Republic", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kCzech},
  {"ru_RU", 0x0419, "Russian (Russia)", "RUS", "русский", 7, "Russia", "RUS",
   "Россия", 866, "RUB", "Russian", "Russia", 1251, 20880,
   "dd.MM.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kRussian},
  {"tr_TR", 0x041F, "Turkish (Turkey)", "TRK", "Türkçe", 90, "Turkey", "TUR",
   "Türkiye", 857, "TRY", "Turkish", "Turkey", 1254, 20905,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", &kTurkish},
  {"uk_UA", 0x0422, "Ukrainian (Ukraine)", "UKR", "українська", 380, "Ukraine", "UKR",
   "Україна", 866, "UAH", "Ukrainian", "Ukraine", 1251, 500,
   "dd.MM.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kUkrainian},
};
// clang-format on

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// "de_DE.UTF-8@euro" -> "de" and "DE"; "-" stands for "_" as well.
void SplitLocaleName(std::string_view name, std::string& language, std::string& territory) {
  const std::size_t end = name.find_first_of(".@");
  if (end != std::string_view::npos) name = name.substr(0, end);
  const std::size_t sep = name.find_first_of("_-");
  for (char c : name.substr(0, sep)) language += LowerAscii(c);
  if (sep != std::string_view::npos) {
    for (char c : name.substr(sep + 1)) territory += UpperAscii(c);
  }
  // Older systems call Norwegian Bokmål "no".
  if (language == "no") language = "nb";
}

std::string ToText(unsigned value) {
  return std::to_string(value);
}

// The order of day, month and year and the separator after the first field, read from a
// short-date picture such as "d-M-yyyy".
void ReadDatePicture(std::string_view picture, RegionalSettings& regional) {
  const std::size_t first = picture.find_first_of("dMy");
  if (first == std::string_view::npos) return;
  switch (picture[first]) {
    case 'M':
      regional.dateOrder = RegionalSettings::DateOrder::MonthDayYear;
      break;
    case 'y':
      regional.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
      break;
    default:
      regional.dateOrder = RegionalSettings::DateOrder::DayMonthYear;
      break;
  }
  const std::size_t sepBegin = picture.find_first_not_of(picture[first], first);
  if (sepBegin == std::string_view::npos) return;
  const std::size_t sepEnd = picture.find_first_of("dMy", sepBegin);
  regional.dateSeparator = std::string(picture.substr(sepBegin, sepEnd - sepBegin));
}

}  // namespace

LocaleEntry FindLocale(std::string_view posixLocaleName) {
  std::string language;
  std::string territory;
  SplitLocaleName(posixLocaleName, language, territory);
  const LocaleEntry* languageMatch = nullptr;
  for (const LocaleEntry& entry : kLocales) {
    const std::string_view name = entry.posixName;
    if (name.substr(0, 2) != language) continue;
    if (name.substr(3) == territory) return entry;
    if (!languageMatch) languageMatch = &entry;
  }
  return languageMatch ? *languageMatch : kLocales[0];
}

std::string_view SelectLocaleName(std::string_view lcAll, std::string_view lcCategory,
                                  std::string_view lang) {
  if (!lcAll.empty()) return lcAll;
  if (!lcCategory.empty()) return lcCategory;
  return lang;
}

std::string LocaleInfoText(const LocaleEntry& entry, int type) {
  switch (type) {
    case 1:    // language id
    case 9: {  // default language
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%04x", entry.lcid);
      return buffer;
    }
    case 2:
      return std::string(entry.language);
    case 3:
      return std::string(entry.abbrevLanguage);
    case 4:
      return std::string(entry.nativeLanguage);
    case 5:   // country code
    case 10:  // default country
      return ToText(entry.countryCode);
    case 6:
      return std::string(entry.country);
    case 7:
      return std::string(entry.abbrevCountry);
    case 8:
      return std::string(entry.nativeCountry);
    case 11:
      return ToText(entry.oemCodePage);
    case 21:
      return std::string(entry.currency);
    case 4097:
      return std::string(entry.englishLanguage);
    case 4098:
      return std::string(entry.englishCountry);
    case 4100:
      return ToText(entry.ansiCodePage);
    case 4113:
      return ToText(entry.ebcdicCodePage);
    default:
      return "";
  }
}

RegionalSettings RegionalFor(const LocaleEntry& dateTime, const LocaleEntry& numbers) {
  RegionalSettings regional;
  regional.shortDateFormat = std::string(dateTime.shortDate);
  regional.longTimeFormat = std::string(dateTime.longTime);
  ReadDatePicture(dateTime.shortDate, regional);
  regional.timeSeparator = ":";
  regional.amSymbol = std::string(dateTime.am);
  regional.pmSymbol = std::string(dateTime.pm);
  if (dateTime.names) {
    for (std::size_t i = 0; i < 12; ++i) {
      regional.monthNames[i] = std::string(dateTime.names->months[i]);
      regional.abbreviatedMonthNames[i] = std::string(dateTime.names->abbreviatedMonths[i]);
    }
    for (std::size_t i = 0; i < 7; ++i) {
      regional.dayNames[i] = std::string(dateTime.names->days[i]);
      regional.abbreviatedDayNames[i] = std::string(dateTime.names->abbreviatedDays[i]);
    }
  }
  regional.decimalSeparator = std::string(numbers.decimal);
  regional.thousandSeparator = std::string(numbers.thousand);
  return regional;
}

}  // namespace tavrin
