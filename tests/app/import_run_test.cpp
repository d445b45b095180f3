#include "app/import_run.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/main_window.h"
#include "platform/end_program.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::HmacHex;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr const char* kBgRow = "04.12.2026 07:45;1;132\r\n";
constexpr const char* kCgmRow = "04.12.2026 07:50;UDTCGMS;140\r\n";
constexpr const char* kIgnoredRow = "04.12.2026 07:45;0;5\r\n";
constexpr const char* kRecordKey = "TavrinPlugin\\TempFilesToBeDeleted";

// The parts of an import tool call: program, file, MAC and what follows the MAC.
struct ToolCall {
  std::string program, file, mac, rest;
};

ToolCall SplitCall(const std::string& line) {
  const std::size_t import = line.find(" import -filepath ");
  const std::size_t macAt = line.find(" -filemac ");
  if (import == std::string::npos || macAt == std::string::npos) return {};
  return {line.substr(0, import), line.substr(import + 18, macAt - import - 18),
          line.substr(macAt + 10, 64), line.substr(std::min(line.size(), macAt + 74))};
}

class ImportRunTest : public testing::AppFixture {
 protected:
  void Load() {
    context.rawCommandLine = "";
    Main(context);
    window.Form_Load();
    window.txtImportDatei = dir.File("export.csv");
  }

  // The user answers the serial-number dialogs: no patient open, serial typed by hand.
  void AnswerSerial(const std::string& serial) {
    ui.noPatientAnswers.push_back(SerialNoPatientChoice::Manual);
    ui.entryAnswers.push_back({true, serial});
  }

  // Runs the import; true when it ended the process.
  bool Run(const std::string& rowText) {
    try {
      RunImport(context, window, rowText, "mg/dL");
      return false;
    } catch (const ProgramEnded&) {
      return true;
    }
  }

  std::string Tool() const { return base + "_EXTRAS" + kPathSep + "KelsarImport.exe"; }
  std::string TempFolder() const { return dir.File("tmp") + kPathSep; }
  std::string DumpFolder() {
    return context.paths.ConfigFolder() + "Dump" + kPathSep + "20261204233508 Tavrin App" +
           kPathSep;
  }
  std::string RecordedPath(int number) {
    return platform.userValues[{kRecordKey, std::to_string(number)}];
  }
  std::vector<std::string> JobFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(FsPath(ProgramFolder() + "jobs"), ec)) {
      names.push_back(PathText(entry.path().filename()));
    }
    return names;
  }

  frmMeterImport window{context};
};

// --- Hand-over

TEST_F(ImportRunTest, XmlOnlyRunCallsTheToolOnceInShortFormAndEnds) {
  Load();
  AnswerSerial("SN1");
  platform.runProcess = [](const std::string&) { return 4u; };
  ASSERT_TRUE(Run(kBgRow));

  ASSERT_EQ(platform.startedCommands.size(), 1u);
  const std::string& command = platform.startedCommands[0];
  const ToolCall call = SplitCall(command);
  EXPECT_EQ(call.program, Tool());
  EXPECT_EQ(call.file.rfind(TempFolder() + "~tV", 0), 0u) << call.file;
  EXPECT_EQ(call.file.substr(call.file.size() - 4), ".xml");
  EXPECT_EQ(call.rest, "");
  // The MAC covers exactly the bytes of the file handed over.
  const std::string document = ReadFileBytes(call.file);
  EXPECT_EQ(document.rfind("<?xml", 0), 0u);
  EXPECT_EQ(call.mac, HmacHex(MacKey(), document));

  // Both temporary files are recorded for deletion at a later start.
  EXPECT_EQ((platform.userValues[{kRecordKey, "Anzahl"}]), "2");
  EXPECT_EQ(RecordedPath(1), call.file);
  EXPECT_TRUE(JobFiles().empty());
  EXPECT_EQ(window.Seriennummer(), "SN1");

  EXPECT_TRUE(TraceHas("Preparing data for Orvolux"));
  EXPECT_TRUE(TraceHas("Creating stream for call"));
  EXPECT_TRUE(TraceHas("Started transfer: " + command));
  EXPECT_TRUE(TraceHas("XML-Call-Results: 4|0|"));
  EXPECT_EQ(TraceLines().back(), "Job completed.");
  // The working folder is back and the run marker is gone.
  EXPECT_EQ(platform.currentDirectory, dir.Path());
  EXPECT_TRUE(platform.heldFiles.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImportRunTest, XmlAndJsonRunParksTheXmlAsJobAndCallsTheLongForm) {
  Load();
  AnswerSerial("SN1");
  platform.runProcess = [](const std::string&) { return 7u; };
  ASSERT_TRUE(Run(std::string(kBgRow) + kCgmRow));

  ASSERT_EQ(platform.startedCommands.size(), 1u);
  const std::string& command = platform.startedCommands[0];
  const ToolCall call = SplitCall(command);
  EXPECT_EQ(call.program, Tool());
  EXPECT_EQ(call.file.substr(call.file.size() - 5), ".json");
  const std::string json = ReadFileBytes(call.file);
  EXPECT_EQ(call.mac, HmacHex(MacKey(), json));

  // The XML document waits in the job folder for the second step.
  const std::vector<std::string> jobs = JobFiles();
  ASSERT_EQ(jobs.size(), 1u);
  const std::string jobNumber = jobs[0].substr(0, jobs[0].size() - 4);
  EXPECT_EQ(jobNumber.size(), 9u);
  EXPECT_EQ(call.rest, " -jobid " + jobNumber);
  const std::string xmlPath = RecordedPath(1);
  EXPECT_EQ(xmlPath.substr(xmlPath.size() - 4), ".xml");
  EXPECT_EQ(ReadFileBytes(ProgramFolder() + "jobs" + kPathSep + jobs[0]), ReadFileBytes(xmlPath));

  EXPECT_TRUE(TraceHas("Started transfer: " + command));
  EXPECT_TRUE(TraceHas("JSON-Call-Results: 7|0|Currently not retrievable!"));
  EXPECT_EQ(TraceLines().back(), "Job completed.");
}

TEST_F(ImportRunTest, RunWithoutImportableDataTellsTheUserAndEnds) {
  Load();
  AnswerSerial("SN1");
  ASSERT_TRUE(Run(kIgnoredRow));
  EXPECT_TRUE(platform.startedCommands.empty());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Die Datei " + dir.File("export.csv") +
                                     " enthält keine Daten, die importiert werden können.");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(TraceLines().back(), "Job completed.");
  EXPECT_TRUE(platform.heldFiles.empty());
}

