// The forms of the plug-in's command line: job mode, a document to dump, the host's call.

#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(CommandLineTest, JobModeDumpFilesAndTheHostCallForm) {
  std::string seen;
  for (const char* line : {"-JOBID 17", "x -jobid 123456789 -pid1 Meier", "-JobId", "-job 17"}) {
    seen += IsJobMode(line) ? "J" : "-";
  }
  // The leftmost "." within the last seven characters decides: "b.xml" is no dump name.
  for (const char* line :
       {"C:\\data\\stream.xml", "/data/archive.tar.JSON", "/d/export.csv", "a.b.xml"}) {
    seen += IsDumpFileName(line) ? "D" : "-";
  }
  EXPECT_EQ(seen, "JJJ-DD--");

  // The host's call form: the command line that stays and the file named after "/f:".
  // clang-format off
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"/ID:7 /f:c:\\a.csv /q", "", "c:\\a.csv"},  // the name ends at the next switch
      {"/ID:5", "", ""}, {"  keep me /id:9 /F:/data/e.csv", "keep me", "/data/e.csv"},
      // Other command lines are cut at their first blank and slash.
      {"a/b c /d /e", "a/b c", ""}, {"plain", "plain", ""},
      // Quotes around the whole argument or around the path alone are not part of the name.
      {"/ID:5 \"/f:C:\\Müller Ärzte\\alt.csv\"", "", "C:\\Müller Ärzte\\alt.csv"},
      {"\"/ID:5\" \"/f:C:\\a b.csv\" /q", "\"", "C:\\a b.csv"},
      {"/ID:5 /f:\"C:\\a b.csv\" /q", "", "C:\\a b.csv"},
  };
  // clang-format on
  for (const auto& [line, rest, file] : cases) {
    std::string commandLine = line;
    EXPECT_EQ(ApplyHostCallForm(commandLine) + "|" + commandLine, file + "|" + rest) << line;
  }
}

}  // namespace
}  // namespace tavrin
