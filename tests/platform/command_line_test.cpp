// Splitting and joining Windows command lines.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tavrin {
namespace {

using Args = std::vector<std::string>;

TEST(SplitWindowsCommandLine, Rules) {
  const std::pair<const char*, Args> cases[] = {
      // The C runtime's documented examples, after a program name.
      {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
      {R"(p "ab\"c" "\\" d)", {"p", R"(ab"c)", R"(\)", "d"}},
      {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
      {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
      // Blanks and tabs separate, several in a row as one; empty quoted arguments count; a
      // missing closing quote runs to the end; backslashes not before a quote are literal.
      {"  p\t a   b\t", {"p", "a", "b"}},
      {" \t ", {}},
      {R"(p "" a"""b)", {"p", "", R"(a"b)"}},
      {R"(p "a b)", {"p", "a b"}},
      {R"(p a\\ "b\\" c\)", {"p", R"(a\\)", R"(b\)", R"(c\)"}},
      // Backslashes in the program name never escape a quote.
      {R"("C:\my dir\" arg)", {R"(C:\my dir\)", "arg"}},
      {R"(C:\a"b c"d e)", {R"(C:\ab cd)", "e"}},
      {R"("" x)", {"", "x"}},
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(line), expected) << line;
  }
}

TEST(JoinWindowsCommandLine, QuotesOnlyWhereNeededAndSplitsBack) {
  EXPECT_EQ(JoinWindowsCommandLine({"-pid1", "Meier", R"(C:\a\b.csv)", "a b", ""}),
            R"(-pid1 Meier C:\a\b.csv "a b" "")");
  // Trailing backslashes stay outside the closing quote.
  EXPECT_EQ(JoinWindowsCommandLine({R"(C:\my dir\)", R"(say "hi"\\)"}),
            R"("C:\my dir"\ "say \"hi\""\\)");
  // Random arguments made of the characters that matter to the rules; the program name
  // cannot hold a double quote.
  std::mt19937 random(20240611);
  const auto make = [&](std::size_t length, const char* alphabet) {
    std::string text;
    while (text.size() < length) text += alphabet[random() % 5];
    return text;
  };
  for (int round = 0; round < 2000; ++round) {
    Args args{make(1 + random() % 7, "ab \t\\")};
    for (auto count = random() % 5; count > 0; --count)
      args.push_back(make(random() % 8, "a \t\"\\"));
    const std::string line = JoinWindowsCommandLine(args);
    ASSERT_EQ(SplitWindowsCommandLine(line), args) << "[" << line << "]";
  }
}

}  // namespace
}  // namespace tavrin