// --- Cancel and errors

TEST_F(ImportRunTest, CancelInTheSerialDialogHandsNothingOverAndKeepsTheWindow) {
  Load();  // no answers: the serial-number dialog is cancelled
  EXPECT_FALSE(Run(kBgRow));
  EXPECT_TRUE(platform.startedCommands.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(TraceHas("Job completed."));
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)));
  EXPECT_FALSE(std::filesystem::exists(FsPath(RecordedPath(1))));
}

TEST_F(ImportRunTest, ToolThatCannotBeStartedShows5051AndEnds) {
  Load();
  AnswerSerial("SN1");
  platform.startFails = true;
  ASSERT_TRUE(Run(kBgRow));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0].text,
      "Folgender Fehler ist bei der Programmaktion 'Upload' aufgetreten: File not found (53)");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::None);
  EXPECT_EQ(TraceLines().back(), "Error: File not found (53)");
  EXPECT_FALSE(TraceHas("Job completed."));
  EXPECT_TRUE(platform.heldFiles.empty());
}

TEST_F(ImportRunTest, MissingToolFolderEndsTheRunWithAnError) {
  Load();
  AnswerSerial("SN1");
  std::filesystem::remove_all(FsPath(base + "_EXTRAS"));
  ASSERT_TRUE(Run(kBgRow));
  EXPECT_TRUE(platform.startedCommands.empty());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("(76)"), std::string::npos);
}

// --- Status texts

TEST_F(ImportRunTest, StatusTextFollowsTheLanguageCode) {
  const std::pair<const char*, const char*> cases[] = {
      {"DE", "Daten zur Übergabe vorbereiten..."},
      {"en", "Prepare data for transfer to Orvolux..."},
      {"de", "Alle Daten synchronisieren (->Orvolux)..."},
  };
  for (const auto& [code, expected] : cases) {
    WriteSettings("", code);
    Main(context);
    ui.statusTexts.clear();
    EXPECT_FALSE(Run(kBgRow));  // cancelled at the serial-number dialog
    ASSERT_FALSE(ui.statusTexts.empty()) << code;
    EXPECT_EQ(ui.statusTexts[0], expected) << code;
  }
}

// --- Dump

TEST_F(ImportRunTest, DumpKeepsCopiesAndReplayFiles) {
  WriteSettings("CreateDump=1\r\n");
  Load();
  AnswerSerial("SN1");
  ASSERT_TRUE(Run(std::string(kBgRow) + kCgmRow));

  const std::string folder = DumpFolder();
  const std::string xml = ReadFileBytes(folder + "stream.xml");
  const std::string json = ReadFileBytes(folder + "stream.json");
  EXPECT_EQ(xml, ReadFileBytes(RecordedPath(1)));
  EXPECT_EQ(json, ReadFileBytes(RecordedPath(2)));
  EXPECT_EQ(ReadFileBytes(folder + "StartJSN.bat"),
            Tool() + " import -filepath " + folder + "stream.json -filemac " +
                HmacHex(MacKey(), json) + " 2>errJSN.log\r\n");
  // The XML replay carries the XML document's own MAC.
  EXPECT_EQ(ReadFileBytes(folder + "StartXML.bat"),
            std::string("echo key=xxx{") + kGuid + "}\r\n" + Tool() + " import -filepath " +
                folder + "stream.xml -filemac " + HmacHex(MacKey(), xml) +
                " 2>errXml.log\r\npause\r\n");
  EXPECT_TRUE(TraceHas("Saving dump file"));
}

TEST_F(ImportRunTest, DumpFolderThatCannotBeMadeDoesNotStopTheHandOver) {
  WriteSettings("CreateDump=1\r\n");
  Load();
  AnswerSerial("SN1");
  // A file where the dump folder should be.
  WriteFileBytes(context.paths.ConfigFolder() + "Dump", "in the way");
  ASSERT_TRUE(Run(kBgRow));
  EXPECT_EQ(platform.startedCommands.size(), 1u);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(TraceLines().back(), "Job completed.");
}

// --- The whole start button, from the export file to the hand-over

TEST_F(ImportRunTest, StartButtonReadsTheExportAndHandsItOver) {
  Load();
  AnswerSerial("SN1");
  std::string header = "Date;Time;Col;Glucose (mg/dL)";
  std::string row = "04.12.2026;07:05;;132";
  for (int i = 4; i < 36; ++i) {
    header += ";Col";
    row += ";";
  }
  WriteFileBytes(window.txtImportDatei, header + "\r\n" + row + "\r\n");
  EXPECT_THROW(window.cmdImportStarten_Click(), ProgramEnded);
  ASSERT_EQ(platform.startedCommands.size(), 1u);
  const ToolCall call = SplitCall(platform.startedCommands[0]);
  EXPECT_NE(ReadFileBytes(call.file).find("132"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
