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

const std::string kDocument = "<IMPORT name='Zürich – 5 €'/>\r\n";
// HMAC-SHA-256 of kDocument's UTF-8 bytes under the key built from the fixture's database
// identifier; every hand-over computes it afresh.
const std::string kMac = "143820546ea8e3b035976ba209ca82fc5ffe80441d4416fc28d041651102f5d7";

class ImportCallTest : public testing::HandoverTest {
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

// Each row hands kDocument over as file "a" with the job suffix " -jobid 1": form, host
// folder (with or without a blank), its short name (empty: none), host version as text;
// the expected command line, the program started (with the arguments one by one), and
// the program of the replay command line for a dump copy.
TEST_F(ImportCallTest, OneHandOverForEveryFormFolderAndVersion) {
  const std::string blank = dir.File("Veltra OX") + sep, plain = dir.File("OX") + sep;
  const std::string shortName = dir.File("VELTRA~1") + sep, jobSuffix = " -jobid 1";
  const std::tuple<CommandForm, std::string, std::string, std::string, std::string, std::string,
                   std::string>
      rows[] = {
          {CommandForm::L, blank, shortName, "3.0.9.1",
           Call("\"" + blank + tool + "\"", "a", jobSuffix), blank + tool, shortName + tool},
          {CommandForm::L, plain, "", "10.0.0.0", Call(plain + tool, "a", jobSuffix), plain + tool,
           plain + tool},
          {CommandForm::L, blank, shortName, "3.1",
           Call("\"" + blank + host + "\"", "a", jobSuffix), blank + host,
           "\"" + shortName + host + "\""},
          {CommandForm::S, blank, shortName, "3.1.0.0", Call(shortName + host, "a", ""),
           shortName + host, "\"" + shortName + host + "\""},
          {CommandForm::S, blank, shortName, "10.0.0.0", Call(shortName + tool, "a", ""),
           shortName + tool, shortName + tool},
          // Without a short name the long folder stays in one piece in quotes.
          {CommandForm::S, blank, "", "3.0.9.1", Call("\"" + blank + tool + "\"", "a", ""),
           blank + tool, blank + tool},
      };
  for (const auto& [form, base, shortBase, version, command, program, replay] : rows) {
    SCOPED_TRACE(command);
    context.host.baseFolder = base;
    context.host.hostVersion = version;
    platform.shortNames = {{base, shortBase}};
    const std::string toolFolder = (shortBase.empty() ? base : shortBase) + "_EXTRAS" + sep;
    std::filesystem::create_directories(FsPath(toolFolder));
    std::vector<std::string> steps;
    platform.runProcess = [&](const std::string& line) {
      steps.push_back("start in " + platform.currentDirectory + ": " + line);
      return 7u;
    };
    const HandOverResult result = HandOverToImportTool(
        context, {.form = form,
                  .filePath = "a",
                  .document = kDocument,
                  .jobSuffix = jobSuffix,
                  .beforeStart = [&](const std::string& mac) { steps.push_back("hook " + mac); },
                  .trace = [&](const std::string& line) { steps.push_back(line); }});
    EXPECT_EQ(steps, (std::vector<std::string>{"Started transfer: " + command, "hook " + kMac,
                                               "start in " + toolFolder + ": " + command}));
    EXPECT_EQ(result.commandLine + "|" + result.mac + "|" + std::to_string(result.exitCode),
              command + "|" + kMac + "|7");
    EXPECT_EQ(platform.startedArguments.back(), program + "|import|-filepath|a|-filemac|" + kMac +
                                                    (form == CommandForm::L ? "|-jobid|1" : ""));
    EXPECT_EQ(platform.windowStyles.back(), 1);  // a normal window with the focus
    EXPECT_EQ(platform.currentDirectory, dir.Path());
    EXPECT_EQ(ReplayCommandLine(context, "f", "m"), replay + " import -filepath f -filemac m");
  }
}

TEST_F(ImportCallTest, CurrentFolderComesBackOnEveryWayOut) {
  const std::string toolFolder = context.host.baseFolder + "_EXTRAS" + sep;
  try {
    HandOverToImportTool(context, {.document = kDocument});
    ADD_FAILURE() << "no error";
  } catch (const ToolFolderError& error) {
    EXPECT_EQ(error.Detail() + error.Folder(),
              "Path not found: " + toolFolder + " (76)" + toolFolder);
  }
  std::filesystem::create_directories(FsPath(toolFolder));
  const auto failingHook = [](const std::string&) { throw RuntimeError(75, "Test", "hook"); };
  EXPECT_THROW(HandOverToImportTool(context, {.document = kDocument, .beforeStart = failingHook}),
               RuntimeError);
  EXPECT_TRUE(platform.startedCommands.empty());
  platform.startFails = true;
  EXPECT_THROW(HandOverToImportTool(context, {.document = kDocument}), RuntimeError);
  EXPECT_EQ(platform.currentDirectory, dir.Path());
  // The host switch replaces every occurrence of the tool's path, case-sensitively; the
  // trace line goes to the trace log unless the caller writes it.
  platform.startFails = false;
  context.host.hostVersion = "3.1";
  HandOverToImportTool(context, {.filePath = tool + ToLower(tool), .document = kDocument});
  EXPECT_TRUE(Traced("Started transfer: " +
                     Call("\"" + context.host.baseFolder + host + "\"", host + ToLower(tool), "")));
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
  for (const auto& [base, file, message, named] : rows) {
    context.host.baseFolder = base;
    try {
      HandOverToImportTool(context, {.filePath = file, .document = kDocument});
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Detail(), context.Message(message, {named}) + " (52)");
    }
    EXPECT_THROW(ToolFilePath(context, named), RuntimeError);
  }
  EXPECT_TRUE(platform.startedCommands.empty() && !Traced("Started transfer: "));
  platform.shortNames = {{dir.File("my tmp") + sep, dir.File("MYTMP~1") + sep}};
  EXPECT_EQ(ToolFilePath(context, blankFile), dir.File("MYTMP~1") + sep + "x");
}

