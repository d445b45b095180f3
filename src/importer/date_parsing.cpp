#include "importer/date_parsing.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "importer/locale_date.h"
#include "platform/ini_file.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr int kMsgOldData = 5037;
constexpr int kMsgFutureData = 5038;

// Month-name forms of many languages, upper case, in the order they are tried: all
// three-character forms month by month, then the four-, then the five-character forms.
// "AG" is shorter and so matches only a name of exactly two characters.
struct MonthForm {
  std::string_view form;
  int month;
};

constexpr MonthForm kThreeCharacterForms[] = {
    {"JAN", 1},  {"ENE", 1},  {"JÄN", 1},  {"GEN", 1},  {"SIJ", 1},   //
    {"FEB", 2},  {"VLJ", 2},  {"FEV", 2},                             //
    {"MAR", 3},  {"MRZ", 3},  {"OŽU", 3},  {"MRT", 3},  {"MÄR", 3},   //
    {"APR", 4},  {"ABR", 4},  {"TRA", 4},  {"AVR", 4},  {"ÁPR", 4},   //
    {"MAY", 5},  {"MAI", 5},  {"SVI", 5},  {"MAJ", 5},  {"MAG", 5},   //
    {"MEI", 5},                                                       //
    {"JUN", 6},  {"LIP", 6},  {"JÚN", 6},  {"GIU", 6},                //
    {"JUL", 7},  {"SRP", 7},  {"JÚL", 7},  {"LUG", 7},                //
    {"AUG", 8},  {"AGO", 8},  {"AUF", 8},  {"AG", 8},   {"KOL", 8},   //
    {"AVG", 8},                                                       //
    {"SEP", 9},  {"SEO", 9},  {"SET", 9},  {"RUJ", 9},                //
    {"OCT", 10}, {"OKT", 10}, {"LIS", 10}, {"OTT", 10}, {"OUT", 10},  //
    {"NOV", 11}, {"STU", 11}, {"NOC", 11},                            //
    {"DEC", 12}, {"DEZ", 12}, {"DIC", 12}, {"DES", 12}, {"PRO", 12},  //
    {"DÉC", 12},
};

// August is listed as "AÔUT"; the French "août" upper-cases to "AOÛT", so both spellings
// are known.
constexpr MonthForm kFourCharacterForms[] = {
    {"JANV", 1}, {"FÉVR", 2}, {"FEBR", 2}, {"MARÇ", 3}, {"MAIG", 5},
    {"JUNY", 6}, {"JUIN", 6}, {"JUIL", 7}, {"AÔUT", 8},
};
constexpr MonthForm kAugustAsWritten{"AOÛT", 8};

constexpr MonthForm kFiveCharacterForms[] = {{"SZEPT", 9}};

// The first `count` characters (UTF-16 units, as the rest of the program counts them).
std::string LeftCharacters(const std::u16string& text, std::size_t count) {
  return Utf16ToUtf8(text.substr(0, count));
}

int FindForm(std::span<const MonthForm> forms, std::string_view prefix) {
  for (const MonthForm& entry : forms) {
    if (entry.form == prefix) return entry.month;
  }
  return -1;
}

double RoundHalfToEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1.0;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// The platform's conversion to a 16-bit whole number; no value when it does not fit.
std::optional<int> ToInteger16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = RoundHalfToEven(value);
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<int>(rounded);
}

// A whole number for clock arithmetic; huge values are capped, since only their last
// two digits are ever shown.
long long WholeNumber(double value) {
  constexpr double kCap = 999999999.0;
  if (!(value >= 0.0)) return 0;  // negative or NaN; Val never gives either
  return static_cast<long long>(RoundHalfToEven(value < kCap ? value : kCap));
}

// The value of the digits at the start of the text, up to its first other character.
long long LeadingDigitsValue(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return WholeNumber(Val(text.substr(0, end)));
}

std::string LastTwoDigits(long long value) {
  const std::string text = "00" + std::to_string(value);
  return text.substr(text.size() - 2);
}

bool ContainsNoCase(std::string_view text, std::string_view letter) {
  return FindNoCase(text, letter) != std::string_view::npos;
}

// "Month-name day year" with a 24-hour or am/pm time: the export's own form when the
// regional settings cannot read the row.
std::optional<DateTime> ReadNamedMonthDateTime(std::string_view dateText,
                                               std::string_view timeText) {
  std::vector<std::string> timeParts = SplitText(timeText, ":");
  if (timeParts.size() < 3) timeParts.resize(3);
  std::string time = timeParts[0] + ":" + timeParts[1];  // seconds are dropped
  if (ContainsNoCase(timeText, "a")) {
    time += " am";
  } else if (ContainsNoCase(timeText, "p")) {
    time += " pm";
  }
  const std::string normalized = NormalizeTime(time);

  const std::vector<std::string> dateParts = SplitText(dateText, " ");
  if (dateParts.size() != 3) return std::nullopt;
  const int month = MonthFromName(dateParts[0]);
  // A month name in no table is no date; composing with -1 would silently move the row
  // into November of the year before.
  if (month < 1) return std::nullopt;
  const auto year = ToInteger16(Val(dateParts[2]));
  const auto day = ToInteger16(Val(dateParts[1]));  // "04," reads as 4
  const auto hour = ToInteger16(Val(std::string_view(normalized).substr(0, 2)));
  const auto minute = ToInteger16(Val(std::string_view(normalized).substr(3, 2)));
  if (!year || !day || !hour || !minute) return std::nullopt;

  // Two-digit years lie in 1930-2029, as in the platform's date composition.
  int fullYear = *year;
  if (fullYear >= 0 && fullYear <= 99) fullYear += fullYear < 30 ? 2000 : 1900;
  const DateTime value = ComposeDateTime(fullYear, month, *day, *hour, *minute, 0);
  // Outside the platform's date range the composition fails: no date.
  if (value.year < 100 || value.year > 9999) return std::nullopt;
  return value;
}

