// Writing through cIniFile: where lines go, what the file holds afterwards, and that a
// refused or failed write leaves the old file as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/ini_fixture.h"
#include "platform/file_replace.h"
#include "platform/ini_file.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::WriteBytes;

class IniFileSave : public testing::IniFileFixture {
 protected:
  IniFileSave() : IniFileFixture("TavrinPlugin.ini") {}
};

TEST_F(IniFileSave, FirstStartCreatesTheFile) {
  cIniFile ini = Open();
  ini.Save("Config", "NewerOnly", ini.Load("Config", "NewerOnly", "0"));
  ini.Save("Config", "CreateDump", ini.Load("Config", "CreateDump", "0"));
  EXPECT_EQ(ReadBytes(path), "[Config]\r\nNewerOnly=0\r\nCreateDump=0\r\n");
  // No temporary file is left behind.
  const auto entries = std::filesystem::directory_iterator(FsPath(dir.Path()));
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

TEST_F(IniFileSave, EditRules) {
  struct Case {
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  };
  const Case cases[] = {
      // Replacing keeps every other line; the key takes the caller's spelling.
      {"; c\r\n[Config]\r\nA=1\r\n odd\r\nB=2\r\n", "Config", "A", "9",
       "; c\r\n[Config]\r\nA=9\r\n odd\r\nB=2\r\n"},
      {"[config]\r\nlanguage=EN\r\n", "Config", "Language", "F", "[config]\r\nLanguage=F\r\n"},
      {"[A]\r\nx=1", "A", "x", "2", "[A]\r\nx=2\r\n"},
      {"[A]\r\nx=1\r\n", "A", "x", "", "[A]\r\nx=\r\n"},
      // A new key in the last section, or before the next one with one blank line.
      {"[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
      {"[A]\r\ny=1\r\n[B]\r\nx=2\r\n", "A", "x", "3", "[A]\r\ny=1\r\nx=3\r\n\r\n[B]\r\nx=2\r\n"},
      {"[A]\r\nx=1\r\n\r\n[B]\r\nz=3\r\n", "a", "y", "2",
       "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n"},
      // A new section after one blank line.
      {"[A]\r\nx=1", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      // An empty value adds nothing; trailing empty lines collapse.
      {"[A]\r\nx=1\r\n", "A", "y", "", "[A]\r\nx=1\r\n"},
      {"[A]\r\nx=1\r\n", "B", "y", "", "[A]\r\nx=1\r\n"},
      {"[A]\r\nx=1\r\n\r\n\r\n", "A", "x", "2", "[A]\r\nx=2\r\n"},
      // Text goes out as ANSI bytes.
      {"", "A", "name", "Größe €", "[A]\r\nname=Gr\xF6\xDF\x65 \x80\r\n"},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.before);
    Open().Save(c.section, c.key, c.value);
    EXPECT_EQ(ReadBytes(path), c.after) << c.before << " + " << c.key << "=" << c.value;
  }
  std::filesystem::remove(path);
  Open().Save("A", "x", "");
  EXPECT_FALSE(Exists(path));
}

TEST_F(IniFileSave, ValuesOfOtherTypes) {
  cIniFile ini = Open();
  ini.Save("A", "flag", true);
  ini.Save("A", "days", 31);
  ini.Save("A", "half", 0.5);
  EXPECT_EQ(ReadBytes(path), "[A]\r\nflag=True\r\ndays=31\r\nhalf=0.5\r\n");
}

TEST_F(IniFileSave, KeepsWhatAnotherInstanceWrote) {
  cIniFile first = Open();
  cIniFile second = Open();
  first.Save("A", "x", "1");
  ASSERT_EQ(second.Load("A", "x", ""), "1");
  first.Save("A", "y", "2");
  second.Save("A", "z", "3");
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\ny=2\r\nz=3\r\n");
}

TEST_F(IniFileSave, WithoutCacheThroughTheProfileWriter) {
  WriteBytes(path, "[A]\r\nx=1\r\n");
  cIniFile ini = Open();
  ini.CacheIniFile(false);
  ini.Save("a", "X", "2");
  EXPECT_EQ(ReadBytes(path), "[A]\r\nX=2\r\n");
}

// --- Refused and failed writes

TEST_F(IniFileSave, WithoutFileNameFails) {
  try {
    cIniFile(platform).Save("A", "x", "1");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 53);
    EXPECT_EQ(e.Description(), "File not found");
  }
}

TEST_F(IniFileSave, RefusesLineBreaks) {
  const std::string original = "[Config]\r\nA=1\r\n";
  WriteBytes(path, original);
  cIniFile ini = Open();
  const char* forged[][3] = {{"Config", "A", "1\r\n[Evil]\r\nB=2"},
                             {"Config", "A", "1\nB=2"},
                             {"Config", "A\rB", "1"},
                             {"Con\nfig", "A", "1"}};
  for (const auto& [section, key, value] : forged) {
    try {
      ini.Save(section, key, value);
      ADD_FAILURE() << "accepted " << key << "=" << value;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), 5);
      EXPECT_EQ(e.Source(), "cIniFile.Save");
      EXPECT_NE(e.Description().find("line break"), std::string::npos);
    }
  }
  EXPECT_EQ(ReadBytes(path), original);
  cIniFile offline(platform);
  offline.Offline(true);
  EXPECT_THROW(offline.Save("A", "x", "1\r\ny=2"), RuntimeError);
  EXPECT_EQ(offline.IniContent(), "");
}

