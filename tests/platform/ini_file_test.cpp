// INI files: lookup and edit rules, the section cache shared by several instances, the
// UTF-16 form marked with "@@@", safe replacement of the file, and the single-value
// profile functions used for foreign INI files.
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/file_helpers.h"
#include "platform/file_replace.h"
#include "platform/profile_strings.h"
#include "shared/codepage.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class IniFile : public ::testing::Test {
 protected:
  cIniFile Open() {
    cIniFile ini(platform);
    ini.IniFile(path);
    return ini;
  }

  TempDir dir;
  FakePlatform platform;
  std::string path = dir.File("TavrinPlugin.ini");
};

// The lookup rules themselves: IndexedLookupsAndEditsFollowTheLiteralRules.
TEST_F(IniFile, LookupReadsAnsiAndListsEachSectionOnce) {
  WriteBytes(path, "[A] \r\n[Config]\r\nname=Gr\xF6\xDF\x65 \x80\r\n[config]\r\n[B]\r\n");
  cIniFile ini = Open();
  EXPECT_EQ(ini.Load("config", "NAME", ""), "Größe €");
  EXPECT_EQ(ini.GetAllSections(), "Config;B;");
  EXPECT_EQ(cIniFile(platform).Load("A", "x", "<d>"), "<d>");  // no file name
}

