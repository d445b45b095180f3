// The shared procedures: UTF-8 text and the ANSI code page, text and number procedures,
// the document string builder, whole files read as UTF-8, dates, and the keyed
// collection.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fakes/temp_dir.h"
#include "shared/codepage.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/ext_collection.h"
#include "shared/fs.h"
#include "shared/number_format.h"
#include "shared/string_builder.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

using Texts = std::vector<std::string>;

// What `f` makes of each input, in order.
template <typename In, typename F>
Texts Each(const std::vector<In>& inputs, F f) {
  Texts out;
  for (const In& in : inputs) out.push_back(f(in));
  return out;
}

// A call that must raise the run-time error with this number.
auto Raises(std::int64_t number) {
  return ::testing::Throws<RuntimeError>(::testing::Property(&RuntimeError::Number, number));
}

DateTime D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return {y, mo, d, h, mi, s};
}

Texts ValuesOf(const cExtCollection<std::string>& c) {
  return {c.begin(), c.end()};
}

TEST(Utf8, ConversionRepairCaseMappingSearchAndOrder) {
  EXPECT_EQ(Utf8ToUtf16("aä€\U0001F600"), u"aä€\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"aä€\U0001F600"), "aä€\U0001F600");
  EXPECT_EQ(CharCount("aä€\U0001F600"), 5u);
  // A stray byte, an overlong form, a surrogate and a sequence cut short each become
  // replacement characters.
  EXPECT_EQ(Utf8ToUtf16("a\xFF\xC0\xAF"), u"a\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");
  EXPECT_EQ(CharCount("\xE2\x82"), 2u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\uFFFD");
  EXPECT_EQ(Utf8BytesToText({'a', 0xFF}), "a\uFFFD");
  // The validity check that lets valid text be written uncopied: bad bytes behind long
  // ASCII runs (the word-wise skip), at the very end, and U+FFFD itself as valid text.
  const std::string run(19, 'x');
  for (const std::string& text : {run + "\xFF" + run, run + "\xE2\x82", run + "\xED\xA0\x80",
                                  run + "ä\uFFFD€" + run, run, std::string()}) {
    EXPECT_EQ(IsValidUtf8(text), SanitizeUtf8(text) == text) << text;
  }
  EXPECT_FALSE(IsValidUtf8(run + "\xC0\xAF"));
  for (std::size_t at = 0; at < 70; ++at) {  // in each place of the 32-, 16- and 8-byte blocks
    const std::string text = std::string(at, 'x') + "\x80" + std::string(69 - at, 'x');
    EXPECT_EQ(FindNonAscii(text, at / 2), at);
    EXPECT_EQ(FindNonAscii(text, at + 1), std::string::npos);
  }
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
}

TEST(Windows1252, HighRangeMissingCharactersAndRoundTrip) {
  EXPECT_EQ(Utf8ToWindows1252("€Grüße„Ÿ"), "\x80Gr\xFC\xDF\x65\x84\x9F");
  // A C1 control the page does not hold, and bytes that are not UTF-8, become "?" too.
  EXPECT_EQ(Utf8ToWindows1252("日a\U0001F600\u0080\xFF"), "?a???");
  EXPECT_EQ(Windows1252ToUtf8("\x80\x81\x93"), "€\u0081“");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(TextProcedures, ReplaceExtensionMarkersPathsAndLines) {
  // Replacing resumes behind the replacement, from a character position; the text before
  // it is kept.
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("äaäa", "a", "x", 3), "äaäx");
  EXPECT_EQ(ReplaceAll("abc", "a", "x", 10), "abc");
  EXPECT_THROW(ReplaceAll("abc", "a", "x", 0), RuntimeError);
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Text), "x x");
  EXPECT_EQ(ReplaceAll("Ärger ärger", "ÄRGER", "x", 1, CompareMode::Binary), "Ärger ärger");
  // The leftmost dot within the last seven characters, in lower case; a name without one
  // comes back unchanged ("a.abcdefg" has its dot eight characters from the end).
  EXPECT_EQ(Each<std::string>({"archive.tar.json", "a.b.c", "XML", "a.abcdefg", "daten.ÄÖÜ"},
                              GetExtension),
            (Texts{"json", "b.c", "XML", "a.abcdefg", "äöü"}));
  // Markers are found without regard to case; without an end marker the last character of
  // the text stays.
  EXPECT_EQ(GetBetween("/ID:7 /F:c:\\a.csv /x", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7 /f:c:\\a.csv", "/f:", " /"), "c:\\a.csv");
  EXPECT_EQ(GetBetween("/ID:7", "/f:", " /"), "");
  EXPECT_EQ(SetBetween("<A>old</a>", "<a>", "</A>", "new", MissingMarker::kLeaveText),
            "<A>new</a>");
  EXPECT_EQ(SetBetween("crc=1234;", "CRC=", "#", "99", MissingMarker::kLeaveText), "crc=99;");
  EXPECT_EQ(SetBetween("x crc=", "crc=", "#", "99", MissingMarker::kLeaveText), "x crc=99");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", MissingMarker::kLeaveText), "abc");
  EXPECT_EQ(SetBetween("abc", "<a>", "</a>", "v", MissingMarker::kAppend), "abc<a>v</a>");
  const std::string dir = std::string("dir") + kPathSep;
  EXPECT_EQ(Each<std::string>({"", "dir", dir}, AddBackslash), (Texts{"", dir, dir}));
  EXPECT_EQ(Each<std::string>({"  a b  ", "   "}, Trim), (Texts{"a b", ""}));
  // Lines and parts, ignoring one trailing separator.
  EXPECT_EQ(SplitText("l1\r\n\r\nl3\r\n", "\r\n"), (Texts{"l1", "", "l3"}));
  EXPECT_EQ(SplitText("a;b;;", ";"), (Texts{"a", "b", ""}));
  for (const char* text : {"", ";"}) EXPECT_TRUE(SplitText(text, ";").empty()) << text;
  EXPECT_EQ(SplitText("abc", ""), (Texts{"abc"}));
  const std::string text = "l1\r\n\r\nl3";
  std::size_t pos = 0;
  Texts lines;
  for (int i = 0; i < 4; ++i) lines.push_back(NextLine(text, pos, "\r\n"));
  EXPECT_EQ(lines, (Texts{"l1", "", "l3", ""}));
  EXPECT_EQ(pos, text.size());
  pos = 0;
  EXPECT_EQ(NextLine(text, pos, ""), text);  // an empty separator never loops
}

TEST(NumberText, ReadAndWritten) {
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
  EXPECT_THAT([] { ParseDecimal(std::string(50, '9')); }, Raises(kErrOverflow));
  EXPECT_DOUBLE_EQ(RoundTo(2.25, 1), 2.3);
  EXPECT_DOUBLE_EQ(RoundTo(-2.25, 1), -2.2);
  EXPECT_DOUBLE_EQ(RoundTo(1234.5, 0), 1235.0);
  // Only a ">" at the end is a mark; a leading one makes the text unreadable as a number.
  // (1.5 + 2) / 2 = 1.75 rounds to 1.8.
  EXPECT_EQ(Each<std::string>({"12*", "3-5", "2+3", "5>", ">5", "1.5+1,25", "7-", "-4"},
                              [](const std::string& amount) { return CleanAmount(amount, "."); }),
            (Texts{"12", "4", "5", "5", "0", "2.75", "7", "-4"}));
  EXPECT_EQ(CleanAmount("1,5-2", ","), "1,8");
  // Seven or fifteen significant digits, with the given separator.
  EXPECT_EQ(Each<float>({1.0f / 3.0f, 1234567.0f, 12345678.0f, -0.0f},
                        [](float v) { return SingleToText(v, "."); }),
            (Texts{"0.3333333", "1234567", "1.234568E+07", "0"}));
  EXPECT_EQ(SingleToText(0.0001f, ","), "0,0001");
  EXPECT_EQ(SingleToText(0.00001f, ","), "1E-05");
  EXPECT_EQ(Each<double>({1.0 / 3.0, 123456789012345678.0, 100.0},
                         [](double v) { return DoubleToText(v, ","); }),
            (Texts{"0,333333333333333", "1,23456789012346E+17", "100"}));
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
  for (const char* piece : {"a\xE2\x82", "\xAC", "bc"}) b.Add(piece);
  EXPECT_EQ(b.ToString(), "a€bc");
  EXPECT_EQ(b.NumChars(), 8u);
  // Bytes of the UTF-16LE form, read forwards and back again.
  const std::pair<std::size_t, int> bytes[] = {{2, 0xAC}, {3, 0x20}, {0, 0x61}};
  for (const auto& [at, byte] : bytes) EXPECT_EQ(b.ByteChar(at), byte) << at;
  EXPECT_THROW(b.ByteChar(8), RuntimeError);
  EXPECT_EQ(b.Release(), "a€bc");
  b.Add("x");  // ASCII into the emptied builder
  EXPECT_EQ(b.ToString(), "x");
  EXPECT_EQ(b.NumChars(), 2u);
}

// A file larger than its caller's bound is refused as out of memory, naming the path,
// before its bytes are held; one of exactly the bound is read.
TEST(FileBytes, BoundedByTheCaller) {
  testing::TempDir dir;
  std::ofstream(FsPath(dir.File("five")), std::ios::binary) << "12345";
  EXPECT_EQ(ReadFileBytes(dir.File("five"), 5), "12345");
  try {
    (void)ReadFileBytes(dir.File("five"), 4);
    ADD_FAILURE() << "a file beyond the bound was read";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), kErrOutOfMemory);
    EXPECT_NE(error.Description().find(dir.File("five")), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(dir.File("missing"), 4), std::nullopt);
}

// Whatever a step catches reaches the user as a numbered error; a store that could not
// grow is "Out of memory".
TEST(FileBytes, CaughtExceptionsAsRuntimeErrors) {
  const struct {
    std::exception_ptr thrown;
    std::int64_t number;
  } cases[] = {
      {std::make_exception_ptr(std::bad_alloc()), kErrOutOfMemory},
      {std::make_exception_ptr(std::length_error("vector")), kErrOutOfMemory},
      {std::make_exception_ptr(RuntimeError(kErrSubscript, "x", "y")), kErrSubscript},
      {std::make_exception_ptr(std::logic_error("bug")), kErrInternal},
  };
  for (const auto& c : cases) {
    try {
      std::rethrow_exception(c.thrown);
    } catch (const std::exception& error) {
      EXPECT_EQ(AsRuntimeError(error, "test").Number(), c.number) << error.what();
    }
  }
}

// A byte-order mark read from a file stays in the text; invalid bytes become U+FFFD. (Files
// are written through the platform's safe routine: posix_facilities_test.)
TEST(Utf8Files, ReadExistingAndKilled) {
  testing::TempDir dir;
  std::ofstream(FsPath(dir.File("bom.txt")), std::ios::binary) << "\xEF\xBB\xBFx\xFF";
  EXPECT_EQ(ReadUtf8File(dir.File("bom.txt"), 16), "\uFEFFx\uFFFD");
  EXPECT_THAT([&] { ReadUtf8File(dir.File("missing.txt"), 16); }, Raises(kErrFileNotFound));
  EXPECT_THROW(ReadUtf8File(dir.Path(), 16), RuntimeError);
  // An empty file exists too, a folder does not; killing a missing file gives 53.
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(dir.Path()));
  std::ofstream(FsPath(dir.File("empty"))).close();
  EXPECT_TRUE(FileExists(dir.File("empty")));
  EXPECT_EQ(KillFile(dir.File("empty")), 0);
  EXPECT_EQ(KillFile(dir.File("empty")), 53);
  EXPECT_EQ(KillFile(""), 53);
}

