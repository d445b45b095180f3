#include "formats/html_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "formats/xml_writer.h"

namespace tavrin {

namespace {

// The drawing area of every chart, in SVG user units; the page scales it to its width.
constexpr double kChartWidth = 760;
constexpr double kChartHeight = 240;
constexpr double kLeft = 44;  // room for the value labels
constexpr double kRight = 8;
constexpr double kTop = 8;
constexpr double kBottom = 22;  // room for the date labels
constexpr double kPlotWidth = kChartWidth - kLeft - kRight;
constexpr double kPlotHeight = kChartHeight - kTop - kBottom;

// A4 in portrait holds the charts at full width; colours survive black-and-white printing
// as shades, and no chart is split across two pages.
constexpr std::string_view kStyle =
    "body{font-family:sans-serif;font-size:10pt;color:#222;max-width:190mm;margin:8mm auto}"
    "h1{font-size:16pt;margin:0 0 4mm}h2{font-size:12pt;margin:6mm 0 2mm}"
    "h3{font-size:10pt;margin:3mm 0 1mm}"
    "table{border-collapse:collapse}td,th{padding:1mm 3mm;text-align:left;"
    "border-bottom:1px solid #ccc;vertical-align:top}td.n{text-align:right}"
    "td.v{font-family:monospace;white-space:pre-wrap;word-break:break-all}"
    "svg{width:100%;height:auto;display:block;page-break-inside:avoid}"
    ".axis{stroke:#888;stroke-width:0.5}.grid{stroke:#ddd;stroke-width:0.5}"
    ".label{font-size:9px;fill:#555}.target{fill:#d8f0d8}"
    ".reading{fill:#1f5fa8}.overlay{fill:#1f5fa8;fill-opacity:0.5}"
    ".high{fill:#c0392b;fill-opacity:1}.low{fill:#e67e22;fill-opacity:1}.span{stroke:#7fa7d4;"
    "stroke-width:1}.mean{fill:none;stroke:#1f5fa8;"
    "stroke-width:1.2}.insulin{fill:#6c4fa8}.carbs{fill:#c98a1b}"
    ".warning{border-left:3px solid #e67e22;padding-left:3mm}"
    // The summary and the profile fill the first printed page; the rest follows.
    "table.summary td,table.summary th{padding:0.6mm 3mm}table.summary td,table.ranges "
    "th{white-space:nowrap}p.note{font-size:8.5pt;color:#555;"
    "margin:1mm 0}.rest{break-before:page}svg.ranges{max-height:14mm}"
    ".range{stroke:#fff;stroke-width:0.5}.r0{fill:#8b1a1a}.r1{fill:#e0594b}.r2{fill:#3a9d4f}"
    ".r3{fill:#f2b134}.r4{fill:#e07b12}.swatch{display:inline-block;width:3mm;height:3mm;"
    "margin-right:1.5mm}.pair{display:flex;gap:4mm;align-items:flex-start}.agp-outer{fill:#9cc3e6}."
    "agp-inner{fill:#4f8fca}"
    ".agp-median{fill:none;stroke:#123f6e;stroke-width:1.6}"
    "@page{size:A4 portrait;margin:12mm}@media print{body{margin:0}svg.agp{max-height:62mm}}";

// Numbers in the page: "." as the decimal separator whatever the system's settings.
std::string Number(double value, int decimals) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  if (text == "-0" || text == "-0.0" || text == "-0.00") text.erase(0, 1);
  return text;
}

std::string Count(long value) {
  return std::to_string(value);
}

class PageWriter {
 public:
  PageWriter(const ImportReport& report, const ReportMessages& messages)
      : report_(report), messages_(messages), mmol_(report.exportUnit == "mmol/L") {
    glucoseMax_ = mmol_ ? 22.0 : 400.0;
    for (const ReportDay& day : report.days) {
      if (day.glucose.readings > 0)
        glucoseMax_ = std::max<double>(glucoseMax_, day.glucose.highest);
    }
    glucoseMax_ = std::ceil(glucoseMax_ / GlucoseStep()) * GlucoseStep();
    if (!report.days.empty()) {
      firstDay_ = report.days.front().day;
      dayCount_ = report.days.back().day - firstDay_ + 1;
    }
  }

