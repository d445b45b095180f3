#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/command_line.h"
#include "shared/error.h"

namespace tavrin {
namespace {

// Sets or clears environment variables for one scope and puts the old values back.
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
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Runs a command line to its end (at most ten seconds) and gives its exit code.
std::uint32_t RunToEnd(PosixPlatform& platform, const std::string& commandLine) {
  std::unique_ptr<ChildProcess> child = platform.StartProcess(commandLine, 1);
  EXPECT_NE(child, nullptr);
  if (!child) return 9999;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::uint32_t code = 9999;
  while (!child->Finished(code)) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "program did not end: " << commandLine;
      return 9999;
    }
    child->WaitBriefly();
  }
  return code;
}

TEST(PosixProcesses, ExitCodesAndSignals) {
  PosixPlatform platform;
  EXPECT_EQ(RunToEnd(platform, R"(/bin/sh -c "exit 7")"), 7u);
  EXPECT_EQ(RunToEnd(platform, R"(sh -c "exit 0")"), 0u);  // found along PATH
  EXPECT_EQ(RunToEnd(platform, R"(/bin/sh -c "kill -9 $$")"), 128u + 9u);
}

TEST(PosixProcesses, ArgumentsArriveAsSplit) {
  PosixPlatform platform;
  // The script checks every argument it receives, so nothing may be re-split or lost.
  const std::string script =
      R"([ $# -eq 4 ] && [ "$1" = 'a b' ] && [ "$2" = '' ] && [ "$3" = 'q"x\' ] && )"
      R"([ "$4" = 'C:\Temp\~tV1.xml' ])";
  const std::string line = JoinWindowsCommandLine(
      {"/bin/sh", "-c", script, "sh", "a b", "", R"(q"x\)", R"(C:\Temp\~tV1.xml)"});
  EXPECT_EQ(RunToEnd(platform, line), 0u) << line;
  EXPECT_EQ(RunToEnd(platform, R"(/bin/sh -c "exit $#" sh one "two three" "")"), 3u);
}

TEST(PosixProcesses, MissingOrUnrunnableProgramRaisesFileNotFound) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::string notExecutable = dir.File("tool.exe");
  { std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n"; }
  ::chmod(notExecutable.c_str(), 0644);
  for (const std::string& program :
       {dir.File("missing.exe"), notExecutable, std::string("no-such-program-on-path")}) {
    try {
      platform.StartProcess(program + " import", 1);
      ADD_FAILURE() << "started: " << program;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), 53);
      EXPECT_EQ(error.Source(), "ShellAndWait");
      EXPECT_EQ(error.Description(), "File not found: " + program);
    }
  }
  EXPECT_THROW(platform.StartProcess("   ", 1), RuntimeError);
}

TEST(PosixExclusiveOpen, FailsWhileAnotherDescriptorHoldsALock) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::string path = dir.File("import.xml");
  { std::ofstream(path) << "<x/>"; }
  EXPECT_TRUE(platform.CanOpenExclusively(path));

  const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_SH), 0);
  EXPECT_FALSE(platform.CanOpenExclusively(path));
  ::flock(other, LOCK_UN);
  EXPECT_TRUE(platform.CanOpenExclusively(path));
  ::close(other);

  {
    auto held = platform.HoldFile(path);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(platform.CanOpenExclusively(path));
  }
  EXPECT_TRUE(platform.CanOpenExclusively(path));
  EXPECT_FALSE(platform.CanOpenExclusively(dir.File("missing.xml")));
}

TEST(PosixTempFiles, TempPathFromTmpdir) {
  PosixPlatform platform;
  {
    ScopedEnv env{{"TMPDIR", "/var/tmp/x"}};
    EXPECT_EQ(platform.TempPath(), "/var/tmp/x/");
  }
  ScopedEnv env{{"TMPDIR", nullptr}};
  EXPECT_EQ(platform.TempPath(), "/tmp/");
}

TEST(PosixTempFiles, UniquePlaceholders) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::regex name(R"(~tV[0-9A-F]{1,4}\.tmp)");
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::string path =
        platform.CreateUniqueTempFile(i % 2 ? dir.Path() : dir.Path(true), "~tVp");
    ASSERT_FALSE(path.empty());
    const std::filesystem::path file(path);
    EXPECT_EQ(file.parent_path(), std::filesystem::path(dir.Path()));
    EXPECT_TRUE(std::regex_match(file.filename().string(), name)) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
    EXPECT_TRUE(seen.insert(path).second) << "handed out twice: " << path;
  }
  EXPECT_TRUE(std::filesystem::path(platform.CreateUniqueTempFile(dir.Path(), "äbcd"))
                  .filename()
                  .string()
                  .starts_with("äbc"));
  EXPECT_EQ(platform.CreateUniqueTempFile(dir.File("missing"), "~tV"), "");
  EXPECT_EQ(platform.CreateUniqueTempFile("", "~tV"), "");
}

TEST(PosixFolders, CurrentAndChangeDirectory) {
  testing::TempDir dir;
  PosixPlatform platform;
  const std::string before = platform.CurrentDirectory();
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(platform.ChangeDirectory(dir.Path()), 0);
  EXPECT_EQ(std::filesystem::path(platform.CurrentDirectory()),
            std::filesystem::canonical(dir.Path()));
  EXPECT_EQ(platform.ChangeDirectory(dir.File("missing")), 76);
  EXPECT_EQ(platform.ChangeDirectory(""), 76);
  EXPECT_EQ(platform.ChangeDirectory(before), 0);
}

