// The whole import through the terminal front end: the plug-in reads an export, settles a
// serial number through its dialogs and hands the host XML document to the stand-in
// import tool, which checks the document's check value and MAC and records the call.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

class ImportFlow : public ::testing::Test {
 protected:
  ImportFlow() : host(temp.Path()) {}

  std::string ExportPath() { return host.WriteExport("export.csv", SmallExport()).string(); }

  // The answers that type the export's path and start the import.
  std::string TypeAndStart() { return ExportPath() + "\n2\n"; }

  testing::TempDir temp;
  SampleHost host;
};

TEST_F(ImportFlow, ArtificialSerialForTheOpenPatient) {
  host.OpenPatient("PAT00017.dia");
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Tavrin Plugin for Orvolux"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("V 1.0.0"), std::string::npos);

  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  const Received& call = log[0];
  const std::string serial = Md5Prefix("PAT00017");
  EXPECT_EQ(call.at("kind"), "xml");
  EXPECT_EQ(call.at("records"), "3");
  EXPECT_EQ(call.at("check_ok"), "yes");
  EXPECT_EQ(call.at("mac_ok"), "yes");
  EXPECT_EQ(call.at("exit"), "0");
  EXPECT_EQ(call.at("jobid"), "");
  EXPECT_EQ(call.at("caller"), "tool");  // host version 3.0.2.0 keeps the import tool
  EXPECT_EQ(call.at("cwd_ok"), "yes");
  EXPECT_EQ(call.at("sn"), serial);
  EXPECT_TRUE(std::regex_match(call.at("check"), std::regex("[0-9A-F]{4}")));
  EXPECT_TRUE(call.at("file").ends_with(".xml")) << call.at("file");

  // The mapping store remembers whose number it is.
  const std::string store = ReadFile(host.ConfigFolder() / "KELSAR Relay.rly");
  EXPECT_NE(store.find("[SNMappings]"), std::string::npos) << store;
  EXPECT_NE(store.find(serial + "=PAT00017"), std::string::npos) << store;

  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Started transfer: "), std::string::npos) << trace;
  EXPECT_NE(trace.find("XML-Call-Results: 0|0|"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Job completed."), std::string::npos) << trace;
  EXPECT_FALSE(fs::exists(host.ConfigFolder() / "TavrinPlugin.run"));
}

TEST_F(ImportFlow, SamePatientTwiceKeepsOneMapping) {
  host.OpenPatient("PAT00017.dia");
  ASSERT_EQ(host.RunPlugin({}, TypeAndStart() + "1\n").exitCode, 0);
  ASSERT_EQ(host.RunPlugin({}, TypeAndStart() + "1\n").exitCode, 0);
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].at("sn"), log[1].at("sn"));
  const std::string store = ReadFile(host.ConfigFolder() / "KELSAR Relay.rly");
  EXPECT_EQ(store.find("=PAT00017"), store.rfind("=PAT00017")) << store;
}

TEST_F(ImportFlow, ManualSerialWithoutOpenPatient) {
  // No current-patient file: the no-patient dialog, then manual entry.
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "2\nABC123\n1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  EXPECT_EQ(log[0].at("sn"), "ABC123");
  EXPECT_EQ(log[0].at("check_ok"), "yes");
  EXPECT_EQ(log[0].at("mac_ok"), "yes");
  EXPECT_EQ(log[0].at("exit"), "0");
  // A number typed by hand is not an artificial one: nothing is mapped.
  EXPECT_EQ(ReadFile(host.ConfigFolder() / "KELSAR Relay.rly").find("ABC123"), std::string::npos);
}

TEST_F(ImportFlow, EmptyManualSerialBecomesUnknown) {
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "2\n\n1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  EXPECT_EQ(log[0].at("sn"), "unknown");
}

