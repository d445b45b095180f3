#include "app/main_window.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "platform/temp_files.h"
#include "shared/error.h"
#include "shared/version.h"

namespace tavrin {
namespace {

using testing::WriteFile;

class MainWindowTest : public testing::AppFixture {};

TEST_F(MainWindowTest, LoadWritesItsTraceLinesInOrderAndSetsTheTexts) {
  ASSERT_TRUE(Load("-pid1 Meier -pid2 Anna rest"));
  // clang-format off
  EXPECT_TRUE(Traced({"Base folder: " + base, "Diary folder used: " + base + "Diaries" + kPathSep,
                      "Command line args: -pid1 Meier -pid2 Anna rest",
                      "Base-Folder=" + context.paths.ConfigFolder(),
                      "Windows-Version-Info=Windows 7;6.1;64B=True", "Language-Info=DE",
                      std::string("TavrinPlugin-Version=") + kVersionText, "Zip-Available=False",
                      "CLArgs=-pid1 Meier -pid2 Anna rest", "Locale[&H1] =", "Locale[&H1011] =",
                      "LanguageLocale=DEU (DE)", "[form_load] completed"}));
  // clang-format on
  EXPECT_TRUE(TracedLast("[form_load] completed"));
  // The patient arguments went into the patient values.
  EXPECT_EQ(context.patientValues[0] + "|" + context.patientValues[1] + "|" + context.commandLine,
            "Meier|Anna|rest");
  const MainWindowTexts& texts = window.Texts();
  EXPECT_EQ(texts.caption + "|" + texts.closeButton + "|" + texts.startButton + "|" +
                texts.browseButton + "|" + texts.instruction,
            "Tavrin Plugin for Orvolux|Beenden|Daten &importieren|Durchsuchen|Bitte wählen Sie die "
            "Übergabedatei (von Tavrin App) aus...");
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
  WriteFile(left, "<old/>");
  WriteFile(inUse, "{}");
  platform.lockedFiles.insert(inUse);
  const std::string key = "TavrinPlugin\\TempFilesToBeDeleted";
  platform.userValues = {{{key, "Anzahl"}, "2"}, {{key, "1"}, left}, {{key, "2"}, inUse}};
  // A second process ends at the guard before the clean-up: the running one's files stay.
  platform.heldFiles.insert(RunMarkerPath(context));
  EXPECT_FALSE(Load());
  EXPECT_TRUE(std::filesystem::exists(FsPath(left)));
  platform.heldFiles.clear();
  ASSERT_TRUE(Load());
  EXPECT_FALSE(std::filesystem::exists(FsPath(left)));
  EXPECT_TRUE(std::filesystem::exists(FsPath(inUse)));
  EXPECT_EQ((platform.userValues[{key, "Anzahl"}]) + (platform.userValues[{key, "1"}]),
            "1" + inUse);
}

// Job mode holds the run marker while it hands its document over, or runs beside the
// window-mode process that holds it; a failing second step is reported before the end.
TEST_F(MainWindowTest, JobModeFailureIsReportedBeforeTheEnd) {
  EXPECT_FALSE(Load("-JOBID 17"));  // no such job: traced only
  EXPECT_TRUE(Traced({"Job 17 file does not exists."}) && ui.messages.empty());
  const std::string job = ProgramFolder() + "jobs" + kPathSep + "123456789.xml";
  std::vector<std::size_t> markersHeld;  // while the tool runs
  platform.runProcess = [&](const std::string&) {
    return markersHeld.push_back(platform.heldFiles.size()), 0u;
  };
  for (const bool otherRun : {false, true}) {
    WriteFile(job, "<IMPORT/>");
    if (otherRun) platform.heldFiles.insert(RunMarkerPath(context));
    EXPECT_FALSE(Load("-jobid 123456789"));
  }
  EXPECT_EQ(markersHeld, (std::vector<std::size_t>{1, 1}));
  platform.heldFiles.clear();
  WriteFile(job, "<IMPORT/>");
  platform.startFails = true;
  EXPECT_FALSE(Load("-jobid 123456789"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0].text,
      "Folgender Fehler ist bei der Programmaktion 'Upload' aufgetreten: File not found (53)");
  EXPECT_TRUE(Traced({"Error: File not found (53)"}));
  EXPECT_TRUE(window.Texts().caption.empty() && platform.heldFiles.empty());
}

TEST_F(MainWindowTest, HostCallFormWithAMissingFileShows5577AndEnds) {
  EXPECT_FALSE(Load("/ID:5 /f:" + dir.File("missing.csv")));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Die Datei (" + dir.File("missing.csv") + ") konnte nicht gefunden werden!");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(MainWindowTest, XmlOrJsonCommandLinePutsAHexDumpOnTheClipboard) {
  const std::string file = dir.File("stream.json");
  WriteFile(file, "{\"ä\":1}");
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(platform.clipboard, "0x7B 0x22 0xE4 0x22 0x3A 0x31 0x7D ");
}

TEST_F(MainWindowTest, UnreadableDumpFileIsSkipped) {
  ASSERT_TRUE(Load(dir.File("nothing.xml")));
  EXPECT_EQ(platform.clipboard, "");
}

TEST_F(MainWindowTest, BrowseTakesTheChosenFileAndRemembersItsFolder) {
  ASSERT_TRUE(Load());
  ui.fileAnswers.push_back({true, "/data/in/export.csv", ""});
  window.cmdDurchsuchen_Click();
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].filter + "|" + ui.fileDialogs[0].title + "|" +
                ui.fileDialogs[0].initialFolder,
            "L|Tavrin-Import|*.csv|Alle|*.*|Import|");
  // Cancelled: the path stays; the next dialog opens in the folder of the last choice.
  window.cmdDurchsuchen_Click();
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  EXPECT_EQ(ui.fileDialogs.at(1).initialFolder, "/data/in/");
}

TEST_F(MainWindowTest, StartNeedsAnExistingFileAndShowsReaderErrors) {
  ASSERT_TRUE(Load());
  for (const std::string& path : {std::string(), dir.File("missing.csv")}) {
    window.txtImportDatei = path;
    window.cmdImportStarten_Click();
  }
  EXPECT_TRUE(ui.messages.empty() && ui.statusTexts.empty() && platform.startedCommands.empty());

  window.txtImportDatei = dir.File("short.csv");
  WriteFile(window.txtImportDatei, "Datum;Zeit;Wert\r\n01.12.2026;08:00;120\r\n");
  EXPECT_NO_THROW(window.cmdImportStarten_Click());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("Internal Error: ", 0), 0u);
  EXPECT_TRUE(ui.messages[0].text.ends_with(" (9)")) << ui.messages[0].text;
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)));
}

TEST_F(MainWindowTest, CloseAndUnloadEndTheProcessKeepingThisRunsFiles) {
  ASSERT_TRUE(Load());
  EXPECT_THROW(window.cmdSchliessen_Click(), ProgramEnded);
  EXPECT_TRUE(TracedLast("User cancelled import."));
  EXPECT_TRUE(platform.heldFiles.empty());

  ASSERT_TRUE(Load());
  const std::string file = window.TempFiles().GetTempFile("xml", true);
  WriteFile(file, "<x/>");
  EXPECT_THROW(window.Form_Unload(), ProgramEnded);
  EXPECT_TRUE(std::filesystem::exists(FsPath(file)));
  EXPECT_TRUE(platform.heldFiles.empty());
}

}  // namespace
}  // namespace tavrin
