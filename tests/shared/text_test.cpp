// Text procedures, number texts and the document string builder.

#include "shared/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "shared/error.h"
#include "shared/fs.h"
#include "shared/number_format.h"
#include "shared/string_builder.h"

namespace tavrin {
namespace {

using Parts = std::vector<std::string>;

TEST(ReplaceAll, ResumesBehindTheReplacementFromACharacterPosition) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("äaäa", "a", "x", 3), "äaäx");  // the text before start is kept
  EXPECT_EQ(ReplaceAll("abc", "a", "x", 10), "abc");
  EXPECT_THROW(ReplaceAll("abc", "a", "x", 0), RuntimeError);
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Text), "x x");
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Binary), "Ärger ärger");
}

TEST(GetExtension, LeftmostDotWithinTheLastSevenCharactersInLowerCase) {
  // Without a dot the name comes back unchanged, not lower-cased; in "a.abcdefg" the dot
  // is eight characters from the end.
  const std::pair<const char*, const char*> cases[] = {{"archive.tar.json", "json"},
                                                       {"a.b.c", "b.c"},
                                                       {"XML", "XML"},
                                                       {"a.abcdefg", "a.abcdefg"},
                                                       {"daten.ÄÖÜ", "äöü"}};
  for (const auto& [name, extension] : cases) EXPECT_EQ(GetExtension(name), extension) << name;
}

TEST(BetweenMarkers, FoundWithoutRegardToCase) {
  EXPECT_EQ(GetBetween("/ID:7 /F:c:\\a.csv /x", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7 /f:c:\\a.csv", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7", "/f:", " /"), "");
  EXPECT_EQ(SetBetween("<A>old</a>", "<a>", "</A>", "new", false), "<A>new</a>");
  // Without an end marker the last character of the text stays.
  EXPECT_EQ(SetBetween("crc=1234;", "CRC=", "#", "99", false), "crc=99;");
  EXPECT_EQ(SetBetween("x crc=", "crc=", "#", "99", false), "x crc=99");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", false), "abc");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", true), "abc<a>v</a>");
}

TEST(SplitText, LinesAndPartsIgnoringOneTrailingSeparator) {
  EXPECT_EQ(SplitText("l1\r\n\r\nl3\r\n", "\r\n"), (Parts{"l1", "", "l3"}));
  EXPECT_EQ(SplitText("a;b;;", ";"), (Parts{"a", "b", ""}));
  EXPECT_TRUE(SplitText("", ";").empty());
  EXPECT_TRUE(SplitText(";", ";").empty());
  EXPECT_EQ(SplitText("abc", ""), (Parts{"abc"}));
  const std::string text = "l1\r\n\r\nl3";
  std::size_t pos = 0;
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "l1");
  EXPECT_EQ(pos, 4u);
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "");
  EXPECT_EQ(NextLine(text, pos, "\r\n"), "l3");
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

TEST(NumberText, ValParseDecimalAndRoundTo) {
  EXPECT_DOUBLE_EQ(Val("  12 34abc"), 1234.0);
  EXPECT_DOUBLE_EQ(Val("1.5.6"), 1.5);
  EXPECT_DOUBLE_EQ(Val("x1"), 0.0);
  // The first "." (else ",") separates; the fraction is the value of the text behind it
  // over 10 to the power of its length: "234,5" reads as 234 over 10^5.
  const std::pair<std::string, float> decimals[] = {
      {"1,5", 1.5f},         {"1.5", 1.5f},
      {" - 2,25 ", -2.25f},  {"3,05", 3.05f},
      {",5", 0.5f},          {"12", 12.0f},
      {"1.234,5", 1.00234f}, {"0." + std::string(400, '0') + "1", 0.0f}};
  for (const auto& [text, value] : decimals) EXPECT_FLOAT_EQ(ParseDecimal(text), value) << text;
  try {
    ParseDecimal(std::string(50, '9'));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_DOUBLE_EQ(RoundTo(2.25, 1), 2.3);
  EXPECT_DOUBLE_EQ(RoundTo(-2.25, 1), -2.2);
  EXPECT_DOUBLE_EQ(RoundTo(1234.5, 0), 1235.0);
}

TEST(NumberText, CleanAmountReadsMarksRangesAndSums) {
  // Amount, decimal separator, cleaned amount. Only a ">" at the end is a mark; a leading
  // one makes the text unreadable as a number. (1.5 + 2) / 2 = 1.75 rounds to 1.8.
  const char* cases[][3] = {{"12*", ".", "12"},        {"3-5", ".", "4"}, {"2+3", ".", "5"},
                            {"5>", ".", "5"},          {">5", ".", "0"},  {"1,5-2", ",", "1,8"},
                            {"1.5+1,25", ".", "2.75"}, {"7-", ".", "7"},  {"-4", ".", "-4"}};
  for (const auto& c : cases) EXPECT_EQ(CleanAmount(c[0], c[1]), c[2]) << c[0];
}

TEST(NumberText, SevenOrFifteenSignificantDigitsAndTheGivenSeparator) {
  EXPECT_EQ(SingleToText(1.0f / 3.0f, "."), "0.3333333");
  EXPECT_EQ(SingleToText(1234567.0f, "."), "1234567");
  EXPECT_EQ(SingleToText(12345678.0f, "."), "1.234568E+07");
  EXPECT_EQ(SingleToText(-0.0f, "."), "0");
  EXPECT_EQ(SingleToText(0.0001f, ","), "0,0001");
  EXPECT_EQ(SingleToText(0.00001f, ","), "1E-05");
  EXPECT_EQ(DoubleToText(1.0 / 3.0, ","), "0,333333333333333");
  EXPECT_EQ(DoubleToText(123456789012345678.0, "."), "1.23456789012346E+17");
  EXPECT_EQ(DoubleToText(100.0, "."), "100");
}

TEST(StringBuilder, CountsUtf16UnitsAndRemovesWholeCharacters) {
  cStringBuilder b;
  b.Add("Grüße,");
  EXPECT_EQ(b.NumChars(), 12u);
  b.RemoveAtEnd(3);
  EXPECT_EQ(b.ToString(), "Grü");
  b.Add("x\U0001F600");  // two UTF-16 units
  EXPECT_EQ(b.NumChars(), 12u);
  b.RemoveAtEnd(1);  // never half a character
  EXPECT_EQ(b.ToString(), "Grüx");
  b.RemoveAtEnd(100);
  EXPECT_EQ(b.NumChars(), 0u);
  // A character split across appends counts once it is complete.
  b.Add("a\xE2\x82");
  b.Add("\xAC");
  b.Add("bc");
  EXPECT_EQ(b.ToString(), "a€bc");
  EXPECT_EQ(b.NumChars(), 8u);
  // Bytes of the UTF-16LE form, read forwards and back again.
  EXPECT_EQ(b.ByteChar(2), 0xAC);
  EXPECT_EQ(b.ByteChar(3), 0x20);
  EXPECT_EQ(b.ByteChar(0), 0x61);
  EXPECT_THROW(b.ByteChar(8), RuntimeError);
  EXPECT_EQ(b.Release(), "a€bc");
  EXPECT_EQ(b.NumChars(), 0u);
  b.Add("x");
  EXPECT_EQ(b.ToString(), "x");
}

}  // namespace
}  // namespace tavrin
