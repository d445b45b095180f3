// The converter's unattended user interface: answers to questions and the progress bar;
// and the platform that takes the user's regional settings and host folder.

#include "cli/console_ui.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/converter_platform.h"
#include "fakes/fake_platform.h"

namespace tavrin {
namespace {

TEST(ConsoleUiTest, DataAgeQuestionIsAnsweredOkEverythingElseDeclined) {
  std::ostringstream err, quietErr;
  ConsoleUi ui(err, false, false), quiet(quietErr, true, true);
  EXPECT_EQ(ui.ShowMessage("Old data\r\nfrom 2020", "TavrinPlugin", MessageButtons::OkCancel,
                           MessageIcon::Exclamation),
            MessageResult::Ok);
  EXPECT_EQ(err.str(), "tavrin-convert: [TavrinPlugin] Old data\nfrom 2020 (answered OK)\n");
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNo, MessageIcon::None), MessageResult::No);
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNoCancel, MessageIcon::None),
            MessageResult::Cancel);
  // Quiet keeps warnings and the bar off.
  quiet.ShowMessage("Old data", "c", MessageButtons::OkCancel, MessageIcon::Exclamation);
  quiet.SetExpectedRows(1000);
  quiet.SetStatusText("Importiere 256...");
  EXPECT_FALSE(quiet.ChooseFile({}).chosen);
  EXPECT_EQ(quietErr.str(), "");
  EXPECT_EQ(quiet.ShowSerialAutoDialog({}), SerialAutoChoice::Cancel);
  EXPECT_EQ(quiet.ShowSerialNoPatientDialog({}), SerialNoPatientChoice::Cancel);
  EXPECT_FALSE(quiet.ShowSerialEntryDialog({}).confirmed);
  // A serial-number dialog means a missing serial number: said even when quiet.
  EXPECT_NE(quietErr.str().find("--serial"), std::string::npos);
}

TEST(ConsoleUiTest, ProgressBarFollowsTheCountInTheStatusText) {
  EXPECT_EQ(FirstNumber("Importiere 1024..."), 1024);
  EXPECT_EQ(FirstNumber("Daten vorbereiten..."), std::nullopt);
  EXPECT_EQ(FirstNumber("99999999999999999999999"), std::numeric_limits<long>::max());
  // Counted lines may undercount the rows the reader finds: the bar stays full.
  EXPECT_EQ(ProgressBarLine(0, 200, 10) + "|" + ProgressBarLine(100, 200, 10) + "|" +
                ProgressBarLine(250, 200, 10) + "|" + ProgressBarLine(5, 0, 10),
            "[----------]   0%  0/200 rows|[#####-----]  50%  100/200 rows|[##########] 100%  "
            "200/200 rows|");
  std::ostringstream err, noTerminal;
  ConsoleUi ui(err, false, true), plain(noTerminal, false, false);
  for (ConsoleUi* each : {&ui, &plain}) {
    each->SetStatusText("Importiere 256...");  // no total yet: nothing to show
    each->SetExpectedRows(512);
    each->SetStatusText("Importiere 256...");
    each->EndProgress();
  }
  EXPECT_EQ(err.str(), "\r[###############---------------]  50%  256/512 rows\r\x1b[K");
  EXPECT_EQ(noTerminal.str(), "");
}

TEST(ConverterPlatformTest, RegionalSettingsAndOneProfileValueCanBeFixed) {
  testing::FakePlatform inner;
  inner.computerName = "HOST7";
  ConverterPlatform platform(inner);
  EXPECT_EQ(platform.Regional().decimalSeparator, ",");
  platform.OverrideRegional(RegionalSettings::EnglishUS());
  EXPECT_EQ(platform.Regional().dateOrder, RegionalSettings::DateOrder::MonthDayYear);
  platform.OverrideProfileString("/p/tavrin-convert.ini", "Config", "OXSWBaseFolder", "/opt/ox/");
  // Section and key in any letter case; another key or another file reads the real file.
  EXPECT_EQ(platform.ReadProfileString("/p/tavrin-convert.ini", "config", "oxswbasefolder", "") +
                platform.ReadProfileString("/p/tavrin-convert.ini", "Config", "Language", "DE") +
                platform.ReadProfileString("/p/other.ini", "Config", "OXSWBaseFolder", "-"),
            "/opt/ox/DE-");
  EXPECT_EQ(platform.ComputerName(), "HOST7");
}

}  // namespace
}  // namespace tavrin