// Every part rolls over into the next; differences count the boundaries crossed.
TEST(DateTime, ComposeDifferencesSerialDatesAndFormats) {
  EXPECT_EQ(ComposeDateTime(2026, 12, 32, 0, 0, 0), D(2027, 1, 1));
  EXPECT_EQ(ComposeDateTime(2026, 0, 1, 0, 0, 0), D(2025, 12, 1));
  EXPECT_EQ(ComposeDateTime(2024, 3, 0, 0, 0, 0), D(2024, 2, 29));
  EXPECT_EQ(ComposeDateTime(2026, 12, 4, 24, 75, 0), D(2026, 12, 5, 1, 15, 0));
  EXPECT_EQ(ComposeDateTime(2026, 1, 1, 0, -1, 0), D(2025, 12, 31, 23, 59, 0));
  EXPECT_EQ(ComposeDateTime(2026, 12, 31, 23, 59, 60), D(2027, 1, 1));
  EXPECT_EQ(MinutesBetween(D(2026, 12, 4, 10, 0, 59), D(2026, 12, 4, 10, 1, 0)), 1);
  EXPECT_EQ(MinutesBetween(D(2026, 12, 5, 0, 7), D(2026, 12, 4, 23, 50)), -17);
  EXPECT_EQ(DaysBetween(D(2026, 12, 4, 23, 59), D(2026, 12, 5, 0, 1)), 1);
  EXPECT_EQ(DaysBetween(D(2026, 11, 3, 12), D(2026, 12, 4, 11)), 31);
  // Serial dates count days since 1899-12-30; before it the time of day still counts
  // forward.
  for (const auto& [date, serial] :
       {std::pair{D(2026, 12, 4, 12), 46360.5}, std::pair{D(1899, 12, 29, 6), -1.25}}) {
    EXPECT_DOUBLE_EQ(ToSerial(date), serial);
    EXPECT_EQ(FromSerial(serial), date);
  }
  EXPECT_EQ(FromSerial(0.99999999), D(1899, 12, 31));
  for (double bad : {std::nan(""), 1e300}) EXPECT_THROW(FromSerial(bad), RuntimeError);
  const auto de = RegionalSettings::German();
  const auto us = RegionalSettings::EnglishUS();
  const DateTime t = D(2026, 12, 4, 23, 35, 8);
  EXPECT_EQ(FormatGeneralDate(t, de), "04.12.2026 23:35:08");
  EXPECT_EQ(FormatGeneralDate(t, us), "12/4/2026 11:35:08 PM");
  EXPECT_EQ(FormatGeneralDate(D(2026, 12, 4), de), "04.12.2026");
  EXPECT_EQ(FormatGeneralDate(D(1899, 12, 30, 7, 5, 0), de), "07:05:00");
  EXPECT_EQ(FormatGeneralDate(D(2026, 1, 2, 0, 30, 0), us), "1/2/2026 12:30:00 AM");
  // Day and month names (the English ones where the settings have none), one-digit years,
  // the first letter of the AM/PM symbol, and quoted literals.
  EXPECT_EQ(FormatWithPicture(t, "dddd, d. MMMM yyyy", de), "Freitag, 4. Dezember 2026");
  EXPECT_EQ(FormatWithPicture(D(2009, 3, 1), "ddd MMM y t", RegionalSettings{}), "Sun Mar 9 ");
  EXPECT_EQ(FormatWithPicture(t, "'Day' ddd d MMM 'It''s' yy-MM h:m:s t", us),
            "Day Fri 4 Dec It's 26-12 11:35:8 P");
}

