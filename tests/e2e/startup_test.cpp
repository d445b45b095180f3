// Start-up paths of the plug-in that end before or instead of an import: the
// single-instance guard, the host's "/f:" call form, and the second step of a transfer
// job started with "-jobid".

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "e2e/e2e_support.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

constexpr std::string_view kCaption = "Tavrin Plugin for Orvolux";

class Startup : public ::testing::Test {
 protected:
  Startup() : host(temp.Path()) {}

  testing::TempDir temp;
  SampleHost host;
  const fs::path jobs = host.pluginFolder / "jobs";
  const fs::path runMarker = host.configFolder / "TavrinPlugin.run";
};

// Waits up to half a minute for the condition.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(10ms);
  return condition();
}

// Forty starts at once while the first run waits for the import tool, holding the run
// marker: twenty window starts end at the guard without a window, twenty job steps hand
// their documents over beside the first. A start after the first has ended gets its window
// and deletes nothing a live job step recorded; once all have ended, a start clears the
// record. The settings file stays as it was and the record loses no entry.
TEST_F(Startup, FortySimultaneousStartsLoseNothing) {
  host.OpenPatient();
  const fs::path firstGate = host.root / "first.go", jobGate = host.root / "jobs.go";
  Spawned first({host.plugin.string()}, host.Environment({"STANDIN_GATE=" + firstGate.string()}),
                host.root);
  first.Answer(host.WriteExport() + "\n2\n1\n");
  ASSERT_TRUE(
      Eventually([&] { return host.TraceLog().find("Started transfer: ") != std::string::npos; }));
  const std::string settings = ReadFile(host.pluginFolder / "TavrinPlugin.ini");
  EXPECT_TRUE(fs::exists(runMarker));

  for (int i = 0; i < 20; ++i) {
    WriteFile(jobs / (std::to_string(100000000 + i) + ".xml"), GoldenDocument("mgdl.xml"));
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
    EXPECT_TRUE(starts[i]->Wait(30s) == 0 &&
                starts[i]->Output().find(kCaption) == std::string::npos);
  }
  // The first run's two documents and one per job step are recorded.
  const fs::path store = host.root / "home" / ".config" / "TavrinPlugin" / "registry.ini";
  ASSERT_TRUE(Eventually([&] { return ReadFile(store).find("Anzahl=22\n") != std::string::npos; }));
  WriteFile(firstGate, "");
  EXPECT_EQ(first.Wait(30s), 0) << first.Output();
  EXPECT_FALSE(fs::exists(runMarker));
  const RunResult next = host.RunPlugin({}, "3\n");
  EXPECT_NE(next.output.find(kCaption), std::string::npos) << next.output;
  WriteFile(jobGate, "");
  for (int i = 1; i < 40; i += 2) EXPECT_EQ(starts[i]->Wait(30s), 0) << starts[i]->Output();

  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 21u);
  const std::string record = ReadFile(store);
  EXPECT_NE(record.find("Anzahl=22\n"), std::string::npos) << record;
  for (const Received& call : log) {
    EXPECT_EQ(call.at("kind") + " " + call.at("result"), "xml OK");
    EXPECT_NE(record.find("=" + call.at("file") + "\n"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(host.pluginFolder / "TavrinPlugin.ini"), settings);
  EXPECT_EQ(host.RunPlugin({}, "3\n").exitCode, 0);
  EXPECT_NE(ReadFile(store).find("Anzahl=0\n"), std::string::npos) << ReadFile(store);
  for (const Received& call : log) EXPECT_FALSE(fs::exists(call.at("file")));
}

TEST_F(Startup, HostFileShowsAMessageWhenMissingElseTheWindow) {
  const std::string missing = temp.Path() + "/missing-export.csv";
  const RunResult run = host.RunPlugin({"/ID:5", "/f:" + missing}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Die Datei (" + missing + ") konnte nicht gefunden werden!"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("3) "), std::string::npos) << run.output;  // no main window

  const RunResult found = host.RunPlugin({"/ID:5", "/f:" + host.WriteExport()}, "3\n");
  EXPECT_EQ(found.exitCode, 0) << found.output;
  EXPECT_EQ(found.output.find("konnte nicht gefunden werden"), std::string::npos) << found.output;
  EXPECT_NE(found.output.find(kCaption), std::string::npos) << found.output;
}

TEST_F(Startup, JobSecondStepHandsTheParkedDocumentOverOnce) {
  WriteFile(jobs / "123456789.xml", GoldenDocument("mgdl.xml"));
  const RunResult run = host.RunPlugin({"-jobid", "123456789"}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find(kCaption), std::string::npos) << run.output;
  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  EXPECT_EQ(Verdict(log[0]), "yes yes yes 0");
  EXPECT_EQ(log[0].at("kind"), "xml");
  EXPECT_EQ(log[0].at("records"), "4");
  EXPECT_EQ(log[0].at("check"), "73E2");
  EXPECT_EQ(log[0].at("jobid"), "");
  EXPECT_FALSE(fs::exists(jobs / "123456789.xml"));
  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Received 2.part transfer job: 123456789"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Started transfer for job 123456789: "), std::string::npos) << trace;

  // A job runs once; a missing job file is only traced.
  EXPECT_EQ(host.RunPlugin({"-JOBID", "123456789"}, "").exitCode, 0);
  EXPECT_EQ(host.ReceivedLog().size(), 1u);
  EXPECT_NE(host.TraceLog().find("Job 123456789 file does not exists."), std::string::npos);
}

TEST_F(Startup, JobNumberCannotLeaveTheJobFolder) {
  // "jobs/../../x.xml" below the plug-in's folder would be this file.
  const fs::path outside = host.base / "_EXTRAS" / "x.xml";
  WriteFile(outside, "<IMPORT />");
  fs::create_directories(jobs);
  const RunResult run = host.RunPlugin({"-jobid", "../../x"}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(host.ReceivedLog().empty()) << run.output;
  EXPECT_EQ(ReadFile(outside), "<IMPORT />");
  EXPECT_NE(host.TraceLog().find("Job ../../x file does not exists."), std::string::npos)
      << host.TraceLog();
  EXPECT_TRUE(fs::is_empty(jobs));
}

}  // namespace
}  // namespace tavrin::e2e
