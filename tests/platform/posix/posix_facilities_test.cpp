// The POSIX back end against the real system, inside temporary folders: processes, the run
// marker's lock, temporary names, folders and file modes, safe writes, the user-value store,
// locale variables, time zones and the small services. (The crypto provider: the digest and
// hand-over tests.)
#include "platform/posix/posix_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>
#include <regex>
#include <set>

#include "app/startup.h"
#include "fakes/fake_ui.h"
#include "handover/transfer_job.h"
#include "platform/file_helpers.h"
#include "platform/file_replace.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "platform/temp_files.h"
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

// The POSIX back end with the program in a folder of the test's.
struct PlatformWithProgramAt : PosixPlatform {
  std::string program;
  std::string ProgramPath() override { return program; }
};

std::uint32_t RunToEnd(PosixPlatform& platform, const std::string& program,
                       const std::vector<std::string>& arguments) {
  const std::unique_ptr<ChildProcess> child = platform.StartProcess({"", program, arguments}, 1);
  std::uint32_t code = 0;
  while (!child->Finished(code)) child->WaitBriefly();
  return code;
}

TEST(PosixProcesses, ExitCodesSignalsArgumentsAndMissingPrograms) {
  TempDir dir;
  PosixPlatform platform;
  EXPECT_EQ(RunToEnd(platform, "/bin/sh", {"-c", "exit 7"}), 7u);
  EXPECT_EQ(RunToEnd(platform, "sh", {"-c", "kill -9 $$"}), 128u + 9u);  // found along PATH
  // The script checks every argument it receives, so nothing may be re-split or lost.
  EXPECT_EQ(
      RunToEnd(platform, "/bin/sh",
               {"-c", R"([ $# -eq 3 ] && [ "$1" = 'a b' ] && [ "$2" = '' ] && [ "$3" = 'q"x\' ])",
                "sh", "a b", "", R"(q"x\)"}),
      0u);
  // A program path with a blank runs that program, not a shorter reading that exists.
  for (const auto& [name, code] : {std::pair{"a", "3"}, std::pair{"a b", "4"}}) {
    WriteBytes(dir.File(name), std::string("#!/bin/sh\nexit ") + code + "\n");
    fs::permissions(dir.File(name), fs::perms::owner_all);
  }
  EXPECT_EQ(RunToEnd(platform, dir.File("a b"), {}), 4u);
  WriteBytes(dir.File("tool.exe"), "#!/bin/sh\nexit 0\n");  // not executable
  for (const std::string& program : {dir.File("missing.exe"), dir.File("tool.exe"),
                                     std::string("no-such-program-on-path"), std::string()}) {
    const ProcessStart start{program + " import", program, {"import"}};
    EXPECT_EQ(ErrorOf([&] { platform.StartProcess(start, 1); }), "53 ShellAndWait");
  }
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

// Every write goes through a new file of its own beside the target: never through a planted
// link, never into a special file, patient data for the user alone whatever the umask, and
// never mixed with another process's write.
TEST(PosixFiles, WritesGoThroughNewFilesOfTheirOwn) {
  TempDir dir;
  PosixPlatform platform;
  const mode_t umask = ::umask(0);
  const std::string doc = dir.File("~tV1A2B.xml"), victim = dir.File("victim");
  const std::string fifo = dir.File("fifo"), link = dir.File("link"), log = dir.File("trace.log");
  WriteBytes(victim, "victim");
  for (const std::string& name : {doc + ".new~", doc + ".~new", link})
    fs::create_symlink(victim, name);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteUtf8File(platform, doc, "<a/>", FileAccess::OwnerOnly);
  EXPECT_TRUE(AppendToFile(platform, log, "1", FileAccess::OwnerOnly).Ok());
  for (const std::string& path : {fifo, link}) {
    EXPECT_FALSE(AppendToFile(platform, path, "x", FileAccess::OwnerOnly).Ok() ||
                 WriteNewFile(platform, path, "x", FileAccess::OwnerOnly).Ok())
        << path;
  }
  for (const std::string& path : {fifo, dir.Path()}) {
    EXPECT_EQ(ReplaceFile(platform, path, "x", FileAccess::Usual).failure,
              FileWriteResult::Failure::Refused);
  }
  EXPECT_EQ(ReadBytes(doc) + ReadBytes(log) + ReadBytes(victim), "<a/>1victim");
  EXPECT_TRUE(fs::is_fifo(fifo) && fs::status(doc).permissions() == fs::perms(0600) &&
              fs::status(log).permissions() == fs::perms(0600));
  // A settings file keeps its permissions, also where the user's own link leads to it.
  const std::string settings = dir.File("settings.ini"), linked = dir.File("linked.ini");
  WriteBytes(settings, "old");
  fs::permissions(settings, fs::perms(0640));
  fs::create_symlink("settings.ini", linked);
  EXPECT_TRUE(ReplaceFile(platform, linked, "new", FileAccess::OwnerOnlyWhenNew).Ok() &&
              fs::is_symlink(linked) && ReadBytes(settings) == "new" &&
              fs::status(settings).permissions() == fs::perms(0640));
  ::umask(umask);

  // Two processes replacing one file at once: each write succeeds with a whole document,
  // and neither removes the other's new file while it is written. Once a writer has died,
  // its new files are removed; those of live ones stay.
  const std::string path = dir.File("same.xml");
  const pid_t other = ::fork();
  const std::string mine(1 << 16, other == 0 ? 'b' : 'a');
  bool sound = true;
  for (int i = 0; i < 40 && sound; ++i) {
    const bool ok = ReplaceFile(platform, path, mine, FileAccess::OwnerOnly).Ok();
    const std::string seen = ReadBytes(path);
    sound = ok && seen.size() == mine.size() && seen.find_first_not_of(seen[0]) == seen.npos;
  }
  if (other == 0) ::_exit(sound ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(other, &status, 0), other);
  EXPECT_TRUE(sound && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string stale = ReplacementSiblingName(path, other, 1);
  const std::string live = ReplacementSiblingName(path, ::getppid(), 2);
  for (const std::string& sibling : {stale, live}) WriteBytes(sibling, "<");
  EXPECT_TRUE(ReplaceFile(platform, path, "<b/>", FileAccess::OwnerOnly).Ok() && !Exists(stale) &&
              Exists(live));
}

// Under a umask of 000 a start, a recorded temporary file, a transfer job and a dump folder
// leave nothing that another user could read or change: every folder the program made is
// 0700, every file 0600.
TEST(PosixFiles, StateIsTheUsersAloneWhateverTheUmask) {
  TempDir dir;
  const std::string program = dir.File("bin"), temp = dir.File("tmp"), source = dir.File("a.xml");
  fs::create_directory(program), fs::create_directory(temp), WriteBytes(source, "<a/>");
  ScopedEnv configHome("XDG_CONFIG_HOME", dir.File("config/home").c_str());
  ScopedEnv tmpdir("TMPDIR", temp.c_str());
  const mode_t umask = ::umask(0);
  PlatformWithProgramAt platform;
  platform.program = program + "/TavrinPlugin";
  FakeUi ui;
  ProcessContext context(platform, ui);
  Main(context);  // the settings file, the run marker, the trace log, the configuration folder
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  WriteUtf8File(platform, files.GetTempFile("xml", cTempFiles::Record::kYes), "<a/>",
                FileAccess::OwnerOnly);
  CreateTransferJob(context, source);
  EXPECT_TRUE(platform.CreateFolders(context.paths.ConfigFolder() + "Dump/20261204 Tavrin App"));
  ::umask(umask);
  int checked = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.Path())) {
    const std::string path = entry.path().string();
    if (path == program || path == temp || path == source) continue;  // made by the test
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o",
                  static_cast<unsigned>(entry.symlink_status().permissions()));
    EXPECT_EQ(mode, std::string(entry.is_directory() ? "700" : "600")) << path;
    ++checked;
  }
  // cfg, its folder, trace log, settings, run marker, the store's three folders, store, three
  // lock files, the document, jobs, job file, Dump and the run's dump folder.
  EXPECT_GE(checked, 18);
}

