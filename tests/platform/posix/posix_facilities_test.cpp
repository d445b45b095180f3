// The POSIX back end against the real system, inside temporary folders: processes, the run
// marker's lock, temporary names, folders and file modes, the user-value store, locale
// variables, time zones and the small services.
#include "platform/posix/posix_platform.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <regex>
#include <set>

#include "platform/command_line.h"
#include "platform/file_helpers.h"
#include "platform/languages.h"
#include "shared/date_time.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Sets one environment variable (or clears it, for nullptr) until the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }

 private:
  void Set(const char* value) {
    value ? ::setenv(name_, value, 1) : ::unsetenv(name_);
    ::tzset();
  }
  const char* name_;
  std::optional<std::string> saved_;
};

std::uint32_t RunToEnd(PosixPlatform& platform, const std::string& commandLine) {
  const std::unique_ptr<ChildProcess> child = platform.StartProcess(commandLine, 1);
  std::uint32_t code = 0;
  while (!child->Finished(code)) child->WaitBriefly();
  return code;
}

TEST(PosixProcesses, ExitCodesSignalsArgumentsAndMissingPrograms) {
  TempDir dir;
  PosixPlatform platform;
  EXPECT_EQ(RunToEnd(platform, R"(/bin/sh -c "exit 7")"), 7u);
  EXPECT_EQ(RunToEnd(platform, R"(sh -c "kill -9 $$")"), 128u + 9u);  // found along PATH
  // The script checks every argument it receives, so nothing may be re-split or lost.
  const std::string line = JoinWindowsCommandLine(
      {"/bin/sh", "-c", R"([ $# -eq 3 ] && [ "$1" = 'a b' ] && [ "$2" = '' ] && [ "$3" = 'q"x\' ])",
       "sh", "a b", "", R"(q"x\)"});
  EXPECT_EQ(RunToEnd(platform, line), 0u) << line;
  WriteBytes(dir.File("tool.exe"), "#!/bin/sh\nexit 0\n");  // not executable
  for (const std::string& program :
       {dir.File("missing.exe"), dir.File("tool.exe"), std::string("no-such-program-on-path")}) {
    EXPECT_EQ(ErrorOf([&] { platform.StartProcess(program + " import", 1); }), "53 ShellAndWait");
  }
  EXPECT_EQ(ErrorOf([&] { platform.StartProcess("   ", 1); }), "53 ShellAndWait");
}

TEST(PosixFileLocks, TheRunMarkerIsHeldAgainstEveryOtherProcess) {
  TempDir dir;
  PosixPlatform platform;
  const std::string path = dir.File("TavrinPlugin.run");
  EXPECT_FALSE(platform.CanOpenExclusively(path));  // missing
  auto marker = platform.HoldFile(path);            // made when missing
  ASSERT_NE(marker, nullptr);
  EXPECT_FALSE(platform.CanOpenExclusively(path));
  EXPECT_EQ(platform.HoldFile(path), nullptr);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(PosixPlatform().HoldFile(path) == nullptr ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "taken by another process";
  marker.reset();
  EXPECT_TRUE(platform.CanOpenExclusively(path));
  EXPECT_EQ(platform.HoldFile(dir.File("missing/file.run")), nullptr);
}

TEST(PosixFiles, TemporaryNamesFoldersAndModes) {
  TempDir dir;
  PosixPlatform platform;
  {
    ScopedEnv tmpdir("TMPDIR", "/var/tmp/x");
    EXPECT_EQ(platform.TempPath(), "/var/tmp/x/");
  }
  ScopedEnv tmpdir("TMPDIR", nullptr);
  EXPECT_EQ(platform.TempPath(), "/tmp/");
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::string file = platform.CreateUniqueTempFile(dir.Path(i % 2 == 0), "~tVp");
    EXPECT_TRUE(std::regex_match(file, std::regex(dir.File(R"(~tV[0-9A-F]{1,4}\.tmp)"))));
    EXPECT_TRUE(Exists(file) && seen.insert(file).second) << file;
  }
  EXPECT_TRUE(platform.CreateUniqueTempFile(dir.Path(), "äbcd").starts_with(dir.File("äbc")));
  EXPECT_EQ(platform.CreateUniqueTempFile(dir.File("missing"), "~tV") +
                platform.CreateUniqueTempFile("", "~tV"),
            "");
  const std::string before = platform.CurrentDirectory();
  EXPECT_EQ(platform.ChangeDirectory(dir.Path()), 0);
  EXPECT_EQ(fs::path(platform.CurrentDirectory()), fs::canonical(dir.Path()));
  EXPECT_EQ(platform.ChangeDirectory(dir.File("missing")) + platform.ChangeDirectory(""), 76 + 76);
  EXPECT_EQ(platform.ChangeDirectory(before), 0);
  // Normal attributes only add owner read and write.
  const std::string path = dir.File("readonly.txt");
  WriteBytes(path, "x");
  fs::permissions(path, fs::perms(0440));
  platform.SetNormalAttributes(path);
  platform.SetNormalAttributes(dir.File("missing.txt"));  // ignored
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
}

TEST(PosixUserValues, StoredInTheConfigurationHome) {
  TempDir config, home;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.Path().c_str());
  ScopedEnv homeVariable("HOME", home.Path().c_str());
  PosixPlatform platform;
  const std::string key = "TavrinPlugin\\TempFilesToBeDeleted";
  EXPECT_EQ(platform.ReadUserValue(key, "Anzahl"), "");
  // Texts that would forge lines are refused.
  EXPECT_FALSE(platform.WriteUserValue("K", "1", "a\nAnzahl=99") ||
               platform.WriteUserValue("K", "a=b", "x") ||
               platform.WriteUserValue("K]", "1", "x") || platform.WriteUserValue("K", "", "x"));
  const char* values[][3] = {{"Other", "1", "x"},
                             {"Other", "2", "y"},
                             {"K", "Anzahl", "2"},
                             {"K", "1", " /tmp/\"q\"/Дмитрий.xml "},
                             {"K", "anzahl", "3"}};
  for (const auto& [section, name, value] : values) {
    ASSERT_TRUE(platform.WriteUserValue(section == std::string("K") ? key : section, name, value));
  }
  EXPECT_TRUE(platform.DeleteUserValue("Other", "2"));
  EXPECT_FALSE(platform.DeleteUserValue("Other", "2") || platform.DeleteUserValue("None", "1"));
  EXPECT_EQ(ReadBytes(config.File("TavrinPlugin/registry.ini")),
            "[Other]\n1=x\n\n[TavrinPlugin\\TempFilesToBeDeleted]\nAnzahl=3\n"
            "1= /tmp/\"q\"/Дмитрий.xml \n");
  EXPECT_EQ(platform.ReadUserValue("tavrinplugin\\tempfilestobedeleted", "ANZAHL"), "3");
  EXPECT_EQ(platform.ReadUserValue(key, "1"), " /tmp/\"q\"/Дмитрий.xml ");
  EXPECT_TRUE(fs::is_empty(home.Path()));
  // Without an absolute configuration home the store lies below the home folder.
  EXPECT_EQ(UserStorePath("/cfg/", "/home/a"), "/cfg/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("relative", "/home/a"), "/home/a/.config/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("", ""), "");
}

