#include "importer/import_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "platform/file_replace.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/number_format.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// mg/dL per mmol/L, as the reader converts.
// The reader writes a HIGH reading as this value and a LO reading as kLowValue after an
// event row "--1" at the same minute.
constexpr std::string_view kHighValue = "600";
constexpr std::string_view kLowEvent = "--1";

int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A row text stamp "DD.MM.YYYY HH:NN" taken apart by position.
struct Stamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  bool Read(std::string_view text) {
    if (text.size() < 16) return false;
    day = Digits(text, 0, 2);
    month = Digits(text, 3, 2);
    year = Digits(text, 6, 4);
    hour = Digits(text, 11, 2);
    minute = Digits(text, 14, 2);
    return day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 0 && hour >= 0 &&
           hour < 24 && minute >= 0 && minute < 60;
  }
  std::string Text() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    return text;
  }
};

// A plain number with "." or "," as the decimal separator; nullopt for anything else.
std::optional<double> PlainNumber(std::string_view value) {
  if (value.empty() || value.size() > 15) return std::nullopt;
  double whole = 0, fraction = 0, scale = 1;
  bool separator = false;
  for (const char c : value) {
    if (c == '.' || c == ',') {
      if (separator) return std::nullopt;
      separator = true;
    } else if (c >= '0' && c <= '9') {
      if (separator) {
        scale /= 10;
        fraction += (c - '0') * scale;
      } else {
        whole = whole * 10 + (c - '0');
      }
    } else {
      return std::nullopt;
    }
  }
  return whole + fraction;
}

// Amounts as the conversion reads them: "4+2" is 6, "10-20" is 15; a decimal comma counts.
double Amount(std::string_view value) {
  if (const std::optional<double> plain = PlainNumber(value)) return *plain;
  try {
    return Val(CleanAmount(value, "."));
  } catch (const RuntimeError&) {
    // An amount the program cannot hold (an overflow) counts as none in the report's sums;
    // the reader has noted the value already, so nothing is traced here.
    return 0;
  }
}

// The kinds of values the report counts, by row code.
enum Kind { kGlucose, kEvents, kCarbs, kInsulin, kOther, kNotes, kWeight, kKinds };

Kind KindOfCode(std::string_view code) {
  if (code == "1" || code == "1b" || (code.size() == 7 && ToUpper(code) == "UDTCGMS")) {
    return kGlucose;
  }
  if (code == "2" || code == "8") return kEvents;
  if (code == "3") return kCarbs;
  if (code == "4" || code == "4b" || code == "5") return kInsulin;
  if (code == "7") return kNotes;
  if (code == "9") return kWeight;
  return kOther;
}

class ReportGatherer {
 public:
  ReportGatherer(ImportReport& report, bool mmol) : report_(report), mmol_(mmol) {}

