// Where the program keeps its files, single INI values, and the rules for switches and
// safe folder names.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/settings.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

constexpr char S = kPathSep;

std::string P(std::initializer_list<std::string_view> parts, bool trailing = false) {
  std::string path;
  for (const std::string_view& part : parts) {
    if (&part != parts.begin()) path += S;
    path += part;
  }
  if (trailing) path += S;
  return path;
}

class Settings : public ::testing::Test {
 protected:
  Settings() { platform.programPath = dir.File("TavrinPlugin.exe"); }

  testing::TempDir dir;
  testing::FakePlatform platform;
};

TEST_F(Settings, ProgramFolderAndSettingsFile) {
  AppPaths paths(platform);
  EXPECT_EQ(paths.ProgramFolder(), dir.Path(true));
  EXPECT_EQ(paths.ExeBaseName(), "TavrinPlugin");
  EXPECT_EQ(paths.SettingsFilePath(), dir.File("TavrinPlugin.ini"));
}

TEST_F(Settings, ConfigFolderIsCreatedBelowTheProgram) {
  AppPaths paths(platform);
  const std::string expected = dir.Path(true) + "cfg" + S + "PC1_anna" + S;
  EXPECT_EQ(paths.ConfigFolder(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(FsPath(expected)));

  std::filesystem::remove_all(FsPath(dir.File("cfg")));
  EXPECT_EQ(paths.ConfigFolder(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(FsPath(expected)));
  platform.userName = "bert";  // fixed at first use
  EXPECT_EQ(paths.ConfigFolder(), expected);
}

TEST_F(Settings, ConfigFolderNameIsMadeSafe) {
  platform.computerName = "PC:1";
  platform.userName = "a?b*c";
  AppPaths paths(platform);
  EXPECT_EQ(paths.ConfigFolder(), dir.Path(true) + "cfg" + S + "PC_1_a_b_c" + S);
}

TEST_F(Settings, ReadIniValueTrimsAndWriteIniValueWrites) {
  const std::string file = dir.File("KELSAR Relay.rly");
  ASSERT_TRUE(WriteIniValue(platform, file, "Serials", "SN1", "Patient 7"));
  EXPECT_EQ(ReadBytes(file), "[Serials]\r\nSN1=Patient 7\r\n");
  WriteBytes(file, "[Serials]\r\nSN1=\"  Patient 7  \"\r\nSN2=\r\n");
  EXPECT_EQ(ReadIniValue(platform, file, "Serials", "SN1", ""), "Patient 7");
  EXPECT_EQ(ReadIniValue(platform, file, "Serials", "SN2", "x"), "");
  EXPECT_EQ(ReadIniValue(platform, file, "Serials", "SN3", " d "), "d");
}

TEST_F(Settings, ReadSettingUsesTheSettingsFile) {
  AppPaths paths(platform);
  WriteBytes(paths.SettingsFilePath(), "[Config]\r\nOXSWBaseFolder= D:\\OX \r\n");
  EXPECT_EQ(ReadSetting(platform, paths, "Config", "OXSWBaseFolder", ""), "D:\\OX");
}

TEST(IsTrueText, TrueAndFalseTexts) {
  for (const char* text : {"1", "-1", "2", " 1", "+3", "0.5", "1abc", "true", "TRUE", "Wahr", "ja",
                           "JA", "yes", "Yes"}) {
    EXPECT_TRUE(IsTrueText(text)) << text;
  }
  for (const char* text : {"0", "", " ", "-0", "0.0", "nein", "false", "False", "no", " true",
                           "yes ", "abc", "00000000000000000000000"}) {
    EXPECT_FALSE(IsTrueText(text)) << text;
  }
}

TEST(MakeValidPath, DevicesReservedCharactersParentStepsAndShares) {
  EXPECT_EQ(MakeValidPath(P({"C:", "a", "CON", "x?y"})), P({"C:", "a", "CO-N", "x_y"}, true));
  EXPECT_EQ(MakeValidPath(P({"lpt1", "com9", "Nul", "CONSOLE"})),
            P({"lpt-1", "com-9", "Nu-l", "CONSOLE"}, true));
  const char other = S == '/' ? '\\' : '/';
  EXPECT_EQ(MakeValidPath(std::string("a<b>c|d*e:f\"g") + other + "h"),
            "a_b_c_d_e_f\"g_h" + std::string(1, S));
  EXPECT_EQ(MakeValidPath(P({"a", "b", "..", "c"}) + S), P({"a", "c"}, true));
  EXPECT_EQ(MakeValidPath(P({"..", "a"})), P({"a"}, true));
  const std::string unc = std::string(2, S) + "server" + S + "share" + S + "x:y";
  EXPECT_EQ(MakeValidPath(unc), std::string(2, S) + "server" + S + "share" + S + "x_y" + S);
}

}  // namespace
}  // namespace tavrin
