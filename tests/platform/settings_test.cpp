// Where the program keeps its files, single INI values, the rules for switches and safe
// folder names, the trace log in the configuration folder, and the facts about the system
// that go into the trace and the documents.
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/file_helpers.h"
#include "platform/ini_file.h"
#include "platform/system_info.h"
#include "platform/trace_log.h"

namespace tavrin {
namespace {

using namespace testing;

class Settings : public ::testing::Test {
 protected:
  const std::string S{kPathSep};
  TempDir dir;
  FakePlatform platform = PlatformIn(dir);
  AppPaths paths{platform};
};

TEST_F(Settings, SettingsFileAndTrimmedIniValues) {
  const std::string file = dir.File("KELSAR Relay.rly");
  ASSERT_TRUE(WriteIniValue(platform, file, "Serials", "SN1", "Patient 7", FileAccess::OwnerOnly));
  EXPECT_EQ(ReadBytes(file), "[Serials]\r\nSN1=Patient 7\r\n");
  EXPECT_EQ(paths.SettingsFilePath(), dir.File("TavrinPlugin.ini"));
  WriteBytes(paths.SettingsFilePath(), "[Config]\r\nA=\"  Patient 7  \"\r\nB=\r\n");
  EXPECT_EQ(ReadSetting(paths, "Config", "A", "") + "|" + ReadSetting(paths, "Config", "B", "x") +
                "|" + ReadSetting(paths, "Config", "C", " d "),
            "Patient 7||d");
}

TEST(IsTrueText, TrueAndFalseTexts) {
  for (const char* text : {"1", "-1", " 1", "+3", "0.5", "1abc", "TRUE", "Wahr", "ja", "Yes"}) {
    EXPECT_TRUE(IsTrueText(text)) << text;
  }
  for (const char* text :
       {"0", "", "-0", "0.0", "nein", "False", " true", "yes ", "0000000000000"}) {
    EXPECT_FALSE(IsTrueText(text)) << text;
  }
}

TEST_F(Settings, ConfigFolderAndValidPaths) {
  platform.computerName = "PC:1";
  platform.userName = "a?b*c";
  EXPECT_EQ(paths.ConfigFolder(), dir.File("cfg" + S + "PC_1_a_b_c" + S));
  const auto P = [](std::string path) {  // with the platform's separator for "/"
    for (char& c : path) c = c == '/' ? kPathSep : c;
    return path;
  };
  EXPECT_EQ(MakeValidPath(P("C:/a/CON/lpt1/Nul/CONSOLE/x?y")),
            P("C:/a/CO-N/lpt-1/Nu-l/CONSOLE/x_y/"));
  EXPECT_EQ(MakeValidPath(std::string("a<b>c|d*e:f\"g") + (S == "/" ? "\\" : "/") + "h"),
            P("a_b_c_d_e_f\"g_h/"));
  EXPECT_EQ(MakeValidPath(P("../a/b/../c/")), P("a/c/"));
  EXPECT_EQ(MakeValidPath(P("//server/share/x:y")), P("//server/share/x_y/"));
}

TEST_F(Settings, TraceLogStartsAnewUnlessTheSettingKeepsIt) {
  const std::string log = dir.File("cfg" + S + "PC1_anna" + S + "tVtrace.log");
  WriteBytes(log, "old run\r\n");
  std::string message = "Command line args: ";
  TraceLog(platform, paths).Write(message);
  EXPECT_EQ(message, "Started, Command line args: ");
  TraceLog(platform, paths).Write("second process");
  EXPECT_EQ(ReadBytes(log), "04.12.2026 23:35:08: Started, second process\r\n");
  WriteBytes(paths.SettingsFilePath(), "[Config]\r\nDeleteLogOnStartup=0\r\n");
  TraceLog kept(platform, paths);
  kept.Write("x");
  platform.now.second = 9;
  platform.regional = RegionalSettings::EnglishUS();
  kept.Write("two\r\nlines Größe");
  EXPECT_EQ(ReadBytes(log),
            "04.12.2026 23:35:08: Started, second process\r\n"
            "04.12.2026 23:35:08: Started, x\r\n"
            "12/4/2026 11:35:09 PM: two\r\nlines Gr\xF6\xDF\x65\r\n");
  // The folder is made again when missing; a folder in the log file's place is an error.
  std::filesystem::remove_all(dir.File("cfg"));
  kept.Write("b");
  EXPECT_EQ(ReadBytes(log), "12/4/2026 11:35:09 PM: b\r\n");
  std::filesystem::remove(log);
  std::filesystem::create_directories(log + S + "inside");
  EXPECT_EQ(ErrorOf([&] { kept.Write("c"); }), "75 WriteTraceLog");
}

TEST_F(Settings, LocaleReportInOrder) {
  platform.localeInfo = {{1, "0407"}, {4113, "20273"}};
  TraceLog trace(platform, paths);
  WriteLocaleReport(platform, trace);
  const std::string at = "04.12.2026 23:35:08: ";
  std::string expected = at + "Started, Locale[&H1] =0407\r\n";
  for (const std::string hex :
       {"2", "1001", "3", "4", "5", "6", "1002", "7", "8", "15", "9", "A", "B", "1004"}) {
    expected += at + "Locale[&H" + hex + "] =\r\n";
  }
  EXPECT_EQ(ReadBytes(trace.FilePath()), expected + at + "Locale[&H1011] =20273\r\n");
}

TEST_F(Settings, SystemFacts) {
  const auto name = [](const OsVersionInfo& info) {
    std::string number;
    bool is64 = false;
    const std::string name = WindowsVersionName(info, number, is64);
    return name + " " + number + (is64 ? " 64-bit" : "");
  };
  // clang-format off
  const std::tuple<int, int, int, const char*> windows[] = {
      {3, 51, 2, "Windows NT 3.x"}, {3, 11, 1, "Windows 3.x"}, {4, 0, 2, "Windows NT 4.0"},
      {4, 0, 1, "Windows 95"},      {4, 89, 1, "Windows 98"},  {4, 90, 1, "Windows Me"},
      {5, 0, 2, "Windows 2000"},    {5, 1, 2, "Windows XP"},   {5, 2, 2, ""},
      {6, 0, 2, "Windows Vista"},   {6, 1, 2, "Windows 7"},    {10, 0, 2, "Unknown Windows Version"}};
  // clang-format on
  for (const auto& [major, minor, id, text] : windows) {
    // The word size is known from Windows 6 on.
    EXPECT_EQ(name({major, minor, id, 1, true, "", ""}),
              text + (" " + std::to_string(major) + "." + std::to_string(minor)) +
                  (major >= 6 ? " 64-bit" : ""));
  }
  // Other systems name themselves.
  EXPECT_EQ(name({0, 0, 0, 0, true, "Linux", "6.1"}), "Linux 6.1 64-bit");
  EXPECT_EQ(TimeZoneText(-330) + TimeZoneText(0) + TimeZoneOffset(platform), "+05:30-00:00+01:00");
  EXPECT_EQ(ShortPath(platform, "/a b/c"), "/a b/c");
}

TEST_F(Settings, ZipLibraryIsRegisteredOnlyWhenAskedAndNeeded) {
  EXPECT_FALSE(ZipAvailable(platform, paths, ZipRegistration::kNone) ||
               ZipAvailable(platform, paths, ZipRegistration::kRegisterAndRetry));
  platform.zipRegisterSucceeds = true;
  EXPECT_TRUE(ZipAvailable(platform, paths, ZipRegistration::kRegisterAndRetry) &&
              ZipAvailable(platform, paths, ZipRegistration::kRegisterAndRetry));
  EXPECT_EQ(platform.zipRegistrations, std::vector<std::string>(2, dir.File("zbitz.dll")));
}

// The settings file shipped with the Windows packages (CR LF lines, or no key is found):
// its comments hide no key, every key holds the program's default, the commented-out language
// leaves the system's language in charge, and the start-up's write-back keeps the comments.
TEST_F(Settings, ShippedSettingsFileHoldsTheDefaults) {
  const std::string shipped =
      ReadBytes(std::string(TAVRIN_SOURCE_DIR) + "/packaging/windows/TavrinPlugin.ini");
  WriteBytes(paths.SettingsFilePath(), shipped);
  cIniFile settings(platform);
  settings.IniFile(paths.SettingsFilePath());
  settings.Save("Config", "NewerOnly", "0");
  settings.Save("Config", "CreateDump", "0");
  const std::tuple<const char*, const char*, const char*> keys[] = {
      {"Config", "Language", "(none)"},
      {"Config", "OXSWBaseFolder", "(none)"},
      {"Config", "ShowOldOrNewDataWarning", "1"},
      {"Config", "NumDaysOldDataWarning", "31"},
      {"Config", "DeleteLogOnStartup", "1"},
      {"Config", "CreateDump", "0"},
      {"Config", "CreateReport", "0"},
      {"Config", "ReportDays", "0"},
      {"OXSW", "XML-SNo-Static", "0"},
  };
  for (const auto& [section, key, expected] : keys) {
    EXPECT_EQ(settings.Load(section, key, "(none)"), expected) << key;
  }
  EXPECT_EQ(ReadSetting(paths, "Config", "OXSWBaseFolder", ""), "");
  std::string expected = shipped;
  expected.insert(shipped.find("\r\n[OXSW]"), "NewerOnly=0\r\n");
  EXPECT_EQ(ReadBytes(paths.SettingsFilePath()), expected);
}

}  // namespace
}  // namespace tavrin