  // The lines of the row text, row by row.
  void Rows(const RowTable& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
      text.clear();
      rows.AppendLine(rows[i], text);
      text.append("\r\n");
      Lines(text);
    }
  }

  void Finish() {
    for (auto& [day, values] : days_) report_.days.push_back(std::move(values));
    if (first_.year > 0) {
      report_.firstDate = first_.Text();
      report_.lastDate = last_.Text();
    }
    static constexpr int kLabels[kKinds] = {kMsgReportGlucose, kMsgReportEvents, kMsgReportCarbs,
                                            kMsgReportInsulin, kMsgReportOther,  kMsgReportNotes,
                                            kMsgReportWeight};
    for (int kind = 0; kind < kKinds; ++kind) {
      if (counts_[kind] > 0) labelledCounts_.emplace_back(kLabels[kind], counts_[kind]);
    }
  }

  std::vector<std::pair<int, long>> labelledCounts_;
  std::vector<GlucoseSample> samples;  // every reading, for the summary and the profile

 private:
  void Lines(std::string_view rowText) {
    std::size_t position = 0;
    while (position < rowText.size()) {
      std::size_t end = rowText.find('\n', position);
      if (end == std::string_view::npos) end = rowText.size();
      std::string_view line = rowText.substr(position, end - position);
      position = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      Row(line);
    }
  }

  void Row(std::string_view line) {
    const std::size_t first = line.find(';');
    if (first == std::string_view::npos) return;
    const std::size_t second = line.find(';', first + 1);
    const std::string_view code = line.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    const std::string_view value =
        second == std::string_view::npos ? std::string_view() : line.substr(second + 1);
    Stamp stamp;
    if (value.empty() || !stamp.Read(line.substr(0, first))) return;
    const auto dayNumber =
        static_cast<std::int32_t>(DaysFromCivil(stamp.year, stamp.month, stamp.day));
    const int minute = stamp.hour * 60 + stamp.minute;
    NoteRange(stamp, dayNumber, minute);

    // The event row of a LO reading belongs to the reading that follows it.
    if (code == "2" && value == kLowEvent) {
      lowAt_ = static_cast<long long>(dayNumber) * 1440 + minute;
      return;
    }
    const Kind kind = KindOfCode(code);
    ++counts_[kind];
    ReportDay& day = Day(dayNumber, stamp);
    if (kind == kGlucose) {
      Glucose(day, minute, value, code.size() == 7);
    } else if (kind == kInsulin) {
      const double amount = Amount(value);
      day.insulin += amount;
      day.bolus += code == "4" ? amount : 0;
      day.basal += code == "5" ? amount : 0;
      day.insulinEntries = true;
    } else if (kind == kCarbs) {
      day.carbs += Amount(value);
      day.carbEntries = true;
    }
  }

  void Glucose(ReportDay& day, int minute, std::string_view value, bool cgm) {
    // The reader writes glucose as a whole number in mg/dL; a text it kept as it stood
    // is drawn only when it begins with its number ("120 mg/dL"): "<50" or "HI" name no
    // value to draw.
    std::optional<double> mgdl = PlainNumber(value);
    if (!mgdl) {
      std::string text(value);
      for (char& c : text) c = c == ',' ? '.' : c;
      const std::size_t first = text.find_first_not_of(" \t");
      if (first == std::string::npos || text[first] < '0' || text[first] > '9') return;
      mgdl = Val(text);
    }
    ReportReading reading{.day = day.day, .minuteOfDay = static_cast<std::int16_t>(minute)};
    if (lowAt_ == static_cast<long long>(day.day) * 1440 + minute) reading.mark = ReadingMark::kLow;
    if (value == kHighValue) reading.mark = ReadingMark::kHigh;
    lowAt_ = -1;
    reading.value = static_cast<float>(mmol_ ? RoundTo(*mgdl / kMgdlPerMmol, 1) : *mgdl);
    samples.push_back({day.day, reading.minuteOfDay, reading.mark, cgm, reading.value});
    day.glucose.Add(reading.value);
    report_.timeOfDay[static_cast<std::size_t>(minute / kReportBucketMinutes)].Add(reading.value);
    ++report_.glucoseReadings;
    // Beyond the limit one point per reading would make the page large and slow: the
    // charts draw the aggregates instead.
    if (report_.glucoseReadings <= kReportPointLimit) {
      report_.readings.push_back(reading);
    } else if (!report_.readings.empty()) {
      report_.readings.clear();
      report_.readings.shrink_to_fit();
    }
  }

  ReportDay& Day(std::int32_t dayNumber, const Stamp& stamp) {
    if (lastDay_ != nullptr && lastDay_->day == dayNumber) return *lastDay_;
    auto [it, added] = days_.try_emplace(dayNumber);
    if (added) {
      it->second.day = dayNumber;
      it->second.date = stamp.Text().substr(0, 10);
    }
    lastDay_ = &it->second;
    return it->second;
  }

  void NoteRange(const Stamp& stamp, std::int32_t dayNumber, int minute) {
    const long long at = static_cast<long long>(dayNumber) * 1440 + minute;
    if (first_.year == 0 || at < firstAt_) first_ = stamp, firstAt_ = at;
    if (last_.year == 0 || at > lastAt_) last_ = stamp, lastAt_ = at;
  }

  ImportReport& report_;
  const bool mmol_;
  std::map<std::int32_t, ReportDay> days_;
  ReportDay* lastDay_ = nullptr;  // the day of the previous row; rows come in runs of a day
  long counts_[kKinds] = {};
  long long lowAt_ = -1;  // the minute of a LO event row waiting for its reading
  Stamp first_, last_;
  long long firstAt_ = 0, lastAt_ = 0;
};

// Restricts the summary to the last `lastDays` days up to the last day with values (all
// days for 0), and fills the period, the glucose summary, the profile and the daily means.
void Summarize(ImportReport& report, std::vector<GlucoseSample> samples, int lastDays) {
  report.period.lastDays = lastDays;
  if (report.days.empty()) return;
  const std::int32_t first =
      lastDays > 0 ? std::max(report.days.front().day, report.days.back().day - lastDays + 1)
                   : report.days.front().day;
  std::erase_if(samples, [first](const GlucoseSample& s) { return s.day < first; });
  const bool mmol = report.exportUnit == "mmol/L";
  report.summary = SummarizeGlucose(samples, mmol);
  report.profile = ProfileByTimeOfDay(samples);
  DailyMeans& means = report.dailyMeans;
  for (const ReportDay& day : report.days) {
    if (day.day < first) continue;
    if (report.period.firstDate.empty()) report.period.firstDate = day.date;
    report.period.lastDate = day.date;
    if (day.insulinEntries) {
      ++means.insulinDays;
      means.insulin += day.insulin, means.bolus += day.bolus, means.basal += day.basal;
    }
    if (day.carbEntries) ++means.carbDays, means.carbs += day.carbs;
  }
  if (means.insulinDays > 0) {
    means.insulin /= means.insulinDays, means.bolus /= means.insulinDays;
    means.basal /= means.insulinDays;
  }
  if (means.carbDays > 0) means.carbs /= means.carbDays;
}

