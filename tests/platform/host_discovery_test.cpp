// Finding the host installation (base folder, diary folder, database identifier), the
// messages that end the program when it cannot be found.
#include "platform/host_discovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "fakes/fake_ui.h"
#include "platform/end_program.h"
#include "platform/file_helpers.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/text.h"
#include "shared/version.h"

namespace tavrin {
namespace {

using namespace testing;

const std::string S(1, kPathSep);

class HostDiscovery : public ::testing::Test {
 protected:
  // A host installation below the test folder: base folder, diary folder and a patient list
  // whose tag is written in a form other than the usual one.
  std::string MakeHost(const std::string& name) {
    WriteBytes(dir.File(name + S + "Diaries" + S + "palist.xml"),
               "<?xml?>\r\n<patients name=\"x\" guid='{A1-B2}'\r\n n=\"1\">\r\n</patients>");
    return dir.File(name) + S;
  }
  // A fresh process context for the program in the folder (below the test folder), with a
  // setting naming the base folder when one is given.
  ProcessContext& StartIn(const std::string& folder, const std::string& baseSetting = "") {
    const std::string programFolder = dir.File(folder) + S;
    if (!baseSetting.empty()) {
      WriteBytes(programFolder + "TavrinPlugin.ini", "[Config]\r\nOXSWBaseFolder=" + baseSetting);
    }
    platform.programPath = programFolder + "TavrinPlugin";
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
    return *context;
  }
  bool Traced(const std::string& line) {
    return ReadBytes(context->trace.FilePath()).find(line + "\r\n") != std::string::npos;
  }
  // The program ends after one message with the text of that number.
  void ExpectEndsWithMessage(int number) {
    ui.messages.clear();
    EXPECT_THROW(DetermineHostFolders(*context), ProgramEnded);
    ASSERT_EQ(ui.messages.size(), 1u);
    const FakeUi::Message& m = ui.messages[0];
    EXPECT_TRUE(m.text.starts_with(Languages::BuiltInText(number))) << m.text;
    EXPECT_TRUE(m.caption == kProgramTitle && m.buttons == MessageButtons::Ok &&
                m.icon == MessageIcon::Exclamation);
  }