  std::string Write() {
    page_.reserve(std::size_t{64} * 1024);
    page_ += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"";
    page_ += Escaped(report_.language.empty() ? "de" : report_.language);
    page_ += "\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>";
    page_ += Escaped(Text(kMsgReportTitle) + " - " + FileName(report_.exportPath));
    page_ += "</title>\n<style>";
    page_ += kStyle;
    page_ += "</style>\n</head>\n<body>\n<h1>" + Escaped(Text(kMsgReportTitle)) + "</h1>\n";
    Facts();
    Summary();
    Ranges();
    Profile();
    page_ += "<div class=\"rest\">\n";
    Counts();
    GlucoseChart();
    OverlayChart();
    DailyBars(kMsgReportInsulinChart, "insulin", [](const ReportDay& d) { return d.insulin; });
    DailyBars(kMsgReportCarbsChart, "carbs", [](const ReportDay& d) { return d.carbs; });
    Notes();
    Warnings();
    page_ += "</div>\n</body>\n</html>\n";
    return std::move(page_);
  }

 private:
  std::string Text(int number, const std::vector<std::string>& args = {}) const {
    return messages_ ? messages_(number, args) : std::string();
  }
  static std::string Escaped(std::string_view text) { return XmlEscapeAttribute(text); }
  static std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  void FactRow(int label, const std::string& value) {
    page_ += "<tr><th>" + Escaped(Text(label)) + "</th><td>" + Escaped(value) + "</td></tr>\n";
  }
  void CountRow(const std::string& label, long count) {
    page_ += "<tr><th>" + Escaped(label) + "</th><td class=\"n\">" + Count(count) + "</td></tr>\n";
  }
  void Heading(int label) { page_ += "<h2>" + Escaped(Text(label)) + "</h2>\n"; }

  void Facts() {
    page_ += "<table class=\"facts\">\n";
    FactRow(kMsgReportExportFile, report_.exportPath);
    FactRow(kMsgReportUnit, report_.exportUnit);
    FactRow(kMsgReportDateOrder, report_.dateOrder);
    FactRow(kMsgReportDateRange,
            report_.firstDate.empty()
                ? Text(kMsgReportNone)
                : Text(kMsgReportRangeText, {report_.firstDate, report_.lastDate}));
    if (!report_.serialNumber.empty()) FactRow(kMsgReportSerial, report_.serialNumber);
    FactRow(kMsgReportCreated, report_.createdAt);
    page_ += "</table>\n";
  }

  void Counts() {
    Heading(kMsgReportCount);
    page_ += "<table class=\"counts\">\n";
    CountRow(Text(kMsgReportRowsRead), report_.rowsRead);
    CountRow(Text(kMsgReportRecords), report_.recordsWritten);
    CountRow(Text(kMsgReportCgm), report_.cgmReadings);
    if (report_.valuesRefused > 0) CountRow(Text(kMsgReportValuesRefused), report_.valuesRefused);
    if (report_.glucoseKeptAsText > 0) {
      CountRow(Text(kMsgReportKeptAsText), report_.glucoseKeptAsText);
    }
    for (const ReportCount& kind : report_.valuesPerKind) {
      CountRow(Text(kMsgReportValuesPerKind) + ": " + kind.label, kind.count);
    }
    page_ += "</table>\n";
  }

  double GlucoseStep() const { return mmol_ ? 2.0 : 50.0; }
  double GlucoseY(double value) const {
    const double clamped = std::clamp(value, 0.0, glucoseMax_);
    return kTop + kPlotHeight * (1.0 - clamped / glucoseMax_);
  }
  // Days and minutes to the x axis of the glucose chart; a day takes its share of the
  // width, so the points of one day spread over it by their time of day.
  double TimeX(std::int32_t day, double minuteOfDay) const {
    const double span = static_cast<double>(std::max(dayCount_, 1)) * 1440.0;
    return kLeft + kPlotWidth * ((day - firstDay_) * 1440.0 + minuteOfDay) / span;
  }
  static double ClockX(double minuteOfDay) { return kLeft + kPlotWidth * minuteOfDay / 1440.0; }