// Keys ignore case; an item goes before or after another or at the end, or in sorted mode
// to its place by UTF-16 code units; removals, replacements, growth and rebuilding keep
// every key findable.
TEST(ExtCollection, KeysPlacesSortingGrowthAndErrors) {
  cExtCollection<std::string> c;
  c.Add("a", "Ärger");
  c.Add("c", "c");
  c.Add("b", "b", std::string("C"));
  c.Add("d", "d", {}, 3);
  c.Add("0", "", 1);
  EXPECT_EQ(ValuesOf(c), (Texts{"0", "a", "b", "c", "d"}));
  EXPECT_EQ(c.Item("äRGER"), "a");
  EXPECT_EQ(c.Key(2), "ärger");  // kept in lower case
  EXPECT_EQ(c.Key(1), "");       // an item without key
  EXPECT_EQ(c.Index("nothing"), 0);
  EXPECT_THAT([&] { c.Add("again", "C"); }, Raises(kErrKeyAlreadyPresent));
  EXPECT_THAT([&] { c.Add("x", "x", 1, 2); }, Raises(kErrInvalidArgument));
  EXPECT_THAT([&] { c.Add("x", "x", std::string("missing")); }, Raises(kErrInvalidArgument));
  EXPECT_THAT([&] { c.Item(0); }, Raises(kErrInvalidArgument));
  c.Add("new", "C", {}, {}, true);  // replaced in place
  c.Remove("ärger");
  c.Remove(1);
  EXPECT_EQ(ValuesOf(c), (Texts{"b", "new", "d"}));
  EXPECT_EQ(c.Index("d"), 3);
  EXPECT_FALSE(c.Exists("ÄRGER"));
  c.Add("a", "ärger");  // a removed key can come back; it goes to the end
  EXPECT_EQ(c.Index("Ärger"), 4);

  // U+1F600 is 0xD83D 0xDE00 in UTF-16 and so sorts before U+FF21; in sorted mode a place
  // given is ignored.
  c.Clear();
  for (const char* k : {"\uFF21", "b", "C", "\U0001F600"}) c.Add(k, k);
  c.Sorted(true);
  c.Add("c2", "c2", std::string("b"));
  EXPECT_EQ(ValuesOf(c), (Texts{"b", "C", "c2", "\U0001F600", "\uFF21"}));

  cExtCollection<int> many;
  many.SetMemory(5, 0, 1.0f);  // raised to the least sizes: 20 items, steps of 20
  for (int i = 0; i < 5000; ++i) many.Add(i, "Key" + std::to_string(i));
  EXPECT_EQ(many.Capacity(), 5020);
  for (int i = 0; i < 5000; i += 3) many.Remove("KEY" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(many.Exists("key" + std::to_string(i)), i % 3 != 0) << i;
  // Rebuilding at another size keeps the items; clearing returns to that size.
  many.SetMemory(50, 50, 3.0f);
  EXPECT_EQ(many.Item("key4999"), 4999);
  EXPECT_EQ(many.Index("key1"), 1);
  many.Clear();
  EXPECT_EQ(many.Capacity(), 50);
}

}  // namespace
}  // namespace tavrin
