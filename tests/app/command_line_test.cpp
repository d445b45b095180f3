#include "app/command_line.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace tavrin {
namespace {

TEST(CommandLineTest, JobModeAndDumpFilesAreRecognised) {
  std::string seen;
  for (const char* line :
       {"-JOBID 17", "x -jobid 123456789 -pid1 Meier", "-JobId", "-job 17", ""}) {
    seen += IsJobMode(line) ? "J" : "-";
  }
  // The leftmost "." within the last seven characters decides: "b.xml" is no dump name.
  for (const char* line :
       {"C:\\data\\stream.xml", "/data/archive.tar.JSON", "/d/export.csv", "", "a.b.xml"}) {
    seen += IsDumpFileName(line) ? "D" : "-";
  }
  EXPECT_EQ(seen, "JJJ--DD---");
}

// The host's call form: the command line that stays and the file named after "/f:".
TEST(CommandLineTest, HostCallFormCutsTheCommandLine) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"/ID:5 /f:C:\\x\\export.csv", "", "C:\\x\\export.csv"},
      {"/ID:7 /f:c:\\a.csv /q", "", "c:\\a.csv"},  // the name ends at the next switch
      {"/ID:5", "", ""},
      {"  keep me /id:9 /F:/data/e.csv", "keep me", "/data/e.csv"},
      // Other command lines are cut at their first blank and slash.
      {"abc /x", "abc", ""},
      {"a/b c /d /e", "a/b c", ""},
      {"plain", "plain", ""},
  };
  for (const auto& [line, rest, file] : cases) {
    std::string commandLine = line;
    EXPECT_EQ(ApplyHostCallForm(commandLine), file) << line;
    EXPECT_EQ(commandLine, rest) << line;
  }
}

TEST(CommandLineTest, HexDumpUsesTheAnsiCodeOfEachCharacter) {
  testing::FakePlatform platform;
  // "ä" and "€" in Windows-1252; a character the code page lacks becomes "?".
  EXPECT_EQ(HexDumpOfText(platform, "A\nä€中") + "|" + HexDumpOfText(platform, ""),
            "0x41 0x0A 0xE4 0x80 0x3F |");
}

}  // namespace
}  // namespace tavrin