  void OpenChart(std::string_view name) {
    page_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"" + std::string(name) +
             "\" viewBox=\"0 0 " + Number(kChartWidth, 0) + " " + Number(kChartHeight, 0) +
             "\" role=\"img\">\n";
  }
  void Label(double x, double y, const std::string& text, std::string_view anchor) {
    page_ += "<text class=\"label\" x=\"" + Number(x, 1) + "\" y=\"" + Number(y, 1) +
             "\" text-anchor=\"" + std::string(anchor) + "\">" + Escaped(text) + "</text>\n";
  }
  void HorizontalGrid(double top, double step, int decimals,
                      const std::function<double(double)>& toY) {
    for (double value = 0; value <= top + step / 2; value += step) {
      const double y = toY(value);
      page_ += "<line class=\"grid\" x1=\"" + Number(kLeft, 0) + "\" x2=\"" +
               Number(kChartWidth - kRight, 0) + "\" y1=\"" + Number(y, 1) + "\" y2=\"" +
               Number(y, 1) + "\"/>\n";
      Label(kLeft - 4, y + 3, Number(value, decimals), "end");
    }
  }
  // The first, middle and last day; the outer labels end at the edges of the drawing.
  void DateLabels() {
    if (report_.days.empty()) return;
    const double y = kChartHeight - 6;
    Label(kLeft, y, report_.days.front().date, "start");
    if (report_.days.size() >= 3) {
      const ReportDay& middle = report_.days[report_.days.size() / 2];
      Label(TimeX(middle.day, 720), y, middle.date, "middle");
    }
    if (report_.days.size() >= 2) Label(kChartWidth - kRight, y, report_.days.back().date, "end");
  }
  void ClockLabels() {
    for (int hour = 0; hour <= 24; hour += 3) {
      const double x = ClockX(hour * 60.0);
      page_ += "<line class=\"grid\" x1=\"" + Number(x, 1) + "\" x2=\"" + Number(x, 1) +
               "\" y1=\"" + Number(kTop, 0) + "\" y2=\"" + Number(kTop + kPlotHeight, 0) + "\"/>\n";
      // The first and last labels stay inside the drawing.
      Label(x, kChartHeight - 6, (hour < 10 ? "0" : "") + std::to_string(hour) + ":00",
            hour == 0    ? "start"
            : hour == 24 ? "end"
                         : "middle");
    }
  }
  void GlucoseFrame() {
    // The target range 70-180 mg/dL, or 3.9-10.0 mmol/L, as a band behind the points.
    const double low = mmol_ ? 3.9 : 70;
    const double high = mmol_ ? 10.0 : 180;
    page_ += "<rect class=\"target\" x=\"" + Number(kLeft, 0) + "\" y=\"" +
             Number(GlucoseY(high), 1) + "\" width=\"" + Number(kPlotWidth, 0) + "\" height=\"" +
             Number(GlucoseY(low) - GlucoseY(high), 1) + "\"/>\n";
    HorizontalGrid(glucoseMax_, GlucoseStep() * 2, 0, [this](double v) { return GlucoseY(v); });
  }
  void GlucoseNote() {
    const int decimals = mmol_ ? 1 : 0;
    std::string note =
        Text(kMsgReportTarget, {Number(mmol_ ? 3.9 : 70, decimals) + "-" +
                                Number(mmol_ ? 10.0 : 180, decimals) + " " + report_.exportUnit});
    note += ". ";
    note += report_.readings.empty() ? Text(kMsgReportAggregated, {Count(kReportPointLimit)})
                                     : Text(kMsgReportPoints);
    page_ += "<p class=\"note\">" + Escaped(note) + "</p>\n";
  }
  void Point(std::string_view kind, double x, const ReportReading& reading) {
    std::string mark;
    if (reading.mark == ReadingMark::kHigh) mark = " high";
    if (reading.mark == ReadingMark::kLow) mark = " low";
    page_ += "<circle class=\"" + std::string(kind) + mark + "\" cx=\"" + Number(x, 1) +
             "\" cy=\"" + Number(GlucoseY(reading.value), 1) + "\" r=\"" +
             (mark.empty() ? "1.8" : "3") + "\"/>\n";
  }
  // The lowest to highest reading of a span as a line, its mean joined into one line.
  void SpanLine(double x, const GlucoseSpan& span, std::string& meanPoints) {
    page_ += "<line class=\"span\" x1=\"" + Number(x, 1) + "\" x2=\"" + Number(x, 1) + "\" y1=\"" +
             Number(GlucoseY(span.lowest), 1) + "\" y2=\"" + Number(GlucoseY(span.highest), 1) +
             "\"/>\n";
    meanPoints += Number(x, 1) + "," + Number(GlucoseY(span.Mean()), 1) + " ";
  }
  void MeanLine(std::string& points) {
    if (points.empty()) return;
    points.pop_back();
    page_ += "<polyline class=\"mean\" points=\"" + points + "\"/>\n";
  }

