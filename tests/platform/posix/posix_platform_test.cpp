#include "platform/posix/posix_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"

namespace tavrin {
namespace {

// Sets or clears environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      Set(name, value);
    }
    ::tzset();
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) Set(name.c_str(), value ? value->c_str() : nullptr);
    ::tzset();
  }

 private:
  static void Set(const char* name, const char* value) {
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

TEST(PosixPlatformLocale, FromTheLocaleVariables) {
  PosixPlatform platform;
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_MESSAGES", nullptr}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(platform.LocaleInfo(3), "DEU");
    EXPECT_EQ(platform.LocaleInfo(1), "0407");
    EXPECT_EQ(platform.LocaleInfo(12345), "");
  }
  {
    ScopedEnv env{{"LC_ALL", "fr_CA.UTF-8"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(platform.LocaleInfo(3), "FRC");
  }
  {
    ScopedEnv env{{"LC_ALL", ""}, {"LC_MESSAGES", "it_IT"}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(platform.LocaleInfo(3), "ITA");
  }
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_MESSAGES", nullptr}, {"LANG", nullptr}};
    EXPECT_EQ(platform.LocaleInfo(3), "ENU");
    EXPECT_EQ(platform.Regional().shortDateFormat, "M/d/yyyy");
  }
}

TEST(PosixPlatformLocale, RegionalSettingsPerCategory) {
  PosixPlatform platform;
  ScopedEnv env{{"LC_ALL", nullptr},
                {"LC_TIME", "de_DE.UTF-8"},
                {"LC_NUMERIC", nullptr},
                {"LANG", "en_US.UTF-8"}};
  const RegionalSettings regional = platform.Regional();
  EXPECT_EQ(regional.shortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(regional.longTimeFormat, "HH:mm:ss");
  EXPECT_EQ(regional.monthNames[11], "Dezember");
  EXPECT_EQ(regional.decimalSeparator, ".");
}

TEST(PosixPlatformHoldFile, ExclusiveWhileHeld) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::string path = dir.File("TavrinPlugin.run");
  auto first = platform.HoldFile(path);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(platform.HoldFile(path), nullptr);

  // Another process cannot take it either.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    PosixPlatform inChild;
    ::_exit(inChild.HoldFile(path) == nullptr ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  first.reset();
  EXPECT_NE(platform.HoldFile(path), nullptr);
}

TEST(PosixPlatformHoldFile, UncreatableFileIsNotHeld) {
  testing::TempDir dir;
  PosixPlatform platform;
  EXPECT_EQ(platform.HoldFile(dir.File("missing/folder/file.run")), nullptr);
}

TEST(PosixPlatformTime, BiasFollowsSummerTime) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin")) {
    GTEST_SKIP() << "no time-zone database";
  }
  PosixPlatform platform;
  {
    ScopedEnv env{{"TZ", "Europe/Berlin"}};
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 1, 15, 12, 0, 0}), -60);
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 7, 15, 12, 0, 0}), -120);
    // The last Sunday of October 2026: summer time ends at 03:00.
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 10, 24, 12, 0, 0}), -120);
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 10, 26, 12, 0, 0}), -60);
  }
  {
    ScopedEnv env{{"TZ", "America/New_York"}};
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 1, 15, 12, 0, 0}), 300);
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 7, 15, 12, 0, 0}), 240);
  }
  {
    ScopedEnv env{{"TZ", "UTC"}};
    EXPECT_EQ(platform.UtcBiasMinutes({2026, 7, 15, 12, 0, 0}), 0);
  }
}

TEST(PosixPlatformSystem, ProgramAndMachine) {
  PosixPlatform platform;
  const std::string program = platform.ProgramPath();
  EXPECT_EQ(std::filesystem::path(program).filename(), "tests_posix");
  EXPECT_TRUE(std::filesystem::path(program).is_absolute());
  const std::string computer = platform.ComputerName();
  EXPECT_FALSE(computer.empty());
  EXPECT_LE(computer.size(), 255u);
  ScopedEnv env{{"USER", "fallback-user"}};
  EXPECT_FALSE(platform.UserName().empty());
  const OsVersionInfo os = platform.OsVersion();
  EXPECT_FALSE(os.systemName.empty());
  EXPECT_FALSE(os.systemRelease.empty());
}

TEST(PosixPlatformSystem, MachineWordSize) {
  EXPECT_TRUE(MachineIs64Bit("x86_64"));
  EXPECT_TRUE(MachineIs64Bit("aarch64"));
  EXPECT_TRUE(MachineIs64Bit("ppc64le"));
  EXPECT_TRUE(MachineIs64Bit("s390x"));
  EXPECT_FALSE(MachineIs64Bit("i686"));
  EXPECT_FALSE(MachineIs64Bit("armv7l"));
}

TEST(PosixPlatformFiles, NormalAttributesOnlyAddOwnerReadWrite) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::string path = dir.File("readonly.txt");
  { std::ofstream(path) << "x"; }
  ::chmod(path.c_str(), 0444);
  platform.SetNormalAttributes(path);
  EXPECT_EQ(ModeOf(path), 0644);
  ::chmod(path.c_str(), 0400);
  platform.SetNormalAttributes(path);
  EXPECT_EQ(ModeOf(path), 0600);
  platform.SetNormalAttributes(dir.File("missing.txt"));  // ignored
}

TEST(PosixPlatformServices, CryptoProviderWorks) {
  PosixPlatform platform;
  const std::string abc = "abc";
  std::vector<std::uint8_t> digest;
  ASSERT_TRUE(platform.Crypto().Digest(
      HashAlgorithm::SHA256,
      std::span(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()), digest));
  ASSERT_EQ(digest.size(), 32u);
  EXPECT_EQ(digest[0], 0xBA);
  EXPECT_EQ(digest[31], 0xAD);
}

}  // namespace
}  // namespace tavrin