TEST(PosixLocale, FromTheLocaleVariablesPerCategory) {
  PosixPlatform platform;
  ScopedEnv lcAll("LC_ALL", nullptr), lang("LANG", "fr_CA.UTF-8"), lcTime("LC_TIME", "de_DE.UTF-8");
  ScopedEnv lcMessages("LC_MESSAGES", "it_IT"), lcNumeric("LC_NUMERIC", nullptr);
  const RegionalSettings regional = platform.Regional();
  EXPECT_EQ(platform.LocaleInfo(3) + " " + regional.monthNames[11] + regional.decimalSeparator,
            "ITA Dezember,");
  // Slovak from LANG alone: its language code, texts and date form.
  ScopedEnv sk("LANG", "sk_SK.UTF-8"), noTime("LC_TIME", nullptr),
      noMessages("LC_MESSAGES", nullptr);
  EXPECT_EQ(platform.LocaleInfo(3) + " " + Languages::SystemLanguageCode(platform) + " " +
                FormatGeneralDate({2026, 12, 4, 23, 35, 8}, platform.Regional()),
            "SKY SK 4.12.2026 23:35:08");
}

TEST(PosixTime, BiasFollowsSummerTime) {
  if (!fs::exists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no time-zone database";
  PosixPlatform platform;
  ScopedEnv tz("TZ", "Europe/Berlin");
  // The last Sunday of October 2026: summer time ends at 03:00.
  EXPECT_EQ(platform.UtcBiasMinutes({2026, 10, 24, 12, 0, 0}), -120);
  EXPECT_EQ(platform.UtcBiasMinutes({2026, 10, 26, 12, 0, 0}), -60);
  ScopedEnv otherTz("TZ", "America/New_York");
  EXPECT_EQ(platform.UtcBiasMinutes({2026, 1, 15, 12, 0, 0}), 300);
}

TEST(PosixSystem, ProgramMachineAndServices) {
  PosixPlatform platform;
  EXPECT_EQ(fs::path(platform.ProgramPath()), fs::canonical("/proc/self/exe"));
  EXPECT_FALSE(platform.ComputerName().empty() || platform.UserName().empty() ||
               platform.OsVersion().systemRelease.empty());
  EXPECT_TRUE(MachineIs64Bit("x86_64") && MachineIs64Bit("aarch64") && MachineIs64Bit("s390x"));
  EXPECT_FALSE(MachineIs64Bit("i686") || MachineIs64Bit("armv7l"));
  ::testing::internal::CaptureStdout();
  platform.SetClipboardText("3C 78 2F 3E");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "3C 78 2F 3E\n");
  EXPECT_EQ(platform.FindProcessFolder("Veltra Orvolux Software.exe"), "");
  EXPECT_FALSE(platform.CreateZipComponent() || platform.RegisterZipComponent("zbitz.dll"));
  EXPECT_EQ(platform.ShortPath("/a b/c") + platform.AnsiToUtf8(platform.Utf8ToAnsi(" Größe €")),
            "/a b/c Größe €");
  EXPECT_GE(platform.Now().year, 2024);
  EXPECT_EQ(platform.GetEnvironmentVariable("TAVRIN_UNSET_VARIABLE"), "");
  EXPECT_NE(platform.RandomSeed(), platform.RandomSeed());
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  std::vector<std::uint8_t> digest;
  EXPECT_TRUE(platform.Crypto().Digest(HashAlgorithm::SHA256, abc, digest) && digest[0] == 0xBA);
  EXPECT_TRUE(platform.Crypto().HmacSha256(abc, abc, digest) && digest[0] == 0x2F &&
              digest.size() == 32);
}

}  // namespace
}  // namespace tavrin
