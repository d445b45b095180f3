#include "platform/host_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "file_helpers.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/version.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::string kSep(1, kPathSep);

class HostDiscoveryTest : public ::testing::Test {
 protected:
  // A host installation below the test folder: base folder, diary folder and patient list.
  std::string MakeHost(const std::string& name = "Orvolux",
                       const std::string& patients = R"(<PATIENTS GUID="{A1-B2}" N="1">)") {
    const std::string base = dir.File(name) + kSep;
    WriteBytes(base + "Diaries" + kSep + "palist.xml", "<?xml?>\r\n" + patients + "</PATIENTS>");
    return base;
  }
  // Puts the program at the given folder (relative to the test folder) and makes the
  // process context for it.
  ProcessContext& StartIn(const std::string& folder) {
    platform.programPath = dir.File(folder) + kSep + "TavrinPlugin";
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
    return *context;
  }
  void WriteSetting(const std::string& folder, const std::string& baseFolder) {
    WriteBytes(dir.File(folder) + kSep + "TavrinPlugin.ini",
               "[Config]\r\nOXSWBaseFolder=" + baseFolder + "\r\n");
  }
  std::string Trace() { return ReadBytes(context->trace.FilePath()); }
  void ExpectEndsWithMessage(int number) {
    EXPECT_THROW(DetermineHostFolders(*context), ProgramEnded);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, Languages::BuiltInText(number));
    EXPECT_EQ(ui.messages[0].caption, kProgramTitle);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  }

  TempDir dir;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

TEST_F(HostDiscoveryTest, PluginsFolderInOtherCaseWinsOverTheSetting) {
  const std::string host = MakeHost();
  const std::string other = MakeHost("Other");
  WriteSetting("Orvolux/Plugins", other);
  ProcessContext& ctx = StartIn("Orvolux/Plugins");
  DetermineHostFolders(ctx);
  EXPECT_EQ(ctx.host.baseFolder, host);
  EXPECT_EQ(ctx.host.diaryFolder, host + "Diaries" + kSep);
  EXPECT_EQ(ctx.host.databaseId, "A1-B2");
  EXPECT_TRUE(ui.messages.empty());
  const std::string trace = Trace();
  EXPECT_NE(trace.find(": Started, Base folder: " + host + "\r\n"), std::string::npos);
  EXPECT_NE(trace.find(": Diary folder used: " + host + "Diaries" + kSep + "\r\n"),
            std::string::npos);
}

TEST_F(HostDiscoveryTest, SettingWithoutTrailingSeparatorOrNamingExtras) {
  const std::string host = MakeHost();
  std::filesystem::create_directories(FsPath(host + "_EXTRAS"));
  for (const std::string& setting : {host.substr(0, host.size() - 1), host + "_EXTRAS"}) {
    WriteSetting("prog", setting);
    ProcessContext& ctx = StartIn("prog");
    DetermineHostFolders(ctx);
    EXPECT_EQ(ctx.host.baseFolder, host) << setting;
    EXPECT_EQ(ctx.host.databaseId, "A1-B2");
  }
}

TEST_F(HostDiscoveryTest, MissingSettingFolderWithoutRunningHostEndsWith5579) {
  WriteSetting("prog", dir.File("gone"));
  ProcessContext& ctx = StartIn("prog");
  ExpectEndsWithMessage(5579);
  EXPECT_TRUE(ctx.host.baseFolder.empty());
}

TEST_F(HostDiscoveryTest, CompanionFolderGivesTheFolderAboveExtras) {
  const std::string host = MakeHost();
  ProcessContext& ctx = StartIn("Orvolux/_Extras/KELSAR");
  DetermineHostFolders(ctx);
  EXPECT_EQ(ctx.host.baseFolder, host);
  EXPECT_NE(Trace().find("Base folder from plugin location.\r\n"), std::string::npos);
}

