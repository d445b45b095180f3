#include "shared/text.h"

#include <gtest/gtest.h>

#include "shared/error.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

using Parts = std::vector<std::string>;

TEST(ReplaceAll, ResumesBehindTheInsertedReplacement) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("a;b;c", ";", "\r\n"), "a\r\nb\r\nc");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "abc", ""), "");
}

TEST(ReplaceAll, StartCountsCharactersAndKeepsTheTextBefore) {
  EXPECT_EQ(ReplaceAll("abab", "a", "x", 2), "abxb");
  EXPECT_EQ(ReplaceAll("äaäa", "a", "x", 3), "äaäx");
  EXPECT_EQ(ReplaceAll("abc", "a", "x", 10), "abc");
  EXPECT_THROW(ReplaceAll("abc", "a", "x", 0), RuntimeError);
}

TEST(ReplaceAll, TextModeIgnoresCase) {
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Text), "x x");
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Binary), "Ärger ärger");
}

TEST(GetExtension, LeftmostDotWithinTheLastSevenCharacters) {
  EXPECT_EQ(GetExtension("archive.tar.json"), "json");
  EXPECT_EQ(GetExtension("a.b.c"), "b.c");
  EXPECT_EQ(GetExtension("xml"), "xml");
  EXPECT_EQ(GetExtension("XML"), "XML");  // no dot: unchanged, not lower-cased
  EXPECT_EQ(GetExtension("Export.CSV"), "csv");
  EXPECT_EQ(GetExtension("a.abcdefg"), "a.abcdefg");  // the dot is eight from the end
  EXPECT_EQ(GetExtension("daten.ÄÖÜ"), "äöü");
  EXPECT_EQ(GetExtension(""), "");
}

TEST(GetBetween, FindsTheTextBetweenTags) {
  EXPECT_EQ(GetBetween("/ID:7 /f:c:\\a.csv", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7 /F:c:\\a.csv /x", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7", "/f:", " /"), "");
}

TEST(SetBetween, ReplacesAppendsOrLeavesUnchanged) {
  EXPECT_EQ(SetBetween("<A>old</a>", "<a>", "</A>", "new", false), "<A>new</a>");
  // Without an end marker the last character of the text stays.
  EXPECT_EQ(SetBetween("crc=1234;", "CRC=", "#", "99", false), "crc=99;");
  EXPECT_EQ(SetBetween("x crc=", "crc=", "#", "99", false), "x crc=99");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", false), "abc");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", true), "abc<a>v</a>");
}

TEST(SplitText, IgnoresOneTrailingSeparator) {
  EXPECT_EQ(SplitText("a;b;", ";"), (Parts{"a", "b"}));
  EXPECT_EQ(SplitText("a;b;;", ";"), (Parts{"a", "b", ""}));
  EXPECT_EQ(SplitText("a;;b", ";"), (Parts{"a", "", "b"}));
  EXPECT_EQ(SplitText("l1\r\nl2\r\n", "\r\n"), (Parts{"l1", "l2"}));
  EXPECT_TRUE(SplitText("", ";").empty());
  EXPECT_TRUE(SplitText(";", ";").empty());
  EXPECT_EQ(SplitText("abc", ""), (Parts{"abc"}));
}

TEST(NextLine, WalksThroughTheText) {
  const std::string text = "l1\r\n\r\nl3";
  std::size_t pos = 0;
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "l1");
  EXPECT_EQ(pos, 4u);
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "");
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "l3");
  EXPECT_EQ(pos, text.size());
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "");
  EXPECT_EQ(pos, text.size());
  pos = 0;
  EXPECT_EQ(NextLine(text, pos, ""), text);  // an empty separator never loops
}

TEST(PathText, AddBackslashAndTrim) {
  const std::string sep(1, kPathSep);
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("dir"), "dir" + sep);
  EXPECT_EQ(AddBackslash("dir" + sep), "dir" + sep);
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace tavrin
