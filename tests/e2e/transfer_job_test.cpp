// The two-step transfer job against the stand-in host. The CSV reader produces no CGM
// rows, so the run is driven at the core's level: RunImport with a row text holding CGM
// readings, on the real POSIX platform whose program path points at the plug-in
// installed in the sample host. The stand-in imports the JSON stream, then starts the
// installed plug-in with "-jobid", which hands over the parked XML document.

#include <stdlib.h>

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/import_run.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "e2e/e2e_support.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/posix/posix_platform.h"
#include "platform/process_context.h"
#include "shared/error.h"

namespace tavrin::e2e {
namespace {

// The POSIX platform, running as if it were the plug-in installed in the host.
class InstalledPlatform : public PosixPlatform {
 public:
  explicit InstalledPlatform(std::string programPath) : programPath_(std::move(programPath)) {}
  std::string ProgramPath() override { return programPath_; }

 private:
  std::string programPath_;
};

// Points the process's environment into the sample host's folders, and the current
// folder back where it was, for the life of the object.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const SampleHost& host) {
    for (const std::string& entry : host.Environment()) {
      const std::string name = entry.substr(0, entry.find('='));
      if (name == "PATH") continue;
      const char* old = ::getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name.c_str(), entry.c_str() + name.size() + 1, 1);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::error_code ec;
    fs::current_path(folder_, ec);
  }

 private:
  fs::path folder_ = fs::current_path();
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
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

TEST(TransferJob, JsonFirstThenTheParkedXmlThroughTheHost) {
  testing::TempDir temp;
  SampleHost host(temp.Path());
  host.OpenPatient("PAT00023.dia");
  const ScopedEnvironment environment(host);
  InstalledPlatform platform(host.plugin.string());
  tavrin::testing::FakeUi ui;
  ui.autoAnswers.push_back(SerialAutoChoice::Auto);
  {
    ProcessContext context(platform, ui);
    Main(context);
    frmMeterImport window(context);
    window.Form_Load();
    EXPECT_THROW(RunImport(context, window, std::string(kRowText), "mg/dL"), ProgramEnded);
  }
  ASSERT_EQ(ui.autoDialogs.size(), 1u);

  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 3u) << host.TraceLog();
  const std::string serial = "9BC543D325";  // the first ten digits of the MD5 of PAT00023

  // First the JSON stream, with the job number of the parked XML document.
  const Received& json = log[0];
  EXPECT_EQ(json.at("kind"), "json");
  EXPECT_EQ(Verdict(json), "yes yes yes 0");
  EXPECT_EQ(json.at("sn"), serial);
  EXPECT_EQ(json.at("sequences"), "2");
  EXPECT_EQ(json.at("entries"), "1");  // the carbohydrates
  EXPECT_TRUE(std::regex_match(json.at("jobid"), std::regex("[1-9][0-9]{8}"))) << json.at("jobid");

  // Then the XML document, handed over by the plug-in started for that job.
  const Received& xml = log[1];
  EXPECT_EQ(xml.at("kind"), "xml");
  EXPECT_EQ(xml.at("from_job"), json.at("jobid"));
  EXPECT_EQ(xml.at("jobid"), "");
  EXPECT_EQ(Verdict(xml), "yes yes yes 0");
  EXPECT_EQ(xml.at("sn"), serial);
  EXPECT_EQ(xml.at("records"), "1");

  EXPECT_EQ(log[2].at("kind"), "followup");
  EXPECT_EQ(log[2].at("plugin_exit"), "0");
  EXPECT_FALSE(fs::exists(host.pluginFolder / "jobs" / (json.at("jobid") + ".xml")));
}

}  // namespace
}  // namespace tavrin::e2e