// Shows a data-age warning; true when the user chose Cancel.
bool WarnAboutDataAge(ProcessContext& context, int message, const DateTime& shown,
                      std::vector<std::string>* shownWarnings) {
  const std::string when = FormatGeneralDate(shown, context.platform.Locale().Regional());
  const std::string text = context.Message(message, {"\r\n", when});
  if (shownWarnings != nullptr) shownWarnings->push_back(text);
  const MessageResult answer = context.ui.ShowMessage(text, kProgramTitle, MessageButtons::OkCancel,
                                                      MessageIcon::Exclamation);
  return answer == MessageResult::Cancel;
}

}  // namespace

std::optional<DateTime> ReadDateTime(std::string_view dateText, std::string_view timeText,
                                     const RegionalSettings& regional, DayMonthOrder* order,
                                     DayMonthOrder* only) {
  DayMonthOrder unusedOrder = DayMonthOrder::kNone;
  DayMonthOrder unusedOnly = DayMonthOrder::kNone;
  DayMonthOrder& dateOrder = order != nullptr ? *order : unusedOrder;
  DayMonthOrder& onlyOrder = only != nullptr ? *only : unusedOnly;
  dateOrder = DayMonthOrder::kNone;
  onlyOrder = DayMonthOrder::kNone;
  try {
    // Nearly every row has a plain numeric date and time: read them in place.
    const NumericDateTimeParts numeric = ParseNumericDateTimeParts(dateText, timeText, regional);
    if (numeric.recognised) {
      if (numeric.parts && numeric.parts->hasDate) {
        dateOrder = numeric.parts->order;
        onlyOrder = numeric.parts->only;
        return numeric.parts->value;
      }
      return ReadNamedMonthDateTime(dateText, timeText);
    }
    const std::string combined = std::string(dateText) + " " + std::string(timeText);
    // A time alone reads as 30 December 1899; a row without a date must not become one.
    // The date must stand in the date field: joined, "4. 12." and the time "12" would
    // read as 4 December 2012, the year lent by the time.
    if (const auto parts = ParseLocaleDateTimeParts(combined, regional); parts && parts->hasDate) {
      const auto own = timeText.empty() ? parts : ParseLocaleDateTimeParts(dateText, regional);
      if (own && own->hasDate && own->value.year == parts->value.year &&
          own->value.month == parts->value.month && own->value.day == parts->value.day) {
        dateOrder = parts->order;
        onlyOrder = parts->only;
        return parts->value;
      }
    }
    return ReadNamedMonthDateTime(dateText, timeText);
  } catch (const RuntimeError&) {
    // A date beyond what the program can hold (an overflow) is no date; the reader counts
    // and traces the row it stands in. A fault of the program passes up.
    return std::nullopt;
  }
}

int MonthFromName(std::string_view name) {
  const std::u16string upper = Utf8ToUtf16(ToUpper(Trim(name)));
  if (int month = FindForm(kThreeCharacterForms, LeftCharacters(upper, 3)); month > 0) {
    return month;
  }
  const std::string four = LeftCharacters(upper, 4);
  if (int month = FindForm(kFourCharacterForms, four); month > 0) return month;
  if (four == kAugustAsWritten.form) return kAugustAsWritten.month;
  return FindForm(kFiveCharacterForms, LeftCharacters(upper, 5));
}

std::string NormalizeTime(std::string_view timeText) {
  // The common "HH:MM" with minutes below 60 comes out as it stands.
  const auto digit = [&timeText](std::size_t at) {
    return timeText[at] >= '0' && timeText[at] <= '9';
  };
  if (timeText.size() == 5 && digit(0) && digit(1) && timeText[2] == ':' && digit(3) &&
      timeText[3] < '6' && digit(4)) {
    return std::string(timeText);
  }
  long long hour = 0;
  long long minute = 0;
  const std::size_t colon = timeText.find(':');
  if (colon == std::string_view::npos) {
    hour = WholeNumber(Val(timeText));
  } else {
    hour = WholeNumber(Val(timeText.substr(0, colon)));
    const std::string_view afterColon = timeText.substr(colon + 1);
    minute = WholeNumber(Val(afterColon));
    if (minute < 1) minute = LeadingDigitsValue(afterColon);
    if (minute >= 60) minute %= 60;
  }
  if (ContainsNoCase(timeText, "p")) {
    hour += 12;
    if (hour == 24) hour = 12;
  } else if (hour == 12 && ContainsNoCase(timeText, "a")) {
    hour = 0;
  }
  return LastTwoDigits(hour) + ":" + LastTwoDigits(minute);
}

bool CheckDataAge(ProcessContext& context, const DateTime& earliest, const DateTime& latest,
                  std::vector<std::string>* shownWarnings) {
  // A read-only snapshot of the settings: nothing is written back.
  cIniFile settings(context.platform);
  settings.IniFile(context.paths.SettingsFilePath());
  settings.Offline(true);
  const bool warn = IsTrueText(settings.Load("Config", "ShowOldOrNewDataWarning", "1"));

  const DateTime now = context.platform.Clock().Now();
  if (latest > now) {
    return warn && WarnAboutDataAge(context, kMsgFutureData, latest, shownWarnings);
  }
  const long long age = DaysBetween(latest, now);
  const double limit = Val(settings.Load("Config", "NumDaysOldDataWarning", "31"));
  if (warn && static_cast<double>(age) > limit) {
    return WarnAboutDataAge(context, kMsgOldData, earliest, shownWarnings);
  }
  return false;
}

}  // namespace tavrin
