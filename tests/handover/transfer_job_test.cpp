#include "handover/transfer_job.h"

#include <gtest/gtest.h>

#include "handover/import_call.h"
#include "handover_fixture.h"
#include "platform/temp_files.h"
#include "shared/error.h"

namespace tavrin {
namespace {

const std::string kDocument = "<?xml version='1.0'?>\r\n<IMPORT><BG Note='Müsli'/></IMPORT>\r\n";

class TransferJobTest : public testing::HandoverTest {
 protected:
  TransferJobTest() {
    platform.environment["Temp"] = dir.File("temp");
    std::filesystem::create_directories(FsPath(dir.File("temp")));
    std::filesystem::create_directories(FsPath(context.host.baseFolder + "_EXTRAS"));
    context.host.hostVersion = "3.0.9.1";
    tempFiles.SetDeleteAtEnd(false);
  }
  std::string JobFile(const std::string& number) {
    return dir.File("plugin") + sep + "jobs" + sep + number + ".xml";
  }
  cTempFiles tempFiles{platform};
};

TEST_F(TransferJobTest, CreateCopiesIntoAFreeJobFile) {
  WriteFile(dir.File("a.xml"), kDocument);
  WriteFile(dir.File("b.xml"), "second");
  const std::string first = CreateTransferJob(context, dir.File("a.xml"));
  ASSERT_EQ(first.substr(0, 8), " -jobid ");
  ASSERT_EQ(first.size(), 17u);
  EXPECT_EQ(ReadFile(JobFile(first.substr(8))), kDocument);
  EXPECT_TRUE(Traced("Job-FIle created:  -jobid " + first.substr(8)));
  // The same seed draws the taken number first, then another one.
  const std::string second = CreateTransferJob(context, dir.File("b.xml"));
  EXPECT_NE(second, first);
  EXPECT_EQ(ReadFile(JobFile(second.substr(8))), "second");
  EXPECT_THROW(CreateTransferJob(context, dir.File("missing.xml")), RuntimeError);
}

TEST_F(TransferJobTest, SecondStepHandsTheCopyToTheToolAndDeletesTheJob) {
  WriteFile(JobFile("123456789"), kDocument);
  const std::string shortBase = dir.File("VELTRA~1") + sep;
  platform.shortNames[context.host.baseFolder] = shortBase;
  std::filesystem::create_directories(FsPath(shortBase + "_EXTRAS"));
  context.commandLine = "-JOBID 123456789 -more args";

  RunTransferJob(context, tempFiles);

  EXPECT_FALSE(std::filesystem::exists(FsPath(JobFile("123456789"))));
  const std::string copy = platform.ReadUserValue(cTempFiles::kRecordKey, "1");
  ASSERT_EQ(copy.substr(copy.size() - 4), ".xml");
  EXPECT_EQ(ReadFile(copy), kDocument);
  EXPECT_EQ(platform.currentDirectory, shortBase + "_EXTRAS" + sep);
  const std::string expected = shortBase + "_EXTRAS" + sep + "KelsarImport.exe import -filepath " +
                               copy + " -filemac " + ComputeFileMac(context, kDocument);
  EXPECT_EQ(platform.startedCommands, std::vector<std::string>{expected});
  EXPECT_EQ(platform.windowStyles, std::vector<int>{1});
  EXPECT_TRUE(Traced("Received 2.part transfer job: 123456789"));
  EXPECT_TRUE(Traced("Started transfer for job 123456789: " + expected));
}

TEST_F(TransferJobTest, SecondStepCallsTheHostItselfFromVersion31) {
  WriteFile(JobFile("555555555"), kDocument);
  context.host.hostVersion = "3.1.0.0";
  context.commandLine = "-jobid 555555555";
  RunTransferJob(context, tempFiles);
  ASSERT_EQ(platform.startedCommands.size(), 1u);
  EXPECT_EQ(platform.startedCommands[0].find("\"" + context.host.baseFolder +
                                             "Veltra Orvolux Software.exe\" import -filepath "),
            0u);
}

TEST_F(TransferJobTest, OnlyRealJobNumbersNameAFile) {
  WriteFile(dir.File("plugin") + sep + "x.xml", "secret");  // what "../x" would reach
  for (const std::string number : {"123", "1234567890", "abcdefghi", "099999999"}) {
    WriteFile(JobFile(number), "not a job");
  }
  for (const std::string number : {"../x", "123", "1234567890", "abcdefghi", "099999999",
                                   "123456789" /* valid, but no such job */}) {
    context.commandLine = "-jobid " + number;
    RunTransferJob(context, tempFiles);
    EXPECT_TRUE(Traced("Job " + number + " file does not exists.")) << number;
  }
  EXPECT_EQ(ReadFile(dir.File("plugin") + sep + "x.xml"), "secret");
  for (const std::string number : {"123", "1234567890", "abcdefghi", "099999999"}) {
    EXPECT_EQ(ReadFile(JobFile(number)), "not a job") << number;
  }
  EXPECT_TRUE(platform.startedCommands.empty());
  EXPECT_TRUE(platform.userValues.empty());
}

TEST_F(TransferJobTest, FailingDirectoryChangeRaisesBeforeTheCall) {
  WriteFile(JobFile("123456789"), kDocument);
  std::filesystem::remove_all(FsPath(context.host.baseFolder + "_EXTRAS"));
  context.commandLine = "-jobid 123456789";
  EXPECT_THROW(RunTransferJob(context, tempFiles), RuntimeError);
  EXPECT_TRUE(platform.startedCommands.empty());
}

TEST_F(TransferJobTest, PatientArgumentsAreTakenOutOfTheCommandLine) {
  using Values = std::array<std::string, 4>;
  context.commandLine = " -pid1 Meier -pid2 Hans -pid3 01.02.1970 -pid4 4711 /ID:5 /f:x.csv";
  StripPatientArguments(context);
  EXPECT_EQ(context.patientValues, (Values{"Meier", "Hans", "01.02.1970", "4711"}));
  EXPECT_EQ(context.commandLine, "/ID:5 /f:x.csv");
  // A marker directly followed by the next one has no value and goes alone.
  context.commandLine = "-pid1 -pid2 Name -pid3 x -pid4 y z";
  StripPatientArguments(context);
  EXPECT_EQ(context.patientValues, (Values{"", "Name", "x", "y"}));
  EXPECT_EQ(context.commandLine, "z");
  context.commandLine = "  abc -pid4 ";
  StripPatientArguments(context);
  EXPECT_EQ(context.patientValues, Values{});
  EXPECT_EQ(context.commandLine, "abc");
}

}  // namespace
}  // namespace tavrin
