// A whole converter run on the fake platform: the files it writes, its summary, its exit
// codes for each kind of failure, the hand-over to a host installation's import tool,
// and the unattended user interface.

#include "cli/convert_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/console_ui.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_replace.h"
#include "platform/system_crypto.h"
#include "platform/system_platform.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(FsPath(path).parent_path());
  std::ofstream(FsPath(path), std::ios::binary) << text;
}

// Each run of the bundled sample export, with a host installation (configuration, patient
// list, tool folder) beside it: its exit code and a text it prints (an empty text: it
// prints nothing); the export stays as it was, and the document is written unless the run
// failed before the hand-over.
TEST(ConvertRunTest, EveryRunHasItsExitCodeAndMessage) {
  testing::TempDir dir;
  const auto F = [&](const std::string& name) { return dir.File(name); };
  SystemCrypto crypto;
  testing::FakePlatform platform;
  platform.crypto = &crypto;
  platform.programPath = F("bin/tavrin-convert");
  const std::string sample =
      *ReadFileBytes(TAVRIN_SOURCE_DIR "/examples/sample-export.csv", kMaxDocumentFileBytes);
  const std::string exportFile = F("sample-export.csv"), xml = F("sample-export.xml");
  const std::string host = F("host"), tools = host + "/_EXTRAS";
  WriteFile(host + "/ox2.ini", "[General]\r\nDiaryFolder=Diaries\r\n");
  WriteFile(host + "/Diaries/palist.xml", "<PATIENTS GUID=\"{0F3A1C55-2B7D}\" Version=\"2\">\r\n");
  std::string exportPath = exportFile;
  auto exportText = [&](std::string text) { return [&, text] { WriteFile(exportPath, text); }; };
  WriteFile(F("plain.ini"), "[Driver]\r\nXML=0\r\n");
  fs::create_directories(FsPath(tools));
  fs::create_symlink(FsPath(exportFile), FsPath(F("link.csv")));
  const std::string summary =
      "Export file:      " + exportFile +
      "\nRows read:        126\nRecords written:  134\nCGM readings:     0\n"
      "Rows skipped:     0\nSerial number:    unknown\nXML document:     " +
      xml + "\nImport tool:      exit code 0\n";
  // clang-format off
  const std::tuple<std::vector<std::string>, std::function<void()>, int, std::string> cases[] = {
    {{"--handover", host}, nullptr, kExitSuccess, summary},
    {{"--quiet"}, nullptr, kExitSuccess, ""},
    // Under US settings the German sample proves its day-first order; a row in the future
    // is warned about in the US form, and the warning is confirmed.
    {{"--regional", "en-us"}, nullptr, kExitSuccess,
     "Date order:       day first, as the export shows: 103 dates can only be read that way, none the other way"},
    {{"--regional", "en-us"}, exportText(sample + "25.12.2027;22:11;CET;140;;;;;;;;;;;;;;;;;\r\n"), kExitSuccess,
     "Datensatz aus diesem Import ist vom 12/25/2027 10:11:00 PM!"},
    {{}, exportText(sample + "not a date;12:00;CET;140;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;x;;;2001\r\n"), kExitSuccess,
     "Rows skipped:     1 without a readable date (line 128)"},
    // The settings file is only read; it may switch to the plain record list.
    {{"--settings", F("plain.ini")}, nullptr, kExitSuccess, "Record list:      " + xml},
    {{"--settings", F("none.ini")}, nullptr, kExitUsage, "settings file not found: " + F("none.ini")},
    {{}, exportText("Date;Time;Glucose\r\n09.11.2026;06:52;106\r\n"), kExitBadInput,
     "cannot read the export file " + exportFile + ": Subscript out of range (9)"},
    {{}, exportText(""), kExitBadInput, "the export file is empty: " + exportFile},
    {{}, exportText(sample.substr(0, sample.find('\n') + 1)), kExitConversion, "nothing to convert: the export holds no rows that can be imported (0 rows read)"},
    {{}, [&] { exportPath = F("nothing.csv"); }, kExitBadInput, "export file not found: " + F("nothing.csv")},
    {{}, [&] { exportPath = dir.Path(); }, kExitBadInput, "the export is a folder, not a file: " + dir.Path()},
    {{}, [&] { exportPath = "/dev/null"; }, kExitBadInput, "the export is a device, not a file: /dev/null"},
    {{}, [&] { exportPath = F("fifo"); ASSERT_EQ(mkfifo(exportPath.c_str(), 0600), 0); }, kExitBadInput,
     "the export is a named pipe (FIFO), not a file: " + F("fifo")},
    {{}, exportText(sample + "29.11.2026;23:00;CET;1e30;;;;;;;;;;;;;;;;;;\r\n"), kExitSuccess,
     "Values refused:   1 unreadable or out of range (line 128)"},
    // A date that can only be month first as well: the file proves neither order.
    {{"--regional", "en-us"}, exportText(sample + "11.13.2026;08:00;CET;140;;;;;;;;;;;;;;;;;\r\n"), kExitSuccess,
     "Warning:          the dates mix day/month orders (103 rows read day first, 18 month first)"},
    {{"-o", F("link.csv")}, nullptr, kExitUsage, "the output file would overwrite the export file: " + F("link.csv")},
    {{"-o", F("no/out.xml")}, nullptr, kExitConversion, "cannot write the output: Cannot create file: " + F("no/out.xml") + " (75)"},
    // A read-only output is not made writable.
    {{"-o", F("ro.xml")}, [&] { WriteFile(F("ro.xml"), ""); fs::permissions(F("ro.xml"), fs::perms::owner_read); }, kExitConversion, "cannot write the output: Cannot replace file: " + F("ro.xml") + " (read-only) (75)"},
    {{"--handover", F("none")}, nullptr, kExitHandoverFailed, "no usable Orvolux installation in " + F("none/")},
    {{"--handover", host, "-o", F("My Documents.xml")}, nullptr, kExitHandoverFailed,
     "the import tool cannot be given a path with blanks or quotes: " + F("My Documents.xml") + " (choose another output file with -o/--json)"},
    // The last rows break the hand-over one step further up each.
    {{"--handover", host}, [&] { platform.runProcess = [](const std::string&) { return 7u; }; },
     kExitHandoverFailed, "the import tool reported a failure: exit code 7 (Unknown patient), a login problem"},
    {{"--handover", host}, [&] { platform.startFails = true; }, kExitHandoverFailed, "hand-over failed: File not found (53)"},
    // Running out of memory anywhere is a numbered error of the step it happened in.
    {{"--handover", host}, [&] { platform.startFails = false; platform.runProcess = [](const std::string&) -> std::uint32_t { throw std::bad_alloc(); }; },
     kExitHandoverFailed, "hand-over failed: Out of memory (7)"},
    {{"--handover", host}, [&] { fs::remove_all(FsPath(tools)); }, kExitHandoverFailed, "cannot enter the import tool's folder " + tools + "/"},
    // An oversized patient list is refused before it is held.
    {{"--handover", host}, [&] { fs::resize_file(FsPath(host + "/Diaries/palist.xml"), (std::uintmax_t{64} << 20) + 1); }, kExitHandoverFailed,
     "cannot read the Orvolux installation: Out of memory: " + host + "/Diaries/palist.xml is larger than the 64 MiB the program reads of such a file (7)"},
  };
  // clang-format on
  for (const auto& [args, prepare, code, message] : cases) {
    SCOPED_TRACE(message);
    exportPath = exportFile;
    WriteFile(exportPath, sample);
    fs::remove(FsPath(xml));
    if (prepare) prepare();
    const std::optional<std::string> before = ReadFileBytes(exportPath, kMaxDocumentFileBytes);
    std::vector<std::string> line = args;
    line.push_back(exportPath);
    std::ostringstream out, err;
    EXPECT_EQ(RunConverter(ParseConvertOptions(line).options, platform, {out, err, false}), code);
    const std::string printed = out.str() + err.str();
    EXPECT_TRUE(!message.empty() || printed.empty()) << printed;
    EXPECT_NE(printed.find(code ? "tavrin-convert: " + message + "\n" : message), std::string::npos)
        << printed;
    EXPECT_EQ(ReadFileBytes(exportPath, kMaxDocumentFileBytes), before);
    EXPECT_EQ(fs::exists(FsPath(xml)), !code || (code == kExitHandoverFailed && args.size() == 2));
  }
  EXPECT_EQ(ReadFileBytes(F("plain.ini"), kMaxDocumentFileBytes), "[Driver]\r\nXML=0\r\n");
  EXPECT_TRUE(platform.startedCommands.at(0).starts_with(
      tools + "/KelsarImport.exe import -filepath " + xml + " -filemac "));
  // The progress bar counts rows by their line feeds; a last line may have none.
  WriteFile(F("a.csv"), "header\r\nrow1\r\nrow2");
  EXPECT_EQ(CountDataRows(F("a.csv")) * 10 + CountDataRows(F("missing.csv")), 20);
}

