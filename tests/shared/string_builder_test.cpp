#include "shared/string_builder.h"

#include <gtest/gtest.h>

#include "shared/error.h"

namespace tavrin {
namespace {

TEST(StringBuilder, RemoveAtEndDropsOnlyTheTrailingComma) {
  cStringBuilder b;
  b.Add("[1,2,");
  b.RemoveAtEnd(1);
  b.Add("]");
  EXPECT_EQ(b.ToString(), "[1,2]");
  EXPECT_EQ(b.NumChars(), 10u);
}

TEST(StringBuilder, CountsCharactersNotBytes) {
  cStringBuilder b;
  b.Add("Grüße");
  EXPECT_EQ(b.NumChars(), 10u);
  b.RemoveAtEnd(2);
  EXPECT_EQ(b.ToString(), "Grü");
  b.Add("x\U0001F600");  // two UTF-16 units
  EXPECT_EQ(b.NumChars(), 12u);
  b.RemoveAtEnd(1);  // never half a character
  EXPECT_EQ(b.ToString(), "Grüx");
  b.Add(",\r\n");
  b.RemoveAtEnd(3);
  EXPECT_EQ(b.ToString(), "Grüx");
  b.RemoveAtEnd(100);
  EXPECT_EQ(b.ToString(), "");
  EXPECT_EQ(b.NumChars(), 0u);
}

TEST(StringBuilder, CharacterSplitAcrossAppendsCountsOnce) {
  cStringBuilder b;
  b.Add("\xC3");
  b.Add("\xA9");
  EXPECT_EQ(b.ToString(), "é");
  EXPECT_EQ(b.NumChars(), 2u);
}

TEST(StringBuilder, AsciiAfterASplitCharacterCompletesItFirst) {
  cStringBuilder b;
  b.Add("a\xE2\x82");
  b.Add("\xAC");
  b.Add("bc");
  EXPECT_EQ(b.ToString(), "a€bc");
  EXPECT_EQ(b.NumChars(), 8u);
}

TEST(StringBuilder, ReleaseHandsOverTheTextAndEmptiesTheBuilder) {
  cStringBuilder b;
  b.Add("<A>ä</A>");
  const std::string text = b.Release();
  EXPECT_EQ(text, "<A>ä</A>");
  EXPECT_EQ(b.ToString(), "");
  EXPECT_EQ(b.NumChars(), 0u);
  b.Add("x");
  EXPECT_EQ(b.ToString(), "x");
  EXPECT_EQ(b.NumChars(), 2u);
}

TEST(StringBuilder, ByteCharReadsUtf16LittleEndian) {
  cStringBuilder b;
  b.Add("A€");
  EXPECT_EQ(b.ByteChar(0), 0x41);
  EXPECT_EQ(b.ByteChar(1), 0x00);
  EXPECT_EQ(b.ByteChar(2), 0xAC);
  EXPECT_EQ(b.ByteChar(3), 0x20);
  EXPECT_EQ(b.ByteChar(0), 0x41);  // going back works too
  EXPECT_THROW(b.ByteChar(4), RuntimeError);
}

TEST(StringBuilder, ManyAppends) {
  cStringBuilder b;
  for (int i = 0; i < 100000; ++i) b.Add("ä;");
  EXPECT_EQ(b.NumChars(), 400000u);
  EXPECT_EQ(b.ToString().size(), 300000u);
  b.Clear();
  EXPECT_EQ(b.NumChars(), 0u);
}

}  // namespace
}  // namespace tavrin