  void GlucoseChart() {
    Heading(kMsgReportGlucoseChart);
    if (report_.glucoseReadings == 0) {
      page_ += "<p>" + Escaped(Text(kMsgReportNoReadings)) + "</p>\n";
      return;
    }
    GlucoseNote();
    OpenChart("glucose");
    GlucoseFrame();
    if (!report_.readings.empty()) {
      for (const ReportReading& reading : report_.readings) {
        Point("reading", TimeX(reading.day, reading.minuteOfDay), reading);
      }
    } else {
      std::string mean;
      for (const ReportDay& day : report_.days) {
        if (day.glucose.readings > 0) SpanLine(TimeX(day.day, 720), day.glucose, mean);
      }
      MeanLine(mean);
    }
    DateLabels();
    page_ += "</svg>\n";
  }

  void OverlayChart() {
    if (report_.glucoseReadings == 0) return;
    Heading(kMsgReportOverlay);
    OpenChart("overlay");
    GlucoseFrame();
    ClockLabels();
    if (!report_.readings.empty()) {
      for (const ReportReading& reading : report_.readings) {
        Point("overlay", ClockX(reading.minuteOfDay), reading);
      }
    } else {
      std::string mean;
      for (int bucket = 0; bucket < kReportBuckets; ++bucket) {
        const GlucoseSpan& span = report_.timeOfDay[static_cast<std::size_t>(bucket)];
        if (span.readings > 0) SpanLine(ClockX((bucket + 0.5) * kReportBucketMinutes), span, mean);
      }
      MeanLine(mean);
    }
    page_ += "</svg>\n";
  }

  void DailyBars(int title, std::string_view kind,
                 const std::function<double(const ReportDay&)>& valueOf) {
    double highest = 0;
    for (const ReportDay& day : report_.days) highest = std::max(highest, valueOf(day));
    if (highest <= 0) return;
    Heading(title);
    // A scale of 1, 2 or 5 times a power of ten, with four or five grid lines.
    const double rough = highest / 4;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double step = rough / power <= 1   ? power
                        : rough / power <= 2 ? 2 * power
                        : rough / power <= 5 ? 5 * power
                                             : 10 * power;
    const double top = std::ceil(highest / step) * step;
    const auto toY = [top](double v) { return kTop + kPlotHeight * (1.0 - v / top); };
    OpenChart(kind);
    HorizontalGrid(top, step, step < 1 ? 1 : 0, toY);
    const double width = kPlotWidth / std::max(dayCount_, 1);
    const double barWidth = std::max(width * 0.8, 0.3);
    for (const ReportDay& day : report_.days) {
      const double value = valueOf(day);
      if (value <= 0) continue;
      const double x = TimeX(day.day, 0) + (width - barWidth) / 2;
      page_ += "<rect class=\"" + std::string(kind) + "\" x=\"" + Number(x, 2) + "\" y=\"" +
               Number(toY(value), 1) + "\" width=\"" + Number(barWidth, 2) + "\" height=\"" +
               Number(kTop + kPlotHeight - toY(value), 1) + "\"><title>" + Escaped(day.date) +
               ": " + Number(value, 1) + "</title></rect>\n";
    }
    DateLabels();
    page_ += "</svg>\n";
  }

