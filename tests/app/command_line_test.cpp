#include "app/command_line.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace tavrin {
namespace {

TEST(JobModeTest, FoundInAnyLetterCase) {
  EXPECT_TRUE(IsJobMode("-JOBID 17"));
  EXPECT_TRUE(IsJobMode("x -jobid 123456789 -pid1 Meier"));
  EXPECT_TRUE(IsJobMode("-JobId"));
  EXPECT_FALSE(IsJobMode("-job 17"));
  EXPECT_FALSE(IsJobMode(""));
}

TEST(HostCallFormTest, IdWithFileCutsTheCommandLineAndNamesTheFile) {
  std::string commandLine = "/ID:5 /f:C:\\x\\export.csv";
  EXPECT_EQ(ApplyHostCallForm(commandLine), "C:\\x\\export.csv");
  EXPECT_EQ(commandLine, "");
}

TEST(HostCallFormTest, FileNameEndsAtTheNextSwitch) {
  std::string commandLine = "/ID:7 /f:c:\\a.csv /q";
  EXPECT_EQ(ApplyHostCallForm(commandLine), "c:\\a.csv");
}

TEST(HostCallFormTest, IdAloneLeavesAnEmptyCommandLineAndNoFile) {
  std::string commandLine = "/ID:5";
  EXPECT_EQ(ApplyHostCallForm(commandLine), "");
  EXPECT_EQ(commandLine, "");
}

TEST(HostCallFormTest, TextBeforeTheFirstSlashStays) {
  std::string commandLine = "  keep me /id:9 /F:/data/e.csv";
  EXPECT_EQ(ApplyHostCallForm(commandLine), "/data/e.csv");
  EXPECT_EQ(commandLine, "keep me");
}

TEST(HostCallFormTest, OtherSwitchesAreCutAtTheFirstBlankSlash) {
  std::string commandLine = "abc /x";
  EXPECT_EQ(ApplyHostCallForm(commandLine), "");
  EXPECT_EQ(commandLine, "abc");

  commandLine = "a/b c /d /e";
  ApplyHostCallForm(commandLine);
  EXPECT_EQ(commandLine, "a/b c");

  commandLine = "plain";
  ApplyHostCallForm(commandLine);
  EXPECT_EQ(commandLine, "plain");
}

TEST(FileDumpTest, OnlyXmlAndJsonNamesAreDumped) {
  EXPECT_TRUE(IsDumpFileName("C:\\data\\stream.xml"));
  EXPECT_TRUE(IsDumpFileName("/data/archive.tar.JSON"));
  EXPECT_FALSE(IsDumpFileName("/data/export.csv"));
  EXPECT_FALSE(IsDumpFileName(""));
  // The leftmost "." within the last seven characters decides: "b.xml".
  EXPECT_FALSE(IsDumpFileName("a.b.xml"));
}

TEST(FileDumpTest, HexDumpUsesTheAnsiCodeOfEachCharacter) {
  testing::FakePlatform platform;
  EXPECT_EQ(HexDumpOfText(platform, "A\n"), "0x41 0x0A ");
  // "ä" and "€" in Windows-1252; a character the code page lacks becomes "?".
  EXPECT_EQ(HexDumpOfText(platform, "ä€"), "0xE4 0x80 ");
  EXPECT_EQ(HexDumpOfText(platform, "中"), "0x3F ");
  EXPECT_EQ(HexDumpOfText(platform, ""), "");
}

}  // namespace
}  // namespace tavrin
