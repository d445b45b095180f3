// The whole import through the terminal front end: the plug-in reads an export, settles a
// serial number through its dialogs and hands the host XML document to the stand-in
// import tool, which checks the document's check value and MAC and records the call.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

// The artificial serial number of diary PAT00017: the first ten digits of its MD5 digest.
constexpr std::string_view kSerialOfPat00017 = "A64C10222C";

class ImportFlow : public ::testing::Test {
 protected:
  ImportFlow() : host(temp.Path()) {}

  // The answers that type the export's path and start the import.
  std::string TypeAndStart() { return host.WriteExport() + "\n2\n"; }
  std::string MappingStore() { return ReadFile(host.configFolder / "KELSAR Relay.rly"); }

  testing::TempDir temp;
  SampleHost host;
};

TEST_F(ImportFlow, ArtificialSerialForTheOpenPatientIsMappedOnce) {
  host.OpenPatient("PAT00017.dia");
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Tavrin Plugin for Orvolux"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("V 1.0.0"), std::string::npos);
  ASSERT_EQ(host.RunPlugin({}, TypeAndStart() + "1\n").exitCode, 0);

  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 2u) << run.output << host.TraceLog();
  EXPECT_EQ(Verdict(log[0]), "yes yes yes 0");
  EXPECT_EQ(log[0].at("kind"), "xml");
  EXPECT_EQ(log[0].at("records"), "3");
  EXPECT_EQ(log[0].at("jobid"), "");
  EXPECT_EQ(log[0].at("caller"), "tool");  // host version 3.0.2.0 keeps the import tool
  EXPECT_EQ(log[0].at("sn"), kSerialOfPat00017);
  EXPECT_EQ(log[1].at("sn"), kSerialOfPat00017);

  // The mapping store remembers whose number it is, once.
  const std::string store = MappingStore();
  EXPECT_NE(store.find("[SNMappings]"), std::string::npos) << store;
  EXPECT_NE(store.find(std::string(kSerialOfPat00017) + "=PAT00017"), std::string::npos) << store;
  EXPECT_EQ(store.find("=PAT00017"), store.rfind("=PAT00017")) << store;

  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Started transfer: "), std::string::npos) << trace;
  EXPECT_NE(trace.find("XML-Call-Results: 0|0|"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Job completed."), std::string::npos) << trace;
  EXPECT_FALSE(fs::exists(host.configFolder / "TavrinPlugin.run"));
}

// Serial numbers typed by hand (after the no-patient dialog) are not mapped; the file can
// also be chosen through the browse prompt; a failing import tool is logged and the run
// still ends in order.
TEST_F(ImportFlow, ManualSerialsBrowsePromptAndToolFailure) {
  struct Case {
    bool openPatient;
    std::string answers;
    std::string toolExit;
    std::string_view serial;
  };
  const std::string start = TypeAndStart();
  const Case cases[] = {
      {false, start + "2\nABC123\n1\n", "0", "ABC123"},
      {false, start + "2\n\n1\n", "0", "unknown"},
      {true, "1\n" + start + "1\n", "0", kSerialOfPat00017},
      {true, start + "1\n", "9", kSerialOfPat00017},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    fs::remove(host.base / "standin-received.log");
    fs::remove(host.currentPatientFile);
    if (c.openPatient) host.OpenPatient();
    const std::vector<std::string> forced = {"STANDIN_EXIT_CODE=" + c.toolExit};
    const RunResult run =
        host.RunPlugin({}, c.answers, c.toolExit == "0" ? std::vector<std::string>{} : forced);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<Received> log = host.ReceivedLog();
    ASSERT_EQ(log.size(), 1u) << run.output;
    EXPECT_EQ(log[0].at("sn"), c.serial);
    EXPECT_EQ(log[0].at("check_ok") + log[0].at("mac_ok") + log[0].at("exit"),
              "yesyes" + c.toolExit);
    EXPECT_NE(host.TraceLog().find("XML-Call-Results: " + c.toolExit + "|0|"), std::string::npos);
  }
  EXPECT_EQ(MappingStore().find("ABC123"), std::string::npos);
}

// Host versions compare as text: from "3.1" on the host executable itself is called.
TEST_F(ImportFlow, HostVersionChoosesTheProgramCalled) {
  host.OpenPatient();
  for (const char* version : {"3.0.9.1", "10.0.0.0", "3.1"}) {
    SCOPED_TRACE(version);
    fs::remove(host.base / "standin-received.log");
    host.SetHostVersion(version);
    const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n");
    const std::vector<Received> log = host.ReceivedLog();
    if (version != std::string("3.1")) {
      EXPECT_EQ(run.exitCode, 0) << run.output;
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0].at("caller"), "tool");
    } else {  // the stub cannot run; the trace shows which program the plug-in started
      EXPECT_TRUE(log.empty());
      EXPECT_NE(host.TraceLog().find("Started transfer: \"" + host.base.string() +
                                     "/Veltra Orvolux Software.exe\" import -filepath "),
                std::string::npos)
          << host.TraceLog();
    }
  }
}