TEST(ImportFlowPaths, HostFolderWithBlanks) {
  testing::TempDir temp;
  SampleHost host(temp.Path(), "Orvolux Host");
  host.OpenPatient();
  const std::string path = host.WriteExport("export.csv", SmallExport()).string();
  const RunResult run = host.RunPlugin({}, path + "\n2\n1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output << host.TraceLog();
  EXPECT_EQ(log[0].at("mac_ok"), "yes");
  EXPECT_EQ(log[0].at("cwd_ok"), "yes");
  EXPECT_EQ(log[0].at("exit"), "0");
}

// Host versions compare as text: from "3.1" on the host executable itself is called.
TEST_F(ImportFlow, HostVersionChoosesTheProgramCalled) {
  host.OpenPatient();
  for (const char* version : {"3.0.9.1", "10.0.0.0"}) {
    SCOPED_TRACE(version);
    fs::remove(host.Base() / "standin-received.log");
    host.SetHostVersion(version);
    ASSERT_EQ(host.RunPlugin({}, TypeAndStart() + "1\n").exitCode, 0);
    const std::vector<Received> log = host.ReceivedLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].at("caller"), "tool");
  }
  // The stub cannot run; the trace shows which program the plug-in started.
  host.SetHostVersion("3.1");
  fs::remove(host.Base() / "standin-received.log");
  host.RunPlugin({}, TypeAndStart() + "1\n");
  EXPECT_TRUE(host.ReceivedLog().empty());
  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Started transfer: " + host.Base().string() +
                       "/Veltra Orvolux Software.exe import -filepath "),
            std::string::npos)
      << trace;
}

TEST_F(ImportFlow, BrowsePromptTakesThePath) {
  host.OpenPatient();
  const RunResult run = host.RunPlugin({}, "1\n" + ExportPath() + "\n2\n1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  ASSERT_EQ(host.ReceivedLog().size(), 1u) << run.output;
}

TEST_F(ImportFlow, ToolFailureIsLoggedAndTheRunStillEnds) {
  host.OpenPatient();
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n", {"STANDIN_EXIT_CODE=9"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].at("exit"), "9");
  EXPECT_NE(host.TraceLog().find("XML-Call-Results: 9|0|"), std::string::npos);
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
  const std::string path = host.WriteExport("old.csv", SmallExport(2001)).string();
  const std::string start = ExportPath() + "\n2\n";
  const char* autoQuestion = "für den derzeit geöffneten Patienten erzeugt werden?";
  const char* noPatient = "Bitte öffnen Sie zunächst in Orvolux den Patientendatensatz";
  const char* entry = "Wenn Ihnen eine Seriennummer vorliegt";
  const Case cases[] = {
      {"file prompt", true, false, "1\n\n", "Import: "},
      {"data-age warning", true, true, path + "\n2\n2\n", "Daten älteren Datums"},
      {"artificial serial question", true, false, start + "3\n", autoQuestion},
      {"end of input at the serial question", true, false, start, autoQuestion},
      {"no open patient", false, false, start + "3\n", noPatient},
      {"manual entry", false, false, start + "2\nXYZ\n2\n", entry},
      {"end of input at manual entry", false, false, start + "2\n", entry},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(host.CurrentPatientFile());
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

TEST_F(ImportFlow, DumpFolderKeepsTheDocumentAndReplayFile) {
  host.OpenPatient();
  host.WriteSettings("CreateDump=1");
  const RunResult run = host.RunPlugin({}, TypeAndStart() + "1\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<Received> log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;

  std::vector<fs::path> dumps;
  for (const auto& entry : fs::directory_iterator(host.ConfigFolder() / "Dump")) {
    dumps.push_back(entry.path());
  }
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_TRUE(std::regex_match(dumps[0].filename().string(), std::regex("[0-9]{14} Tavrin App")))
      << dumps[0];
  const std::string stream = ReadFile(dumps[0] / "stream.xml");
  EXPECT_NE(stream.find("<CHECK CRC=\"" + log[0].at("check") + "\" />"), std::string::npos);
  EXPECT_EQ(stream, ReadFile(log[0].at("file")));  // the dump is the document handed over

  const std::vector<std::string> bat = SplitLines(ReadFile(dumps[0] / "StartXML.bat"));
  ASSERT_EQ(bat.size(), 3u);
  EXPECT_EQ(bat[0], "echo key=xxx{" + std::string(SampleHost::kDatabaseId) + "}");
  const std::string tool = (host.Base() / "_EXTRAS" / "KelsarImport.exe").string();
  EXPECT_EQ(bat[1].rfind(
                tool + " import -filepath " + (dumps[0] / "stream.xml").string() + " -filemac ", 0),
            0u)
      << bat[1];
  // The replay call carries the MAC of the dump copy, so that it can be run again as is.
  EXPECT_TRUE(bat[1].ends_with(" -filemac " + SampleHostMac(stream) + " 2>errXml.log")) << bat[1];
  EXPECT_EQ(bat[2], "pause");
  EXPECT_FALSE(fs::exists(dumps[0] / "stream.json"));
}

}  // namespace
}  // namespace tavrin::e2e
