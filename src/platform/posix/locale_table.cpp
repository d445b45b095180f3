#include "platform/posix/locale_table.h"

#include <cstdio>

#include "platform/posix/calendar_names.h"

namespace tavrin {
namespace {

using namespace calendar_names;

// A no-break space, the thousand separator of many European locales.
constexpr char kNbsp[] = "\xC2\xA0";

// Windows' answers and regional defaults per locale. The first entry of each language
// without a modifier is its main entry, used for territories not in the table; en_US
// stands for languages not in the table at all.
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
  // The other locales of the languages the message tables know: every three-letter name
  // the language table lists, regional variants included.
  {"be_BY", 0x0423, "Belarusian (Belarus)", "BEL", "беларуская", 375, "Belarus", "BLR",
   "Беларусь", 866, "BYN", "Belarusian", "Belarus", 1251, 500,
   "dd.MM.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kBelarusian},
  {"bs_BA", 0x141A, "Bosnian (Latin, Bosnia and Herzegovina)", "BSB", "bosanski", 387,
   "Bosnia and Herzegovina", "BIH", "Bosna i Hercegovina", 852, "BAM", "Bosnian (Latin)",
   "Bosnia and Herzegovina", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", &kBosnianLatin},
  {"bs_BA@cyrillic", 0x201A, "Bosnian (Cyrillic, Bosnia and Herzegovina)", "BSC", "босански",
   387, "Bosnia and Herzegovina", "BIH", "Босна и Херцеговина", 855, "BAM", "Bosnian (Cyrillic)",
   "Bosnia and Herzegovina", 1251, 500,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", &kBosnianCyrillic},
  {"ca_ES", 0x0403, "Catalan (Spain)", "CAT", "català", 34, "Spain", "ESP",
   "Espanya", 850, "EUR", "Catalan", "Spain", 1252, 500,
   "dd/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kCatalan},
  {"fo_FO", 0x0438, "Faroese (Faroe Islands)", "FOS", "føroyskt", 298, "Faroe Islands", "FRO",
   "Føroyar", 850, "DKK", "Faroese", "Faroe Islands", 1252, 20277,
   "dd-MM-yyyy", "HH:mm:ss", "", "", ",", ".", &kFaroese},
  {"de_LI", 0x1407, "German (Liechtenstein)", "DEC", "Deutsch", 41, "Liechtenstein", "LIE",
   "Liechtenstein", 850, "CHF", "German", "Liechtenstein", 1252, 20273,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ".", "'", &kGerman},
  {"de_LU", 0x1007, "German (Luxembourg)", "DEL", "Deutsch", 352, "Luxembourg", "LUX",
   "Luxemburg", 850, "EUR", "German", "Luxembourg", 1252, 20273,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", &kGerman},
  {"lb_LU", 0x046E, "Luxembourgish (Luxembourg)", "LBX", "Lëtzebuergesch", 352, "Luxembourg",
   "LUX", "Lëtzebuerg", 850, "EUR", "Luxembourgish", "Luxembourg", 1252, 20297,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", ".", &kLuxembourgish},
  {"el_GR", 0x0408, "Greek (Greece)", "ELL", "Ελληνικά", 30, "Greece", "GRC",
   "Ελλάδα", 737, "EUR", "Greek", "Greece", 1253, 20273,
   "d/M/yyyy", "h:mm:ss tt", "πμ", "μμ", ",", ".", &kGreek},
  // glibc's Caribbean English locale (Antigua and Barbuda) stands for Windows' Caribbean one.
  {"en_AG", 0x2409, "English (Caribbean)", "ENB", "English", 1, "Caribbean", "CAR",
   "Caribbean", 850, "USD", "English", "Caribbean", 1252, 500,
   "MM/dd/yyyy", "hh:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_IE", 0x1809, "English (Ireland)", "ENI", "English", 353, "Ireland", "IRL",
   "Ireland", 850, "EUR", "English", "Ireland", 1252, 500,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ".", ",", &kEnglish},
  {"en_JM", 0x2009, "English (Jamaica)", "ENJ", "English", 1, "Jamaica", "JAM",
   "Jamaica", 850, "JMD", "English", "Jamaica", 1252, 500,
   "dd/MM/yyyy", "hh:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_BZ", 0x2809, "English (Belize)", "ENL", "English", 501, "Belize", "BLZ",
   "Belize", 850, "BZD", "English", "Belize", 1252, 500,
   "dd/MM/yyyy", "hh:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_PH", 0x3409, "English (Philippines)", "ENP", "English", 63, "Philippines", "PHL",
   "Philippines", 437, "PHP", "English", "Philippines", 1252, 500,
   "M/d/yyyy", "h:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_ZA", 0x1C09, "English (South Africa)", "ENS", "English", 27, "South Africa", "ZAF",
   "South Africa", 437, "ZAR", "English", "South Africa", 1252, 500,
   "yyyy/MM/dd", "hh:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_TT", 0x2C09, "English (Trinidad and Tobago)", "ENT", "English", 1, "Trinidad and Tobago",
   "TTO", "Trinidad and Tobago", 850, "TTD", "English", "Trinidad and Tobago", 1252, 500,
   "dd/MM/yyyy", "hh:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_ZW", 0x3009, "English (Zimbabwe)", "ENW", "English", 263, "Zimbabwe", "ZWE",
   "Zimbabwe", 437, "USD", "English", "Zimbabwe", 1252, 500,
   "M/d/yyyy", "h:mm:ss tt", "AM", "PM", ".", ",", &kEnglish},
  {"en_NZ", 0x1409, "English (New Zealand)", "ENZ", "English", 64, "New Zealand", "NZL",
   "New Zealand", 850, "NZD", "English", "New Zealand", 1252, 500,
   "d/MM/yyyy", "h:mm:ss tt", "a.m.", "p.m.", ".", ",", &kEnglish},
  {"ga_IE", 0x083C, "Irish (Ireland)", "IRE", "Gaeilge", 353, "Ireland", "IRL",
   "Éire", 850, "EUR", "Irish", "Ireland", 1252, 500,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ".", ",", &kIrish},
  // Spain's traditional sort order, which POSIX names by a modifier only.
  {"es_ES@traditional", 0x040A, "Spanish (Spain, Traditional Sort)", "ESP", "español", 34,
   "Spain", "ESP", "España", 850, "EUR", "Spanish", "Spain", 1252, 20284,
   "dd/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kSpanish},
  {"es_PA", 0x180A, "Spanish (Panama)", "ESA", "español", 507, "Panama", "PAN",
   "Panamá", 850, "PAB", "Spanish", "Panama", 1252, 20284,
   "MM/dd/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_BO", 0x400A, "Spanish (Bolivia)", "ESB", "español", 591, "Bolivia", "BOL",
   "Bolivia", 850, "BOB", "Spanish", "Bolivia", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_CR", 0x140A, "Spanish (Costa Rica)", "ESC", "español", 506, "Costa Rica", "CRI",
   "Costa Rica", 850, "CRC", "Spanish", "Costa Rica", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_DO", 0x1C0A, "Spanish (Dominican Republic)", "ESD", "español", 1, "Dominican Republic",
   "DOM", "República Dominicana", 850, "DOP", "Spanish", "Dominican Republic", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_SV", 0x440A, "Spanish (El Salvador)", "ESE", "español", 503, "El Salvador", "SLV",
   "El Salvador", 850, "USD", "Spanish", "El Salvador", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_EC", 0x300A, "Spanish (Ecuador)", "ESF", "español", 593, "Ecuador", "ECU",
   "Ecuador", 850, "USD", "Spanish", "Ecuador", 1252, 20284,
   "dd/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kSpanish},
  {"es_GT", 0x100A, "Spanish (Guatemala)", "ESG", "español", 502, "Guatemala", "GTM",
   "Guatemala", 850, "GTQ", "Spanish", "Guatemala", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_HN", 0x480A, "Spanish (Honduras)", "ESH", "español", 504, "Honduras", "HND",
   "Honduras", 850, "HNL", "Spanish", "Honduras", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_NI", 0x4C0A, "Spanish (Nicaragua)", "ESI", "español", 505, "Nicaragua", "NIC",
   "Nicaragua", 850, "NIO", "Spanish", "Nicaragua", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_CL", 0x340A, "Spanish (Chile)", "ESL", "español", 56, "Chile", "CHL",
   "Chile", 850, "CLP", "Spanish", "Chile", 1252, 20284,
   "dd-MM-yyyy", "H:mm:ss", "", "", ",", ".", &kSpanish},
  {"es_CO", 0x240A, "Spanish (Colombia)", "ESO", "español", 57, "Colombia", "COL",
   "Colombia", 850, "COP", "Spanish", "Colombia", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_PE", 0x280A, "Spanish (Peru)", "ESR", "español", 51, "Peru", "PER",
   "Perú", 850, "PEN", "Spanish", "Peru", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_AR", 0x2C0A, "Spanish (Argentina)", "ESS", "español", 54, "Argentina", "ARG",
   "Argentina", 850, "ARS", "Spanish", "Argentina", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_PR", 0x500A, "Spanish (Puerto Rico)", "ESU", "español", 1, "Puerto Rico", "PRI",
   "Puerto Rico", 850, "USD", "Spanish", "Puerto Rico", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ".", ",", &kSpanish},
  {"es_VE", 0x200A, "Spanish (Venezuela)", "ESV", "español", 58, "Venezuela", "VEN",
   "Venezuela", 850, "VES", "Spanish", "Venezuela", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_UY", 0x380A, "Spanish (Uruguay)", "ESY", "español", 598, "Uruguay", "URY",
   "Uruguay", 850, "UYU", "Spanish", "Uruguay", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"es_PY", 0x3C0A, "Spanish (Paraguay)", "ESZ", "español", 595, "Paraguay", "PRY",
   "Paraguay", 850, "PYG", "Spanish", "Paraguay", 1252, 20284,
   "dd/MM/yyyy", "hh:mm:ss tt", "a.m.", "p.m.", ",", ".", &kSpanish},
  {"se_FI", 0x0C3B, "Sami, Northern (Finland)", "SMG", "davvisámegiella", 358, "Finland", "FIN",
   "Suopma", 850, "EUR", "Sami (Northern)", "Finland", 1252, 20278,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kNorthernSami},
  {"smn_FI", 0x243B, "Sami, Inari (Finland)", "SMN", "sämikielâ", 358, "Finland", "FIN",
   "Suomâ", 850, "EUR", "Sami (Inari)", "Finland", 1252, 20278,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kInariSami},
  {"sms_FI", 0x203B, "Sami, Skolt (Finland)", "SMS", "sääʹmǩiõll", 358, "Finland", "FIN",
   "Lääʹddjânnam", 850, "EUR", "Sami (Skolt)", "Finland", 1252, 20278,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kSkoltSami},
  {"fr_BE", 0x080C, "French (Belgium)", "FRB", "français", 32, "Belgium", "BEL",
   "Belgique", 850, "EUR", "French", "Belgium", 1252, 20297,
   "d/MM/yyyy", "H:mm:ss", "", "", ",", ".", &kFrench},
  {"fr_LU", 0x140C, "French (Luxembourg)", "FRL", "français", 352, "Luxembourg", "LUX",
   "Luxembourg", 850, "EUR", "French", "Luxembourg", 1252, 20297,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kFrench},
  {"fr_MC", 0x180C, "French (Monaco)", "FRM", "français", 377, "Monaco", "MCO",
   "Principauté de Monaco", 850, "EUR", "French", "Monaco", 1252, 20297,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kFrench},
  {"fy_NL", 0x0462, "Frisian (Netherlands)", "FYN", "Frysk", 31, "Netherlands", "NLD",
   "Nederlân", 850, "EUR", "Frisian", "Netherlands", 1252, 500,
   "d-M-yyyy", "H:mm:ss", "", "", ",", ".", &kFrisian},
  {"hr_HR", 0x041A, "Croatian (Croatia)", "HRV", "hrvatski", 385, "Croatia", "HRV",
   "Hrvatska", 852, "EUR", "Croatian", "Croatia", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", &kCroatian},
  {"hr_BA", 0x101A, "Croatian (Latin, Bosnia and Herzegovina)", "HRB", "hrvatski", 387,
   "Bosnia and Herzegovina", "BIH", "Bosna i Hercegovina", 852, "BAM", "Croatian",
   "Bosnia and Herzegovina", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", &kCroatian},
  {"mk_MK", 0x042F, "Macedonian (North Macedonia)", "MKI", "македонски јазик", 389,
   "North Macedonia", "MKD", "Северна Македонија", 866, "MKD", "Macedonian", "North Macedonia",
   1251, 500,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", &kMacedonian},
  {"it_CH", 0x0810, "Italian (Switzerland)", "ITS", "italiano", 41, "Switzerland", "CHE",
   "Svizzera", 850, "CHF", "Italian", "Switzerland", 1252, 500,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ".", "'", &kItalian},
  // Maltese has no ANSI code page: Windows answers 0 and the OEM placeholder 1.
  {"mt_MT", 0x043A, "Maltese (Malta)", "MLT", "Malti", 356, "Malta", "MLT",
   "Malta", 1, "EUR", "Maltese", "Malta", 0, 500,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ".", ",", &kMaltese},
  {"nn_NO", 0x0814, "Norwegian, Nynorsk (Norway)", "NON", "norsk (nynorsk)", 47, "Norway", "NOR",
   "Noreg", 850, "NOK", "Norwegian (Nynorsk)", "Norway", 1252, 20277,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kNynorsk},
  {"sma_NO", 0x183B, "Sami, Southern (Norway)", "SMA", "åarjelsaemiengiele", 47, "Norway", "NOR",
   "Nöörje", 850, "NOK", "Sami (Southern)", "Norway", 1252, 20277,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kSouthernSami},
  {"se_NO", 0x043B, "Sami, Northern (Norway)", "SME", "davvisámegiella", 47, "Norway", "NOR",
   "Norga", 850, "NOK", "Sami (Northern)", "Norway", 1252, 20277,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kNorthernSami},
  {"smj_NO", 0x103B, "Sami, Lule (Norway)", "SMJ", "julevusámegiella", 47, "Norway", "NOR",
   "Vuodna", 850, "NOK", "Sami (Lule)", "Norway", 1252, 20277,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kLuleSami},
  {"sk_SK", 0x041B, "Slovak (Slovakia)", "SKY", "slovenčina", 421, "Slovakia", "SVK",
   "Slovenská republika", 852, "EUR", "Slovak", "Slovakia", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, &kSlovak},
  {"sl_SI", 0x0424, "Slovenian (Slovenia)", "SLV", "slovenski", 386, "Slovenia", "SVN",
   "Slovenija", 852, "EUR", "Slovenian", "Slovenia", 1250, 870,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", &kSlovenian},
  {"sma_SE", 0x1C3B, "Sami, Southern (Sweden)", "SMB", "åarjelsaemiengiele", 46, "Sweden", "SWE",
   "Sveerje", 850, "SEK", "Sami (Southern)", "Sweden", 1252, 20278,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kSouthernSami},
  {"se_SE", 0x083B, "Sami, Northern (Sweden)", "SMF", "davvisámegiella", 46, "Sweden", "SWE",
   "Ruoŧŧa", 850, "SEK", "Sami (Northern)", "Sweden", 1252, 20278,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kNorthernSami},
  {"smj_SE", 0x143B, "Sami, Lule (Sweden)", "SMK", "julevusámegiella", 46, "Sweden", "SWE",
   "Svierik", 850, "SEK", "Sami (Lule)", "Sweden", 1252, 20278,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, &kLuleSami},
  {"sv_FI", 0x081D, "Swedish (Finland)", "SVF", "svenska", 358, "Finland", "FIN",
   "Finland", 850, "EUR", "Swedish", "Finland", 1252, 20278,
   "d.M.yyyy", "HH:mm:ss", "", "", ",", kNbsp, &kSwedish},
  // Thai dates in Gregorian years (Windows' default Thai calendar counts Buddhist ones).
  {"th_TH", 0x041E, "Thai (Thailand)", "THA", "ไทย", 66, "Thailand", "THA",
   "ไทย", 874, "THB", "Thai", "Thailand", 874, 20838,
   "d/M/yyyy", "H:mm:ss", "", "", ".", ",", &kThai},
  // Languages the message tables do not know: their own names and regional forms, so that
  // the locale report says what the system is; their texts come in English. Month and day
  // names stay the English ones.
  {"ja_JP", 0x0411, "Japanese (Japan)", "JPN", "日本語", 81, "Japan", "JPN",
   "日本", 932, "JPY", "Japanese", "Japan", 932, 20290,
   "yyyy/MM/dd", "H:mm:ss", "", "", ".", ",", nullptr},
  {"ko_KR", 0x0412, "Korean (Korea)", "KOR", "한국어", 82, "Korea", "KOR",
   "대한민국", 949, "KRW", "Korean", "Korea", 949, 20833,
   "yyyy-MM-dd", "tt h:mm:ss", "오전", "오후", ".", ",", nullptr},
  {"zh_CN", 0x0804, "Chinese (Simplified, China)", "CHS", "中文(简体)", 86, "China", "CHN",
   "中国", 936, "CNY", "Chinese (Simplified)", "China", 936, 500,
   "yyyy/M/d", "H:mm:ss", "", "", ".", ",", nullptr},
  {"zh_TW", 0x0404, "Chinese (Traditional, Taiwan)", "CHT", "中文(繁體)", 886, "Taiwan", "TWN",
   "台灣", 950, "TWD", "Chinese (Traditional)", "Taiwan", 950, 500,
   "yyyy/M/d", "tt hh:mm:ss", "上午", "下午", ".", ",", nullptr},
  {"hu_HU", 0x040E, "Hungarian (Hungary)", "HUN", "magyar", 36, "Hungary", "HUN",
   "Magyarország", 852, "HUF", "Hungarian", "Hungary", 1250, 500,
   "yyyy.MM.dd.", "H:mm:ss", "", "", ",", kNbsp, nullptr},
  {"ro_RO", 0x0418, "Romanian (Romania)", "ROM", "română", 40, "Romania", "ROU",
   "România", 852, "RON", "Romanian", "Romania", 1250, 20880,
   "dd.MM.yyyy", "HH:mm:ss", "", "", ",", ".", nullptr},
  {"bg_BG", 0x0402, "Bulgarian (Bulgaria)", "BGR", "български", 359, "Bulgaria", "BGR",
   "България", 866, "BGN", "Bulgarian", "Bulgaria", 1251, 20880,
   "d.M.yyyy", "H:mm:ss", "", "", ",", kNbsp, nullptr},
  {"sr_RS", 0x281A, "Serbian (Cyrillic, Serbia)", "SRO", "српски", 381, "Serbia", "SRB",
   "Србија", 855, "RSD", "Serbian (Cyrillic)", "Serbia", 1251, 21025,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", nullptr},
  {"sr_RS@latin", 0x241A, "Serbian (Latin, Serbia)", "SRM", "srpski", 381, "Serbia", "SRB",
   "Srbija", 852, "RSD", "Serbian (Latin)", "Serbia", 1250, 500,
   "d.M.yyyy", "H:mm:ss", "", "", ",", ".", nullptr},
  {"et_EE", 0x0425, "Estonian (Estonia)", "ETI", "eesti", 372, "Estonia", "EST",
   "Eesti", 775, "EUR", "Estonian", "Estonia", 1257, 500,
   "d.MM.yyyy", "H:mm:ss", "", "", ",", kNbsp, nullptr},
  {"lv_LV", 0x0426, "Latvian (Latvia)", "LVI", "latviešu", 371, "Latvia", "LVA",
   "Latvija", 775, "EUR", "Latvian", "Latvia", 1257, 500,
   "dd.MM.yyyy", "H:mm:ss", "", "", ",", kNbsp, nullptr},
  {"lt_LT", 0x0427, "Lithuanian (Lithuania)", "LTH", "lietuvių", 370, "Lithuania", "LTU",
   "Lietuva", 775, "EUR", "Lithuanian", "Lithuania", 1257, 500,
   "yyyy-MM-dd", "HH:mm:ss", "", "", ",", kNbsp, nullptr},
  {"is_IS", 0x040F, "Icelandic (Iceland)", "ISL", "íslenska", 354, "Iceland", "ISL",
   "Ísland", 850, "ISK", "Icelandic", "Iceland", 1252, 20871,
   "d.M.yyyy", "HH:mm:ss", "", "", ",", ".", nullptr},
  {"he_IL", 0x040D, "Hebrew (Israel)", "HEB", "עברית", 972, "Israel", "ISR",
   "ישראל", 862, "ILS", "Hebrew", "Israel", 1255, 500,
   "dd/MM/yyyy", "HH:mm:ss", "", "", ".", ",", nullptr},
  {"ar_SA", 0x0401, "Arabic (Saudi Arabia)", "ARA", "العربية", 966, "Saudi Arabia", "SAU",
   "المملكة العربية السعودية", 720, "SAR", "Arabic", "Saudi Arabia", 1256, 20420,
   "dd/MM/yyyy", "hh:mm:ss tt", "ص", "م", ".", ",", nullptr},
  {"hi_IN", 0x0439, "Hindi (India)", "HIN", "हिंदी", 91, "India", "IND",
   "भारत", 1, "INR", "Hindi", "India", 0, 500,
   "dd-MM-yyyy", "HH:mm:ss", "", "", ".", ",", nullptr},
  {"vi_VN", 0x042A, "Vietnamese (Vietnam)", "VIT", "Tiếng Việt", 84, "Vietnam", "VNM",
   "Việt Nam", 1258, "VND", "Vietnamese", "Vietnam", 1258, 500,
   "dd/MM/yyyy", "h:mm:ss tt", "SA", "CH", ",", ".", nullptr},
  {"id_ID", 0x0421, "Indonesian (Indonesia)", "IND", "Bahasa Indonesia", 62, "Indonesia", "IDN",
   "Indonesia", 850, "IDR", "Indonesian", "Indonesia", 1252, 500,
   "dd/MM/yyyy", "H:mm:ss", "", "", ",", ".", nullptr},
};
// clang-format on

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The parts of a POSIX locale name: "sr_RS.UTF-8@latin" is "sr", "RS" and "latin"; "-"
// stands for "_" as well, and the code set is ignored.
struct LocaleName {
  std::string language;   // lower case
  std::string territory;  // upper case
  std::string modifier;   // lower case
};

LocaleName ParseLocaleName(std::string_view name) {
  LocaleName parts;
  const std::size_t at = name.find('@');
  if (at != std::string_view::npos) {
    const std::string_view modifier = name.substr(at + 1);
    for (char c : modifier.substr(0, modifier.find('.'))) parts.modifier += LowerAscii(c);
  }
  name = name.substr(0, name.find_first_of(".@"));
  const std::size_t sep = name.find_first_of("_-");
  for (char c : name.substr(0, sep)) parts.language += LowerAscii(c);
  if (sep != std::string_view::npos) {
    for (char c : name.substr(sep + 1)) parts.territory += UpperAscii(c);
  }
  // Older systems call Norwegian Bokmål "no".
  if (parts.language == "no") parts.language = "nb";
  return parts;
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
  const LocaleName wanted = ParseLocaleName(posixLocaleName);
  const LocaleEntry* territoryMatch = nullptr;
  const LocaleEntry* languageMatch = nullptr;
  for (const LocaleEntry& entry : kLocales) {
    const LocaleName name = ParseLocaleName(entry.posixName);
    if (name.language != wanted.language) continue;
    // A modifier the table does not know (such as "euro") selects the plain entry.
    if (name.territory == wanted.territory && name.modifier == wanted.modifier) return entry;
    if (!name.modifier.empty()) continue;
    if (name.territory == wanted.territory && !territoryMatch) territoryMatch = &entry;
    if (!languageMatch) languageMatch = &entry;
  }
  if (territoryMatch) return *territoryMatch;
  return languageMatch ? *languageMatch : kLocales[0];
}

std::span<const LocaleEntry> AllLocales() {
  return kLocales;
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