TEST_F(IniFile, EditRules) {
  const char* cases[][5] = {
      // before, section, key, value, after
      {"; c\r\n[config]\r\nlanguage=EN\r\n odd\r\nB=2\r\n", "Config", "Language", "F",
       "; c\r\n[config]\r\nLanguage=F\r\n odd\r\nB=2\r\n"},  // the caller's spelling
      {"[A]\r\nx=1", "A", "x", "2", "[A]\r\nx=2\r\n"},
      {"[A]\r\nx=1\r\n", "A", "x", "", "[A]\r\nx=\r\n"},
      // A new key in the last section, or before the next one with one blank line.
      {"[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
      {"[A]\r\ny=1\r\n[B]\r\nx=2\r\n", "A", "x", "3", "[A]\r\ny=1\r\nx=3\r\n\r\n[B]\r\nx=2\r\n"},
      {"[A]\r\nx=1\r\n\r\n[B]\r\n", "a", "y", "2", "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\n"},
      // A new section after one blank line.
      {"[A]\r\nx=1", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      // Only a whole line is a header: not one followed by more text, nor one in a value.
      {"[B](\na=b\r\n", "B", "y", "2", "[B](\na=b\r\n\r\n[B]\r\ny=2\r\n"},
      {"[A]\r\nk=[B]\r\n[C]\r\n", "B", "y", "2", "[A]\r\nk=[B]\r\n[C]\r\n\r\n[B]\r\ny=2\r\n"},
      // An empty value adds nothing; trailing empty lines collapse; text goes out as ANSI.
      {"[A]\r\nx=1\r\n", "A", "y", "", "[A]\r\nx=1\r\n"},
      {"[A]\r\nx=1\r\n", "B", "y", "", "[A]\r\nx=1\r\n"},
      {"[A]\r\nx=1\r\n\r\n\r\n", "A", "x", "2", "[A]\r\nx=2\r\n"},
      {"", "A", "name", "Größe €", "[A]\r\nname=Gr\xF6\xDF\x65 \x80\r\n"},
  };
  for (const auto& [before, section, key, value, after] : cases) {
    WriteBytes(path, before);
    Open().Save(section, key, value);
    EXPECT_EQ(ReadBytes(path), after) << before << " + " << key << "=" << value;
  }
  fs::remove(path);
  Open().Save("A", "x", "");
  EXPECT_FALSE(Exists(path));
  cIniFile ini = Open();
  ini.Save("A", "flag", true);
  ini.Save("A", "days", 31);
  ini.Save("A", "half", 0.5);
  EXPECT_EQ(ReadBytes(path), "[A]\r\nflag=True\r\ndays=31\r\nhalf=0.5\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);  // no file left over
}

// The lookup rule read literally: the first section of the name runs from its header
// line to the CR before the next header line; the value follows the first CR LF + key +
// "=" in it and ends at CR LF, else CR, else LF, else the section's end.
std::string ReferenceLoad(const std::string& content, const std::string& section,
                          const std::string& key) {
  std::size_t start = std::string::npos, end = content.size();
  for (std::size_t pos = 0; pos < content.size();) {
    const std::size_t lineEnd = std::min(content.find("\r\n", pos), content.size());
    const std::string line = content.substr(pos, lineEnd - pos);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (start != std::string::npos) {
        end = pos - 1;
        break;
      }
      if (EqualsNoCase(line.substr(1, line.size() - 2), section)) start = pos;
    }
    pos = lineEnd + 2;
  }
  if (start == std::string::npos) return "<d>";
  const std::string text = content.substr(start, end - start);
  std::size_t length = 0;
  const std::size_t at = FindNoCase(text, "\r\n" + key + "=", 0, length);
  if (at == std::string::npos) return "<d>";
  std::size_t stop = text.find("\r\n", at + length);
  for (const char* tail : {"\r", "\n"}) {
    if (stop == std::string::npos) stop = text.find(tail, at + length);
  }
  const std::string value = text.substr(at + length, stop - (at + length));
  return value.empty() ? "<d>" : value;
}

TEST_F(IniFile, IndexedLookupsAndEditsFollowTheLiteralRules) {
  const char* pieces[] = {"[A]", "[a]",   "[B]",  "[B] ", "[\xC4\xB1]", "[A](", "x=1",
                          "X=2", "x= 1 ", "x =2", "k=",   "\xC4\xB1=3", "I=4",  "k=[B]",
                          "=5",  "x",     "\r",   "\n",   "\r\n",       "\xC3", "\xC3\xA9=6"};
  const char* names[] = {"A", "b", "I", "\xC4\xB1", "Q", "x", "i", "", "k", "x=1", "\xC3"};
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::string content;
    for (int i = static_cast<int>(random() % 12); i > 0; --i) {
      content += pieces[random() % std::size(pieces)];
      if (random() % 3) content += "\r\n";
    }
    cIniFile ini(platform);
    ini.Offline(true);
    ini.IniContent(content);
    for (const char* section : names) {
      for (const char* key : names) {
        ASSERT_EQ(ini.Load(section, key, "<d>"), ReferenceLoad(content, section, key))
            << ::testing::PrintToString(content) << " [" << section << "] " << key;
      }
    }
    // What is saved is what is read back, wherever a header-like text stands.
    const char* section = names[random() % 5];
    ini.Save(section, "new", "v");
    ASSERT_EQ(ReferenceLoad(ini.IniContent(), section, "new"), "v") << content;
    ASSERT_EQ(ini.Load(section, "new", ""), "v");
  }
}

TEST_F(IniFile, RefusedAndFailedWritesLeaveTheOldFile) {
  EXPECT_EQ(ErrorOf([&] { cIniFile(platform).Save("A", "x", "1"); }), "53 cIniFile.Save");
  WriteBytes(path, "[Config]\r\nA=1\r\n");
  cIniFile ini = Open();
  // A line break would let the rest of the text pose as further keys or sections.
  const char* forged[][3] = {{"Config", "A", "1\r\n[Evil]\r\nB=2"},
                             {"Config", "A", "1\nB=2"},
                             {"Config", "A\rB", "1"},
                             {"Con\nfig", "A", "1"}};
  for (const auto& [section, key, value] : forged) {
    EXPECT_EQ(ErrorOf([&] { ini.Save(section, key, value); }), "5 cIniFile.Save");
  }
  // A link of another user is not followed (where the user may make links at all). (Failed
  // and read-only writes: import_run_test and main_window_test.)
  std::error_code noLinks;
  fs::create_symlink(path, dir.File("planted.ini"), noLinks);
  if (noLinks) return;
  path = dir.File("planted.ini");
  platform.foreignFiles.insert(path);
  EXPECT_EQ(ErrorOf([&] { Open().Save("Config", "A", "2"); }), "75 cIniFile.Save");
  EXPECT_EQ(ReadBytes(path), "[Config]\r\nA=1\r\n");
}

TEST_F(IniFile, TheCacheFollowsTheFile) {
  for (const bool unicode : {false, true}) {
    const auto encoded = [&](const std::string& text) {
      return unicode ? Utf16Le(u"@@@" + std::u16string(text.begin(), text.end())) : text;
    };
    WriteBytes(path, encoded("[A]\r\nx=1\r\n"));
    cIniFile first = Open();
    cIniFile second = Open();
    ASSERT_EQ(second.Load("A", "x", ""), "1");
    first.Save("A", "y", "2");
    second.Save("A", "z", "3");  // keeps what the first wrote
    EXPECT_EQ(ReadBytes(path), encoded("[A]\r\nx=1\r\ny=2\r\nz=3\r\n")) << unicode;
    EXPECT_EQ(first.Load("A", "z", ""), "3");
  }
  // File systems with coarse time stamps give quick writes the same modification time;
  // the size still tells them apart.
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile ini = Open();
  ASSERT_EQ(ini.Load("A", "x", ""), "1");
  const auto stamp = fs::last_write_time(path);
  WriteBytes(path, "[A]\r\nx=123\r\n");
  fs::last_write_time(path, stamp);
  EXPECT_EQ(ini.Load("A", "x", ""), "123");
}

TEST_F(IniFile, RemoveSectionKeyAndRebuild) {
  WriteBytes(path, "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\nz=3\r\n[D]\r\n");
  cIniFile ini = Open();
  ASSERT_EQ(ini.Load("B", "z", ""), "3");
  EXPECT_TRUE(ini.RemoveSection("b"));
  EXPECT_EQ(ini.Load("B", "z", "gone"), "gone");
  EXPECT_FALSE(ini.RemoveKey("A", "z") || ini.RemoveKey("A", "Y"));  // in the section, exact case
  EXPECT_TRUE(ini.RemoveKey("a", "y"));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n[C]\r\nz=3\r\n[D]\r\n");
  EXPECT_TRUE(ini.RemoveSection("D") && ini.RemoveSection("A"));
  EXPECT_FALSE(ini.RemoveSection("Q"));
  EXPECT_EQ(ReadBytes(path), "[C]\r\nz=3\r\n");
  // Lines as Load reads them: "[C] " and "[D]" behind a bare LF are no headers.
  WriteBytes(path,
             "junk\r\n[A]\r\nx=1 \r\nX=2\r\nnote\n[D]\r\n[C] \r\n\r\n[B]\r\ny=1\r\n[a]\r\nq=9\r\n");
  EXPECT_TRUE(ini.RebuildIniStructure());
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n\r\n[B]\r\ny=1\r\n");
  EXPECT_FALSE(ini.RebuildIniStructure());
}

TEST_F(IniFile, UnicodeMarkerForms) {
  // Greek and a euro sign: text the ANSI code page cannot hold.
  const std::u16string body = u"[Languagetext]\r\n354=Αναζήτηση €\r\n";
  for (const std::string& bytes : {"@@@" + Utf16Le(body), "\xFF@@@" + Utf16Le(body),
                                   Utf16Le(u"@@@" + body + u'\0'), Utf16Le(u"\xFEFF@@@" + body)}) {
    WriteBytes(path, bytes);
    cIniFile ini = Open();
    EXPECT_EQ(ini.Load("Languagetext", "354", ""), "Αναζήτηση €");
    WriteBytes(path, "[A]\r\n");  // too short to tell: the flag stays
    EXPECT_TRUE(ini.CheckUnicodeFile());
  }
  WriteBytes(path, Utf16Le(u"\xFEFF[A]\r\nx=1\r\n"));  // no marker
  EXPECT_FALSE(Open().CheckUnicodeFile());
}

// --- Single values of foreign INI files, with private-profile semantics

TEST_F(IniFile, ProfileStringReadRules) {
  WriteBytes(path,
             "x=0\n[Paths]\r\n  Diary =  C:\\Diary  \r\nd=\"a b\"\r\ns=' x '\r\nm=\"a'\r\n"
             "empty=\r\nname=Gr\xF6\xDF\x65\r\nlong=" +
                 std::string(1500, 'z') + "\r\n[ Other ]\r\nx=1\r\n[Paths]\r\nlate=1\r\n");
  // Names ignore case and blanks are trimmed; matching quotes are removed; keys before the
  // first section and in a repeated section are not found.
  const auto read = [&](const char* section, const char* key) {
    return ReadProfileStringFile(path, section, key, "<d>") + "|";
  };
  EXPECT_EQ(read("paths", "DIARY") + read("Paths", "d") + read("Paths", "s") + read("Paths", "m") +
                read("Paths", "empty") + read("Paths", "name") + read("other", "X") +
                read("Paths", "x") + read("Paths", "late") + read("Nope", "x"),
            "C:\\Diary|a b| x |\"a'||Größe|1|<d>|<d>|<d>|");
  EXPECT_EQ(ReadProfileStringFile(path, "Paths", "long", ""), std::string(1023, 'z'));
  // Several keys from one read, each as read alone.
  EXPECT_EQ(ReadProfileStringsFile(path, " paths", {"d", "LATE", "", "Diary", "d"}, "<d>"),
            (std::vector<std::string>{"a b", "<d>", "<d>", "C:\\Diary", "a b"}));
  EXPECT_EQ(ReadProfileStringFile(dir.File("missing.ini"), "A", "x", "d"), "d");
}

TEST_F(IniFile, ProfileStringWrites) {
  ASSERT_TRUE(
      WriteProfileStringFile(platform, path, "Patients", "PAT-1", "SN 77", FileAccess::Usual));
  ASSERT_TRUE(WriteProfileStringFile(platform, path, "Other", "k", "Größe", FileAccess::Usual));
  EXPECT_EQ(ReadBytes(path), "[Patients]\r\nPAT-1=SN 77\r\n[Other]\r\nk=Gr\xF6\xDF\x65\r\n");
  WriteBytes(path, "; host file\r\n[A]\r\nKey = old\r\nz=1\r\n\r\n[B]\r\nkey=b\r\n");
  ASSERT_TRUE(WriteProfileStringFile(platform, path, "a", "key", "new", FileAccess::Usual));
  ASSERT_TRUE(WriteProfileStringFile(platform, path, "A", "n", "3", FileAccess::Usual));
  const std::string written = "; host file\r\n[A]\r\nkey=new\r\nz=1\r\nn=3\r\n\r\n[B]\r\nkey=b\r\n";
  EXPECT_EQ(ReadBytes(path), written);
  // Texts that would forge lines are refused.
  const char* refused[][3] = {{"A", "x", "1\r\n[B]"}, {"A", "x\ny", "1"}, {"A\r", "x", "1"},
                              {"A]x", "x", "1"},      {"A", "x=y", "1"},  {"A", "", "1"}};
  for (const auto& [section, key, value] : refused) {
    EXPECT_FALSE(WriteProfileStringFile(platform, path, section, key, value, FileAccess::Usual))
        << section << key << value;
  }
  EXPECT_EQ(ReadBytes(path), written);
  EXPECT_FALSE(
      WriteProfileStringFile(platform, dir.File("no/such.ini"), "A", "x", "1", FileAccess::Usual));
}

// A settings file that an editor saved with a byte-order mark is read by its mark and
// written back in the same encoding: its first section is found, and no ANSI section is
// appended to a UTF-16 file.
// A rebuild drops the empty first line, and the ANSI line behind it would start the file
// with the bytes of a byte-order mark: the file must stay ANSI and keep its values.
TEST_F(IniFile, AnsiTextThatLooksLikeAByteOrderMarkStaysAnsi) {
  for (const std::string mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    SCOPED_TRACE(mark);
    WriteBytes(path, "\r\n" + mark + "=1\r\n[Config]\r\nName=Gr\xF6\xDF\x65\r\n");
    cIniFile ini = Open();
    ASSERT_EQ(ini.Load("Config", "Name", ""), "Größe");
    EXPECT_TRUE(ini.RebuildIniStructure());
    EXPECT_EQ(DecodeProfileFile(ReadBytes(path)).encoding, ProfileEncoding::kAnsi);
    EXPECT_EQ(Open().Load("Config", "Name", ""), "Größe");
    Open().Save("Config", "Language", "EN");
    EXPECT_EQ(Open().Load("Config", "Name", ""), "Größe");
    EXPECT_EQ(Open().Load("Config", "Language", ""), "EN");
  }
}

TEST_F(IniFile, ProfileFilesKeepTheirByteOrderMark) {
  const std::string text = "[Config]\r\nLanguage=EN\r\nName=Größe\r\n";
  const std::string after =
      "[Config]\r\nLanguage=EN\r\nName=Größe\r\nCreateDump=1\r\nNewerOnly=0\r\n";
  const struct {
    ProfileEncoding encoding;
    std::string bytes;
  } cases[] = {
      {ProfileEncoding::kAnsi, Utf8ToWindows1252(text)},
      {ProfileEncoding::kUtf8, "\xEF\xBB\xBF" + text},
      {ProfileEncoding::kUtf16Le, "\xFF\xFE" + Utf8ToUtf16Bytes(text, ByteOrder::kLittleEndian)},
      {ProfileEncoding::kUtf16Be, "\xFE\xFF" + Utf8ToUtf16Bytes(text, ByteOrder::kBigEndian)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.encoding));
    EXPECT_EQ(EncodeProfileFile(text, c.encoding), c.bytes);
    WriteBytes(path, c.bytes);
    EXPECT_EQ(Open().Load("Config", "Language", "DE"), "EN");
    EXPECT_EQ(ReadProfileStringFile(path, "Config", "Name", ""), "Größe");
    // Both writers: the single-value one and the engine's cached edit.
    ASSERT_TRUE(
        WriteProfileStringFile(platform, path, "Config", "CreateDump", "1", FileAccess::Usual));
    Open().Save("Config", "NewerOnly", "0");
    const ProfileFile written = DecodeProfileFile(ReadBytes(path));
    EXPECT_EQ(written.encoding, c.encoding);
    EXPECT_EQ(written.text, after);
  }
}

}  // namespace
}  // namespace tavrin