  // A figure of the summary in the page's language: a decimal comma in German.
  std::string Local(double value, int decimals) const {
    std::string text = Number(value, decimals);
    if (report_.language == "de") std::replace(text.begin(), text.end(), '.', ',');
    return text;
  }
  int GlucoseDecimals() const { return mmol_ ? 1 : 0; }
  std::string Glucose(double value) const {
    return Local(value, GlucoseDecimals()) + " " + report_.exportUnit;
  }
  void SummaryRow(int label, const std::string& value) {
    page_ += "<tr><th>" + Escaped(Text(label)) + "</th><td class=\"n\">" + Escaped(value) +
             "</td></tr>\n";
  }

  void Summary() {
    const GlucoseSummary& s = report_.summary;
    const ReportPeriod& period = report_.period;
    Heading(kMsgReportSummary);
    page_ += "<table class=\"summary\">\n";
    const std::string range =
        period.firstDate.empty() ? Text(kMsgReportNone)
        : period.lastDays > 0
            ? Text(kMsgReportLastDays, {Count(period.lastDays), period.firstDate, period.lastDate})
            : Text(kMsgReportWholeExport, {period.firstDate, period.lastDate});
    page_ += "<tr><th>" + Escaped(Text(kMsgReportPeriod)) + "</th><td>" + Escaped(range) +
             "</td></tr>\n";
    SummaryRow(kMsgReportReadings, Count(s.readings));
    if (s.readings > 0) {
      SummaryRow(kMsgReportDaysWithReadings, Count(s.days));
      SummaryRow(kMsgReportPerDay, Local(s.perDay, 1));
      SummaryRow(kMsgReportMean, Glucose(s.mean));
      SummaryRow(kMsgReportSd, Glucose(s.sd));
      SummaryRow(kMsgReportCv, Local(s.cv, 1) + " %");
      SummaryRow(kMsgReportGmi,
                 s.gmiPercent
                     ? Local(*s.gmiPercent, 1) + " % (" + Local(*s.gmiMmolPerMol, 0) + " mmol/mol)"
                     : Text(kMsgReportNoGmi, {Count(s.days), Count(kGmiMinimumDays)}));
    }
    page_ += "</table>\n";
  }