// A temporary folder with a blank (no short form here) is refused before anything is
// asked or handed over; the tool, which takes every argument whole, would get a split path.
TEST_F(ImportFlow, TemporaryFolderWithABlankIsRefused) {
  host.OpenPatient();
  fs::create_directories(host.root / "my tmp");
  const RunResult run =
      host.RunPlugin({}, TypeAndStart() + "1\n", {"Temp=" + (host.root / "my tmp").string()});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("enthält ein Leerzeichen und kann dem Importprogramm"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("derzeit geöffneten Patienten"), std::string::npos) << run.output;
  EXPECT_TRUE(host.ReceivedLog().empty()) << run.output;
}

// Every way of backing out before the hand-over: nothing reaches the host, and the
// program still ends in order when its input runs out (the close button).
TEST_F(ImportFlow, CancelInEachDialogHandsNothingOver) {
  struct Case {
    const char* what;
    bool openPatient;
    bool oldData;  // dated 2001, with the data-age warning switched on
    std::string answers;
    const char* shown;  // a text of the dialog that was cancelled
  };
  const std::string old = host.WriteExport("old.csv", 2001);
  const std::string start = TypeAndStart();
  const char* autoQuestion = "für den derzeit geöffneten Patienten erzeugt werden?";
  const char* noPatient = "Bitte öffnen Sie zunächst in Orvolux den Patientendatensatz";
  const char* entry = "Wenn Ihnen eine Seriennummer vorliegt";
  const Case cases[] = {
      {"file prompt", true, false, "1\n\n", "Import: "},
      {"data-age warning", true, true, old + "\n2\n2\n", "Daten älteren Datums"},
      {"artificial serial question", true, false, start + "3\n", autoQuestion},
      {"end of input at the serial question", true, false, start, autoQuestion},
      {"no open patient", false, false, start + "3\n", noPatient},
      {"manual entry", false, false, start + "2\nXYZ\n2\n", entry},
      {"end of input at manual entry", false, false, start + "2\n", entry},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(host.currentPatientFile);
    if (c.openPatient) host.OpenPatient();
    host.WriteSettings(c.oldData ? "ShowOldOrNewDataWarning=1" : "");
    const RunResult run = host.RunPlugin({}, c.answers);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(c.shown), std::string::npos) << run.output;
    EXPECT_TRUE(host.ReceivedLog().empty()) << run.output;
    if (c.oldData) {  // cancelled before the serial number is asked for
      EXPECT_EQ(run.output.find(autoQuestion), std::string::npos) << run.output;
    }
    const std::string trace = host.TraceLog();
    EXPECT_EQ(trace.find("Started transfer"), std::string::npos) << trace;
    EXPECT_NE(trace.find("User cancelled import."), std::string::npos) << trace;
  }
}

TEST_F(ImportFlow, DumpFolderKeepsTheDocumentAndAReplayCallThatStillWorks) {
  host.OpenPatient();
  host.WriteSettings("CreateDump=1");
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;

  std::vector<fs::path> dumps;
  for (const auto& dump : fs::directory_iterator(host.configFolder / "Dump")) {
    dumps.push_back(dump.path());
  }
  ASSERT_EQ(dumps.size(), 1u);
  const fs::path stream = dumps[0] / "stream.xml";
  EXPECT_TRUE(std::regex_match(dumps[0].filename().string(), std::regex("[0-9]{14} Tavrin App")));
  EXPECT_EQ(ReadFile(stream), ReadFile(log[0].at("file")));  // the document handed over
  EXPECT_FALSE(fs::exists(dumps[0] / "stream.json"));

  std::vector<std::string> bat;
  std::istringstream batLines(ReadFile(dumps[0] / "StartXML.bat"));
  for (std::string line; std::getline(batLines, line);)
    bat.push_back(line.substr(0, line.find('\r')));
  ASSERT_EQ(bat.size(), 3u);
  EXPECT_EQ(bat[0], "echo key=xxx{" + std::string(SampleHost::kDatabaseId) + "}");
  EXPECT_EQ(bat[2], "pause");
  // The replay call names the dump copy (on Windows in its short form) and passes the
  // tool's checks.
  const std::string mac = bat[1].substr(bat[1].find(" -filemac ") + 10, 64);
  EXPECT_EQ(bat[1], host.importTool.string() + " import -filepath " + stream.string() +
                        " -filemac " + mac + " 2>errXml.log");
  const std::vector<std::string> argv = {host.importTool.string(), "import",   "-filepath",
                                         stream.string(),          "-filemac", mac};
  EXPECT_EQ(host.Run(argv, "", {}, host.importTool.parent_path()).exitCode, 0);
  EXPECT_EQ(host.ReceivedLog().back().at("file"), stream.string());
}

}  // namespace
}  // namespace tavrin::e2e
