// The hand-over to the host's import tool: the MAC, the one routine every caller starts
// the tool with, the tool's exit codes, and the transfer job that parks an XML document
// for a second step.

#include "handover/import_call.h"

#include <gtest/gtest.h>

#include "handover/transfer_job.h"
#include "handover_fixture.h"
#include "platform/temp_files.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

using namespace testing;

const std::string kDocument = "<IMPORT name='Zürich – 5 €'/>\r\n";
// HMAC-SHA-256 of kDocument's UTF-8 bytes under the key built from the fixture's database
// identifier; every hand-over computes it afresh.
const std::string kMac = "143820546ea8e3b035976ba209ca82fc5ffe80441d4416fc28d041651102f5d7";

class ImportCallTest : public HandoverTest {
 protected:
  std::string Call(const std::string& program, const std::string& file, const std::string& tail) {
    return program + " import -filepath " + file + " -filemac " + kMac + tail;
  }
  std::string JobFile(const std::string& number) {
    return dir.File("plugin") + sep + "jobs" + sep + number + ".xml";
  }
  const std::string tool = "_EXTRAS" + sep + "KelsarImport.exe";
  const std::string host = "Veltra Orvolux Software.exe";
};

// Each row hands kDocument over from a host folder with a blank and a short name: form,
// host version (compared as text); the command line (traced, then the hook runs, then it
// is started), the program started (its arguments go one by one, the file path as it
// stands) and the program of the replay command line for a dump copy. The file's path
// holds the tool's path, which the host switch replaces in the command line only.
TEST_F(ImportCallTest, OneHandOverForEveryFormAndVersion) {
  const std::string blank = context.host.baseFolder, shortName = dir.File("VELTRA~1") + sep;
  const std::string file = tool + ToLower(tool), switched = host + ToLower(tool);
  platform.shortNames = {{blank, shortName}};
  std::filesystem::create_directories(FsPath(shortName + "_EXTRAS"));
  std::vector<std::string> steps;
  const auto trace = [&](const std::string& line) { steps.push_back(line); };
  const auto hook = [&](const std::string& mac) { steps.push_back("hook " + mac); };
  // clang-format off
  const std::tuple<CommandForm, std::string, std::string, std::string, std::string> rows[] = {
      {CommandForm::L, "10.0.0.0", Call("\"" + blank + tool + "\"", file, " -jobid 1"), blank + tool, shortName + tool},
      {CommandForm::S, "3.1.0.0", Call(shortName + host, switched, ""), shortName + host, "\"" + shortName + host + "\""},
  };
  // clang-format on
  for (const auto& [form, version, command, program, replay] : rows) {
    context.host.hostVersion = version;
    steps.clear();
    HandOverToImportTool(context, {.form = form,
                                   .filePath = file,
                                   .document = kDocument,
                                   .jobSuffix = " -jobid 1",
                                   .beforeStart = hook,
                                   .trace = trace});
    EXPECT_EQ(steps, (std::vector<std::string>{"Started transfer: " + command, "hook " + kMac}));
    EXPECT_EQ(platform.startedCommands.back(), command);
    EXPECT_EQ(platform.startedArguments.back(), program + "|import|-filepath|" + file +
                                                    "|-filemac|" + kMac +
                                                    (form == CommandForm::L ? "|-jobid|1" : ""));
    EXPECT_EQ(ReplayCommandLine(context, "f", "m"), replay + " import -filepath f -filemac m");
  }
}

// A missing tool folder, a failing hook (the tool is not started) and a failing start.
TEST_F(ImportCallTest, CurrentFolderComesBackOnEveryWayOut) {
  const std::string toolFolder = context.host.baseFolder + "_EXTRAS" + sep;
  EXPECT_EQ(Raised([&] { HandOverToImportTool(context, {}); }).value().Detail(),
            "Path not found: " + toolFolder + " (76)");
  std::filesystem::create_directories(FsPath(toolFolder));
  const auto failingHook = [](const std::string&) { throw RuntimeError(75, "Test", "hook"); };
  EXPECT_TRUE(Raised([&] { HandOverToImportTool(context, {.beforeStart = failingHook}); }));
  EXPECT_TRUE(platform.startedCommands.empty());
  platform.startFails = true;
  EXPECT_EQ(Raised([&] { HandOverToImportTool(context, {}); }).value().Number(), 53);
  EXPECT_EQ(platform.currentDirectory, dir.Path());
}