  // The five consensus ranges as one stacked bar and a table with the goals beside them.
  void Ranges() {
    const GlucoseSummary& s = report_.summary;
    if (s.readings == 0) {
      Means();
      return;
    }
    page_ += "<h3>" +
             Escaped(Text(s.timeWeighted ? kMsgReportShareOfTime : kMsgReportShareOfReadings)) +
             "</h3>\n";
    page_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"ranges\" viewBox=\"0 0 " +
             Number(kChartWidth, 0) + " 40\" role=\"img\">\n";
    static constexpr int kNames[kRangeCount] = {kMsgReportVeryLow, kMsgReportLow, kMsgReportInRange,
                                                kMsgReportHigh, kMsgReportVeryHigh};
    double x = 0;
    for (int range = 0; range < kRangeCount; ++range) {
      const double width = kChartWidth * s.shares[range] / 100;
      page_ += "<rect class=\"range r" + std::to_string(range) + "\" x=\"" + Number(x, 2) +
               "\" y=\"0\" width=\"" + Number(width, 2) + "\" height=\"40\"><title>" +
               Escaped(Text(kNames[range]) + ": " + Local(s.shares[range], 1) + " %") +
               "</title></rect>\n";
      x += width;
    }
    // The ranges with their goals and the daily means side by side, so that the summary
    // and the profile fit the first printed page.
    page_ += "</svg>\n<div class=\"pair\">\n<table class=\"summary ranges\">\n<tr><th></th><th>" +
             report_.exportUnit + "</th><th class=\"n\">%</th><th>" +
             Escaped(Text(kMsgReportGoal)) + "</th></tr>\n";
    const int d = GlucoseDecimals();
    const std::string limits[kRangeCount] = {
        "< " + Local(mmol_ ? 3.0 : 54, d),
        Local(mmol_ ? 3.0 : 54, d) + "\u2013" + Local(mmol_ ? 3.8 : 69, d),
        Local(mmol_ ? 3.9 : 70, d) + "\u2013" + Local(mmol_ ? 10.0 : 180, d),
        Local(mmol_ ? 10.1 : 181, d) + "\u2013" + Local(mmol_ ? 13.9 : 250, d),
        "> " + Local(mmol_ ? 13.9 : 250, d)};
    const std::string goals[kRangeCount] = {"< 1 %", "< 4 % " + Text(kMsgReportBelowGoal), "> 70 %",
                                            "< 25 % " + Text(kMsgReportAboveGoal), "< 5 %"};
    // Shown from the highest range down, as the bar reads upwards on a chart.
    for (int range = kRangeCount - 1; range >= 0; --range) {
      page_ += "<tr><th><span class=\"swatch r" + std::to_string(range) + "\"></span>" +
               Escaped(Text(kNames[range])) + "</th><td>" + Escaped(limits[range]) +
               "</td><td class=\"n\">" + Local(s.shares[range], 1) + "</td><td>" +
               Escaped(goals[range]) + "</td></tr>\n";
    }
    page_ += "</table>\n";
    Means();
    page_ += "</div>\n";
    std::string note =
        Text(kMsgReportHighLowCount, {Glucose(mmol_ ? 33.3 : 600), Glucose(mmol_ ? 1.1 : 20)});
    if (!s.timeWeighted) note += " " + Text(kMsgReportSpotChecks);
    page_ += "<p class=\"note\">" + Escaped(note) + "</p>\n";
  }

  // The ambulatory profile: per hour the median and the 25-75 % and 5-95 % bands, each
  // run of hours with enough readings drawn as one band.
  void Profile() {
    if (report_.summary.readings == 0) return;
    Heading(kMsgReportProfile);
    page_ += "<p class=\"note\">" +
             Escaped(Text(kMsgReportProfileLegend, {Count(kProfileMinimumReadings)})) + "</p>\n";
    // The profile's own scale: its bands, not the highest single reading, set the top.
    const double chartMax = glucoseMax_;
    double top = mmol_ ? 16 : 300;
    for (const auto& bin : report_.profile) {
      if (bin) top = std::max(top, bin->p95);
    }
    glucoseMax_ = std::ceil(top / GlucoseStep()) * GlucoseStep();
    OpenChart("agp");
    GlucoseFrame();
    ClockLabels();
    bool any = false;
    for (int start = 0; start < kProfileBins;) {
      if (!report_.profile[static_cast<std::size_t>(start)]) {
        ++start;
        continue;
      }
      int end = start;
      while (end < kProfileBins && report_.profile[static_cast<std::size_t>(end)]) ++end;
      ProfileRun(start, end);
      any = true;
      start = end;
    }
    page_ += "</svg>\n";
    glucoseMax_ = chartMax;
    if (!any) page_ += "<p>" + Escaped(Text(kMsgReportNoProfile)) + "</p>\n";
  }
  void ProfileRun(int start, int end) {
    // Hour centres; a single hour is drawn across the middle of its hour.
    std::vector<std::pair<double, ProfilePercentiles>> points;
    for (int hour = start; hour < end; ++hour) {
      points.emplace_back(hour * 60.0 + 30, *report_.profile[static_cast<std::size_t>(hour)]);
    }
    if (points.size() == 1) {
      points = {{start * 60.0 + 10, points[0].second}, {start * 60.0 + 50, points[0].second}};
    }
    const auto band = [&](std::string_view kind, double ProfilePercentiles::*upper,
                          double ProfilePercentiles::*lower) {
      std::string line;
      for (const auto& [minute, p] : points) {
        line += Number(ClockX(minute), 1) + "," + Number(GlucoseY(p.*upper), 1) + " ";
      }
      for (auto it = points.rbegin(); it != points.rend(); ++it) {
        line += Number(ClockX(it->first), 1) + "," + Number(GlucoseY(it->second.*lower), 1) + " ";
      }
      line.pop_back();
      page_ += "<polygon class=\"" + std::string(kind) + "\" points=\"" + line + "\"/>\n";
    };
    band("agp-outer", &ProfilePercentiles::p95, &ProfilePercentiles::p5);
    band("agp-inner", &ProfilePercentiles::p75, &ProfilePercentiles::p25);
    std::string median;
    for (const auto& [minute, p] : points) {
      median += Number(ClockX(minute), 1) + "," + Number(GlucoseY(p.p50), 1) + " ";
    }
    median.pop_back();
    page_ += "<polyline class=\"agp-median\" points=\"" + median + "\"/>\n";
  }