TEST_F(HostDiscoveryTest, RunningHostGivesItsFolder) {
  const std::string host = MakeHost();
  platform.runningProcessFolders[kHostExeName] = host;
  ProcessContext& ctx = StartIn("prog");
  DetermineHostFolders(ctx);
  EXPECT_EQ(ctx.host.baseFolder, host);
  EXPECT_NE(Trace().find("Base folder from VT OX.exe process.\r\n"), std::string::npos);
}

TEST_F(HostDiscoveryTest, KnownBaseFolderIsKept) {
  ProcessContext& ctx = StartIn("prog");
  ctx.host.baseFolder = "already";
  DetermineHostFolders(ctx);
  EXPECT_EQ(ctx.host.baseFolder, "already");
  EXPECT_TRUE(ctx.host.diaryFolder.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(HostDiscoveryTest, MissingPatientListEndsWith5580) {
  const std::string host = dir.File("Orvolux") + kSep;
  WriteBytes(host + "ox2.ini", "[General]\r\nDiaryFolder=Data\r\n");
  WriteSetting("prog", host);
  ProcessContext& ctx = StartIn("prog");
  ExpectEndsWithMessage(5580);
  // The folders were found and logged before the check.
  EXPECT_EQ(ctx.host.diaryFolder, host + "Data" + kSep);
  EXPECT_NE(Trace().find("Diary folder used: " + host + "Data" + kSep), std::string::npos);
}

// The path with every "/" as the platform's separator.
std::string Sep(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSep);
  return path;
}

TEST_F(HostDiscoveryTest, DiaryFolderForms) {
  struct DiaryCase {
    std::string value;     // "DiaryFolder" in ox2.ini; "-" for no ox2.ini at all
    std::string expected;  // the diary folder; "BASE" stands for the base folder
  };
  const DiaryCase cases[] = {
      {"-", Sep("BASEDiaries/")},
      {"", Sep("BASEDiaries/")},
      {"  Tagebuch  ", Sep("BASETagebuch/")},
      {"Data/Diaries", Sep("BASEData/Diaries/")},
      {"Data/Diaries/", Sep("BASEData/Diaries/")},
      {"ABSOLUTE", ""},
      {"D:/Data/Diaries", Sep("D:/Data/Diaries/")},
      {R"(D:\Data\Diaries)", R"(D:\Data\Diaries)" + kSep},
      {R"(\\server\share\Diaries)", R"(\\server\share\Diaries)" + kSep},
      {"//server/share/Diaries", Sep("//server/share/Diaries/")},
  };
  for (const DiaryCase& c : cases) {
    TempDir hostDir;
    const std::string host = hostDir.Path(true);
    std::string value = c.value;
    std::string expected = c.expected;
    if (value == "ABSOLUTE") {
      // A folder given from the root, outside the base folder.
      value = hostDir.File("Data") + kSep + "Diaries";
      expected = value + kSep;
    }
    if (value != "-") WriteBytes(host + "ox2.ini", "[General]\r\nDiaryFolder=" + value + "\r\n");
    if (expected.starts_with("BASE")) expected = host + expected.substr(4);
    // Only folders inside the test folder get a patient list; the others are never created.
    if (expected.starts_with(hostDir.Path())) {
      WriteBytes(expected + "palist.xml", R"(<PATIENTS GUID="x">)");
    }

    FakeUi localUi;
    FakePlatform localPlatform;
    localPlatform.programPath = hostDir.File("prog") + kSep + "TavrinPlugin";
    WriteBytes(hostDir.File("prog") + kSep + "TavrinPlugin.ini",
               "[Config]\r\nOXSWBaseFolder=" + host + "\r\n");
    ProcessContext ctx(localPlatform, localUi);
    try {
      DetermineHostFolders(ctx);
    } catch (const ProgramEnded&) {
      // Folders outside the test folder have no patient list; the folder is set anyway.
    }
    EXPECT_EQ(ctx.host.diaryFolder, expected) << "DiaryFolder=" << c.value;
  }
}

TEST_F(HostDiscoveryTest, DatabaseIdentifierFromThePatientsTag) {
  const struct {
    const char* patients;
    const char* id;
  } cases[] = {
      {R"(<PATIENTS GUID="{3F2504E0-4F89-11D3}" VERSION="2" NAME="Praxis">)", "3F2504E0-4F89-11D3"},
      {R"(<patients guid='{abc}' x="1">)", "abc"},
      {R"(<PATIENTS NAME="a" GUID={abc}>)", "abc"},
      {"<PATIENTS GUID=\"{abc}\"\r\n  NAME=\"x\">", "abc"},
      {R"(<PATIENTS GUID="{abc}")", "abc"},
      {R"(<PATIENTS NAME="a">)", ""},
      {R"(<PATIENT GUID="{abc}">)", ""},
      {R"(<LIST/>)", ""},
  };
  for (const auto& c : cases) {
    TempDir hostDir;
    WriteBytes(hostDir.File("Diaries") + kSep + "palist.xml",
               std::string("<?xml version=\"1.0\"?>\r\n") + c.patients + "\r\n<P/>");
    FakeUi localUi;
    FakePlatform localPlatform;
    localPlatform.programPath = hostDir.File("plugins") + kSep + "TavrinPlugin";
    std::filesystem::create_directories(FsPath(hostDir.File("plugins")));
    ProcessContext ctx(localPlatform, localUi);
    DetermineHostFolders(ctx);
    EXPECT_EQ(ctx.host.databaseId, c.id) << c.patients;
  }
}

class ThrowingProcessQuery : public FakePlatform {
 public:
  std::string FindProcessFolder(const std::string&) override {
    throw RuntimeError(429, "GetObject", "ActiveX component can't create object");
  }
};

TEST(FindProcessFolder, FailingQueryGivesEmpty) {
  ThrowingProcessQuery platform;
  FakeUi ui;
  ProcessContext context(platform, ui);
  EXPECT_EQ(FindProcessFolder(context, kHostExeName), "");
}

TEST_F(HostDiscoveryTest, HostVersionIsReadOnceAndKept) {
  ProcessContext& ctx = StartIn("prog");
  ctx.host.baseFolder = dir.Path(true);
  WriteBytes(dir.File(kHostExeName), "not an executable");
  EXPECT_EQ(HostVersion(ctx), "");
  ASSERT_TRUE(ctx.host.hostVersion.has_value());
  ctx.host.hostVersion = "3.1.0.0";
  EXPECT_EQ(HostVersion(ctx), "3.1.0.0");
}

// A program that runs for a given number of polls.
class SlowChild : public ChildProcess {
 public:
  SlowChild(int polls, std::uint32_t code, int& waits)
      : polls_(polls), code_(code), waits_(waits) {}
  bool Finished(std::uint32_t& exitCode) override {
    if (polls_-- > 0) return false;
    exitCode = code_;
    return true;
  }
  void WaitBriefly() override { ++waits_; }

 private:
  int polls_;
  std::uint32_t code_;
  int& waits_;
};

class ProcessPlatform : public FakePlatform {
 public:
  int polls = 0;
  bool unwatchable = false;
  int waits = 0;
  std::unique_ptr<ChildProcess> StartProcess(const std::string& line, int style) override {
    startedCommands.push_back(line);
    lastStyle = style;
    if (unwatchable) return nullptr;
    return std::make_unique<SlowChild>(polls, 14, waits);
  }
  int lastStyle = 0;
};

TEST(ShellAndWait, KeepsTheUserInterfaceRunningUntilTheProgramEnds) {
  ProcessPlatform platform;
  platform.polls = 3;
  FakeUi ui;
  ProcessContext context(platform, ui);
  EXPECT_EQ(ShellAndWait(context, R"(C:\x\tool.exe import)", 1), 14u);
  EXPECT_EQ(platform.startedCommands, std::vector<std::string>{R"(C:\x\tool.exe import)"});
  EXPECT_EQ(platform.lastStyle, 1);
  EXPECT_EQ(ui.doEventsCalls, 3);
  EXPECT_EQ(platform.waits, 3);
  platform.unwatchable = true;  // a program that cannot be watched gives zero
  EXPECT_EQ(ShellAndWait(context, "tool", 1), 0u);
}

}  // namespace
}  // namespace tavrin
