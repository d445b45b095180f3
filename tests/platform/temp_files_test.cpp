#include "platform/temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "file_helpers.h"

namespace tavrin {
namespace {

using testing::Exists;
using testing::FakePlatform;
using testing::TempDir;
using testing::WriteBytes;

const std::string kKey = "TavrinPlugin\\TempFilesToBeDeleted";

// The names of the files in a folder.
std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder))) {
    names.insert(PathText(entry.path().filename()));
  }
  return names;
}

class TempFilesTest : public ::testing::Test {
 protected:
  TempFilesTest() { platform.environment["Temp"] = dir.Path(); }
  std::string Value(const std::string& name) { return platform.ReadUserValue(kKey, name); }
  bool HasValue(const std::string& name) { return platform.userValues.count({kKey, name}) > 0; }
  void RecordFiles(const std::vector<std::string>& paths) {
    platform.userValues[{kKey, "Anzahl"}] = std::to_string(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
      platform.userValues[{kKey, std::to_string(i + 1)}] = paths[i];
    }
  }

  TempDir dir;
  FakePlatform platform;
};

TEST_F(TempFilesTest, TemporaryFolderFromTheTempVariableOrThePlatform) {
  cTempFiles files(platform);
  EXPECT_EQ(files.TempPath(), dir.Path(true));
  EXPECT_TRUE(files.DeleteAtEnd());
  platform.environment.clear();
  platform.tempPath = dir.Path(true);
  EXPECT_EQ(cTempFiles(platform).TempPath(), dir.Path(true));
  platform.tempPath.clear();
  EXPECT_EQ(cTempFiles(platform).TempPath(), kPathSep == '/' ? "/tmp/" : "c:\\");
}

TEST_F(TempFilesTest, TwoRecordedFilesGetDistinctNamesAndRecordEntries) {
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  const std::string first = files.GetTempFile("xml", true);
  const std::string second = files.GetTempFile("xml", true);
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_TRUE(path.starts_with(dir.Path(true) + "~tV")) << path;
    EXPECT_TRUE(path.ends_with(".xml")) << path;
    EXPECT_FALSE(Exists(path)) << path;
  }
  EXPECT_EQ(files.PrefixForTempFiles(), "tVp");
  EXPECT_EQ(Value("Anzahl"), "2");
  EXPECT_EQ(Value("1"), first);
  EXPECT_EQ(Value("2"), second);
  // The placeholders the names came from are gone.
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

TEST_F(TempFilesTest, NamesSkipTakenOnesAndFollowThePrefix) {
  WriteBytes(dir.File("~tV1.xml"), "taken");
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  EXPECT_EQ(files.GetTempFile("xml", false), dir.File("~tV2.xml"));
  EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>{"~tV1.xml"});  // no placeholder left
  // A ".tmp" name is the placeholder itself and stays.
  EXPECT_EQ(files.GetTempFile("TMP", false), dir.File("~tV3.tmp"));
  EXPECT_TRUE(Exists(dir.File("~tV3.tmp")));
  files.PrefixForTempFiles("abc");  // gets a tilde
  EXPECT_EQ(files.GetTempFile("xml", false), dir.File("~ab4.xml"));
  files.PrefixForTempFiles("~xyz");
  EXPECT_EQ(files.GetTempFile("xml", false), dir.File("~xy5.xml"));
}

// A platform whose unique-name function fails or answers oddly.
class OddTempPlatform : public FakePlatform {
 public:
  std::string answer;
  bool createAnswer = false;
  std::string CreateUniqueTempFile(const std::string&, const std::string&) override {
    if (createAnswer) WriteBytes(answer.substr(0, answer.find('\0')), "");
    return answer;
  }
};

