// The converter's unattended user interface: answers to questions and the progress bar;
// and the platform that takes the user's regional settings and host folder.

#include "cli/console_ui.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/converter_platform.h"
#include "fakes/fake_platform.h"

namespace tavrin {
namespace {

TEST(ConsoleUiTest, DataAgeQuestionIsAnsweredOkOtherQuestionsAreDeclined) {
  std::ostringstream err;
  ConsoleUi ui(err, false, false);
  EXPECT_EQ(ui.ShowMessage("Old data\r\nfrom 2020", "TavrinPlugin", MessageButtons::OkCancel,
                           MessageIcon::Exclamation),
            MessageResult::Ok);
  EXPECT_EQ(err.str(), "tavrin-convert: [TavrinPlugin] Old data\nfrom 2020 (answered OK)\n");
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNo, MessageIcon::None), MessageResult::No);
  EXPECT_EQ(ui.ShowMessage("t", "c", MessageButtons::YesNoCancel, MessageIcon::None),
            MessageResult::Cancel);
}

TEST(ConsoleUiTest, DialogsAreCancelledAndQuietKeepsWarningsOff) {
  std::ostringstream err;
  ConsoleUi ui(err, /*quiet=*/true, /*progressBar=*/true);
  ui.ShowMessage("Old data", "c", MessageButtons::OkCancel, MessageIcon::Exclamation);
  ui.SetExpectedRows(1000);
  ui.SetStatusText("Importiere 256...");
  EXPECT_FALSE(ui.ChooseFile({}).chosen);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ui.ShowSerialAutoDialog({}), SerialAutoChoice::Cancel);
  EXPECT_EQ(ui.ShowSerialNoPatientDialog({}), SerialNoPatientChoice::Cancel);
  EXPECT_FALSE(ui.ShowSerialEntryDialog({}).confirmed);
  // A serial-number dialog means a missing serial number: said even when quiet.
  EXPECT_NE(err.str().find("--serial"), std::string::npos);
}

TEST(ProgressTest, BarFollowsTheCountInTheStatusText) {
  EXPECT_EQ(FirstNumber("Importiere 1024..."), 1024);
  EXPECT_EQ(FirstNumber("Daten vorbereiten..."), std::nullopt);
  EXPECT_EQ(FirstNumber("99999999999999999999999"), std::numeric_limits<long>::max());
  EXPECT_EQ(ProgressBarLine(0, 200, 10), "[----------]   0%  0/200 rows");
  EXPECT_EQ(ProgressBarLine(100, 200, 10), "[#####-----]  50%  100/200 rows");
  // Counted lines may undercount the rows the reader finds: the bar stays full.
  EXPECT_EQ(ProgressBarLine(250, 200, 10), "[##########] 100%  200/200 rows");
  EXPECT_EQ(ProgressBarLine(5, 0, 10), "");

  std::ostringstream err;
  ConsoleUi ui(err, false, true);
  ui.SetStatusText("Importiere 256...");  // no total yet: nothing to show
  ui.SetExpectedRows(512);
  ui.SetStatusText("Importiere 256...");
  ui.EndProgress();
  EXPECT_EQ(err.str(), "\r[###############---------------]  50%  256/512 rows\r\x1b[K");

  std::ostringstream noTerminal;
  ConsoleUi plain(noTerminal, false, false);
  plain.SetExpectedRows(512);
  plain.SetStatusText("Importiere 256...");
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
  EXPECT_EQ(platform.ReadProfileString("/p/tavrin-convert.ini", "config", "oxswbasefolder", ""),
            "/opt/ox/");
  // Another key or another file reads the real file (missing here: the default).
  EXPECT_EQ(platform.ReadProfileString("/p/tavrin-convert.ini", "Config", "Language", "DE"), "DE");
  EXPECT_EQ(platform.ReadProfileString("/p/other.ini", "Config", "OXSWBaseFolder", "-"), "-");
  EXPECT_EQ(platform.ComputerName(), "HOST7");
}

}  // namespace
}  // namespace tavrin
