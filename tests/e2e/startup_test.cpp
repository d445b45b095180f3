// Start-up paths of the plug-in that end before or instead of an import: the
// single-instance guard, the host's "/f:" call form, and the second step of a transfer
// job started with "-jobid".

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
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
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(Startup, SecondInstanceEndsAtTheGuard) {
  Spawned first({host.plugin.string()}, host.Environment(), host.root);
  // The first waits at its menu, holding the run marker.
  for (int i = 0; i < 1000 && first.Output().find("3) ") == std::string::npos; ++i) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_NE(first.Output().find("3) "), std::string::npos) << first.Output();
  EXPECT_TRUE(fs::exists(runMarker));

  const RunResult second = host.RunPlugin({}, "3\n");
  EXPECT_EQ(second.exitCode, 0) << second.output;
  EXPECT_EQ(second.output.find(kCaption), std::string::npos) << second.output;
  EXPECT_EQ(second.output.find("3) "), std::string::npos) << second.output;

  // The first is untouched: it still holds the marker and answers its menu.
  EXPECT_TRUE(fs::exists(runMarker));
  first.Answer("3\n");
  EXPECT_EQ(first.Wait(20s), 0) << first.Output();
  EXPECT_FALSE(fs::exists(runMarker));

  // With the first gone, a new start gets its window again.
  const RunResult third = host.RunPlugin({}, "3\n");
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_NE(third.output.find(kCaption), std::string::npos) << third.output;
}

// Forty starts at once while the first run waits for the import tool: twenty window starts
// end at the guard, twenty job steps hand their documents over beside the first. A start
// after the first has ended deletes nothing a live job step recorded; once all have
// ended, the next start clears the whole record.
TEST_F(Startup, FortySimultaneousStartsLoseNothing) {
  host.OpenPatient();
  const fs::path firstGate = host.root / "first.go", jobGate = host.root / "jobs.go";
  Spawned first({host.plugin.string()}, host.Environment({"STANDIN_GATE=" + firstGate.string()}),
                host.root);
  first.Answer(host.WriteExport() + "\n2\n1\n");
  ASSERT_TRUE(Eventually([&] { return CountOf(host.TraceLog(), "Started transfer: ") == 1; }));
  const std::string settings = ReadFile(host.pluginFolder / "TavrinPlugin.ini");

  std::vector<std::string> jobNumbers;
  for (int i = 0; i < 20; ++i) {
    jobNumbers.push_back(std::to_string(100000001 + i));
    WriteFile(jobs / (jobNumbers.back() + ".xml"), GoldenDocument("mgdl.xml"));
  }
  std::vector<std::unique_ptr<Spawned>> starts;
  for (int i = 0; i < 40; ++i) {
    std::vector<std::string> argv = {host.plugin.string()};
    if (i % 2 == 1) argv.insert(argv.end(), {"-jobid", jobNumbers[i / 2]});
    starts.push_back(std::make_unique<Spawned>(
        argv, host.Environment({"STANDIN_GATE=" + jobGate.string()}), host.root));
    starts.back()->Answer(i % 2 == 1 ? "" : "3\n");
  }
  for (int i = 0; i < 40; i += 2) {
    EXPECT_EQ(starts[i]->Wait(30s), 0) << starts[i]->Output();
    EXPECT_EQ(starts[i]->Output().find(kCaption), std::string::npos) << starts[i]->Output();
  }
  // Each start deletes the trace log, so the job steps are counted by their documents.
  const auto documents = [&] {
    return std::count_if(fs::directory_iterator(host.root / "tmp"), fs::directory_iterator(),
                         [](const auto& entry) { return entry.path().extension() == ".xml"; });
  };
  ASSERT_TRUE(Eventually([&] { return documents() == 21; }));
  WriteFile(firstGate, "");
  EXPECT_EQ(first.Wait(30s), 0) << first.Output();
  EXPECT_EQ(host.RunPlugin({}, "3\n").exitCode, 0);  // the window of a start after the first
  WriteFile(jobGate, "");
  for (int i = 1; i < 40; i += 2) EXPECT_EQ(starts[i]->Wait(30s), 0) << starts[i]->Output();

  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 21u);
  for (const Received& call : log) EXPECT_EQ(call.at("kind") + " " + call.at("result"), "xml OK");
  EXPECT_EQ(ReadFile(host.pluginFolder / "TavrinPlugin.ini"), settings);
  const fs::path store = host.root / "home" / ".config" / "TavrinPlugin" / "registry.ini";
  std::set<std::string> recorded;
  std::istringstream lines(ReadFile(store));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
      recorded.insert(line.substr(line.find('=') + 1));
    }
  }
  EXPECT_NE(ReadFile(store).find("Anzahl=22\n"), std::string::npos) << ReadFile(store);
  EXPECT_EQ(recorded.size(), 22u);  // the first run's two documents and one per job
  for (const Received& call : log) EXPECT_TRUE(recorded.contains(call.at("file")));
  // With every run ended, a start clears what they recorded.
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