std::string PageLanguage(const ProcessContext& context) {
  const std::string code = context.languages ? context.languages->Code() : std::string("DE");
  return code.empty() || code[0] == 'D' ? "de" : "en";
}

std::string DateOrderText(const ProcessContext& context, const ExportReadResult& read) {
  if (read.fileDateOrder != DayMonthOrder::kNone) {
    const bool dayFirst = read.fileDateOrder == DayMonthOrder::kDayFirst;
    return context.Message(
        kMsgReportFileOrder,
        {context.Message(dayFirst ? kMsgReportDayFirst : kMsgReportMonthFirst),
         std::to_string(dayFirst ? read.datesOnlyDayFirst : read.datesOnlyMonthFirst)});
  }
  if (read.MixedDateOrders()) {
    return context.Message(kMsgReportMixedOrder, {std::to_string(read.datesDayFirst),
                                                  std::to_string(read.datesMonthFirst)});
  }
  if (read.datesMonthFirst > 0) return context.Message(kMsgReportMonthFirst);
  if (read.datesDayFirst > 0) return context.Message(kMsgReportDayFirst);
  return context.Message(kMsgReportNone);
}

std::string NoteReason(const ProcessContext& context, const NotedRow& row) {
  switch (row.note) {
    case RowNote::kNoReadableDate:
      return context.Message(kMsgReportNoDate);
    case RowNote::kValuesRefused:
      return context.Message(kMsgReportRefused, {std::to_string(row.values)});
    case RowNote::kDayFirst:
      return context.Message(kMsgReportOtherOrder, {context.Message(kMsgReportDayFirst)});
    case RowNote::kMonthFirst:
      return context.Message(kMsgReportOtherOrder, {context.Message(kMsgReportMonthFirst)});
    case RowNote::kDoseRefused:
      // Columns as a spreadsheet numbers them: 8 and 7 counted from 0 are 9 and 8.
      return context.Message(kMsgReportDoseRefused, {"9", "8", std::to_string(row.values)});
    case RowNote::kKeptAsText:
      return context.Message(kMsgReportKeptReason);
  }
  return {};
}

// The column of a note as a spreadsheet numbers it (from 1), with the export's name for it.
std::string ColumnText(const ExportReadResult& read, int column) {
  if (column < 0) return {};
  std::string text = std::to_string(column + 1);
  const auto index = static_cast<std::size_t>(column);
  if (index < read.columnNames.size() && !read.columnNames[index].empty()) {
    text += " (" + read.columnNames[index] + ")";
  }
  return text;
}

}  // namespace

ImportReport GatherImportReport(ProcessContext& context, const ReportSources& sources) {
  const ExportReadResult& read = sources.read;
  const ConversionResult& conversion = sources.conversion;
  ImportReport report;
  report.language = PageLanguage(context);
  report.exportPath = sources.exportPath;
  report.exportUnit = read.exportUnit;
  report.dateOrder = DateOrderText(context, read);
  const DateTime now = context.platform.Clock().Now();
  char created[32];
  std::snprintf(created, sizeof created, "%04d-%02d-%02d %02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute);
  report.createdAt = created;
  report.serialNumber = conversion.serialNumber;
  report.rowsRead = read.linesRead;
  report.recordsWritten = conversion.bgRecords;
  report.cgmReadings = conversion.cgmReadings;
  report.valuesRefused = read.valuesRefused;
  report.glucoseKeptAsText = read.glucoseKeptAsText;
  report.warnings = conversion.dataAgeWarnings;

  ReportGatherer gatherer(report, read.exportUnit == "mmol/L");
  gatherer.Rows(read.rows);
  gatherer.Finish();
  for (const auto& [label, count] : gatherer.labelledCounts_) {
    report.valuesPerKind.push_back({context.Message(label), count});
  }
  Summarize(report, std::move(gatherer.samples), sources.lastDays);

  report.notesTotal = static_cast<long>(read.notedRows.size());
  for (const NotedRow& row : read.notedRows) {
    if (static_cast<long>(report.notes.size()) >= kReportNoteLimit) break;
    report.notes.push_back(
        {row.line, ColumnText(read, row.column), row.text, NoteReason(context, row)});
  }
  return report;
}

std::string ImportReportPage(ProcessContext& context, const ReportSources& sources) {
  return WriteHtmlReport(GatherImportReport(context, sources),
                         [&context](int number, const std::vector<std::string>& args) {
                           return context.Message(number, args);
                         });
}

void WriteImportReport(ProcessContext& context, const std::string& path,
                       const ReportSources& sources) {
  WriteUtf8File(context.platform, path, ImportReportPage(context, sources), FileAccess::OwnerOnly);
}

}  // namespace tavrin
