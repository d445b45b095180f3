// Feeds arbitrary date and time texts (split at the first tab; the first byte picks the
// regional settings) to the row date parser and the time normaliser. A date that comes
// out must be a real point in time, and a normalised time is always "HH:NN".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "importer/date_parsing.h"
#include "shared/regional.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const tavrin::RegionalSettings kChoices[] = {tavrin::RegionalSettings::German(),
                                                      tavrin::RegionalSettings::EnglishUS(),
                                                      tavrin::RegionalSettings::EnglishUK()};
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t tab = text.find('\t');
  const std::string_view date = text.substr(0, tab);
  const std::string_view time = tab == std::string_view::npos ? "" : text.substr(tab + 1);
  if (const auto when = tavrin::ReadDateTime(date, time, kChoices[data[0] % 3])) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (when->month < 1 || when->month > 12 || when->day < 1 ||
        when->day > kDays[when->month - 1] || when->hour < 0 || when->hour > 23 ||
        when->minute < 0 || when->minute > 59) {
      std::abort();
    }
  }
  const int month = tavrin::MonthFromName(date);
  if (month != -1 && (month < 1 || month > 12)) std::abort();
  const std::string normalized = tavrin::NormalizeTime(time);
  if (normalized.size() != 5 || normalized[2] != ':') std::abort();
  return 0;
}
