// Reading values through cIniFile: lookup rules, the section cache and offline images.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/ini_fixture.h"
#include "platform/ini_file.h"

namespace tavrin {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class IniFileLoad : public testing::IniFileFixture {
 protected:
  IniFileLoad() : IniFileFixture("settings.ini") {}
};

TEST_F(IniFileLoad, LookupRules) {
  struct Case {
    const char* file;
    const char* section;
    const char* key;
    const char* expected;  // the default is "<d>"
  };
  const Case cases[] = {
      {"[Config]\r\nLanguage=EN\r\n", "config", "LANGUAGE", "EN"},
      {"[Config]\r\nLanguage = EN\r\n", "Config", "Language", "<d>"},  // nothing trimmed
      {"[Config]\r\nCode= x \r\n", "Config", "Code", " x "},
      {"[Config]\r\nLanguage=\r\n", "Config", "Language", "<d>"},
      {"[A]\r\nx=1\r\r\n[B]\r\ny=2\r", "A", "x", "1"},  // bare CR ends a value
      {"[A]\r\nx=1\r\r\n[B]\r\ny=2\r", "B", "y", "2"},
      {"[A]\r\nx=1\r\nx=9\r\n[a]\r\nx=2\r\ny=3\r\n", "a", "x", "1"},  // first wins
      {"[A]\r\nx=1\r\n[a]\r\ny=3\r\n", "A", "y", "<d>"},
      {"x=0\r\n[A] \r\nx=1\r\n", "A", "x", "<d>"},  // no header with a blank
      {"[A]\r\nxkey=1\r\n;key=2\r\nkey=3\r\n", "A", "key", "3"},
      {"[A]\r\nname=Gr\xF6\xDF\x65 \x80\r\n", "A", "name", "Größe €"},  // ANSI bytes
      {"", "A", "x", "<d>"},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.file);
    EXPECT_EQ(Open().Load(c.section, c.key, "<d>"), c.expected) << c.file;
  }
  std::filesystem::remove(path);
  EXPECT_EQ(Open().Load("A", "x", "<d>"), "<d>");
  EXPECT_EQ(cIniFile(platform).Load("A", "x", "<d>"), "<d>");
}

TEST_F(IniFileLoad, SectionNamesInFileOrderFirstOneWins) {
  WriteBytes(path, "[One]\r\na=1\r\n\r\n[Two]\r\n [X]\r\n[one]\r\n[Three]\r\n");
  EXPECT_EQ(Open().GetAllSections(), "One;Two;Three;");
}

TEST_F(IniFileLoad, WithoutCacheTheProfileReaderIsUsed) {
  WriteBytes(path, "[A]\r\n x = \"quoted\" \r\n");
  cIniFile ini = Open();
  ini.CacheIniFile(false);
  EXPECT_EQ(ini.Load("A", "x", "d"), "quoted");
}

// --- The cache follows the file

TEST_F(IniFileLoad, SeesWritesOfAnotherInstance) {
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile reader = Open();
  ASSERT_EQ(reader.Load("A", "x", ""), "1");
  Open().Save("A", "x", "22");
  EXPECT_EQ(reader.Load("A", "x", ""), "22");
  std::filesystem::remove(path);
  EXPECT_EQ(reader.Load("A", "x", "gone"), "gone");
}

TEST_F(IniFileLoad, SeesAChangeWithinTheSameClockTick) {
  // File systems with coarse time stamps give quick writes the same modification time;
  // the size still tells them apart.
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile reader = Open();
  ASSERT_EQ(reader.Load("A", "x", ""), "1");
  const auto stamp = std::filesystem::last_write_time(path);
  WriteBytes(path, "[A]\r\nx=123\r\n");
  std::filesystem::last_write_time(path, stamp);
  EXPECT_EQ(reader.Load("A", "x", ""), "123");
}

TEST_F(IniFileLoad, UseCacheDirectlyTrustsTheCacheButSeesOwnWrites) {
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile ini = Open();
  ini.UseCacheDirectly(true);
  ASSERT_EQ(ini.Load("A", "x", ""), "1");
  ini.Save("B", "y", "3");
  EXPECT_EQ(ini.Load("B", "y", ""), "3");
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n\r\n[B]\r\ny=3\r\n");
  WriteBytes(path, "[A]\r\nx=22\r\n");
  EXPECT_EQ(ini.Load("A", "x", ""), "1");
  ini.ResetCache();
  EXPECT_EQ(ini.Load("A", "x", ""), "22");
}

TEST_F(IniFileLoad, ChangingTheFileNameDropsTheOldImages) {
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile ini = Open();
  ASSERT_EQ(ini.Load("A", "x", ""), "1");
  const std::string other = dir.File("other.ini");
  ini.IniFile(other);
  EXPECT_EQ(ini.Load("A", "x", "d"), "d");
  ini.Save("B", "y", "2");
  EXPECT_EQ(ReadBytes(other), "[B]\r\ny=2\r\n");
}

// --- Offline images

TEST_F(IniFileLoad, OfflineReadsASnapshotAndNeverWrites) {
  const std::string original = "[Config]\r\nA=1\r\n";
  WriteBytes(path, original);
  cIniFile snapshot = Open();
  snapshot.Offline(true);
  snapshot.Save("Config", "B", "2");  // before any Load: the file's values stay
  snapshot.Save("Other", "Key", "v");
  EXPECT_EQ(snapshot.Load("Config", "A", ""), "1");
  EXPECT_EQ(snapshot.Load("Config", "B", ""), "2");
  EXPECT_EQ(snapshot.Load("other", "key", ""), "v");
  EXPECT_EQ(ReadBytes(path), original);
  WriteBytes(path, "[Config]\r\nA=5\r\n");
  EXPECT_EQ(snapshot.Load("Config", "A", ""), "1");
  EXPECT_EQ(snapshot.IniContent(), "[Config]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nKey=v\r\n");
}

TEST_F(IniFileLoad, OfflineImageSetByHandAndSaved) {
  cIniFile ini(platform);
  ini.Offline(true);
  ini.IniContent("[S]\r\nk=v\r\n");
  ini.Save("S", "k", "w");
  EXPECT_EQ(ini.Load("S", "k", ""), "w");
  ini.IniFile(path);
  EXPECT_FALSE(testing::Exists(path));
  ini.SaveOfflineToFile();
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=w\r\n");
}

}  // namespace
}  // namespace tavrin
