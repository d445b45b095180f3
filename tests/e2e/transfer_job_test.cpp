// The two-step transfer job against the stand-in host. The CSV reader produces no CGM
// rows, so the run is driven at the core's level: RunImport with a row text holding CGM
// readings, on the real POSIX platform whose program path points at the plug-in
// installed in the sample host. The stand-in imports the JSON stream, then starts the
// installed plug-in with "-jobid", which hands over the parked XML document.

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <string>

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

// Points the process's environment into the test's folder and the current folder back
// where it was, for the life of the object.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::map<std::string, std::string>& values)
      : folder_(fs::current_path()) {
    for (const auto& [name, value] : values) {
      const char* old = ::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      ::setenv(name.c_str(), value.c_str(), 1);
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
  fs::path folder_;
  std::map<std::string, std::optional<std::string>> saved_;
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
  ScopedEnvironment environment({{"HOME", temp.Path() + "/home"},
                                 {"XDG_CONFIG_HOME", temp.Path() + "/home/.config"},
                                 {"TMPDIR", temp.Path() + "/tmp"},
                                 {"LANG", "de_DE.UTF-8"}});

  InstalledPlatform platform(host.Plugin().string());
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
  const std::string serial = Md5Prefix("PAT00023");

  // First the JSON stream, with the job number of the parked XML document.
  const Received& json = log[0];
  EXPECT_EQ(json.at("kind"), "json");
  EXPECT_EQ(json.at("check_ok"), "yes");
  EXPECT_EQ(json.at("mac_ok"), "yes");
  EXPECT_EQ(json.at("exit"), "0");
  EXPECT_EQ(json.at("sn"), serial);
  EXPECT_EQ(json.at("sequences"), "2");
  EXPECT_EQ(json.at("entries"), "1");  // the carbohydrates
  EXPECT_TRUE(std::regex_match(json.at("jobid"), std::regex("[1-9][0-9]{8}"))) << json.at("jobid");

  // Then the XML document, handed over by the plug-in started for that job.
  const Received& xml = log[1];
  EXPECT_EQ(xml.at("kind"), "xml");
  EXPECT_EQ(xml.at("from_job"), json.at("jobid"));
  EXPECT_EQ(xml.at("jobid"), "");
  EXPECT_EQ(xml.at("check_ok"), "yes");
  EXPECT_EQ(xml.at("mac_ok"), "yes");
  EXPECT_EQ(xml.at("sn"), serial);
  EXPECT_EQ(xml.at("records"), "1");
  EXPECT_EQ(xml.at("exit"), "0");

  EXPECT_EQ(log[2].at("kind"), "followup");
  EXPECT_EQ(log[2].at("plugin_exit"), "0");
  EXPECT_FALSE(fs::exists(host.PluginFolder() / "jobs" / (json.at("jobid") + ".xml")));
}

}  // namespace
}  // namespace tavrin::e2e