// A host folder or file path that a Windows command line cannot carry is refused before
// anything is traced or started; a file path with a blank takes its folder's short form.
TEST_F(ImportCallTest, PathsTheCommandLineCannotCarryAreRefused) {
  const std::string quoted = dir.File("a\"b\"c") + sep, blankFile = dir.File("my tmp") + sep + "x";
  const std::tuple<std::string, std::string, int, std::string> rows[] = {
      {quoted, "a", 5711, quoted},
      {dir.File("OX") + sep, blankFile, 5710, blankFile},
      {dir.File("OX") + sep, dir.File("\"x"), 5711, dir.File("\"x")},
  };
  const auto trace = [](const std::string& line) { ADD_FAILURE() << line; };
  for (const auto& [base, file, message, named] : rows) {
    context.host.baseFolder = base;
    const HandOverRequest request{.filePath = file, .document = kDocument, .trace = trace};
    EXPECT_EQ(Raised([&] { HandOverToImportTool(context, request); }).value().Detail(),
              context.Message(message, {named}) + " (52)");
    EXPECT_TRUE(Raised([&] { ToolFilePath(context, named); }));
  }
  EXPECT_TRUE(platform.startedCommands.empty());
  platform.shortNames = {{dir.File("my tmp") + sep, dir.File("MYTMP~1") + sep}};
  EXPECT_EQ(ToolFilePath(context, blankFile), dir.File("MYTMP~1") + sep + "x");
}

// Both ends of the table and the failures of the host's login.
TEST_F(ImportCallTest, ExitCodesInWords) {
  EXPECT_EQ(ImportToolExitText(0).text + ImportToolExitText(1).text + ImportToolExitText(14).text +
                ImportToolExitText(15).text,
            "Unknown error.Decrypt failed.");
  EXPECT_TRUE(ImportToolExitText(12).loginRelated && !ImportToolExitText(8).loginRelated);
}

// The job is parked under a number that only it can name; its second step hands a copy
// over and removes the job file, which a failing hand-over does not bring back.
TEST_F(ImportCallTest, TransferJobIsParkedAndItsSecondStepHandedOver) {
  WriteBytes(dir.File("a.xml"), kDocument);
  const std::string suffix = CreateTransferJob(context, dir.File("a.xml"));
  ASSERT_EQ(suffix.substr(0, 8) + std::to_string(suffix.size()), " -jobid 17");
  const std::string number = suffix.substr(8);
  EXPECT_EQ(ReadBytes(JobFile(number)), kDocument);
  // The same seed draws the taken number first, then another one.
  EXPECT_NE(CreateTransferJob(context, dir.File("a.xml")), suffix);

  platform.environment["Temp"] = dir.File("plugin");
  cTempFiles tempFiles{platform};
  context.commandLine = "-JOBID " + number + " -more args";
  EXPECT_EQ(Raised([&] { RunTransferJob(context, tempFiles); }).value().Detail(),
            "Cannot change to the folder " + context.host.baseFolder + "_EXTRAS" + sep + " (76)");
  EXPECT_FALSE(std::filesystem::exists(FsPath(JobFile(number))));
  EXPECT_EQ(ReadBytes(platform.UserValues().ReadUserValue(cTempFiles::kRecordKey, "1")), kDocument);

  WriteBytes(JobFile(number), kDocument);
  std::filesystem::create_directories(FsPath(context.host.baseFolder + "_EXTRAS"));
  RunTransferJob(context, tempFiles);
  EXPECT_EQ(platform.startedCommands.at(0),
            Call("\"" + context.host.baseFolder + tool + "\"",
                 platform.UserValues().ReadUserValue(cTempFiles::kRecordKey, "2"), ""));
  // A temporary folder with a blank and no short form is refused; the job stays parked.
  WriteBytes(JobFile(number), kDocument);
  platform.environment["Temp"] = dir.File("my tmp");
  std::filesystem::create_directories(FsPath(dir.File("my tmp")));
  cTempFiles blankFolder{platform};
  EXPECT_TRUE(Raised([&] { RunTransferJob(context, blankFolder); }));
  EXPECT_TRUE(std::filesystem::exists(FsPath(JobFile(number))));

  // Anything but a drawn number names no file, not even one outside the job folder.
  for (const std::string other : {"../x", "123", "099999999", "abcdefghi"}) {
    WriteBytes(JobFile(other), kDocument);  // "../x" reaches the program's folder
    context.commandLine = "-jobid " + other;
    RunTransferJob(context, tempFiles);
  }
  EXPECT_EQ(platform.startedCommands.size(), 1u);
}

}  // namespace
}  // namespace tavrin
