// UTF-8 text, the ANSI code page, and whole files read and written as UTF-8.

#include "shared/utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/temp_dir.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {
namespace {

TEST(Utf8, ConvertsToAndFromUtf16) {
  EXPECT_EQ(Utf8ToUtf16("aä€\U0001F600"), u"aä€\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"aä€\U0001F600"), "aä€\U0001F600");
  EXPECT_EQ(CharCount("aä€\U0001F600"), 5u);
}

TEST(Utf8, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF\xC0\xAF"), u"a\uFFFD\uFFFD\uFFFD");  // stray byte, overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");    // surrogate
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");              // cut short
  EXPECT_EQ(CharCount("\xE2\x82"), 2u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\uFFFD");
  EXPECT_EQ(Utf8BytesToText({'a', 0xFF}), "a\uFFFD");
}

TEST(Utf8, CaseMappingSearchAndOrder) {
  EXPECT_EQ(ToUpper("août straße ÿ"), "AOÛT STRAßE Ÿ");
  EXPECT_EQ(ToLower("ÄÖÜ ΣΆΣ ДОМ Ёж ŁÓDŹ"), "äöü σάσ дом ёж łódź");
  EXPECT_EQ(ToLower("a\xFF"), "a\xFF");  // bytes it cannot read stay as they are
  EXPECT_EQ(FindNoCase("Hallo WÖRLD", "wörld"), 6u);
  EXPECT_EQ(FindNoCase("abcabc", "BC", 2), 4u);
  EXPECT_EQ(FindNoCase("abc", "x"), std::string_view::npos);
  EXPECT_EQ(FindNoCase("abc", "", 1), 1u);
  // From inside a character, past bytes that are no UTF-8, to an ASCII start.
  EXPECT_EQ(FindNoCase("\xC3\xA9\xC3\r\n\r\nKEY=", "\r\nkey=", 1), 5u);
  EXPECT_TRUE(EqualsNoCase("ſ ı", "S I"));  // long s and dotless i join their capitals
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_LT(CompareUtf16("a", "ab"), 0);
  EXPECT_EQ(CompareUtf16("ä", "ä"), 0);
  // U+1F600 is 0xD83D 0xDE00 in UTF-16 and so sorts before U+FF21.
  EXPECT_LT(CompareUtf16("\U0001F600", "\uFF21"), 0);
}

TEST(Windows1252, HighRangeMissingCharactersAndRoundTrip) {
  EXPECT_EQ(Utf8ToWindows1252("€Grüße„Ÿ"),
            "\x80Gr\xFC\xDF"
            "e\x84\x9F");
  // A C1 control the page does not hold, and bytes that are not UTF-8, become "?" too.
  EXPECT_EQ(Utf8ToWindows1252("日a\U0001F600\u0080\xFF"), "?a???");
  EXPECT_EQ(Windows1252ToUtf8("\x80\x81\x93"), "€\u0081“");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(Utf8Files, ReplacedWithoutByteOrderMarkOrTemporaryFile) {
  testing::TempDir dir;
  const std::string path = dir.File("Grüße.xml");
  WriteUtf8File(path, "old content that is longer");
  WriteUtf8File(path, "<a>Grüße €</a>\r\n");
  std::ifstream in(FsPath(path), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<a>Grüße €</a>\r\n");
  EXPECT_EQ(ReadUtf8File(path), "<a>Grüße €</a>\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FsPath(dir.Path())), {}), 1);
  // A byte-order mark read from a file stays in the text.
  std::ofstream(FsPath(dir.File("bom.txt")), std::ios::binary) << "\xEF\xBB\xBFx";
  EXPECT_EQ(ReadUtf8File(dir.File("bom.txt")), "\uFEFFx");
}

TEST(Utf8Files, FailuresRaiseErrors) {
  testing::TempDir dir;
  try {
    ReadUtf8File(dir.File("missing.txt"));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), kErrFileNotFound);
  }
  EXPECT_THROW(ReadUtf8File(dir.Path()), RuntimeError);
  EXPECT_THROW(WriteUtf8File(dir.File("no/such/folder.txt"), "x"), RuntimeError);
  // A folder in the way: the write fails and nothing is left behind.
  std::filesystem::create_directory(FsPath(dir.File("taken")));
  EXPECT_THROW(WriteUtf8File(dir.File("taken"), "x"), RuntimeError);
  EXPECT_FALSE(std::filesystem::exists(FsPath(dir.File("taken.new~"))));
}

TEST(FileProcedures, ExistsAndKill) {
  testing::TempDir dir;
  const std::string path = dir.File("run.marker");
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
  std::ofstream(FsPath(path)).close();
  EXPECT_TRUE(FileExists(path));  // an empty file exists too
  EXPECT_EQ(KillFile(path), 0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(KillFile(path), 53);
  EXPECT_EQ(KillFile(""), 53);
}

}  // namespace
}  // namespace tavrin