TEST_F(ImportCallTest, ExitCodesInWords) {
  std::string texts;
  for (int code = -1; code <= 15; ++code) {
    const ImportToolExit exit = ImportToolExitText(code);
    texts += exit.text + (exit.loginRelated ? "(login)|" : "|");
  }
  EXPECT_EQ(texts,
            "||Unknown error.|Missing Ctrl-File.|Missing Data-File.|Invalid file format.|"
            "Missing username.(login)|Missing password.(login)|Unknown patient(login)|Missing "
            "access rights.|Cannot connect.|Validation error.|Missing server.|Login "
            "failed.(login)|Unknown host.|Decrypt failed.||");
}

TEST_F(ImportCallTest, TransferJobIsParkedAndItsSecondStepHandedOver) {
  WriteFile(dir.File("a.xml"), kDocument);
  const std::string suffix = CreateTransferJob(context, dir.File("a.xml"));
  ASSERT_EQ(suffix.substr(0, 8) + std::to_string(suffix.size()), " -jobid 17");
  const std::string number = suffix.substr(8);
  EXPECT_EQ(ReadFile(JobFile(number)), kDocument);
  EXPECT_TRUE(Traced("Job-FIle created: " + suffix));
  // The same seed draws the taken number first, then another one.
  EXPECT_NE(CreateTransferJob(context, dir.File("a.xml")), suffix);
  EXPECT_THROW(CreateTransferJob(context, dir.File("missing.xml")), RuntimeError);

  platform.environment["Temp"] = dir.File("plugin");
  cTempFiles tempFiles{platform};
  context.commandLine = "-JOBID " + number + " -more args";
  try {
    RunTransferJob(context, tempFiles);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Detail(),
              "Cannot change to the folder " + context.host.baseFolder + "_EXTRAS" + sep + " (76)");
  }
  EXPECT_FALSE(std::filesystem::exists(FsPath(JobFile(number))));
  const std::string copy = platform.ReadUserValue(cTempFiles::kRecordKey, "1");
  EXPECT_EQ(ReadFile(copy), kDocument);
  EXPECT_TRUE(Traced("Received 2.part transfer job: " + number));

  WriteFile(JobFile(number), kDocument);
  std::filesystem::create_directories(FsPath(context.host.baseFolder + "_EXTRAS"));
  RunTransferJob(context, tempFiles);
  const std::string secondCopy = platform.ReadUserValue(cTempFiles::kRecordKey, "2");
  EXPECT_TRUE(Traced("Started transfer for job " + number + ": " +
                     Call("\"" + context.host.baseFolder + tool + "\"", secondCopy, "")));
  // A temporary folder with a blank and no short form is refused; the job stays parked.
  WriteFile(JobFile(number), kDocument);
  platform.environment["Temp"] = dir.File("my tmp");
  std::filesystem::create_directories(FsPath(dir.File("my tmp")));
  cTempFiles blankFolder{platform};
  EXPECT_THROW(RunTransferJob(context, blankFolder), RuntimeError);
  EXPECT_TRUE(std::filesystem::exists(FsPath(JobFile(number))));
}

TEST_F(ImportCallTest, OnlyRealJobNumbersNameAFile) {
  WriteFile(dir.File("plugin") + sep + "x.xml", "secret");  // what "../x" would reach
  for (const std::string number :
       {"../x", "123", "1234567890", "abcdefghi", "099999999", "123456789" /* no such job */}) {
    if (number[0] != '.' && number != "123456789") WriteFile(JobFile(number), "not a job");
    context.commandLine = "-jobid " + number;
    cTempFiles tempFiles{platform};
    RunTransferJob(context, tempFiles);
    EXPECT_TRUE(Traced("Job " + number + " file does not exists.")) << number;
  }
  EXPECT_EQ(ReadFile(dir.File("plugin") + sep + "x.xml") + ReadFile(JobFile("123")),
            "secretnot a job");
  EXPECT_TRUE(platform.startedCommands.empty() && platform.userValues.empty());
}

TEST_F(ImportCallTest, PatientArgumentsAreTakenOutOfTheCommandLine) {
  using Values = std::array<std::string, 4>;
  const std::tuple<std::string, Values, std::string> cases[] = {
      {" -pid1 Meier -pid2 Hans -pid3 01.02.1970 -pid4 4711 /ID:5 /f:x.csv",
       {"Meier", "Hans", "01.02.1970", "4711"},
       "/ID:5 /f:x.csv"},
      // A marker directly followed by the next one has no value and goes alone.
      {"-pid1 -pid2 Name -pid3 x -pid4 y z", {"", "Name", "x", "y"}, "z"},
      {"  abc -pid4 ", {}, "abc"},
  };
  for (const auto& [line, values, rest] : cases) {
    context.commandLine = line;
    StripPatientArguments(context);
    EXPECT_EQ(context.patientValues, values);
    EXPECT_EQ(context.commandLine, rest);
  }
}

}  // namespace
}  // namespace tavrin
