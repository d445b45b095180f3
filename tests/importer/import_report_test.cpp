// The import report: a page that parses as XML, whose figures are those of the reading and
// the conversion, that shows every text as text, and that stays small for long exports.
#include "importer/import_report.h"

#include <gtest/gtest.h>

#include "../../tools/export_generator.h"
#include "fakes/well_formed.h"
#include "importer_process.h"

namespace tavrin {
namespace {

class FixedSerial : public SerialNumberSource {
 public:
  std::string ResolveSerialNumber(ProcessContext&) override { return "SN-1"; }
};

long Occurrences(std::string_view text, std::string_view part) {
  long count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

// The glucose lines of a row text, counted without the report's own reading of it.
long GlucoseLines(std::string_view rowText) {
  return Occurrences(rowText, ";1;");
}

class ImportReportTest : public ::testing::Test, public testing::ImporterProcess {
 protected:
  std::string Page(const std::string& path, const ExportReadResult& read, int lastDays = 0) {
    FixedSerial serial;
    converted = ConvertRows(*context, read.rows, read.exportUnit, serial);
    return ImportReportPage(*context, {path, read, converted, lastDays});
  }
  ConversionResult converted;
};

TEST_F(ImportReportTest, SamplePageParsesAndShowsTheFiguresOfTheRun) {
  // Months after the sample's dates: the old-data warning is shown, answered with OK.
  platform.now = testing::At(2027, 6, 1, 12, 0);
  ui.messageAnswers = {MessageResult::Ok};
  const std::string path = TAVRIN_SOURCE_DIR "/examples/sample-export.csv";
  const ExportReadResult read = ReadExportFile(*context, path);
  const std::string page = Page(path, read);

  EXPECT_EQ(testing::XmlFault(page), "");
  EXPECT_NE(page.find("<th>Gelesene Zeilen</th><td class=\"n\">" + std::to_string(read.linesRead) +
                      "</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<th>Geschriebene Datensätze</th><td class=\"n\">" +
                      std::to_string(converted.bgRecords) + "</td>"),
            std::string::npos);
  // One point per reading in the chart over time and in the daily overlay, the sample's
  // HIGH and LO marked in both.
  const long readings = GlucoseLines(read.rows.Text());
  ASSERT_GT(readings, 50);
  EXPECT_EQ(Occurrences(page, "<circle class=\"reading"), readings);
  EXPECT_EQ(Occurrences(page, "<circle class=\"overlay"), readings);
  EXPECT_EQ(Occurrences(page, " high\""), 2);
  EXPECT_EQ(Occurrences(page, " low\""), 2);
  EXPECT_NE(page.find("2026-11-09 06:52 bis 2026-11-29 22:01"), std::string::npos);
  // The warning as it was shown, its line breaks kept.
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(page.find("verstellt sind!<br/><br/>Sie finden"), std::string::npos);
}

TEST_F(ImportReportTest, SkippedRowsAndRefusedValuesAreListedByLineColumnAndText) {
  using tools::ExportGenerator;
  std::string rows = ExportGenerator::Header();
  rows += "04.12.2026;07:05;;100\r\n";
  rows += "gestern;08:00;;110\r\n";
  rows += "04.12.2026;09:00;;1e30;2\r\n";
  rows += "12.25.2026;10:00;;120\r\n";             // only month first ...
  rows += "13.11.2026;10:00;;<50;;;;1,2,3;4\r\n";  // ... and only day first: mixed
  const ExportReadResult read = ReadExportText(*context, rows);
  const std::string page = Page("export.csv", read);
  EXPECT_EQ(testing::XmlFault(page), "");
  const std::string glucose = "<td>4 (Glucose (mg/dL))</td>";
  for (const std::string& row : std::initializer_list<std::string>{
           "<td class=\"n\">5</td><td></td><td class=\"v\"></td><td>gemischte Reihenfolge von "
           "Tag und Monat: diese Zeile wurde als Monat vor Tag gelesen",
           "<td class=\"n\">3</td><td></td><td class=\"v\"></td><td>Datum oder Uhrzeit nicht "
           "lesbar",
           "<td class=\"n\">4</td>" + glucose +
               "<td class=\"v\">1e30</td><td>1 Wert(e) nicht als Zahl",
           "<td class=\"n\">6</td>" + glucose +
               "<td class=\"v\">&lt;50</td><td>Blutzucker ist keine Zahl",
           "<td class=\"v\">4+1,2,3</td><td>Insulindosis aus zwei Teilen (Spalten 9 und 8) nicht "
           "übernommen, weil ein Teil keine lesbare Zahl ist: die ganze Dosis fehlt (2 Wert(e))",
           std::string("gemischt: 3 Zeilen mit dem Tag zuerst, 1 mit dem Monat zuerst"),
           std::string("<tr><th>Abgelehnte Werte</th><td class=\"n\">3</td></tr>"),
           std::string(
               "<tr><th>Blutzuckerwerte als Text übernommen</th><td class=\"n\">1</td></tr>")}) {
    EXPECT_NE(page.find(row), std::string::npos) << row;
  }
  // "<50" names no value to draw: the two readings with a number are drawn.
  EXPECT_EQ(Occurrences(page, "<circle class=\"reading"), 2);
  // A file that proves its order says so where the order is named.
  const ExportReadResult proven = ReadExportText(
      *context, ExportGenerator::Header() + "12.25.2026;10:00;;120\r\n04.12.2026;07:05;;100\r\n");
  EXPECT_NE(Page("export.csv", proven)
                .find("<td>Monat vor Tag, wie die Datei zeigt: 1 Datumsangaben lassen sich nur so "
                      "lesen</td>"),
            std::string::npos);
}

// The clinician's first page: the period, the glucose figures with their ranges, the
// profile and the daily means, in the language's number format.
TEST_F(ImportReportTest, SummaryOfTheLastDaysWithRangesProfileAndDailyMeans) {
  std::string rows = tools::ExportGenerator::Header();
  rows += "01.12.2026;08:00;;300;;;;;;;;;;;;;;;;;\r\n";  // before the period: left out
  for (const char* day : {"02.12.2026", "03.12.2026"}) {
    for (const char* reading : {";08:00;;50;4;;;;;;;60", ";08:30;;100", ";08:40;;120;2;10",
                                ";08:50;;Hoch", ";09:10;;130"}) {
      rows += day + std::string(reading) + "\r\n";
    }
  }
  const ExportReadResult read = ReadExportText(*context, rows);
  const std::string page = Page("export.csv", read, 2);
  EXPECT_EQ(testing::XmlFault(page), "");
  // Readings 50 100 120 600 130 on each day: mean 200, SD 212.8 (n - 1 = 9).
  for (const char* part :
       {"<td>die letzten 2 Tage: 2026-12-02 bis 2026-12-03</td>",
        "<th>Messwerte</th><td class=\"n\">10</td>", "<td class=\"n\">5,0</td>",
        "<th>Mittelwert</th><td class=\"n\">200 mg/dL</td>",
        "<th>Standardabweichung (SD)</th><td class=\"n\">213 mg/dL</td>",
        "<td class=\"n\">106,4 %</td>",
        "<td class=\"n\">nicht angegeben: 2 Tage mit Messwerten, der GMI braucht mindestens "
        "14</td>",
        "sehr hoch</th><td>&gt; 250</td><td class=\"n\">20,0</td><td>&lt; 5 %</td>",
        "im Zielbereich</th><td>70\u2013180</td><td class=\"n\">60,0</td>",
        "sehr niedrig</th><td>&lt; 54</td><td class=\"n\">20,0</td>",
        "Insulin im Mittel (Einheiten; 2 Tage mit Einträgen)</th><td class=\"n\">16,0</td>",
        "<th>davon Bolus</th><td class=\"n\">6,0</td>",
        "<th>davon Basal</th><td class=\"n\">10,0</td>",
        "Kohlenhydrate im Mittel (2 Tage mit Einträgen)</th><td class=\"n\">60</td>",
        "Messwerte eines Messgeräts oder der App sind Einzelmessungen"}) {
    EXPECT_NE(page.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(Occurrences(page, "<rect class=\"range r"), 5);
  // Ten readings in hours 8 and 9: hours 7 to 10 hold five or more in their window.
  EXPECT_EQ(Occurrences(page, "<polygon class=\"agp-outer\""), 1);
  EXPECT_EQ(Occurrences(page, "<polygon class=\"agp-inner\""), 1);
  EXPECT_EQ(Occurrences(page, "<polyline class=\"agp-median\""), 1);
  EXPECT_LT(page.find("agp-median"), page.find("<div class=\"rest\">"));
}

TEST_F(ImportReportTest, EveryTextIsEscaped) {
  ImportReport report;
  report.exportPath = "C:\\Daten\\<b>Müller</b> & \"Söhne\" 'x'.csv";
  report.notes = {{7, "4 (<u>)", "\x01<b>", "<script>alert(1)</script>"}};
  report.notesTotal = 1;
  report.warnings = {"a < b & c\r\n<i>"};
  const std::string page = WriteHtmlReport(report, [](int, const std::vector<std::string>& args) {
    return args.empty() ? std::string("<&>") : args[0];
  });
  EXPECT_EQ(testing::XmlFault(page), "");
  EXPECT_NE(page.find("&lt;b&gt;Müller&lt;/b&gt; &amp; &quot;Söhne&quot; &apos;x&apos;.csv"),
            std::string::npos);
  EXPECT_NE(page.find("a &lt; b &amp; c<br/>&lt;i&gt;"), std::string::npos);
  EXPECT_NE(page.find("<td>4 (&lt;u&gt;)</td><td class=\"v\">\uFFFD&lt;b&gt;</td>"),
            std::string::npos);
  for (const char* raw : {"<b>", "<script>", "<i>", "<&>", "<u>"}) {
    EXPECT_EQ(page.find(raw), std::string::npos) << raw;
  }
}

TEST_F(ImportReportTest, LongExportsAreDrawnAsAggregates) {
  // Two readings more than the point limit, over 200 days, in mmol/L.
  std::string rowText;
  for (long i = 0; i < kReportPointLimit + 2; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%02ld.%02ld.2026 %02ld:%02ld;1;%ld\r\n", i % 28 + 1,
                  (i / 28) % 12 + 1, i % 24, i % 60, 60 + i % 200);
    rowText += line;
  }
  ExportReadResult read;
  read.rows = RowTable::FromText(rowText);
  read.exportUnit = "mmol/L";
  const std::string page = Page("long.csv", read);
  EXPECT_EQ(testing::XmlFault(page), "");
  EXPECT_EQ(Occurrences(page, "<circle"), 0);
  EXPECT_EQ(Occurrences(page, "<polyline class=\"mean\""), 2);
  EXPECT_NE(page.find("Zielbereich 3.9-10.0 mmol/L"), std::string::npos);
  EXPECT_LT(page.size(), 400u * 1024);
}

}  // namespace
}  // namespace tavrin