// The POSIX back end whose new files stop in their first write: half the bytes are
// written, a byte on `ready` says so, and the write waits for a signal.
struct StallingPlatform : PosixPlatform {
  int ready = -1;
  struct Stalling : WritableFile {
    std::unique_ptr<WritableFile> file;
    int ready = -1;
    bool Write(std::string_view bytes) override {
      file->Write(bytes.substr(0, bytes.size() / 2));
      if (::write(ready, "w", 1) == 1) ::pause();
      return false;
    }
    bool Flush() override { return false; }
    bool Close() override { return file->Close(); }
  };
  std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                   std::uint32_t permissions) override {
    auto stalling = std::make_unique<Stalling>();
    stalling->file = PosixPlatform::OpenFileForWriting(path, mode, permissions);
    stalling->ready = ready;
    return stalling->file ? std::move(stalling) : nullptr;
  }
};

// A write stopped by SIGTERM, SIGINT or SIGHUP leaves no part of the new document beside
// the old one, and the process still ends by the signal; a signal the process was started
// to ignore stays ignored.
TEST(PosixInterrupts, AStoppedWriteLeavesNoNewFile) {
  const std::pair<int, bool> cases[] = {
      {SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGHUP, true}};
  for (const auto& [signal, ignored] : cases) {
    SCOPED_TRACE(std::string(::strsignal(signal)) + (ignored ? " ignored" : ""));
    TempDir dir;
    const std::string document = dir.File("document.xml");
    WriteBytes(document, "<old/>");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      if (ignored) ::signal(signal, SIG_IGN);
      CleanUpOnInterrupt();
      StallingPlatform platform;
      platform.ready = ready[1];
      ReplaceFile(platform, document, std::string(1 << 20, 'x'), FileAccess::OwnerOnly);
      ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]), ::close(ready[1]);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
    ::kill(child, signal);
    if (ignored) ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (ignored ? SIGTERM : signal));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadBytes(document), "<old/>");
  }
}

