#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/glucose_summary.h"

namespace tavrin {

// The import report: one self-contained XHTML page (inline CSS and SVG, no scripts, no
// outside resources) that shows what an export held and what became of it. The page is
// well-formed XML, so that any browser shows it and an XML parser can check it.

// One glucose reading, in the export's unit.
struct ReportReading {
  std::int32_t day = 0;          // days since 1 January 1970
  std::int16_t minuteOfDay = 0;  // 0 to 1439
  ReadingMark mark = ReadingMark::kNone;
  float value = 0;
};

// Lowest, highest and sum of a number of glucose readings.
struct GlucoseSpan {
  long readings = 0;
  float lowest = 0;
  float highest = 0;
  double sum = 0;

  void Add(float value) {
    if (readings == 0 || value < lowest) lowest = value;
    if (readings == 0 || value > highest) highest = value;
    sum += value;
    ++readings;
  }
  double Mean() const { return readings > 0 ? sum / static_cast<double>(readings) : 0; }
};

// The values of one calendar day that holds any.
struct ReportDay {
  std::int32_t day = 0;  // days since 1 January 1970
  std::string date;      // "YYYY-MM-DD"
  GlucoseSpan glucose;
  double insulin = 0;  // units, all kinds
  double bolus = 0;    // of which bolus (code 4) and basal (code 5)
  double basal = 0;
  bool insulinEntries = false;
  double carbs = 0;  // in the export's carbohydrate unit
  bool carbEntries = false;
};

// What the summary and the profile cover: the whole export, or its last days.
struct ReportPeriod {
  int lastDays = 0;       // 0 for the whole export
  std::string firstDate;  // "YYYY-MM-DD"; empty without readings
  std::string lastDate;
};

// Means over the days of the period that have entries of the kind.
struct DailyMeans {
  int insulinDays = 0;
  double insulin = 0, bolus = 0, basal = 0;
  int carbDays = 0;
  double carbs = 0;
};

// A quarter of an hour of the day, over all days.
inline constexpr int kReportBucketMinutes = 15;
inline constexpr int kReportBuckets = 24 * 60 / kReportBucketMinutes;

// A row named in the report's table: its file line number, the column and the value as
// the export holds them (empty for notes about the whole row), and why.
struct ReportRowNote {
  long line = 0;
  std::string column;
  std::string value;
  std::string reason;
};

// A count of values of one kind (glucose, insulin, ...), with its label.
struct ReportCount {
  std::string label;
  long count = 0;
};

// Everything the page shows. Texts are UTF-8; glucose values are in the export's unit.
struct ImportReport {
  std::string language;  // "de" or "en", for the page's lang attribute
  std::string exportPath;
  std::string exportUnit;  // "mg/dL" or "mmol/L"
  std::string dateOrder;   // how day and month were read, as a sentence
  std::string firstDate;   // "YYYY-MM-DD HH:NN"; empty when no row had a readable date
  std::string lastDate;
  std::string createdAt;
  std::string serialNumber;
  long rowsRead = 0;
  long recordsWritten = 0;
  long cgmReadings = 0;
  long valuesRefused = 0;      // left out: no number the program can hold
  long glucoseKeptAsText = 0;  // glucose texts that state no number, imported as they stand
  std::vector<ReportCount> valuesPerKind;
  long glucoseReadings = 0;
  // One entry per reading while there are at most kReportPointLimit; beyond that the
  // charts show the per-day and per-quarter-hour aggregates and this stays empty.
  std::vector<ReportReading> readings;
  std::vector<ReportDay> days;  // ascending
  std::array<GlucoseSpan, kReportBuckets> timeOfDay{};
  std::vector<ReportRowNote> notes;   // at most kReportNoteLimit, in file order
  long notesTotal = 0;                // all notes, also those left out of the table
  std::vector<std::string> warnings;  // data-age warnings shown, as shown
  // The clinician's summary of the period: glucose figures, profile, daily means.
  ReportPeriod period;
  GlucoseSummary summary;
  AmbulatoryProfile profile{};
  DailyMeans dailyMeans;
};

// Beyond this many glucose readings the charts draw aggregates instead of points.
inline constexpr long kReportPointLimit = 5000;
// Beyond this many noted rows the table ends with a line that counts the rest.
inline constexpr long kReportNoteLimit = 2000;

// The message text of a number with its arguments filled in (Languages::GetMessageText).
using ReportMessages = std::function<std::string(int, const std::vector<std::string>&)>;

// Message numbers of the report's texts.
enum ReportMessage : int {
  kMsgReportTitle = 5800,
  kMsgReportExportFile = 5801,
  kMsgReportUnit = 5802,
  kMsgReportDateOrder = 5803,
  kMsgReportDayFirst = 5804,
  kMsgReportMonthFirst = 5805,
  kMsgReportMixedOrder = 5806,  // %1 rows day first, %2 month first
  kMsgReportDateRange = 5807,
  kMsgReportRangeText = 5808,  // %1 to %2
  kMsgReportRowsRead = 5809,
  kMsgReportRecords = 5810,
  kMsgReportCgm = 5811,
  kMsgReportValuesPerKind = 5812,
  kMsgReportGlucose = 5813,
  kMsgReportCarbs = 5814,
  kMsgReportInsulin = 5815,
  kMsgReportEvents = 5816,
  kMsgReportNotes = 5817,
  kMsgReportWeight = 5818,
  kMsgReportOther = 5819,
  kMsgReportGlucoseChart = 5820,
  kMsgReportOverlay = 5821,
  kMsgReportInsulinChart = 5822,
  kMsgReportCarbsChart = 5823,
  kMsgReportSkipped = 5824,
  kMsgReportLine = 5825,
  kMsgReportReason = 5826,
  kMsgReportNoDate = 5827,
  kMsgReportRefused = 5828,     // %1 values
  kMsgReportOtherOrder = 5829,  // %1 the order this row was read in
  kMsgReportNone = 5830,
  kMsgReportMore = 5831,  // %1 rows
  kMsgReportWarnings = 5832,
  kMsgReportTarget = 5833,  // %1 the range with its unit
  kMsgReportPoints = 5834,
  kMsgReportAggregated = 5835,  // %1 the point limit
  kMsgReportCreated = 5836,
  kMsgReportNoReadings = 5837,
  kMsgReportSerial = 5838,
  kMsgReportCount = 5839,
  kMsgReportValuesRefused = 5850,
  kMsgReportKeptAsText = 5851,
  kMsgReportDoseRefused = 5852,  // %1 and %2 the columns, %3 the values left out
  kMsgReportKeptReason = 5853,
  kMsgReportColumn = 5854,
  kMsgReportValue = 5855,
  kMsgReportFileOrder = 5856,  // %1 the order, %2 the dates that can only be read so
  kMsgReportSummary = 5860,
  kMsgReportPeriod = 5861,
  kMsgReportWholeExport = 5862,  // %1 to %2
  kMsgReportLastDays = 5863,     // %1 days, %2 to %3
  kMsgReportReadings = 5864,
  kMsgReportDaysWithReadings = 5865,
  kMsgReportPerDay = 5866,
  kMsgReportMean = 5867,
  kMsgReportSd = 5868,
  kMsgReportCv = 5869,
  kMsgReportGmi = 5870,
  kMsgReportNoGmi = 5871,  // %1 days, %2 the minimum
  kMsgReportShareOfReadings = 5872,
  kMsgReportShareOfTime = 5873,
  kMsgReportVeryLow = 5874,
  kMsgReportLow = 5875,
  kMsgReportInRange = 5876,
  kMsgReportHigh = 5877,
  kMsgReportVeryHigh = 5878,
  kMsgReportGoal = 5879,
  kMsgReportBelowGoal = 5880,
  kMsgReportAboveGoal = 5881,
  kMsgReportProfile = 5882,
  kMsgReportProfileLegend = 5883,  // %1 the minimum readings
  kMsgReportDailyMeans = 5884,
  kMsgReportMeanInsulin = 5885,  // %1 days
  kMsgReportBolus = 5886,
  kMsgReportBasal = 5887,
  kMsgReportMeanCarbs = 5888,     // %1 days
  kMsgReportHighLowCount = 5889,  // %1 HIGH, %2 LO
  kMsgReportSpotChecks = 5890,
  kMsgReportNoProfile = 5891,
};

// The page for the report. Every text from the report is escaped, so no file name, note
// or message can add markup. Runs on any thread.
std::string WriteHtmlReport(const ImportReport& report, const ReportMessages& messages);

}  // namespace tavrin