// An export in a folder whose full path is longer than the system takes in one call
// (PATH_MAX), named from that folder, is no output file: the documents are written beside
// it, and the full paths, too, tell the files apart.
TEST(ConvertRunTest, AnExportBeyondThePathLimit) {
  testing::TempDir dir;
  struct InTheTestsFolder : SystemPlatform {
    std::string program;
    std::string ProgramPath() override { return program; }
    DateTime Now() override { return {2026, 12, 4, 23, 35, 8}; }
  } platform;
  platform.program = dir.File("bin/tavrin-convert");
  const std::string sample =
      *ReadFileBytes(TAVRIN_SOURCE_DIR "/examples/sample-export.csv", kMaxDocumentFileBytes);
  // The chain is made and entered folder by folder; the test's own folder is kept open.
  const int start = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string deep = dir.Path();
  const std::string name(200, 'd');
  bool entered = ::chdir(deep.c_str()) == 0;
  while (entered && deep.size() <= PATH_MAX && ::mkdir(name.c_str(), 0700) == 0) {
    entered = ::chdir(name.c_str()) == 0;
    deep += "/" + name;
  }
  std::ofstream("export.csv", std::ios::binary) << sample;
  std::ostringstream out, err;
  const int code = RunConverter(ParseConvertOptions({"--regional", "de", "export.csv"}).options,
                                platform, {out, err, false});
  const bool written = fs::exists("export.xml");
  EXPECT_TRUE(::fchdir(start) == 0 && ::close(start) == 0 && entered);
  EXPECT_EQ(code, kExitSuccess) << err.str();
  EXPECT_TRUE(written && deep.size() > PATH_MAX);
  EXPECT_NE(out.str().find("XML document:     " + deep + "/export.xml\n"), std::string::npos);
  EXPECT_FALSE(IsSameFile(platform, deep + "/export.xml", deep + "/export.csv"));
  EXPECT_TRUE(IsSameFile(platform, deep + "/export.csv", deep + "/./export.csv"));
}

