// The process start and the main window's logic: the load sequence, the buttons and the
// ways the process ends from the window.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "platform/temp_files.h"
#include "shared/version.h"

namespace tavrin {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class MainWindowTest : public testing::AppFixture {};

// The settings file gets its switches, written with normal attributes when it is new; the
// language comes from the file, else from the system's locale.
TEST_F(MainWindowTest, StartupCompletesTheSettingsAndChoosesTheLanguage) {
  const std::string settings = ProgramFolder() + "TavrinPlugin.ini";
  WriteFile(settings, "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\n");
  Main(context);
  EXPECT_EQ(ReadFile(settings), "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\nNewerOnly=0\r\n");
  EXPECT_EQ(context.languages->Code() + std::to_string(platform.normalAttributeCalls.size()),
            "EN0");
  // A file that cannot be written stops nothing: the values read stay in force, the failure
  // is traced and the user is told.
  std::filesystem::permissions(FsPath(settings), std::filesystem::perms::owner_read);
  context.runMarker.reset();  // a new process
  Main(context);
  EXPECT_EQ(ReadFile(settings), "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\nNewerOnly=0\r\n");
  EXPECT_EQ(ui.messages.at(0).text, context.Message(5720, {settings}));
  EXPECT_TRUE(Traced({"Settings not saved: Path/File access error: Cannot replace file: " +
                      settings + " (read-only) (75)"}));
  std::filesystem::permissions(FsPath(settings), std::filesystem::perms::owner_all);
  std::filesystem::remove(FsPath(settings));  // (Windows removes no read-only file)
  context.runMarker.reset();
  Main(context);
  EXPECT_EQ(ReadFile(settings), "[Config]\r\nNewerOnly=0\r\nCreateDump=0\r\n");
  EXPECT_EQ(
      context.languages->Code() + std::to_string(platform.normalAttributeCalls.count(settings)),
      "DE1");
}

// The load writes its trace lines in order, takes the patient arguments (a marker without a
// value goes alone), removes the temporary files earlier runs left, takes the run marker
// that keeps a second process out, and sets the window's texts.
TEST_F(MainWindowTest, LoadTracesTakesTheRunMarkerAndSetsTheTexts) {
  const std::string left = dir.File("tmp") + kPathSep + "~tV1.xml";
  const decltype(platform.userValues) record = {
      {{"TavrinPlugin\\TempFilesToBeDeleted", "Anzahl"}, "1"},
      {{"TavrinPlugin\\TempFilesToBeDeleted", "1"}, left}};
  WriteFile(left, "<old/>");
  platform.userValues = record;
  ASSERT_TRUE(Load("-pid1 Meier -pid2 -pid3 01.02.1970 rest -pid4 "));
  // clang-format off
  EXPECT_TRUE(Traced({"Base folder: " + base, "Diary folder used: " + base + "Diaries" + kPathSep,
                      "Command line args: -pid1 Meier -pid2 -pid3 01.02.1970 rest -pid4 ",
                      "Base-Folder=" + context.paths.ConfigFolder(),
                      "Windows-Version-Info=Windows 7;6.1;64B=True", "Language-Info=DE",
                      std::string("TavrinPlugin-Version=") + kVersionText, "Zip-Available=False",
                      "CLArgs=-pid1 Meier -pid2 -pid3 01.02.1970 rest -pid4 ", "Locale[&H1] =",
                      "Locale[&H1011] =", "LanguageLocale=DEU (DE)", "[form_load] completed"}, true));
  // clang-format on
  EXPECT_EQ(context.patientValues, (std::array<std::string, 4>{"Meier", "", "01.02.1970", ""}));
  EXPECT_EQ(context.commandLine, "rest");
  EXPECT_FALSE(std::filesystem::exists(FsPath(left)));
  // A second process ends at the run marker before it deletes anything: the running one's
  // trace log stays whole although "DeleteLogOnStartup" is on by default.
  const std::string logBefore = ReadFile(context.trace.FilePath());
  ProcessContext second(platform, ui);
  EXPECT_THROW(Main(second), ProgramEnded);
  EXPECT_EQ(ReadFile(context.trace.FilePath()), logBefore);
  // A second start ends at the run marker, before the clean-up: the running one's files stay.
  WriteFile(left, "<old/>");
  platform.userValues = record;
  EXPECT_FALSE(Load());
  EXPECT_TRUE(std::filesystem::exists(FsPath(left)));
  const MainWindowTexts& texts = window.Texts();
  EXPECT_EQ(texts.closeButton + "|" + texts.startButton + "|" + texts.browseButton + "|" +
                texts.instruction,
            "Beenden|Daten &importieren|Durchsuchen|Bitte wählen Sie die Übergabedatei (von "
            "Tavrin App) aus...");
  EXPECT_TRUE(ui.messages.empty());
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
  EXPECT_EQ(
      ui.messages.at(0).text,
      "Folgender Fehler ist bei der Programmaktion 'Upload' aufgetreten: File not found (53)");
  EXPECT_TRUE(Traced({"Error: File not found (53)"}, true) && platform.heldFiles.empty());
}

// An unreadable file is skipped; a character the code page lacks shows as "?".
TEST_F(MainWindowTest, XmlOrJsonCommandLinePutsAHexDumpOnTheClipboard) {
  ASSERT_TRUE(Load(dir.File("unreadable.XML")));
  context.runMarker.reset();
  WriteFile(dir.File("stream.json"), "{\"ä€中\n");
  ASSERT_TRUE(Load(dir.File("stream.json")));
  EXPECT_EQ(platform.clipboard, "0x7B 0x22 0xE4 0x80 0x3F 0x0A ");
  // A file too large to dump is named in the trace; start-up goes on.
  context.runMarker.reset();
  std::filesystem::resize_file(FsPath(dir.File("stream.json")), (std::uintmax_t{16} << 20) + 1);
  platform.clipboard.clear();
  ASSERT_TRUE(Load(dir.File("stream.json")));
  EXPECT_EQ(platform.clipboard, "");
  EXPECT_NE(ReadFile(context.trace.FilePath())
                .find("Command-line file not dumped: Out of memory: " + dir.File("stream.json")),
            std::string::npos);
}

// Browse takes the chosen path without what follows its end; the dialog opens in the
// folder of the last choice, and the current folder comes back whatever the dialog did.
// Start needs an existing file and shows the reader's errors.
TEST_F(MainWindowTest, BrowseAndStartButtons) {
  ASSERT_TRUE(Load());
  ui.fileAnswers.push_back({true, std::string("/data/in/export.csv\0junk", 24), ""});
  window.cmdDurchsuchen_Click();
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  window.cmdDurchsuchen_Click();  // cancelled: the path stays
  EXPECT_EQ(window.txtImportDatei, "/data/in/export.csv");
  EXPECT_EQ(ui.fileDialogs[0].filter + "|" + ui.fileDialogs[0].title + "|" +
                ui.fileDialogs[0].initialFolder + "|" + ui.fileDialogs.at(1).initialFolder,
            "L|Tavrin-Import|*.csv|Alle|*.*|Import||/data/in/");
  EXPECT_EQ(platform.currentDirectory, dir.Path());

  // No press passes in silence, and a bad file is named with what is wrong with it; each
  // message is also traced, and the window stays.
  const std::string headerOnly = dir.File("header.csv");
  WriteFile(headerOnly, "Date;Time;x;G (mg/dL)" + std::string(17, ';') + "x\r\n");
  WriteFile(dir.File("short.csv"), "Datum;Zeit;Wert\r\n01.12.2026;08:00;120\r\n");
  const std::string joined = dir.File("joined.csv");
  WriteFile(joined, "Date;Time;x;G (mg/dL)" + std::string(17, ';') +
                        "x\r\n09.11.2026;08:00;;120\r\n" + "Date;Time;x;G (mmol/L)" +
                        std::string(17, ';') + "x\r\n09.11.2026;09:00;;5,5\r\n");
  WriteFile(dir.File("binary.csv"), std::string("\x7f"
                                                "ELF\0\x01\x02\xff\xfe",
                                                10));
  const std::pair<std::string, std::string> presses[] = {
      {"  ",
       "Bitte wählen Sie zuerst die Exportdatei der Tavrin App aus (Schaltfläche "
       "\"Durchsuchen\") oder geben Sie ihren Pfad ein."},
      {dir.File("missing.csv"),
       "Die Datei (" + dir.File("missing.csv") + ") konnte nicht gefunden werden!"},
      {dir.File("short.csv"), "Die Datei " + dir.File("short.csv") +
                                  " ist keine Exportdatei der Tavrin App: Ihre erste Zeile"},
      {dir.File("binary.csv"), "Die Datei " + dir.File("binary.csv") + " ist keine Exportdatei"},
      // The verdict on a file without data comes before any serial-number question.
      {headerOnly, "Die Datei " + headerOnly + " enthält keine Daten"},
      {joined, "Die Datei " + joined +
                   " enthält in Zeile 3 eine zweite Kopfzeile mit anderen "
                   "Einheiten (mmol/L statt mg/dL)."},
  };
  for (const auto& [path, shown] : presses) {
    ui.messages.clear();
    window.txtImportDatei = path;
    EXPECT_NO_THROW(window.cmdImportStarten_Click());
    ASSERT_EQ(ui.messages.size(), 1u) << path;
    EXPECT_TRUE(ui.messages[0].text.starts_with(shown) &&
                ui.messages[0].icon == MessageIcon::Exclamation)
        << ui.messages[0].text;
    // The log is ANSI text.
    EXPECT_TRUE(Traced({platform.Locale().Utf8ToAnsi(MessageTraceLine(ui.messages[0].text))}, true))
        << path;
  }
  EXPECT_TRUE(ui.noPatientDialogs.empty() && ui.entryDialogs.empty() && ui.autoDialogs.empty());
  EXPECT_TRUE(Traced({"Export not read: Subscript out of range (9)"}));
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(context)) && platform.startedCommands.empty());
  ui.messages.clear();

  // A folder is named for what it is; dates in two orders ask before anything is handed
  // over (here the answer is Cancel).
  window.txtImportDatei = dir.Path();
  window.cmdImportStarten_Click();
  window.txtImportDatei = dir.File("mixed.csv");
  WriteFile(window.txtImportDatei, "Date;Time;x;G (mg/dL)" + std::string(17, ';') +
                                       "x\r\n09.11.2026;08:00;;120\r\n13.11.2026;08:00;;130\r\n"
                                       "11.13.2026;08:00;;140\r\n");
  platform.regional = RegionalSettings::EnglishUS();
  window.cmdImportStarten_Click();
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, dir.Path() + " ist ein Ordner, keine Exportdatei.");
  EXPECT_TRUE(
      ui.messages[1].text.starts_with("Die Datumsangaben der Datei " + dir.File("mixed.csv")) &&
      ui.messages[1].buttons == MessageButtons::OkCancel);
  EXPECT_TRUE(platform.startedCommands.empty());
}

