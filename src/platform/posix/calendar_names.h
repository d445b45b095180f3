#pragma once

#include <array>
#include <string_view>

namespace tavrin {

// Month names (January first) and day names (Sunday first) of one language, UTF-8.
struct CalendarNames {
  std::array<std::string_view, 12> months;
  std::array<std::string_view, 12> abbreviatedMonths;
  std::array<std::string_view, 7> days;
  std::array<std::string_view, 7> abbreviatedDays;
};

// The calendar names of the languages the locale table knows.
namespace calendar_names {
extern const CalendarNames kGerman;
extern const CalendarNames kAustrian;
extern const CalendarNames kEnglish;
extern const CalendarNames kFrench;
extern const CalendarNames kItalian;
extern const CalendarNames kSpanish;
extern const CalendarNames kDutch;
extern const CalendarNames kPortuguese;
extern const CalendarNames kDanish;
extern const CalendarNames kSwedish;
extern const CalendarNames kNorwegian;
extern const CalendarNames kFinnish;
extern const CalendarNames kPolish;
extern const CalendarNames kCzech;
extern const CalendarNames kRussian;
extern const CalendarNames kTurkish;
extern const CalendarNames kUkrainian;
extern const CalendarNames kBelarusian;
extern const CalendarNames kBosnianLatin;
extern const CalendarNames kBosnianCyrillic;
extern const CalendarNames kCatalan;
extern const CalendarNames kCroatian;
extern const CalendarNames kFaroese;
extern const CalendarNames kFrisian;
extern const CalendarNames kGreek;
extern const CalendarNames kIrish;
extern const CalendarNames kLuxembourgish;
extern const CalendarNames kMacedonian;
extern const CalendarNames kMaltese;
extern const CalendarNames kNynorsk;
extern const CalendarNames kNorthernSami;
extern const CalendarNames kLuleSami;
extern const CalendarNames kSouthernSami;
extern const CalendarNames kSkoltSami;
extern const CalendarNames kInariSami;
extern const CalendarNames kSlovak;
extern const CalendarNames kSlovenian;
extern const CalendarNames kThai;
}  // namespace calendar_names

}  // namespace tavrin
