// One import from the main window's start button to the end of the process: the
// documents handed over, the trace, the dump folder, the ways a run ends early, and what
// failing writes leave behind.

#include "app/import_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "app/app_fixture.h"
#include "handover/import_call.h"
#include "importer/export_reader.h"
#include "importer/row_table.h"

namespace tavrin {
namespace {

using testing::ReadFile;

constexpr const char* kBgRow = "04.12.2026 07:45;1;132\r\n";
constexpr const char* kCgmRow = "04.12.2026 07:50;UDTCGMS;140\r\n";
constexpr const char* kRecordKey = "TavrinPlugin\\TempFilesToBeDeleted";

class ImportRunTest : public testing::AppFixture {
 protected:
  ImportRunTest() { window.txtImportDatei = dir.File("export.csv"); }

  // Loads the window (later runs only read the settings again) and runs the import, the
  // serial number typed by hand (none: the dialog is cancelled); true when the run ended
  // the process.
  bool Run(const std::string& rowText, const char* serial = "SN1", ExportReadResult read = {}) {
    if (loaded_) {
      context.runMarker.reset();  // the earlier run's process has ended
      Main(context);
    }
    loaded_ = loaded_ || Load();
    if (serial) {
      ui.noPatientAnswers.push_back(SerialNoPatientChoice::Manual);
      ui.entryAnswers.push_back({true, serial});
    }
    read.rows = RowTable::FromText(rowText);
    read.exportUnit = "mg/dL";
    return Ends([&] {
      EndPluginImport(
          context, window,
          RunImport(context, PluginImportRequest(window, window.txtImportDatei), std::move(read)));
    });
  }
  // The program, file and what follows the MAC of the only import tool call; the MAC must
  // cover the file's bytes.
  std::string OnlyCall() {
    EXPECT_EQ(platform.startedCommands.size(), 1u);
    const std::string line = platform.startedCommands.at(0);
    const std::size_t at = line.find(" import -filepath "), mac = line.find(" -filemac ");
    const std::string file = line.substr(at + 18, mac - at - 18);
    EXPECT_EQ(line.substr(mac + 10, 64), ComputeFileMac(context, ReadFile(file)));
    return line.substr(0, at) + "|" + file + "|" + line.substr(mac + 74);
  }
  std::string Recorded(const std::string& name) { return platform.userValues[{kRecordKey, name}]; }
  std::string Tool() const { return base + "_EXTRAS" + kPathSep + "KelsarImport.exe"; }
  bool loaded_ = false;
};

TEST_F(ImportRunTest, XmlOnlyRunCallsTheToolOnceInShortFormAndEnds) {
  platform.runProcess = [](const std::string&) { return 4u; };
  ASSERT_TRUE(Run(kBgRow));
  // Both temporary files are recorded for deletion at a later start.
  EXPECT_EQ(Recorded("Anzahl"), "2");
  const std::string file = Recorded("1");
  EXPECT_EQ(OnlyCall(), Tool() + "|" + file + "|");
  EXPECT_TRUE(file.ends_with(".xml") && ReadFile(file).starts_with("<?xml"));
  EXPECT_FALSE(std::filesystem::exists(FsPath(ProgramFolder() + "jobs")));
  EXPECT_TRUE(Traced({"Preparing data for Orvolux", "Creating stream for call",
                      "Started transfer: " + platform.startedCommands[0], "XML-Call-Results: 4|0|",
                      "Job completed."},
                     true));
  // The run marker is gone; the window let the tool come to the front while it ran.
  EXPECT_TRUE(platform.heldFiles.empty() && ui.messages.empty());
  EXPECT_EQ(ui.mainWindowOnTop, (std::vector<bool>{false, true}));
}

// With CGM readings the XML document waits as a transfer job while the JSON stream goes
// first in the long form; the dump keeps copies of both and the replay files, the JSON
// one written before the tool starts.
TEST_F(ImportRunTest, XmlAndJsonRunParksTheXmlAsJobAndDumpsBoth) {
  WriteSettings("CreateDump=1\r\n");
  const std::string folder =
      context.paths.ConfigFolder() + "Dump" + kPathSep + "20261204233508 Tavrin App" + kPathSep;
  bool replayBeforeStart = false;
  platform.runProcess = [&](const std::string&) {
    replayBeforeStart = std::filesystem::exists(FsPath(folder + "StartJSN.bat"));
    return 7u;
  };
  ASSERT_TRUE(Run(std::string(kBgRow) + kCgmRow));
  const std::string call = OnlyCall(), number = call.substr(call.size() - 9);
  ASSERT_TRUE(call.starts_with(Tool() + "|" + Recorded("2") + "| -jobid ")) << call;
  const std::string xml = ReadFile(folder + "stream.xml"), json = ReadFile(folder + "stream.json");
  EXPECT_EQ(xml + json, ReadFile(Recorded("1")) + ReadFile(Recorded("2")));
  EXPECT_EQ(ReadFile(ProgramFolder() + "jobs" + kPathSep + number + ".xml"), xml);
  EXPECT_TRUE(Traced({"Saving dump file", "Job-FIle created:  -jobid " + number,
                      "Started transfer: " + platform.startedCommands[0],
                      "JSON-Call-Results: 7|0|Currently not retrievable!", "Job completed."}));
  EXPECT_TRUE(replayBeforeStart);
  EXPECT_EQ(ReadFile(folder + "StartJSN.bat"),
            Tool() + " import -filepath " + folder + "stream.json -filemac " +
                ComputeFileMac(context, json) + " 2>errJSN.log\r\n");
  // The XML replay carries the XML document's own MAC.
  EXPECT_NE(ReadFile(folder + "StartXML.bat").find(" -filemac " + ComputeFileMac(context, xml)),
            std::string::npos);
  // Patient data, for the user's eyes only.
  for (const std::string& file : {Recorded("1"), folder + "stream.xml", context.trace.FilePath()}) {
    EXPECT_TRUE(testing::OwnerOnly(file)) << file;
  }

  // A dump folder that cannot be made does not stop the hand-over.
  std::filesystem::remove_all(FsPath(context.paths.ConfigFolder() + "Dump"));
  testing::WriteFile(context.paths.ConfigFolder() + "Dump", "in the way");
  ASSERT_TRUE(Run(kBgRow));
  EXPECT_TRUE(platform.startedCommands.size() == 2u && ui.messages.empty());
}

// Switched on, the import report of a hand-over that the tool accepted goes into the run's
// dump folder (made for it when no dump is kept) and is opened; a refused one leaves none.
TEST_F(ImportRunTest, ReportOfAnAcceptedHandOverIsWrittenAndOpened) {
  ExportReadResult read;
  ASSERT_TRUE(Run(kBgRow, "SN1", read));
  EXPECT_TRUE(platform.shellOpened.empty());  // off by default

  WriteSettings("CreateReport=1\r\n");
  ASSERT_TRUE(Run(kBgRow, "SN1", read));
  const std::string report = context.paths.ConfigFolder() + "Dump" + kPathSep +
                             "20261204233508 Tavrin App" + kPathSep + "report.html";
  EXPECT_EQ(platform.shellOpened, std::vector<std::string>{report});
  EXPECT_NE(ReadFile(report).find("<circle class=\"reading\""), std::string::npos);
  EXPECT_TRUE(testing::OwnerOnly(report));
  EXPECT_TRUE(Traced({"Report written: " + report, "Job completed."}));

  platform.runProcess = [](const std::string&) { return 4u; };
  ASSERT_TRUE(Run(kBgRow, "SN1", read));
  EXPECT_EQ(platform.shellOpened.size(), 1u);
}

// Values left out and rows skipped are told to the user, with where they are listed: the
// report when one was written, else the trace log; in the chosen language.
TEST_F(ImportRunTest, WhatWasLeftOutIsToldWithWhereItIsListed) {
  ExportReadResult read;
  ASSERT_TRUE(Run(kBgRow, "SN1", read));
  EXPECT_TRUE(ui.messages.empty());  // nothing left out: nothing to say
  read.valuesRefused = 3;
  read.rowsWithoutDate = 1;
  const std::string trace = context.paths.ConfigFolder() + "tVtrace.log";
  const std::string report = context.paths.ConfigFolder() + "Dump" + kPathSep +
                             "20261204233508 Tavrin App" + kPathSep + "report.html";
  const struct {
    std::string settings, language, text;
  } kCases[] = {
      {"", "DE",
       "Beim Import der Datei " + dir.File("export.csv") +
           " wurden 3 Werte nicht übernommen und 1 Zeilen ohne lesbares Datum übersprungen. "
           "Die Liste steht in der Protokolldatei:\r\n" +
           trace},
      {"CreateReport=1\r\n", "DE",
       "Die Liste mit Zeile, Spalte und Wert steht im Importbericht:\r\n" + report},
      {"CreateReport=1\r\n", "EN",
       "3 values were left out and 1 rows without a readable date were skipped. The list with "
       "line, column and value is in the import report:\r\n" +
           report},
  };
  // The language files the program ships, beside the program.
  std::filesystem::copy(FsPath(TAVRIN_SOURCE_DIR "/resources/Language"),
                        FsPath(ProgramFolder() + "Language"));
  for (const auto& c : kCases) {
    WriteSettings(c.settings, c.language);
    ui.messages.clear();
    ASSERT_TRUE(Run(kBgRow, "SN1", read));
    ASSERT_EQ(ui.messages.size(), 1u) << c.settings;
    EXPECT_TRUE(ui.messages[0].text.ends_with(c.text)) << ui.messages[0].text;
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  }
}

// A run without importable data says so; a run-time error shows the error's description
// and number and traces "Error: " instead of "Job completed."; both end the process.
TEST_F(ImportRunTest, RunsThatEndWithAMessage) {
  ASSERT_TRUE(Run("04.12.2026 07:45;0;5\r\n"));
  ASSERT_TRUE(platform.startedCommands.empty() && ui.messages.size() == 1u);
  EXPECT_EQ(ui.messages[0].text, "Die Datei " + dir.File("export.csv") +
                                     " enthält keine Daten, die importiert werden können.");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  EXPECT_TRUE(Traced({"Job completed."}, true) && platform.heldFiles.empty());

  platform.startFails = true;
  ASSERT_TRUE(Run(kBgRow));
  EXPECT_TRUE(ui.messages.at(1).text.ends_with(" aufgetreten: File not found (53)") &&
              ui.messages[1].icon == MessageIcon::None);
  EXPECT_TRUE(Traced({"Error: File not found (53)"}, true) && platform.heldFiles.empty());

  // Running out of memory is a run-time error like any other: told, traced, the end.
  platform.startFails = false;
  platform.runProcess = [](const std::string&) -> std::uint32_t { throw std::bad_alloc(); };
  ASSERT_TRUE(Run(kBgRow));
  EXPECT_TRUE(ui.messages.at(2).text.ends_with(" aufgetreten: Out of memory (7)"));
  EXPECT_TRUE(Traced({"Error: Out of memory (7)"}, true) && platform.heldFiles.empty());
}

TEST_F(ImportRunTest, StatusTextFollowsTheLanguageCode) {
  const std::pair<const char*, const char*> cases[] = {
      {"DE", "Daten zur Übergabe vorbereiten..."},
      {"en", "Prepare data for transfer to Orvolux..."},
      {"de", "Alle Daten synchronisieren (->Orvolux)..."},
  };
  for (const auto& [code, expected] : cases) {
    WriteSettings("", code);
    ui.statusTexts.clear();
    EXPECT_FALSE(Run(kBgRow, nullptr));  // cancelled at the serial-number dialog
    EXPECT_EQ(ui.statusTexts.at(0), expected) << code;
  }
}

// Fault injection: the N-th write, flush or rename fails, for N = 1, 2, ... until a run gets
// through. After every failure each file holds its old content or its new one, never a
// part of either, and the user has been told.
TEST_F(ImportRunTest, EveryFailedWriteLeavesOldOrNewContentAndTellsTheUser) {
  const std::string store = context.paths.ConfigFolder() + "KELSAR Relay.rly";
  const std::string jobs = ProgramFolder() + "jobs";
  testing::WriteFile(base + "_Extras/KELSAR/PC1_anna.txt",
                     "[currentpatient]\r\ndiary_filename=meier.dia\r\n");  // an open patient
  // The settings, the store, an empty temporary folder and a waiting job.
  const auto prepare = [&] {
    WriteSettings("NewerOnly=0\r\n");
    testing::WriteFile(store, "[SNMappings]\r\nAAAA=other\r\n");
    for (const std::string& folder : {dir.File("tmp"), jobs})
      std::filesystem::remove_all(FsPath(folder));
    std::filesystem::create_directories(FsPath(dir.File("tmp")));
    testing::WriteFile(jobs + "/123456789.xml", "<IMPORT/>");
    ui.messages.clear();
    ui.autoAnswers = {SerialAutoChoice::Auto};
  };
  // What the files hold; the names of documents differ from run to run.
  const auto contents = [&] {
    std::set<std::string> all = {"settings|" + ReadFile(ProgramFolder() + "TavrinPlugin.ini"),
                                 "store|" + ReadFile(store)};
    for (const std::string& folder : {dir.File("tmp"), jobs}) {
      for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder))) {
        all.insert("document|" + ReadFile(PathText(entry.path())));
      }
    }
    return all;
  };
  const std::pair<const char*, std::function<void()>> scenarios[] = {
      {"start-up and import run: settings, serial-number store, documents, job file",
       [&] { Run(std::string(kBgRow) + kCgmRow, nullptr); }},
      {"start-up's settings write-back, transfer-job step", [&] { Load("-jobid 123456789"); }}};
  for (const auto& [name, run] : scenarios) {
    SCOPED_TRACE(name);
    std::set<std::string> before, after;  // of a run in which nothing fails
    int n = 0;
    for (;; ++n) {
      prepare();
      if (n == 0) before = contents();
      platform.failAt = n;
      platform.writeSteps = 0;
      run();
      if (n == 0) after = contents();
      const bool failed = n > 0 && platform.writeSteps >= n;
      EXPECT_EQ(ui.messages.empty(), !failed) << n;
      if (n > 0 && !failed) break;  // no step failed: the run got through
      if (n == 1) {  // the start-up's settings write, made while holding the settings lock
        EXPECT_EQ(ui.messages.at(0).text,
                  context.Message(5720, {context.paths.SettingsFilePath()}));
        EXPECT_EQ(platform.locksAtFailure["TavrinPlugin\\Settings"], -1);
      }
      for (const std::string& content : contents()) {
        EXPECT_TRUE(before.count(content) || after.count(content)) << n << " " << content;
      }
    }
    EXPECT_GE(n, 10) << "too few steps were made to fail";
  }
}

}  // namespace
}  // namespace tavrin
