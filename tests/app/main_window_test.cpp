#include "app/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_fixture.h"
#include "app/startup.h"
#include "handover/transfer_job.h"
#include "platform/end_program.h"
#include "platform/temp_files.h"
#include "shared/error.h"
#include "shared/version.h"

namespace tavrin {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

class MainWindowTest : public testing::AppFixture {
 protected:
  // Starts the process with a command line and runs the window's load sequence; true
  // when the window is ready, false when the process ended during load.
  bool Load(const std::string& commandLine) {
    context.rawCommandLine = commandLine;
    Main(context);
    try {
      window.Form_Load();
      return true;
    } catch (const ProgramEnded&) {
      return false;
    }
  }

  // The positions of the messages in the trace log, in the order given; fails when one
  // is missing or out of order.
  void ExpectTraceInOrder(const std::vector<std::string>& expected) {
    const std::vector<std::string> lines = TraceLines();
    auto from = lines.begin();
    for (const std::string& message : expected) {
      const auto found = std::find(from, lines.end(), message);
      ASSERT_NE(found, lines.end()) << "missing or out of order: " << message;
      from = found + 1;
    }
  }

  frmMeterImport window{context};
};

// --- Load sequence

TEST_F(MainWindowTest, LoadWritesItsTraceLinesInOrderAndSetsTheTexts) {
  ASSERT_TRUE(Load("-pid1 Meier -pid2 Anna rest"));

  const std::string configFolder = context.paths.ConfigFolder();
  ExpectTraceInOrder({
      "Base folder: " + base,
      "Diary folder used: " + base + "Diaries" + kPathSep,
      "Command line args: -pid1 Meier -pid2 Anna rest",
      "Base-Folder=" + configFolder,
      "Windows-Version-Info=Windows 7;6.1;64B=True",
      "Language-Info=DE",
      std::string("TavrinPlugin-Version=") + kVersionText,
      "Zip-Available=False",
      "CLArgs=-pid1 Meier -pid2 Anna rest",
      "Locale[&H1] =",
      "Locale[&H1011] =",
      "LanguageLocale=DEU (DE)",
      "[form_load] completed",
  });
  EXPECT_EQ(TraceLines().back(), "[form_load] completed");

  // The patient arguments went into the patient values.
  EXPECT_EQ(context.patientValues[0], "Meier");
  EXPECT_EQ(context.patientValues[1], "Anna");
  EXPECT_EQ(context.commandLine, "rest");

  const MainWindowTexts& texts = window.Texts();
  EXPECT_EQ(texts.caption, "Tavrin Plugin for Orvolux");
  EXPECT_EQ(texts.closeButton, "Beenden");
  EXPECT_EQ(texts.startButton, "Daten &importieren");
  EXPECT_EQ(texts.browseButton, "Durchsuchen");
  EXPECT_EQ(texts.instruction, "Bitte wählen Sie die Übergabedatei (von Tavrin App) aus...");
  EXPECT_EQ(texts.version, std::string("V ") + std::to_string(kVersionMajor) + "." +
                               std::to_string(kVersionMinor) + "." +
                               std::to_string(kVersionRevision));
  // The run marker is held from now on.
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, LoadRemovesTemporaryFilesOfEarlierRunsButKeepsThoseInUse) {
  const std::string left = dir.File("tmp") + kPathSep + "~tVp1.xml";
  const std::string inUse = dir.File("tmp") + kPathSep + "~tVp2.json";
  WriteFileBytes(left, "<old/>");
  WriteFileBytes(inUse, "{}");
  platform.lockedFiles.insert(inUse);
  const std::string key = "TavrinPlugin\\TempFilesToBeDeleted";
  platform.userValues[{key, "Anzahl"}] = "2";
  platform.userValues[{key, "1"}] = left;
  platform.userValues[{key, "2"}] = inUse;

  ASSERT_TRUE(Load(""));
  EXPECT_FALSE(std::filesystem::exists(FsPath(left)));
  EXPECT_TRUE(std::filesystem::exists(FsPath(inUse)));
  EXPECT_EQ((platform.userValues[{key, "Anzahl"}]), "1");
  EXPECT_EQ((platform.userValues[{key, "1"}]), inUse);
}

// --- Command-line rules during load

TEST_F(MainWindowTest, JobModeRunsTheTransferJobAndNeverShowsTheWindow) {
  EXPECT_FALSE(Load("-JOBID 17"));
  EXPECT_TRUE(TraceHas("Received 2.part transfer job: 17"));
  EXPECT_TRUE(window.Texts().caption.empty());
  // Job mode runs beside a window-mode process: it never takes the run marker.
  EXPECT_TRUE(platform.heldFiles.empty());
  EXPECT_FALSE(TraceHas("[form_load] completed"));
}

TEST_F(MainWindowTest, JobModeFailureIsReportedBeforeTheEnd) {
  WriteFileBytes(ProgramFolder() + "jobs" + kPathSep + "123456789.xml", "<IMPORT/>");
  platform.startFails = true;
  EXPECT_FALSE(Load("-jobid 123456789"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0].text,
      "Folgender Fehler ist bei der Programmaktion 'Upload' aufgetreten: File not found (53)");
  EXPECT_TRUE(TraceHas("Error: File not found (53)"));
}

TEST_F(MainWindowTest, HostCallFormWithAnExistingFileStartsNormally) {
  const std::string file = dir.File("export.csv");
  WriteFileBytes(file, "x");
  ASSERT_TRUE(Load("/ID:5 /f:" + file));
  EXPECT_EQ(context.commandLine, "");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, HostCallFormWithAMissingFileShows5577AndEnds) {
  const std::string file = dir.File("missing.csv");
  EXPECT_FALSE(Load("/ID:5 /f:" + file));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Die Datei (" + file + ") konnte nicht gefunden werden!");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(window.Texts().caption.empty());
}

TEST_F(MainWindowTest, SecondInstanceEndsAtTheGuardBeforeTheTexts) {
  // Another process holds the run marker.
  platform.heldFiles.insert(RunMarkerPath(context));
  EXPECT_FALSE(Load(""));
  EXPECT_TRUE(window.Texts().caption.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(TraceHas("[form_load] completed"));
  // The first process's marker is untouched.
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)));
}