TEST(PosixUserValues, StoredInTheConfigurationHome) {
  TempDir config, home;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.Path().c_str());
  ScopedEnv homeVariable("HOME", home.Path().c_str());
  PosixPlatform platform;
  const std::string key = "TavrinPlugin\\TempFilesToBeDeleted";
  EXPECT_EQ(platform.ReadUserValue(key, "Anzahl"), "");
  // The store is replaced through a new file of its own, never through a planted link.
  fs::create_directories(config.File("TavrinPlugin"));
  fs::create_symlink(home.File("victim"), config.File("TavrinPlugin/registry.ini.~new"));
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
  // Several values at once leave the store as the same writes one at a time do.
  const std::string store = config.File("TavrinPlugin/registry.ini"), before = ReadBytes(store);
  EXPECT_FALSE(platform.WriteUserValues(key, {{"2", "b"}, {"ANZAHL", "4"}}, {"1", "9", "2"}));
  const std::string together = ReadBytes(store);
  WriteBytes(store, before);
  platform.WriteUserValue(key, "2", "b"), platform.WriteUserValue(key, "ANZAHL", "4");
  platform.DeleteUserValue(key, "1"), platform.DeleteUserValue(key, "2");
  EXPECT_EQ(ReadBytes(store), together);
  EXPECT_EQ(platform.ReadUserValues(key, {"anzahl", "1"}), (std::vector<std::string>{"4", ""}));
  // Without an absolute configuration home the store lies below the home folder.
  EXPECT_EQ(UserStorePath("/cfg/", "/home/a"), "/cfg/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("relative", "/home/a"), "/home/a/.config/TavrinPlugin/registry.ini");
  EXPECT_EQ(UserStorePath("", ""), "");
}

TEST(PosixUserValues, LocksAndAQuickCleanUpOfThousandsOfEntries) {
  TempDir config;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.Path().c_str());
  ScopedEnv tmpdir("TMPDIR", config.Path().c_str());
  PosixPlatform platform;
  auto shared = platform.TakeUserLock("A\\B", LockMode::Shared);
  EXPECT_TRUE(shared && platform.TakeUserLock("A\\B", LockMode::Shared));
  EXPECT_EQ(platform.TakeUserLock("A\\B", LockMode::TryExclusive), nullptr);
  shared.reset();
  EXPECT_NE(platform.TakeUserLock("A\\B", LockMode::TryExclusive), nullptr);

  // 5,000 stale entries, every tenth file still there, are cleared in well under a second.
  std::vector<std::pair<std::string, std::string>> record = {{"Anzahl", "5000"}};
  for (int i = 1; i <= 5000; ++i) {
    record.emplace_back(std::to_string(i), config.File("~tV" + std::to_string(i) + ".xml"));
    if (i % 10 == 0) WriteBytes(record.back().second, "x");
  }
  ASSERT_TRUE(platform.WriteUserValues(cTempFiles::kRecordKey, record, {}));
  const auto start = std::chrono::steady_clock::now();
  cTempFiles(platform).DeleteTempFiles();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(platform.ReadUserValue(cTempFiles::kRecordKey, "Anzahl") +
                platform.ReadUserValue(cTempFiles::kRecordKey, "5000"),
            "0");
  EXPECT_FALSE(Exists(config.File("~tV5000.xml")));
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
  EXPECT_NE(platform.RandomSeed(), platform.RandomSeed());
  EXPECT_EQ(platform.AnsiToUtf8(platform.Utf8ToAnsi("Größe € ā")), "Größe € ?");
}

}  // namespace
}  // namespace tavrin