class PosixUserValues : public ::testing::Test {
 protected:
  PosixUserValues()
      : env_{{"XDG_CONFIG_HOME", config.Path().c_str()}, {"HOME", home.Path().c_str()}} {}
  std::string StoreFile() { return config.File("TavrinPlugin/registry.ini"); }

  testing::TempDir config;
  testing::TempDir home;
  PosixPlatform platform;

 private:
  ScopedEnv env_;
};

TEST_F(PosixUserValues, StoredInTheConfigurationHome) {
  const std::string key = "TavrinPlugin\\TempFilesToBeDeleted";
  EXPECT_EQ(platform.ReadUserValue(key, "Anzahl"), "");
  ASSERT_TRUE(platform.WriteUserValue(key, "Anzahl", "2"));
  ASSERT_TRUE(platform.WriteUserValue(key, "1", "/tmp/a b.xml"));
  ASSERT_TRUE(platform.WriteUserValue("Other", "1", "x"));
  ASSERT_TRUE(platform.WriteUserValue(key, "2", " /tmp/\"q\"/Дмитрий.xml "));
  ASSERT_TRUE(platform.WriteUserValue(key, "anzahl", "3"));
  EXPECT_EQ(ReadAll(StoreFile()),
            "[TavrinPlugin\\TempFilesToBeDeleted]\n"
            "Anzahl=3\n"
            "1=/tmp/a b.xml\n"
            "2= /tmp/\"q\"/Дмитрий.xml \n"
            "\n"
            "[Other]\n"
            "1=x\n");
  EXPECT_EQ(platform.ReadUserValue("tavrinplugin\\tempfilestobedeleted", "ANZAHL"), "3");
  EXPECT_EQ(platform.ReadUserValue(key, "2"), " /tmp/\"q\"/Дмитрий.xml ");
  EXPECT_EQ(platform.ReadUserValue("Other", "1"), "x");
  EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
}

TEST_F(PosixUserValues, DeletedValuesAreGone) {
  ASSERT_TRUE(platform.WriteUserValue("K", "1", "a"));
  ASSERT_TRUE(platform.WriteUserValue("K", "2", "b"));
  EXPECT_TRUE(platform.DeleteUserValue("K", "1"));
  EXPECT_FALSE(platform.DeleteUserValue("K", "1"));
  EXPECT_FALSE(platform.DeleteUserValue("Missing", "1"));
  EXPECT_EQ(platform.ReadUserValue("K", "1"), "");
  EXPECT_EQ(platform.ReadUserValue("K", "2"), "b");
  EXPECT_EQ(ReadAll(StoreFile()), "[K]\n2=b\n");
}

TEST_F(PosixUserValues, TextsThatWouldForgeLinesAreRefused) {
  EXPECT_FALSE(platform.WriteUserValue("K", "1", "a\nAnzahl=99"));
  EXPECT_FALSE(platform.WriteUserValue("K", "a=b", "x"));
  EXPECT_FALSE(platform.WriteUserValue("K]", "1", "x"));
  EXPECT_FALSE(platform.WriteUserValue("K", "", "x"));
  EXPECT_FALSE(std::filesystem::exists(StoreFile()));
}

TEST(PosixUserStorePath, ConfigurationHomeThenHome) {
  EXPECT_EQ(UserStorePath("/cfg", "/home/anna"), "/cfg/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("/cfg/", "/home/anna"), "/cfg/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("", "/home/anna"), "/home/anna/.config/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("relative", "/home/anna"),
            "/home/anna/.config/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("", ""), "");
}

TEST(PosixServices, ClipboardProcessQueryAndSeeds) {
  PosixPlatform platform;
  ::testing::internal::CaptureStdout();
  platform.SetClipboardText("3C 78 2F 3E");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "3C 78 2F 3E\n");
  EXPECT_EQ(platform.FindProcessFolder("Veltra Orvolux Software.exe"), "");
  EXPECT_NE(platform.RandomSeed(), platform.RandomSeed());
}

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
  EXPECT_FALSE(platform.ComputerName().empty());
  EXPECT_FALSE(platform.UserName().empty());
  EXPECT_FALSE(platform.OsVersion().systemRelease.empty());
}

TEST(PosixPlatformSystem, MachineWordSize) {
  for (const char* machine : {"x86_64", "aarch64", "ppc64le", "s390x"}) {
    EXPECT_TRUE(MachineIs64Bit(machine)) << machine;
  }
  EXPECT_FALSE(MachineIs64Bit("i686") || MachineIs64Bit("armv7l"));
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
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  std::vector<std::uint8_t> digest;
  ASSERT_TRUE(platform.Crypto().Digest(HashAlgorithm::SHA256, abc, digest));
  ASSERT_EQ(digest.size(), 32u);
  EXPECT_EQ(digest[0], 0xBA);
  EXPECT_EQ(digest[31], 0xAD);
}

}  // namespace
}  // namespace tavrin