// --- File dump

TEST_F(MainWindowTest, XmlOrJsonCommandLinePutsAHexDumpOnTheClipboard) {
  const std::string file = dir.File("stream.json");
  WriteFileBytes(file, "{\"ä\":1}");
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(platform.clipboard, "0x7B 0x22 0xE4 0x22 0x3A 0x31 0x7D ");
}

TEST_F(MainWindowTest, UnreadableDumpFileIsSkipped) {
  ASSERT_TRUE(Load(dir.File("nothing.xml")));
  EXPECT_EQ(platform.clipboard, "");
  EXPECT_TRUE(TraceHas("[form_load] completed"));
}

// --- Buttons

TEST_F(MainWindowTest, BrowseTakesTheChosenFileAndRemembersItsFolder) {
  ASSERT_TRUE(Load(""));
  ui.fileAnswers.push_back({true, "/data/in/export.csv", ""});
  window.cmdDurchsuchen_Click();
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].filter, "L|Tavrin-Import|*.csv|Alle|*.*");
  EXPECT_EQ(ui.fileDialogs[0].title, "Import");
  EXPECT_EQ(ui.fileDialogs[0].initialFolder, "");

  // Cancelled: the path stays; the next dialog opens in the folder of the last choice.
  window.cmdDurchsuchen_Click();
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  ASSERT_EQ(ui.fileDialogs.size(), 2u);
  EXPECT_EQ(ui.fileDialogs[1].initialFolder, "/data/in/");
}

TEST_F(MainWindowTest, StartDoesNothingWithoutAnExistingFile) {
  ASSERT_TRUE(Load(""));
  window.txtImportDatei = "";
  window.cmdImportStarten_Click();
  window.txtImportDatei = dir.File("missing.csv");
  window.cmdImportStarten_Click();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.statusTexts.empty());
  EXPECT_TRUE(platform.startedCommands.empty());
}

TEST_F(MainWindowTest, ReaderErrorIsShownAndTheWindowStays) {
  ASSERT_TRUE(Load(""));
  window.txtImportDatei = dir.File("short.csv");
  WriteFileBytes(window.txtImportDatei, "Datum;Zeit;Wert\r\n01.12.2026;08:00;120\r\n");
  EXPECT_NO_THROW(window.cmdImportStarten_Click());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("Internal Error: ", 0), 0u);
  EXPECT_NE(ui.messages[0].text.find(" (9)"), std::string::npos);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)));
}

TEST_F(MainWindowTest, CloseButtonEndsTheProcessAndReleasesTheMarker) {
  ASSERT_TRUE(Load(""));
  EXPECT_THROW(window.cmdSchliessen_Click(), ProgramEnded);
  EXPECT_EQ(TraceLines().back(), "User cancelled import.");
  EXPECT_TRUE(platform.heldFiles.empty());
}

TEST_F(MainWindowTest, UnloadEndsTheProcessKeepingThisRunsFiles) {
  ASSERT_TRUE(Load(""));
  const std::string file = window.TempFiles().GetTempFile("xml", true);
  WriteFileBytes(file, "<x/>");
  EXPECT_THROW(window.Form_Unload(), ProgramEnded);
  EXPECT_TRUE(std::filesystem::exists(FsPath(file)));
  EXPECT_TRUE(platform.heldFiles.empty());
}

}  // namespace
}  // namespace tavrin