  void Means() {
    const DailyMeans& m = report_.dailyMeans;
    if (m.insulinDays == 0 && m.carbDays == 0) return;
    page_ += "<table class=\"summary\">\n<tr><th colspan=\"2\">" +
             Escaped(Text(kMsgReportDailyMeans)) + "</th></tr>\n";
    if (m.insulinDays > 0) {
      page_ += "<tr><th>" + Escaped(Text(kMsgReportMeanInsulin, {Count(m.insulinDays)})) +
               "</th><td class=\"n\">" + Local(m.insulin, 1) + "</td></tr>\n";
      SummaryRow(kMsgReportBolus, Local(m.bolus, 1));
      SummaryRow(kMsgReportBasal, Local(m.basal, 1));
    }
    if (m.carbDays > 0) {
      page_ += "<tr><th>" + Escaped(Text(kMsgReportMeanCarbs, {Count(m.carbDays)})) +
               "</th><td class=\"n\">" + Local(m.carbs, 0) + "</td></tr>\n";
    }
    page_ += "</table>\n";
  }

  void Notes() {
    Heading(kMsgReportSkipped);
    if (report_.notesTotal == 0) {
      page_ += "<p>" + Escaped(Text(kMsgReportNone)) + "</p>\n";
      return;
    }
    page_ += "<table class=\"skipped\">\n<tr><th>" + Escaped(Text(kMsgReportLine)) + "</th><th>" +
             Escaped(Text(kMsgReportColumn)) + "</th><th>" + Escaped(Text(kMsgReportValue)) +
             "</th><th>" + Escaped(Text(kMsgReportReason)) + "</th></tr>\n";
    for (const ReportRowNote& note : report_.notes) {
      page_ += "<tr><td class=\"n\">" + Count(note.line) + "</td><td>" + Escaped(note.column) +
               "</td><td class=\"v\">" + Escaped(note.value) + "</td><td>" + Escaped(note.reason) +
               "</td></tr>\n";
    }
    const long rest = report_.notesTotal - static_cast<long>(report_.notes.size());
    if (rest > 0) {
      page_ += "<tr><td></td><td></td><td></td><td>" +
               Escaped(Text(kMsgReportMore, {Count(rest)})) + "</td></tr>\n";
    }
    page_ += "</table>\n";
  }

  void Warnings() {
    Heading(kMsgReportWarnings);
    if (report_.warnings.empty()) {
      page_ += "<p>" + Escaped(Text(kMsgReportNone)) + "</p>\n";
      return;
    }
    for (const std::string& warning : report_.warnings) {
      // The message box's line breaks become the page's.
      std::string text = Escaped(warning);
      std::string broken;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
          broken += "<br/>";
          ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
          broken += "<br/>";
        } else {
          broken += text[i];
        }
      }
      page_ += "<p class=\"warning\">" + broken + "</p>\n";
    }
  }

  const ImportReport& report_;
  const ReportMessages& messages_;
  const bool mmol_;
  double glucoseMax_ = 400;
  std::int32_t firstDay_ = 0;
  std::int32_t dayCount_ = 0;
  std::string page_;
};

}  // namespace

std::string WriteHtmlReport(const ImportReport& report, const ReportMessages& messages) {
  return PageWriter(report, messages).Write();
}

}  // namespace tavrin
