#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/settings.h"
#include "platform/trace_log.h"

namespace tavrin {
namespace {

struct VersionCase {
  int major;
  int minor;
  int platformId;
  const char* name;
};

TEST(WindowsVersionName, NamesFromTheVersionTable) {
  const VersionCase cases[] = {
      {3, 51, 2, "Windows NT 3.x"},
      {3, 11, 1, "Windows 3.x"},
      {4, 0, 2, "Windows NT 4.0"},
      {4, 0, 1, "Windows 95"},
      {4, 10, 1, "Windows 98"},
      {4, 89, 1, "Windows 98"},
      {4, 90, 1, "Windows Me"},
      {5, 0, 2, "Windows 2000"},
      {5, 1, 2, "Windows XP"},
      {5, 2, 2, ""},
      {6, 0, 2, "Windows Vista"},
      {6, 1, 2, "Windows 7"},
      {6, 2, 2, "Windows Vista"},
      {6, 3, 2, "Windows Vista"},
      {10, 0, 2, "Unknown Windows Version"},
  };
  for (const auto& c : cases) {
    OsVersionInfo info;
    info.major = c.major;
    info.minor = c.minor;
    info.platformId = c.platformId;
    std::string number;
    bool is64 = true;
    EXPECT_EQ(WindowsVersionName(info, number, is64), c.name) << c.major << "." << c.minor;
    EXPECT_EQ(number, std::to_string(c.major) + "." + std::to_string(c.minor));
  }
}

TEST(WindowsVersionName, WordSizeOnlyFromWindows6On) {
  std::string number;
  bool is64 = true;
  WindowsVersionName(OsVersionInfo{5, 2, 2, 1, true, "", ""}, number, is64);
  EXPECT_FALSE(is64);
  WindowsVersionName(OsVersionInfo{6, 1, 2, 1, true, "", ""}, number, is64);
  EXPECT_TRUE(is64);
}

TEST(WindowsVersionName, SystemsThatNameThemselves) {
  OsVersionInfo info;
  info.systemName = "Linux";
  info.systemRelease = "6.1.0-18-amd64";
  info.is64Bit = true;
  std::string number;
  bool is64 = false;
  EXPECT_EQ(WindowsVersionName(info, number, is64), "Linux");
  EXPECT_EQ(number, "6.1.0-18-amd64");
  EXPECT_TRUE(is64);
}

TEST(TimeZone, TextOfABias) {
  EXPECT_EQ(TimeZoneText(-120), "+02:00");
  EXPECT_EQ(TimeZoneText(-60), "+01:00");
  EXPECT_EQ(TimeZoneText(240), "-04:00");
  EXPECT_EQ(TimeZoneText(0), "-00:00");
  EXPECT_EQ(TimeZoneText(-330), "+05:30");
  EXPECT_EQ(TimeZoneText(570), "-09:30");
  EXPECT_EQ(TimeZoneText(-765), "+12:45");
}

TEST(TimeZone, OffsetFollowsTheBiasInEffect) {
  testing::FakePlatform platform;
  platform.utcBiasMinutes = -60;  // winter time in Central Europe
  EXPECT_EQ(TimeZoneOffset(platform), "+01:00");
  platform.utcBiasMinutes = -120;  // summer time
  EXPECT_EQ(TimeZoneOffset(platform), "+02:00");
}

class ShortPathPlatform : public testing::FakePlatform {
 public:
  std::string answer;
  std::string ShortPath(const std::string&) override { return answer; }
};

TEST(ShortPath, ShortFormOrThePathItself) {
  ShortPathPlatform platform;
  platform.answer = "C:\\PROGRA~1\\ORVOLUX";
  EXPECT_EQ(ShortPath(platform, "C:\\Program Files\\Orvolux"), "C:\\PROGRA~1\\ORVOLUX");
  platform.answer.clear();  // conversion failed
  EXPECT_EQ(ShortPath(platform, "C:\\Program Files\\Orvolux"), "C:\\Program Files\\Orvolux");
}

class ZipPlatform : public testing::FakePlatform {
 public:
  std::vector<std::string> registered;
  bool RegisterZipComponent(const std::string& libraryPath) override {
    registered.push_back(libraryPath);
    return FakePlatform::RegisterZipComponent(libraryPath);
  }
};

TEST(ZipAvailable, RegistersTheLibraryOnlyWhenAskedAndNeeded) {
  testing::TempDir dir;
  ZipPlatform platform;
  platform.programPath = dir.File("TavrinPlugin");
  AppPaths paths(platform);
  EXPECT_FALSE(ZipAvailable(platform, paths, false));
  EXPECT_TRUE(platform.registered.empty());
  EXPECT_FALSE(ZipAvailable(platform, paths, true));  // registration fails
  platform.zipRegisterSucceeds = true;
  EXPECT_TRUE(ZipAvailable(platform, paths, true));
  ASSERT_EQ(platform.registered.size(), 2u);
  EXPECT_EQ(platform.registered[1], dir.File("zbitz.dll"));
  EXPECT_TRUE(ZipAvailable(platform, paths, true));  // now creatable: no third registration
  EXPECT_EQ(platform.registered.size(), 2u);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(LocaleReport, SixteenLinesInOrder) {
  testing::TempDir dir;
  testing::FakePlatform platform;
  platform.programPath = dir.File("TavrinPlugin");
  platform.localeInfo = {{1, "0407"},      {2, "German (Germany)"},
                         {3, "DEU"},       {4, "Deutsch"},
                         {5, "49"},        {6, "Germany"},
                         {7, "DEU"},       {8, "Deutschland"},
                         {9, "0407"},      {10, "49"},
                         {11, "850"},      {21, "EUR"},
                         {4097, "German"}, {4098, "Germany"},
                         {4100, "1252"},   {4113, "20273"}};
  AppPaths paths(platform);
  TraceLog trace(platform, paths);
  WriteLocaleReport(platform, trace);

  const std::vector<std::string> expected = {
      "Started, Locale[&H1] =0407",
      "Locale[&H2] =German (Germany)",
      "Locale[&H1001] =German",
      "Locale[&H3] =DEU",
      "Locale[&H4] =Deutsch",
      "Locale[&H5] =49",
      "Locale[&H6] =Germany",
      "Locale[&H1002] =Germany",
      "Locale[&H7] =DEU",
      "Locale[&H8] =Deutschland",
      "Locale[&H15] =EUR",
      "Locale[&H9] =0407",
      "Locale[&HA] =49",
      "Locale[&HB] =850",
      "Locale[&H1004] =1252",
      "Locale[&H1011] =20273",
  };
  const auto lines = ReadLines(trace.FilePath());
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i], "04.12.2026 23:35:08: " + expected[i]);
  }
}

}  // namespace
}  // namespace tavrin
