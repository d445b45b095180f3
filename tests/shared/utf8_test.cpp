#include "shared/utf8.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(Utf8, ConvertsToAndFromUtf16) {
  EXPECT_EQ(Utf8ToUtf16("aä€\U0001F600"), u"aä€\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"aä€\U0001F600"), "aä€\U0001F600");
  EXPECT_EQ(CharCount("aä€\U0001F600"), 5u);
}

TEST(Utf8, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");            // cut short
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\uFFFD");
  EXPECT_EQ(Utf8BytesToText({'a', 0xFF}), "a\uFFFD");
  EXPECT_EQ(CharCount("\xE2\x82"), 2u);
}

TEST(Utf8, CaseMapping) {
  EXPECT_EQ(ToUpper("août"), "AOÛT");
  EXPECT_EQ(ToUpper("straße ÿ"), "STRAßE Ÿ");
  EXPECT_EQ(ToLower("ÄÖÜ ΣΆΣ ДОМ Ёж ŁÓDŹ"), "äöü σάσ дом ёж łódź");
  EXPECT_EQ(ToUpper("szeptember mär"), "SZEPTEMBER MÄR");
  EXPECT_EQ(ToLower("a\xFF"), "a\xFF");  // bytes it cannot read stay as they are
}

TEST(Utf8, CaseInsensitiveSearch) {
  EXPECT_EQ(FindNoCase("Hallo WÖRLD", "wörld"), 6u);
  EXPECT_EQ(FindNoCase("abcabc", "BC", 2), 4u);
  EXPECT_EQ(FindNoCase("abc", "x"), std::string_view::npos);
  EXPECT_EQ(FindNoCase("abc", "", 1), 1u);
  EXPECT_TRUE(EqualsNoCase("Größe", "GRÖßE"));
  EXPECT_TRUE(EqualsNoCase("ſ ı", "S I"));  // long s and dotless i join their capitals
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
}

TEST(Utf8, CompareUtf16UsesCodeUnitOrder) {
  EXPECT_LT(CompareUtf16("a", "b"), 0);
  EXPECT_LT(CompareUtf16("a", "ab"), 0);
  EXPECT_EQ(CompareUtf16("ä", "ä"), 0);
  // U+1F600 is 0xD83D 0xDE00 in UTF-16 and so sorts before U+FF21.
  EXPECT_LT(CompareUtf16("\U0001F600", "\uFF21"), 0);
}

}  // namespace
}  // namespace tavrin
