// Start-up paths of the plug-in that end before or instead of an import: the
// single-instance guard, the host's "/f:" call form, and the second step of a transfer
// job started with "-jobid".

#include <gtest/gtest.h>

#include <string>

#include "e2e/e2e_support.h"
#include "e2e/golden_documents.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

constexpr std::string_view kCaption = "Tavrin Plugin for Orvolux";

class Startup : public ::testing::Test {
 protected:
  Startup() : host(temp.Path()) {}

  fs::path JobFolder() const { return host.PluginFolder() / "jobs"; }

  testing::TempDir temp;
  SampleHost host;
};

TEST_F(Startup, SecondInstanceEndsAtTheGuard) {
  Spawned first({host.Plugin().string()}, host.Environment(), host.Root());
  // The first waits at its menu, holding the run marker.
  ASSERT_TRUE(first.WaitForOutput("3) ", 20s)) << first.Output();
  EXPECT_TRUE(fs::exists(host.ConfigFolder() / "TavrinPlugin.run"));

  const RunResult second = host.RunPlugin({}, "3\n");
  EXPECT_EQ(second.exitCode, 0) << second.output;
  EXPECT_EQ(second.output.find(kCaption), std::string::npos) << second.output;
  EXPECT_EQ(second.output.find("3) "), std::string::npos) << second.output;

  // The first is untouched: it still holds the marker and answers its menu.
  EXPECT_TRUE(fs::exists(host.ConfigFolder() / "TavrinPlugin.run"));
  first.Write("3\n");
  first.CloseInput();
  EXPECT_EQ(first.Wait(20s), 0) << first.Output();
  EXPECT_FALSE(fs::exists(host.ConfigFolder() / "TavrinPlugin.run"));

  // With the first gone, a new start gets its window again.
  const RunResult third = host.RunPlugin({}, "3\n");
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_NE(third.output.find(kCaption), std::string::npos) << third.output;
}

TEST_F(Startup, MissingHostFileShowsMessageAndEnds) {
  const std::string missing = temp.Path() + "/missing-export.csv";
  const RunResult run = host.RunPlugin({"/ID:5", "/f:" + missing}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("Die Datei (" + missing + ") konnte nicht gefunden werden!"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("3) "), std::string::npos) << run.output;  // no main window
}

TEST_F(Startup, ExistingHostFileOpensTheWindow) {
  const std::string path = host.WriteExport("export.csv", SmallExport()).string();
  const RunResult run = host.RunPlugin({"/ID:5", "/f:" + path}, "3\n");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find("konnte nicht gefunden werden"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(kCaption), std::string::npos) << run.output;
}

TEST_F(Startup, JobSecondStepHandsTheParkedDocumentOver) {
  const fs::path job = JobFolder() / "123456789.xml";
  WriteFile(job, kGoldenXml);
  const RunResult run = host.RunPlugin({"-jobid", "123456789"}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find(kCaption), std::string::npos) << run.output;

  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 1u) << run.output;
  EXPECT_EQ(log[0].at("kind"), "xml");
  EXPECT_EQ(log[0].at("records"), "2");
  EXPECT_EQ(log[0].at("check"), "EEBB");
  EXPECT_EQ(log[0].at("check_ok"), "yes");
  EXPECT_EQ(log[0].at("mac_ok"), "yes");
  EXPECT_EQ(log[0].at("jobid"), "");
  EXPECT_EQ(log[0].at("cwd_ok"), "yes");
  EXPECT_EQ(log[0].at("exit"), "0");
  EXPECT_FALSE(fs::exists(job));  // a job runs once

  const std::string trace = host.TraceLog();
  EXPECT_NE(trace.find("Received 2.part transfer job: 123456789"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Started transfer for job 123456789: "), std::string::npos) << trace;
}

TEST_F(Startup, MissingJobFileIsOnlyTraced) {
  const RunResult run = host.RunPlugin({"-JOBID", "987654321"}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(host.ReceivedLog().empty());
  EXPECT_NE(host.TraceLog().find("Job 987654321 file does not exists."), std::string::npos);
}

TEST_F(Startup, JobNumberCannotLeaveTheJobFolder) {
  // "jobs/../../x.xml" below the plug-in's folder would be this file.
  const fs::path outside = host.Base() / "_EXTRAS" / "x.xml";
  WriteFile(outside, kGoldenXml);
  fs::create_directories(JobFolder());
  const RunResult run = host.RunPlugin({"-jobid", "../../x"}, "");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(host.ReceivedLog().empty()) << run.output;
  ASSERT_TRUE(fs::exists(outside));
  EXPECT_EQ(ReadFile(outside), kGoldenXml);
  EXPECT_NE(host.TraceLog().find("Job ../../x file does not exists."), std::string::npos)
      << host.TraceLog();
  EXPECT_TRUE(fs::is_empty(JobFolder()));
}

}  // namespace
}  // namespace tavrin::e2e
