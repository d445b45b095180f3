// The built programs against a sample host: the plug-in through its terminal front end
// reads an export, settles a serial number through its dialogs and hands the host XML
// document (or the JSON stream and a transfer job) to the stand-in import tool, which
// checks the document's check value and MAC and records the call; the converter hands
// its document over the same way.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/import_run.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "e2e/e2e_support.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "formats/golden_file.h"
#include "importer/row_table.h"
#include "platform/posix/posix_platform.h"
#include "platform/process_context.h"
#include "shared/error.h"

namespace tavrin::e2e {
namespace {

constexpr std::string_view kCaption = "Tavrin Plugin for Orvolux";

class Flow : public ::testing::Test {
 protected:
  Flow() : host(temp.Path()) {}

  testing::TempDir temp;
  SampleHost host;
  // The answers that type the export's path and start the import.
  const std::string start = host.WriteExport() + "\n2\n";
};

// The end-to-end tests trust the stand-in's verdicts, so it must accept sound documents
// and refuse damaged ones for the right reason: the golden documents, written by hand,
// pass its independent check-value and checksum tests. A MAC that fits is what every
// flow's document carries; here each call brings one that does not.
TEST_F(Flow, StandinJudgesCheckValuesAndMacs) {
  const std::string xml = testing::GoldenFile("formats/mgdl.xml");
  const std::string json = testing::GoldenFile("formats/entries_and_gaps.json");
  const auto replaced = [](std::string text, std::string_view from, std::string_view to) {
    return text.replace(text.find(from), from.size(), to);
  };
  const std::pair<std::string, const char*> cases[] = {
      {xml, "yes no yes 10"},
      {testing::GoldenFile("formats/static_serial_mmol.xml"), "yes no yes 10"},
      {json, "yes no yes 10"},
      {testing::GoldenFile("formats/single_reading.json"), "yes no yes 10"},
      {testing::GoldenFile("formats/central_european_entries.json"), "yes no yes 10"},
      {replaced(xml, "Val=\"132\"", "Val=\"133\""), "no no yes 10"},
      {replaced(json, "102", "109"), "no no yes 10"}};
  const std::string file = (host.root / "document").string();
  for (const auto& [document, verdict] : cases) {
    WriteFile(file, document);
    host.Run({host.importTool.string(), "import", "-filepath", file, "-filemac", "0"}, "", {},
             host.importTool.parent_path());
    EXPECT_EQ(Verdict(host.ReceivedLog().back()), verdict) << document;
  }
  // A path that arrives in two arguments is not joined again.
  host.Run({host.importTool.string(), "import", "-filepath", "a", "b.xml", "-filemac", "m"});
  EXPECT_EQ(Fields(host.ReceivedLog().back(), {"unexpected", "exit"}), "b.xml 1");
}

// One run per row on the same host: the serial number settled (the artificial one of the
// open patient, or one typed after the no-patient dialog), the program called for the host
// version, a failing import tool, a temporary folder with a blank (no short form here),
// which the tool would get split and which is refused before anything is asked, and every
// way of backing out, which hands nothing over and still ends in order when the input runs
// out (the close button).
TEST_F(Flow, PluginImportsTheXmlDocument) {
  struct Case {
    const char* what;
    bool openPatient;
    std::string answers;
    std::string serial;      // handed over; empty when nothing reaches the import tool
    std::string traced;      // a text of the run's trace
    std::string shown = "";  // a text of the run's output
    std::string forcedExit = "";
    std::string hostVersion = "3.0.2.0";
    std::string settings = "";
    std::string temp = "";  // the temporary folder; empty: the system's
  };
  // The artificial serial number of diary PAT00017: the first ten digits of its MD5 digest.
  const std::string sn = "A64C10222C", done = "XML-Call-Results: 0|0|";
  const std::string cancelled = "User cancelled import.";
  const std::string autoQuestion = "für den derzeit geöffneten Patienten erzeugt werden?";
  const std::string noPatient = "Bitte öffnen Sie zunächst in Orvolux den Patientendatensatz";
  const std::string entry = "Wenn Ihnen eine Seriennummer vorliegt";
  const std::string hostCall = "Started transfer: \"" + host.base.string() +
                               "/Veltra Orvolux Software.exe\" import -filepath ";
  const std::string old = host.WriteExport("old.csv", 2001) + "\n2\n";
  const fs::path blankTemp = host.root / "my tmp";
  fs::create_directories(blankTemp);
  const Case cases[] = {
      {"artificial serial", true, start + "1\n", sn, "Job completed.", std::string(kCaption)},
      {"browse prompt, mapped once", true, "1\n" + start + "1\n", sn, done, "V 1.0.0"},
      {"manual serial", false, start + "2\nABC123\n1\n", "ABC123", done, entry},
      // An empty box is refused with a word, and the serial number asked again.
      {"empty manual serial", false, start + "2\n\n1\nABC9\n1\n", "ABC9", done,
       "Bitte geben Sie eine Seriennummer ein."},
      {"tool failure", true, start + "1\n", sn, "XML-Call-Results: 9|0|", "", "9"},
      // Host versions compare as text: "10.0.0.0" keeps the import tool, from "3.1" on the
      // host executable itself is called (the stub cannot run).
      {"host 10", true, start + "1\n", sn, done, "", "", "10.0.0.0"},
      {"host 3.1", true, start + "1\n", "", hostCall, "", "", "3.1"},
      {"temporary folder with a blank", true, start, "", "Error: Der Pfad " + blankTemp.string(),
       "enthält ein Leerzeichen und kann dem Importprogramm", "", "3.0.2.0", "", blankTemp},
      {"cancel at the file prompt", true, "1\n\n", "", cancelled, "Import: "},
      // A cancel ignored here would take the "1" as the serial question's answer.
      {"cancel at the data-age warning", true, old + "2\n1\n", "", cancelled,
       "Daten älteren Datums", "", "3.0.2.0", "ShowOldOrNewDataWarning=1"},
      {"cancel the artificial serial", true, start + "3\n", "", cancelled, autoQuestion},
      {"end of input at the serial question", true, start, "", cancelled, autoQuestion},
      {"cancel without open patient", false, start + "3\n", "", cancelled, noPatient},
      {"cancel the manual entry", false, start + "2\nXYZ\n2\n", "", cancelled, entry},
      {"end of input at the manual entry", false, start + "2\n", "", cancelled, entry},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(host.currentPatientFile);
    if (c.openPatient) host.OpenPatient();
    host.SetHostVersion(c.hostVersion);
    host.WriteSettings(c.settings);
    const std::size_t calls = host.ReceivedLog().size();
    const RunResult run = host.Run({host.plugin.string()}, c.answers,
                                   {"STANDIN_EXIT_CODE=" + c.forcedExit, "Temp=" + c.temp});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(c.shown), std::string::npos) << run.output;
    const std::string trace = host.TraceLog();  // of this run alone
    EXPECT_NE(trace.find(c.traced), std::string::npos) << trace;
    const std::vector<Received> log = host.ReceivedLog();
    ASSERT_EQ(log.size(), calls + !c.serial.empty()) << run.output;
    if (c.serial.empty()) continue;
    EXPECT_EQ(Verdict(log.back()), "yes yes yes " + (c.forcedExit.empty() ? "0" : c.forcedExit));
    EXPECT_EQ(Fields(log.back(), {"sn", "kind", "records", "caller", "jobid"}),
              c.serial + " xml 3 tool ");
  }
  // The mapping store remembers whose artificial number it is, once; typed ones not at all.
  const std::string store = ReadFile(host.configFolder / "KELSAR Relay.rly");
  EXPECT_NE(store.find(sn + "=PAT00017"), std::string::npos) << store;
  EXPECT_EQ(store.find("=PAT00017"), store.rfind("=PAT00017")) << store;
  EXPECT_EQ(store.find("ABC123"), std::string::npos) << store;
}

TEST_F(Flow, DumpFolderKeepsTheDocumentAndAReplayCallThatStillWorks) {
  host.OpenPatient();
  host.WriteSettings("CreateDump=1");
  ASSERT_EQ(host.Run({host.plugin.string()}, start + "1\n").exitCode, 0);
  const fs::path dump = fs::directory_iterator(host.configFolder / "Dump")->path();
  const std::string stream = (dump / "stream.xml").string();
  EXPECT_EQ(ReadFile(stream), ReadFile(host.ReceivedLog().at(0).at("file")));
  EXPECT_FALSE(fs::exists(dump / "stream.json"));
  // The replay call (the second line) names the dump copy (on Windows in its short form)
  // and passes the tool's checks.
  std::istringstream bat(ReadFile(dump / "StartXML.bat"));
  std::string call;
  for (int line = 0; line < 2; ++line) std::getline(bat, call);
  const std::string tool = host.importTool.string();
  const std::string mac = call.substr(call.find(" -filemac ") + 10, 64);
  EXPECT_EQ(call, tool + " import -filepath " + stream + " -filemac " + mac + " 2>errXml.log\r");
  const std::vector<std::string> argv = {tool, "import", "-filepath", stream, "-filemac", mac};
  EXPECT_EQ(host.Run(argv, "", {}, host.importTool.parent_path()).exitCode, 0);
  EXPECT_EQ(host.ReceivedLog().back().at("file"), stream);
}

// Waits up to half a minute for the condition.
bool Eventually(const std::function<bool()>& condition) {
  using namespace std::chrono_literals;
  for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(10ms);
  return condition();
}

// Forty starts at once while the first run waits for the import tool, holding the run
// marker: twenty window starts end at the guard without a word, twenty job steps hand
// their documents over beside the first. A start after the first has ended gets its window
// and deletes nothing a live job step recorded; once all have ended, a start clears the
// record. The settings file stays as it was and the record loses no entry.
TEST_F(Flow, FortySimultaneousStartsLoseNothing) {
  host.OpenPatient();
  const fs::path runMarker = host.configFolder / "TavrinPlugin.run";
  const fs::path firstGate = host.root / "first.go", jobGate = host.root / "jobs.go";
  Spawned first({host.plugin.string()}, host.Environment({"STANDIN_GATE=" + firstGate.string()}),
                host.root);
  first.Answer(start + "1\n");
  ASSERT_TRUE(
      Eventually([&] { return host.TraceLog().find("Started transfer: ") != std::string::npos; }));
  const std::string settings = ReadFile(host.pluginFolder / "TavrinPlugin.ini");
  EXPECT_TRUE(fs::exists(runMarker));

  const std::string mgdl = testing::GoldenFile("formats/mgdl.xml");
  for (int i = 0; i < 20; ++i) {
    WriteFile(host.pluginFolder / "jobs" / (std::to_string(100000000 + i) + ".xml"), mgdl);
  }
  std::vector<std::unique_ptr<Spawned>> starts;
  for (int i = 0; i < 40; ++i) {
    std::vector<std::string> argv = {host.plugin.string()};
    if (i % 2 == 1) argv.insert(argv.end(), {"-jobid", std::to_string(100000000 + i / 2)});
    starts.push_back(std::make_unique<Spawned>(
        argv, host.Environment({"STANDIN_GATE=" + jobGate.string()}), host.root));
    starts.back()->Answer(i % 2 == 1 ? "" : "3\n");
  }
  for (int i = 0; i < 40; i += 2) {
    EXPECT_TRUE(starts[i]->Wait() == 0 && starts[i]->Output().empty()) << starts[i]->Output();
  }
  // The first run's two documents and one per job step are recorded.
  const fs::path store = host.root / "home" / ".config" / "TavrinPlugin" / "registry.ini";
  ASSERT_TRUE(Eventually([&] { return ReadFile(store).find("Anzahl=22\n") != std::string::npos; }));
  WriteFile(firstGate, "");
  EXPECT_EQ(first.Wait(), 0) << first.Output();
  EXPECT_FALSE(fs::exists(runMarker));
  const RunResult next = host.Run({host.plugin.string()}, "3\n");
  EXPECT_NE(next.output.find(kCaption), std::string::npos) << next.output;
  WriteFile(jobGate, "");
  for (int i = 1; i < 40; i += 2) EXPECT_EQ(starts[i]->Wait(), 0) << starts[i]->Output();

  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 21u);
  const std::string record = ReadFile(store);
  EXPECT_NE(record.find("Anzahl=22\n"), std::string::npos) << record;
  for (const Received& call : log) {
    EXPECT_EQ(Fields(call, {"kind", "result"}), "xml OK");
    EXPECT_NE(record.find("=" + call.at("file") + "\n"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(host.pluginFolder / "TavrinPlugin.ini"), settings);
  EXPECT_EQ(host.Run({host.plugin.string()}, "3\n").exitCode, 0);
  EXPECT_NE(ReadFile(store).find("Anzahl=0\n"), std::string::npos) << ReadFile(store);
  for (const Received& call : log) EXPECT_FALSE(fs::exists(call.at("file")));
}

TEST_F(Flow, HostFileShowsAMessageWhenMissingElseTheWindow) {
  const std::string missing = temp.Path() + "/missing-export.csv";
  const RunResult run = host.Run({host.plugin.string(), "/ID:5", "/f:" + missing});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  // The message alone, without the main window.
  EXPECT_EQ(run.output,
            "[TavrinPlugin] Die Datei (" + missing + ") konnte nicht gefunden werden!\n");

  const RunResult found =
      host.Run({host.plugin.string(), "/ID:5", "/f:" + host.WriteExport()}, "3\n");
  EXPECT_EQ(found.exitCode, 0) << found.output;
  EXPECT_EQ(found.output.find("konnte nicht gefunden werden"), std::string::npos) << found.output;
  EXPECT_NE(found.output.find(kCaption), std::string::npos) << found.output;
}

// The POSIX platform, running as if it were the plug-in installed in the host.
class InstalledPlatform : public PosixPlatform {
 public:
  explicit InstalledPlatform(std::string programPath) : programPath_(std::move(programPath)) {}
  std::string ProgramPath() override { return programPath_; }

 private:
  std::string programPath_;
};

// Glucose and carbohydrates at 07:45 and CGM readings every five minutes from 07:00, then
// a gap that opens a second sequence.
constexpr std::string_view kRowText =
    "19.11.2026 07:00;UDTCGMS;100\r\n"
    "19.11.2026 07:05;UDTCGMS;110\r\n"
    "19.11.2026 07:10;UDTCGMS;120\r\n"
    "19.11.2026 07:45;1;132\r\n"
    "19.11.2026 07:45;3;30\r\n"
    "19.11.2026 08:00;UDTCGMS;125\r\n";

// Imports kRowText as the plug-in installed in the host, with the environment of the
// programs the host starts, taking the open patient's artificial serial number. Returns 0
// when the run asked for the serial number once and ended after the hand-over.
int ImportCgmRows(const SampleHost& host) {
  for (const std::string& entry : host.Environment()) {
    const auto eq = entry.find('=');
    ::setenv(entry.substr(0, eq).c_str(), entry.c_str() + eq + 1, 1);
  }
  InstalledPlatform platform(host.plugin.string());
  testing::FakeUi ui;
  ui.autoAnswers.push_back(SerialAutoChoice::Auto);
  try {
    ProcessContext context(platform, ui);
    Main(context);
    frmMeterImport window(context);
    window.Form_Load();
    ExportReadResult read;
    read.rows = RowTable::FromText(kRowText);
    read.exportUnit = "mg/dL";
    EndPluginImport(context, window,
                    RunImport(context, PluginImportRequest(window, ""), std::move(read)));
  } catch (const ProgramEnded&) {
    return ui.autoDialogs.size() == 1 ? 0 : 2;
  }
  return 1;
}

// The CSV reader produces no CGM rows, so the run is driven at the core's level, in a
// child process of its own. The stand-in imports the JSON stream, then starts the
// installed plug-in with "-jobid", which hands over the parked XML document.
TEST_F(Flow, TransferJobHandsTheJsonStreamThenTheParkedXmlDocumentOnce) {
  host.OpenPatient("PAT00023.dia");
  EXPECT_EXIT(std::exit(ImportCgmRows(host)), ::testing::ExitedWithCode(0), "");
  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 3u) << host.TraceLog();
  // 9BC543D325 are the first ten digits of the MD5 digest of PAT00023; the one entry is
  // the carbohydrates.
  const Received &json = log[0], &xml = log[1];
  const std::string job = json.at("jobid");
  EXPECT_TRUE(std::regex_match(job, std::regex("[1-9][0-9]{8}"))) << job;
  EXPECT_EQ(Fields(json, {"kind", "sn", "sequences", "entries"}), "json 9BC543D325 2 1");
  EXPECT_EQ(Fields(xml, {"kind", "sn", "records", "jobid", "from_job"}),
            "xml 9BC543D325 1  " + job);
  EXPECT_EQ(Verdict(json) + " " + Verdict(xml), "yes yes yes 0 yes yes yes 0");
  EXPECT_EQ(Fields(log[2], {"kind", "plugin_exit"}), "followup 0");
  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Received 2.part transfer job: " + job), std::string::npos) << trace;
  EXPECT_NE(trace.find("Started transfer for job " + job + ": "), std::string::npos) << trace;

  // Job mode shows no window. A job runs once, and a job number cannot leave the job
  // folder ("jobs/../../x.xml" below the plug-in's folder would be this file).
  const fs::path outside = host.base / "_EXTRAS" / "x.xml";
  WriteFile(outside, "<IMPORT />");
  for (const std::string& again : {job, std::string("../../x")}) {
    const RunResult run = host.Run({host.plugin.string(), "-JOBID", again});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_NE(host.TraceLog().find("Job " + again + " file does not exists."), std::string::npos);
  }
  EXPECT_EQ(host.ReceivedLog().size(), 3u);
  EXPECT_EQ(ReadFile(outside), "<IMPORT />");
  EXPECT_TRUE(fs::is_empty(host.pluginFolder / "jobs"));
}

// The converter hands its document over to the installation it is pointed at.
TEST_F(Flow, ConverterHandsItsDocumentToTheImportTool) {
  const std::string output = (host.root / "converted.xml").string();
  const RunResult run = host.Run({TAVRIN_E2E_CONVERTER, "--handover", host.base.string(),
                                  "--serial", "CONV-1", "-o", output, host.WriteExport()});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Import tool:      exit code 0\n"), std::string::npos) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  EXPECT_EQ(Fields(log[0], {"sn", "records", "file"}), "CONV-1 3 " + output);
  EXPECT_EQ(Verdict(log[0]), "yes yes yes 0");
}

}  // namespace
}  // namespace tavrin::e2e
