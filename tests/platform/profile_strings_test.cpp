// Single values of foreign INI files, read and written with private-profile semantics.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/file_replace.h"
#include "platform/profile_strings.h"

namespace tavrin {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class ProfileStrings : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string path = dir.File("ox2.ini");
};

TEST_F(ProfileStrings, ReadRules) {
  WriteBytes(path,
             "x=0\n[Paths]\r\n  Diary =  C:\\Diary  \r\nd=\"a b\"\r\ns=' x '\r\nm=\"a'\r\n"
             "empty=\r\nname=Gr\xF6\xDF\x65\r\nlong=" +
                 std::string(1500, 'z') + "\r\n[ Other ]\r\nx=1\r\n[Paths]\r\nlate=1\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::string expected;
  };
  const Case cases[] = {
      {"paths", "DIARY", "C:\\Diary"},  // names ignore case, blanks are trimmed
      {"Paths", "d", "a b"},            // matching quotes are removed
      {"Paths", "s", " x "},
      {"Paths", "m", "\"a'"},
      {"Paths", "empty", ""},
      {"Paths", "name", "Größe"},  // ANSI bytes
      {"Paths", "long", std::string(1023, 'z')},
      {"other", "X", "1"},
      {"Paths", "x", "<d>"},     // before the first section
      {"Paths", "late", "<d>"},  // in a repeated section
      {"Nope", "x", "<d>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadProfileStringFile(path, c.section, c.key, "<d>"), c.expected) << c.key;
  }
  EXPECT_EQ(ReadProfileStringFile(dir.File("missing.ini"), "A", "x", "d"), "d");
}

TEST_F(ProfileStrings, WriteCreatesFileSectionAndKey) {
  ASSERT_TRUE(WriteProfileStringFile(path, "Patients", "PAT-1", "SN 77"));
  ASSERT_TRUE(WriteProfileStringFile(path, "Other", "k", "Größe"));
  EXPECT_EQ(ReadBytes(path), "[Patients]\r\nPAT-1=SN 77\r\n[Other]\r\nk=Gr\xF6\xDF\x65\r\n");
}

TEST_F(ProfileStrings, WriteKeepsOtherLines) {
  WriteBytes(path, "; host file\r\n[A]\r\nKey = old\r\nz=1\r\n\r\n[B]\r\nkey=b\r\n");
  ASSERT_TRUE(WriteProfileStringFile(path, "a", "key", "new"));
  ASSERT_TRUE(WriteProfileStringFile(path, "A", "n", "3"));
  EXPECT_EQ(ReadBytes(path), "; host file\r\n[A]\r\nkey=new\r\nz=1\r\nn=3\r\n\r\n[B]\r\nkey=b\r\n");
}

TEST_F(ProfileStrings, WriteRefusesForgedLinesAndFailsSafely) {
  const std::string original = "[A]\r\nx=1\r\n";
  WriteBytes(path, original);
  EXPECT_FALSE(WriteProfileStringFile(path, "A", "x", "1\r\n[B]"));
  EXPECT_FALSE(WriteProfileStringFile(path, "A", "x\ny", "1"));
  EXPECT_FALSE(WriteProfileStringFile(path, "A\r", "x", "1"));
  EXPECT_FALSE(WriteProfileStringFile(path, "A]x", "x", "1"));
  EXPECT_FALSE(WriteProfileStringFile(path, "A", "x=y", "1"));
  EXPECT_FALSE(WriteProfileStringFile(path, "A", "", "1"));
  std::filesystem::create_directory(FsPath(ReplacementFileName(path)));
  EXPECT_FALSE(WriteProfileStringFile(path, "A", "x", "2"));
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_FALSE(WriteProfileStringFile(dir.File("no/such.ini"), "A", "x", "1"));
}

}  // namespace
}  // namespace tavrin
