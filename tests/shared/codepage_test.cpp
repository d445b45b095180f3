#include "shared/codepage.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(Windows1252, MapsTheHighControlRange) {
  EXPECT_EQ(Utf8ToWindows1252("€"), "\x80");
  EXPECT_EQ(Utf8ToWindows1252("Grüße"),
            "Gr\xFC\xDF"
            "e");
  EXPECT_EQ(Utf8ToWindows1252("ŠŽšžŸ„…"), "\x8A\x8E\x9A\x9E\x9F\x84\x85");
  EXPECT_EQ(Windows1252ToUtf8("\x80\x93\x94"), "€“”");
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(Windows1252, CharactersOutsideThePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToWindows1252("日本"), "??");
  EXPECT_EQ(Utf8ToWindows1252("a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf8ToWindows1252("\u0080"), "?");  // a C1 control the page does not hold
  EXPECT_EQ(Utf8ToWindows1252("\xFF"), "?");    // not UTF-8
}

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

}  // namespace
}  // namespace tavrin