  TempDir dir;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

TEST_F(HostDiscovery, BaseFolderSources) {
  const std::string host = MakeHost("Orvolux");
  // The program's own plug-ins folder (in any case) wins over the setting.
  ProcessContext& ctx = StartIn("Orvolux" + S + "Plugins", MakeHost("Other"));
  DetermineHostFolders(ctx);
  EXPECT_EQ(ctx.host.baseFolder + "|" + ctx.host.diaryFolder + "|" + ctx.host.databaseId,
            host + "|" + host + "Diaries" + S + "|A1-B2");
  // The setting, with or without separator, or naming the companion programs' folder.
  std::filesystem::create_directories(host + "_EXTRAS");
  for (const std::string& setting : {host.substr(0, host.size() - 1), host + "_EXTRAS"}) {
    DetermineHostFolders(StartIn("prog", setting));
    EXPECT_EQ(context->host.baseFolder, host) << setting;
  }
  DetermineHostFolders(StartIn("Orvolux" + S + "_Extras" + S + "KELSAR"));
  EXPECT_EQ(context->host.baseFolder, host);
  EXPECT_TRUE(Traced("Base folder from plugin location."));
  platform.runningProcessFolders[kHostExeName] = host;
  DetermineHostFolders(StartIn("elsewhere"));
  EXPECT_EQ(context->host.baseFolder, host);
  EXPECT_TRUE(Traced("Base folder from VT OX.exe process."));
  context->host.baseFolder = "kept";  // once known, the base folder is kept
  DetermineHostFolders(*context);
  EXPECT_EQ(context->host.baseFolder, "kept");
}

TEST_F(HostDiscovery, MissingInstallationOrPatientListEndsTheProgram) {
  StartIn("prog", dir.File("gone"));
  // Ending the program releases and deletes the run marker.
  context->runMarker = platform.Files().HoldFile(RunMarkerPath(*context));
  WriteBytes(RunMarkerPath(*context), "");
  ExpectEndsWithMessage(5579);
  // What to do follows, naming the settings file; the trace log keeps what was shown.
  EXPECT_EQ(ui.messages[0].text,
            Languages::BuiltInText(5579) + "\r\n\r\n" +
                ReplaceAll(Languages::BuiltInText(5770), "%1", context->paths.SettingsFilePath()));
  EXPECT_EQ(context->host.baseFolder, "");
  EXPECT_TRUE(platform.heldFiles.empty() && !Exists(RunMarkerPath(*context)));
  const std::string host = dir.File("Orvolux") + S;
  WriteBytes(host + "ox2.ini", "[General]\r\nDiaryFolder=Data\r\n");
  StartIn("prog", host);
  ExpectEndsWithMessage(5580);
  // The folders were found and logged before the check.
  EXPECT_EQ(context->host.diaryFolder, host + "Data" + S);
  EXPECT_TRUE(Traced("Diary folder used: " + host + "Data" + S));
}

TEST_F(HostDiscovery, DiaryFolderForms) {
  const std::string host = dir.File("host") + S;
  const std::string root = dir.File("elsewhere");
  const std::pair<std::string, std::string> cases[] = {
      // "DiaryFolder" in ox2.ini ("-" for no file), the diary folder
      {"-", host + "Diaries" + S},
      {"", host + "Diaries" + S},
      {"Data/Diaries/", host + "Data" + S + "Diaries" + S},
      {root, root + S},
      {"D:/Data", "D:" + S + "Data" + S},
      // Written on Windows: "\" separates folders wherever the program runs.
      {R"(Sub\D2)", host + "Sub" + S + "D2" + S},
      {R"(D:\Data)", "D:" + S + "Data" + S},
      {R"(\\server\share)", S + S + "server" + S + "share" + S},
  };
  for (const auto& [value, diary] : cases) {
    std::filesystem::remove(host + "ox2.ini");
    if (value != "-") WriteBytes(host + "ox2.ini", "[General]\r\nDiaryFolder=" + value + "\r\n");
    // Only folders inside the test folder get a patient list; the others are never created.
    if (diary.starts_with(dir.Path())) WriteBytes(diary + "palist.xml", "<PATIENTS>");
    try {
      DetermineHostFolders(StartIn("prog", host));
    } catch (const ProgramEnded&) {
      // No patient list outside the test folder; the diary folder is set anyway.
    }
    EXPECT_EQ(context->host.diaryFolder, diary) << "DiaryFolder=" << value;
  }
  // Folders and files spelled in another letter case than the host's files name them.
  std::filesystem::remove(host + "ox2.ini");
  WriteBytes(host + "OX2.INI", "[General]\r\nDiaryFolder=sub\\DATA\r\n");
  WriteBytes(host + "Sub" + S + "Data" + S + "PaList.xml", "<PATIENTS GUID=x>");
  DetermineHostFolders(StartIn("prog", host));
  EXPECT_EQ(context->host.databaseId, "x");
}

// A system whose process query fails, as it does without a management service, and whose
// started programs run for three polls; a program started hidden cannot be watched.
struct SlowSystem : FakePlatform {
  struct Child : ChildProcess {
    int polls = 3;
    bool Finished(std::uint32_t& exitCode) override {
      exitCode = 14;
      return polls-- == 0;
    }
    void WaitBriefly() override {}
  };
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart&, int style) override {
    return style == 0 ? nullptr : std::make_unique<Child>();
  }
  std::string FindProcessFolder(const std::string&) override {
    throw RuntimeError(429, "GetObject", "ActiveX component can't create object");
  }
};

TEST(ShellAndWait, KeepsTheUserInterfaceRunningUntilTheProgramEnds) {
  TempDir dir;
  SlowSystem platform;
  platform.programPath = dir.File("TavrinPlugin");
  FakeUi ui;
  ProcessContext context(platform, ui);
  const ProcessStart tool{"tool import", "tool", {"import"}};
  EXPECT_EQ(ShellAndWait(context, tool, 1), 14u);
  EXPECT_EQ(ui.doEventsCalls, 3);
  EXPECT_EQ(ShellAndWait(context, tool, 0), 0u);
  // The failed query finds no host, and the trace log says why.
  EXPECT_EQ(FindProcessFolder(context, kHostExeName), "");
  EXPECT_NE(ReadBytes(context.trace.FilePath())
                .find("Running processes not searched: ActiveX component can't create "
                      "object (429)\r\n"),
            std::string::npos);
}

// A fault of the program in the process query (here: out of memory) is not passed over as
// a host that is not running.
TEST(FindProcessFolder, AFaultOfTheProgramPassesUp) {
  struct OutOfMemory : FakePlatform {
    std::string FindProcessFolder(const std::string&) override { throw std::bad_alloc(); }
  };
  TempDir dir;
  OutOfMemory platform;
  platform.programPath = dir.File("TavrinPlugin");
  FakeUi ui;
  ProcessContext context(platform, ui);
  EXPECT_THROW(FindProcessFolder(context, kHostExeName), std::bad_alloc);
}

}  // namespace
}  // namespace tavrin
