#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "importer/locale_date.h"
#include "shared/date_time.h"
#include "shared/regional.h"

namespace tavrin {

class ProcessContext;

// The point in time of an export row from its date and time fields: first as the
// regional settings read "date time", then as "month-name day year" with a 24-hour or
// am/pm time. The date comes from the date field alone: a field without a full date
// gives no date, whatever the time field holds. No date when neither works. `order`,
// when given, learns in which order a numeric date gave day and month; `only`, the one
// order that its numbers allow (LocaleDateTimeParts::only).
std::optional<DateTime> ReadDateTime(std::string_view dateText, std::string_view timeText,
                                     const RegionalSettings& regional,
                                     DayMonthOrder* order = nullptr, DayMonthOrder* only = nullptr);

// 1 to 12 for a month name in one of many languages, -1 when it is in no table.
int MonthFromName(std::string_view name);

// "HH:NN" on the 24-hour clock from times such as "7", "7:05", "7:05 pm", "12:10 AM".
std::string NormalizeTime(std::string_view timeText);

// Warns about data from the future or older than the configured limit; true when the
// user chose to cancel the import. The text of a warning shown is added to shownWarnings
// when given (for the import report).
bool CheckDataAge(ProcessContext& context, const DateTime& earliest, const DateTime& latest,
                  std::vector<std::string>* shownWarnings = nullptr);

}  // namespace tavrin