// An export whose every value is refused has nothing to convert, but its refusals are
// listed and its report written all the same.
TEST(ConvertRunTest, NothingToConvertStillListsTheRefusalsAndWritesTheReport) {
  testing::TempDir dir;
  testing::FakePlatform platform;
  const std::string exportPath = dir.File("refused.csv"), report = dir.File("report.html");
  WriteFile(exportPath, "Date;Time;;Glucose (mg/dL)" + std::string(18, ';') +
                            "\r\n04.12.2026;07:05;;1e30\r\n04.12.2026;08:05;;;;;;1.2.3;4\r\n");
  std::ostringstream out, err;
  const ParsedOptions parsed = ParseConvertOptions({"--report", report, exportPath});
  EXPECT_EQ(RunConverter(parsed.options, platform, {out, err, false}), kExitConversion);
  EXPECT_NE(err.str().find("Values refused:   3 unreadable or out of range (lines 2, 3)\n"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("tavrin-convert: nothing to convert"), std::string::npos);
  const std::string page = ReadFileBytes(report, kMaxDocumentFileBytes).value_or("");
  EXPECT_NE(
      page.find("<td class=\"n\">2</td><td>4 (Glucose (mg/dL))</td><td class=\"v\">1e30</td>"),
      std::string::npos);
  EXPECT_NE(
      page.find("<td class=\"v\">4+1.2.3</td><td>Insulindosis aus zwei Teilen (Spalten 9 und 8)"),
      std::string::npos);
}

// Nobody answers the converter's questions: the data-age warning is confirmed, everything
// else declined; the reader's counts drive a progress bar on a terminal.
TEST(ConsoleUiTest, QuestionsAreAnsweredAndTheBarFollowsTheCount) {
  std::ostringstream err, quietErr, noTerminal;
  ConsoleUi ui(err, false, true), quiet(quietErr, true, true), plain(noTerminal, false, false);
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNo, {}), MessageResult::No);
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNoCancel, {}), MessageResult::Cancel);
  for (ConsoleUi* each : {&ui, &quiet, &plain}) {
    EXPECT_EQ(each->ShowMessage("A\r\nB", "c", MessageButtons::OkCancel, {}), MessageResult::Ok);
    each->SetStatusText("Importiere 256...");  // no total yet: nothing to show
    each->SetExpectedRows(512);
    for (const char* text : {"Daten lesen", "Importiere 256...", "Importiere 9999999999999999999"})
      each->SetStatusText(text);
    each->EndProgress();
  }
  EXPECT_TRUE(
      err.str().ends_with("\r[###############---------------]  50%  256/512 rows"
                          "\r[##############################] 100%  512/512 rows\r\x1b[K"));
  // Quiet keeps the warning and the bar off.
  EXPECT_EQ(quietErr.str() + noTerminal.str(), "tavrin-convert: [c] A\nB (answered OK)\n");
  // A serial-number dialog means a missing serial number: said even when quiet.
  EXPECT_TRUE(!quiet.ShowSerialEntryDialog({}).confirmed && quietErr.str().ends_with("--serial\n"));
}

}  // namespace
}  // namespace tavrin
