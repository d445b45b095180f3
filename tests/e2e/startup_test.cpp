// Start-up paths of the plug-in that end before or instead of an import: the
// single-instance guard, the host's "/f:" call form, and the second step of a transfer
// job started with "-jobid".

#include <gtest/gtest.h>

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
