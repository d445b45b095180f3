#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace tavrin {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
  const char* line;
  Args expected;
};

TEST(SplitWindowsCommandLine, ArgumentRules) {
  // The first rows are the C runtime's documented examples, after a program name.
  const SplitCase cases[] = {
      {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
      {R"(p "ab\"c" "\\" d)", {"p", R"(ab"c)", R"(\)", "d"}},
      {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
      {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
      // Blanks and tabs separate; several in a row count as one.
      {"  p\t a   b\t", {"p", "a", "b"}},
      // Empty quoted arguments are arguments.
      {R"(p "" "")", {"p", "", ""}},
      {R"(p a""b)", {"p", "ab"}},
      {R"(p a"""b)", {"p", R"(a"b)"}},
      // A missing closing quote runs to the end of the line.
      {R"(p "a b)", {"p", "a b"}},
      // Backslashes not before a quote are literal, also at the end.
      {R"(p a\\ b\)", {"p", R"(a\\)", R"(b\)"}},
      {R"(p "a\\")", {"p", R"(a\)"}},
      {R"(p \\server\share\x.xml)", {"p", R"(\\server\share\x.xml)"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected) << c.line;
  }
}

TEST(SplitWindowsCommandLine, ProgramNameRules) {
  const SplitCase cases[] = {
      {R"("C:\Program Files\Veltra\_EXTRAS\KelsarImport.exe" import -filepath C:\Temp\~tV1A.xml)",
       {R"(C:\Program Files\Veltra\_EXTRAS\KelsarImport.exe)", "import", "-filepath",
        R"(C:\Temp\~tV1A.xml)"}},
      // Backslashes in the program name never escape a quote.
      {R"("C:\my dir\" arg)", {R"(C:\my dir\)", "arg"}},
      {R"(C:\a"b c"d e)", {R"(C:\ab cd)", "e"}},
      {R"(C:\PROGRA~1\Veltra\_EXTRAS\KelsarImport.exe import -filemac 0a1b)",
       {R"(C:\PROGRA~1\Veltra\_EXTRAS\KelsarImport.exe)", "import", "-filemac", "0a1b"}},
      {R"("" x)", {"", "x"}},
      {"/bin/sh", {"/bin/sh"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected) << c.line;
  }
}

TEST(SplitWindowsCommandLine, EmptyLinesGiveNothing) {
  EXPECT_TRUE(SplitWindowsCommandLine("").empty());
  EXPECT_TRUE(SplitWindowsCommandLine(" \t ").empty());
}

TEST(JoinWindowsCommandLine, QuotesOnlyWhereNeeded) {
  EXPECT_EQ(JoinWindowsCommandLine({"-pid1", "Meier", R"(C:\a\b.csv)"}),
            R"(-pid1 Meier C:\a\b.csv)");
  EXPECT_EQ(JoinWindowsCommandLine({"p", "a b", ""}), R"(p "a b" "")");
  EXPECT_EQ(JoinWindowsCommandLine({"p", R"(say "hi")"}), R"(p "say \"hi\"")");
  EXPECT_EQ(JoinWindowsCommandLine({"p", R"(x\"y)"}), R"(p "x\\\"y")");
  // Trailing backslashes stay outside the closing quote.
  EXPECT_EQ(JoinWindowsCommandLine({R"(C:\my dir\)", R"(x y\\)"}), R"("C:\my dir"\ "x y"\\)");
  EXPECT_EQ(JoinWindowsCommandLine({}), "");
}

TEST(JoinWindowsCommandLine, SplittingGivesTheArgumentsBack) {
  const std::vector<Args> lists = {
      {R"(C:\Program Files\x.exe)", "a b", "", R"(tail\)", R"(q"uote)", R"(back\\"slash)",
       R"(\\server\share dir\)", "\t", R"(\)", R"("")"},
      {R"(C:\my dir\)", R"(\"\)", " "},
  };
  for (const Args& args : lists) {
    EXPECT_EQ(SplitWindowsCommandLine(JoinWindowsCommandLine(args)), args);
  }
}

TEST(JoinWindowsCommandLine, RandomArgumentsRoundTrip) {
  // Arguments made of the characters that matter to the rules; the program name cannot
  // hold a double quote.
  std::mt19937 random(20240611);
  const std::string alphabet = "a \t\"\\";
  const auto make = [&](bool programName) {
    std::string text;
    const int length = static_cast<int>(random() % 8);
    for (int i = 0; i < length; ++i) {
      char c = alphabet[random() % alphabet.size()];
      if (programName && c == '"') c = 'b';
      text += c;
    }
    if (programName && text.empty()) text = "p";
    return text;
  };
  for (int round = 0; round < 2000; ++round) {
    Args args{make(true)};
    const int count = static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) args.push_back(make(false));
    const std::string line = JoinWindowsCommandLine(args);
    ASSERT_EQ(SplitWindowsCommandLine(line), args) << "[" << line << "]";
  }
}

TEST(SplitCommandLineForStart, UnquotedProgramPathWithBlanksFindsTheExistingFile) {
  const std::set<std::string> files = {"/opt/Veltra Orvolux/Veltra Orvolux Software.exe"};
  const auto isFile = [&](const std::string& path) { return files.count(path) > 0; };

  EXPECT_EQ(SplitCommandLineForStart(
                "/opt/Veltra Orvolux/Veltra Orvolux Software.exe import -filepath /t/a.xml", isFile),
            (Args{"/opt/Veltra Orvolux/Veltra Orvolux Software.exe", "import", "-filepath",
                  "/t/a.xml"}));
  // The program path alone, without arguments.
  EXPECT_EQ(SplitCommandLineForStart("/opt/Veltra Orvolux/Veltra Orvolux Software.exe", isFile),
            (Args{"/opt/Veltra Orvolux/Veltra Orvolux Software.exe"}));
  // Quoted paths and paths without an existing reading split as usual.
  EXPECT_EQ(SplitCommandLineForStart("\"/opt/a b/c\" x", isFile), (Args{"/opt/a b/c", "x"}));
  EXPECT_EQ(SplitCommandLineForStart("/nowhere/a b c", isFile), (Args{"/nowhere/a", "b", "c"}));
  // The shortest existing reading wins, as Windows starts it.
  const auto both = [](const std::string& path) { return path == "/a" || path == "/a b"; };
  EXPECT_EQ(SplitCommandLineForStart("/a b c", both), (Args{"/a", "b", "c"}));
}

}  // namespace
}  // namespace tavrin