// Closing ends the process; unloading too, keeping this run's files, which the import tool
// may still read.
TEST_F(MainWindowTest, CloseAndUnloadEndTheProcessKeepingThisRunsFiles) {
  ASSERT_TRUE(Load());
  EXPECT_THROW(window.cmdSchliessen_Click(), ProgramEnded);
  EXPECT_TRUE(Traced({"User cancelled import."}, true) && platform.heldFiles.empty());

  ASSERT_TRUE(Load());
  const std::string file = window.TempFiles().GetTempFile("xml", cTempFiles::Record::kYes);
  WriteFile(file, "<x/>");
  EXPECT_THROW(window.Form_Unload(), ProgramEnded);
  EXPECT_TRUE(std::filesystem::exists(FsPath(file)) && platform.heldFiles.empty());
}

// The logo opens the maker's page; when the shell cannot, the user is told and the window
// stays.
TEST_F(MainWindowTest, LogoOpensTheMakersPageOrSaysWhyNot) {
  ASSERT_TRUE(Load());
  const std::size_t messagesBefore = ui.messages.size();
  window.imgKELSAR_Click();
  platform.shellOpenSucceeds = false;
  window.imgKELSAR_Click();
  EXPECT_EQ(platform.shellOpened, std::vector<std::string>(2, "https://www.kelsar.example/"));
  ASSERT_EQ(ui.messages.size(), messagesBefore + 1);
  EXPECT_EQ(ui.messages.back().text,
            "Folgender Fehler ist bei der Programmaktion 'open doc' aufgetreten: "
            "https://www.kelsar.example/");
  EXPECT_EQ(ui.messages.back().icon, MessageIcon::Information);
}

}  // namespace
}  // namespace tavrin