TEST(TempFilesFallback, OddPlatformAnswers) {
  TempDir dir;
  OddTempPlatform platform;
  platform.environment["Temp"] = dir.Path();
  WriteBytes(dir.File("~tV0001.json"), "taken");
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  // No name from the platform: numbered names.
  EXPECT_EQ(files.GetTempFile("json", false), dir.File("~tV0002.json"));
  files.PrefixForTempFiles("~");
  EXPECT_EQ(files.GetTempFile("xml", false), dir.File("~000001.xml"));
  // A name with a NUL is cut there and gets a tilde; the placeholder goes.
  platform.answer = dir.File("AB12.tmp") + std::string(1, '\0') + "junk";
  platform.createAnswer = true;
  files.PrefixForTempFiles("");
  EXPECT_EQ(files.GetTempFile("xml", false), dir.File("~AB12.xml"));
  EXPECT_FALSE(Exists(dir.File("AB12.tmp")));
}

TEST_F(TempFilesTest, FilesInUseStayRecordedAndAreRenumbered) {
  const std::string free = dir.File("a.xml");
  const std::string busy = dir.File("b.xml");
  const std::string gone = dir.File("c.xml");
  const std::string busyToo = dir.File("d.json");
  for (const std::string& path : {free, busy, busyToo}) WriteBytes(path, "x");
  platform.lockedFiles = {busy, busyToo};
  RecordFiles({free, busy, gone, busyToo});

  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  files.DeleteTempFiles();
  EXPECT_FALSE(Exists(free));
  EXPECT_TRUE(Exists(busy));
  EXPECT_TRUE(Exists(busyToo));
  EXPECT_EQ(Value("Anzahl"), "2");
  EXPECT_EQ(Value("1"), busy);
  EXPECT_EQ(Value("2"), busyToo);
  EXPECT_FALSE(HasValue("3"));
  EXPECT_FALSE(HasValue("4"));
}

TEST_F(TempFilesTest, RecordOfVanishedFilesIsEmptied) {
  RecordFiles({dir.File("x1.xml"), dir.File("x2.xml"), dir.File("x3.xml")});
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  files.DeleteTempFiles();
  EXPECT_EQ(Value("Anzahl"), "0");
  for (const char* name : {"1", "2", "3"}) EXPECT_FALSE(HasValue(name)) << name;
}

TEST_F(TempFilesTest, RecordedFileIsDeletedAtTheNextStart) {
  std::string path;
  {
    cTempFiles files(platform);
    files.SetDeleteAtEnd(false);
    path = files.GetTempFile("xml", true);
    WriteBytes(path, "<xml/>");
  }
  EXPECT_TRUE(Exists(path));  // the flag was off: nothing deleted at the end
  {
    cTempFiles files(platform);  // the flag is on: deleted when the object ends
  }
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(Value("Anzahl"), "0");
  EXPECT_FALSE(HasValue("1"));
}

TEST_F(TempFilesTest, DamagedCountDoesNotHang) {
  const std::string file = dir.File("old.xml");
  WriteBytes(file, "x");
  platform.userValues[{kKey, "Anzahl"}] = "99999999999";
  platform.userValues[{kKey, "1"}] = file;
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  files.DeleteTempFiles();
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(Value("Anzahl"), "0");

  platform.userValues[{kKey, "Anzahl"}] = "many";
  const std::string path = files.GetTempFile("xml", true);
  EXPECT_EQ(Value("1"), path);
  EXPECT_EQ(Value("Anzahl"), "1");
}

// A platform whose registry fails on every call.
class BrokenRegistryPlatform : public FakePlatform {
 public:
  std::string ReadUserValue(const std::string&, const std::string&) override {
    throw std::runtime_error("registry");
  }
  bool WriteUserValue(const std::string&, const std::string&, const std::string&) override {
    throw std::runtime_error("registry");
  }
};

TEST(TempFilesRegistry, FailuresAreNotReported) {
  TempDir dir;
  BrokenRegistryPlatform platform;
  platform.environment["Temp"] = dir.Path();
  cTempFiles files(platform);
  EXPECT_NO_THROW(files.DeleteTempFiles());
  std::string path;
  EXPECT_NO_THROW(path = files.GetTempFile("xml", true));
  EXPECT_TRUE(path.ends_with(".xml"));
}

}  // namespace
}  // namespace tavrin