TEST_F(IniFileSave, FailedWriteLeavesTheOldFile) {
  const std::string original = "[Config]\r\nA=1\r\n";
  WriteBytes(path, original);
  // The new file cannot be created: a folder stands in its place.
  std::filesystem::create_directory(FsPath(ReplacementFileName(path)));
  cIniFile ini = Open();
  try {
    ini.Save("Config", "A", "2");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 75);
    EXPECT_EQ(e.Source(), "cIniFile.Save");
  }
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(ini.Load("Config", "A", ""), "1");
  // Nor is a read-only file replaced.
  std::filesystem::remove(FsPath(ReplacementFileName(path)));
  namespace fs = std::filesystem;
  fs::permissions(FsPath(path), fs::perms::all, fs::perm_options::remove);
  fs::permissions(FsPath(path), fs::perms::owner_read, fs::perm_options::add);
  EXPECT_THROW(Open().Save("Config", "A", "2"), RuntimeError);
  EXPECT_EQ(ReadBytes(path), original);
}

// --- Removing sections and keys, rebuilding the structure

TEST_F(IniFileSave, RemoveSection) {
  WriteBytes(path, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nz=3\r\n[D]\r\n");
  cIniFile ini = Open();
  ASSERT_EQ(ini.Load("B", "y", ""), "2");
  EXPECT_TRUE(ini.RemoveSection("b"));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n[C]\r\nz=3\r\n[D]\r\n");
  EXPECT_EQ(ini.Load("B", "y", "gone"), "gone");
  EXPECT_TRUE(ini.RemoveSection("D"));
  EXPECT_TRUE(ini.RemoveSection("A"));
  EXPECT_EQ(ReadBytes(path), "[C]\r\nz=3\r\n");
  EXPECT_FALSE(ini.RemoveSection("Q"));
  EXPECT_EQ(ReadBytes(path), "[C]\r\nz=3\r\n");
}

TEST_F(IniFileSave, RemoveKeyStaysInsideTheSection) {
  WriteBytes(path, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  cIniFile ini = Open();
  EXPECT_FALSE(ini.RemoveKey("A", "z"));
  EXPECT_FALSE(ini.RemoveKey("A", "Y"));  // exact case only
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  EXPECT_TRUE(ini.RemoveKey("a", "y"));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n[B]\r\nz=3\r\n");
}

TEST_F(IniFileSave, RebuildDropsJunkAndDuplicates) {
  WriteBytes(path, "junk\r\n[A]  \r\nx=1 \r\nX=2\r\nnote\r\n\r\n\r\n[B]\r\ny=1\r\n[a]\r\nq=9\r\n");
  cIniFile ini = Open();
  EXPECT_TRUE(ini.RebuildIniStructure());
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n\r\n[B]\r\ny=1\r\n");
  EXPECT_FALSE(ini.RebuildIniStructure());
}

}  // namespace
}  // namespace tavrin
