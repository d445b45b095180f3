// Temporary files: the folder, unique names, the fallback names, and the record of files
// to delete that survives the process.
#include "platform/temp_files.h"

#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <optional>
#include <tuple>

#include "platform/file_helpers.h"

namespace tavrin {
namespace {

using namespace testing;

// A platform whose unique-name function can be made to answer oddly, whose registry can be
// made to fail (registryFault is thrown by every registry call), and which counts the record's
// writes made without the record's lock.
struct TempPlatform : FakePlatform {
  std::optional<std::string> oddName;
  std::exception_ptr registryFault;
  int unlockedRecordWrites = 0;
  std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) override {
    if (!oddName) return FakePlatform::CreateUniqueTempFile(folder, prefix);
    if (!oddName->empty()) WriteBytes(oddName->substr(0, oddName->find('\0')), "");
    return *oddName;
  }
  std::string ReadUserValue(const std::string& key, const std::string& name) override {
    if (registryFault) std::rethrow_exception(registryFault);
    return FakePlatform::ReadUserValue(key, name);
  }
  bool WriteUserValue(const std::string& key, const std::string& name,
                      const std::string& value) override {
    if (registryFault) std::rethrow_exception(registryFault);
    unlockedRecordWrites += key == cTempFiles::kRecordKey && userLocks[key] != -1;
    return FakePlatform::WriteUserValue(key, name, value);
  }
};

class TempFiles : public ::testing::Test {
 protected:
  TempFiles() { platform.environment["Temp"] = dir.Path(); }
  // The record's values (the count is "Anzahl"); a missing value reads empty.
  std::string Record(std::initializer_list<const char*> names) {
    std::string values;
    for (const char* name : names) {
      values += platform.FakePlatform::ReadUserValue(cTempFiles::kRecordKey, name) + "|";
    }
    return values;
  }

  TempDir dir;
  TempPlatform platform;
};

TEST_F(TempFiles, FolderFromTheTempVariableOrThePlatform) {
  EXPECT_EQ(cTempFiles(platform).TempPath(), dir.Path(true));
  platform.environment.clear();
  platform.tempPath = dir.Path(true);
  EXPECT_EQ(cTempFiles(platform).TempPath(), dir.Path(true));
  platform.tempPath.clear();
  EXPECT_EQ(cTempFiles(platform).TempPath(), kPathSep == '/' ? "/tmp/" : "c:\\");
  // The import tool runs in another folder: a relative folder is made absolute.
  platform.environment["Temp"] = "sub";
  platform.currentDirectory = dir.Path();
  EXPECT_EQ(cTempFiles(platform).TempPath(), dir.File("sub") + kPathSep);
}

TEST_F(TempFiles, UniqueNamesAreRecorded) {
  WriteBytes(dir.File("~tV1.xml"), "taken");
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  EXPECT_EQ(files.GetTempFile("xml", cTempFiles::Record::kYes), dir.File("~tV2.xml"));
  EXPECT_EQ(files.GetTempFile("xml", cTempFiles::Record::kYes), dir.File("~tV3.xml"));
  EXPECT_EQ(Record({"Anzahl", "1", "2"}), "2|" + dir.File("~tV2.xml|") + dir.File("~tV3.xml|"));
  // The placeholders the names came from are gone, but a ".tmp" name is the placeholder.
  EXPECT_FALSE(Exists(dir.File("~tV1.tmp")) || Exists(dir.File("~tV3.tmp")));
  EXPECT_EQ(files.GetTempFile("TMP", cTempFiles::Record::kNo), dir.File("~tV4.tmp"));
  EXPECT_TRUE(Exists(dir.File("~tV4.tmp")));
  files.PrefixForTempFiles("abc");  // gets a tilde
  EXPECT_EQ(files.GetTempFile("xml", cTempFiles::Record::kNo), dir.File("~ab5.xml"));
  // Without a name from the platform: numbered names; a name with a NUL is cut there.
  platform.oddName = "";
  files.PrefixForTempFiles("~tVp");
  WriteBytes(dir.File("~tV0001.json"), "taken");
  EXPECT_EQ(files.GetTempFile("json", cTempFiles::Record::kNo), dir.File("~tV0002.json"));
  files.PrefixForTempFiles("~");
  EXPECT_EQ(files.GetTempFile("xml", cTempFiles::Record::kNo), dir.File("~000001.xml"));
  platform.oddName = dir.File("AB12.tmp") + std::string(1, '\0') + "junk";
  EXPECT_EQ(files.GetTempFile("xml", cTempFiles::Record::kNo), dir.File("~AB12.xml"));
  EXPECT_FALSE(Exists(dir.File("AB12.tmp")));
}

TEST_F(TempFiles, RecordedFilesAreDeletedAtTheNextStartUnlessInUse) {
  std::vector<std::string> paths;
  {
    cTempFiles files(platform);
    files.SetDeleteAtEnd(false);
    for (int i = 0; i < 4; ++i) {
      paths.push_back(files.GetTempFile("xml", cTempFiles::Record::kYes));
      if (i != 2) WriteBytes(paths.back(), "x");  // the third is gone by the next start
    }
  }
  EXPECT_TRUE(Exists(paths[0]));  // the flag was off: nothing deleted at the end
  // While another process that recorded files lives, nothing is deleted.
  platform.userLocks[cTempFiles::kInUseLock] = 1;
  cTempFiles(platform).DeleteTempFiles();
  EXPECT_TRUE(Exists(paths[0]));
  platform.userLocks.clear();
  platform.lockedFiles = {paths[1], paths[3]};
  { cTempFiles files(platform); }  // the flag is on: the record is cleaned at the end
  EXPECT_FALSE(Exists(paths[0]));
  EXPECT_TRUE(Exists(paths[1]) && Exists(paths[3]));
  EXPECT_EQ(Record({"Anzahl", "1", "2", "3", "4"}), "2|" + paths[1] + "|" + paths[3] + "|||");
  platform.lockedFiles.clear();
  cTempFiles(platform).DeleteTempFiles();
  EXPECT_EQ(Record({"Anzahl", "1"}), "0||");
  EXPECT_EQ(platform.unlockedRecordWrites, 0);
}

// Only a temporary file this program made for this user is deleted through the record: an
// entry planted there (or left by a run with another temporary folder) must not make a
// start delete anything else. Such entries are dropped; one of the program's own files
// that is in use stays recorded.
TEST_F(TempFiles, OnlyTheProgramsOwnTemporaryFilesAreDeleted) {
  enum Made { File, InUse, Foreign, Link, Folder };
  const std::string sep(1, kPathSep), victim = dir.File("keep") + sep + "victim.txt";
  WriteBytes(victim, "x");
  // clang-format off
  const std::tuple<std::string, Made, bool> cases[] = {
      {"~tV1.xml", File, true},          {"~tVFFFF.json", File, true},
      {"~tV0001.xml", File, true},       {"~tV2.xml", InUse, false},
      {"~tV3.xml", Foreign, false},      {"~tV4.xml", Link, false},
      {"~tV5.xml", Folder, false},       {"keep" + sep + "~tV6.xml", File, false},
      {"keep" + sep + ".." + sep + "~tV7.xml", File, false},
      {"notes.xml", File, false},        {"~tV12345678.xml", File, false},
      {"~tVp1.xml", File, false},        {"~tV8.xml.txt", File, false},
      {"~tV9.", File, false},            {"keep" + sep + "victim.txt", File, false}};
  // clang-format on
  int count = 0;
  std::error_code noLink;  // where the user may make no links, that case is left out
  for (const auto& [name, made, deleted] : cases) {
    const std::string path = dir.File(name);
    if (made == Link) std::filesystem::create_symlink(FsPath(victim), FsPath(path), noLink);
    if (made == Folder) std::filesystem::create_directory(FsPath(path));
    if (made != Link && made != Folder && path != victim) WriteBytes(path, "x");
    if (made == InUse) platform.lockedFiles.insert(path);
    if (made == Foreign) platform.foreignFiles.insert(path);
    if (made != Link || !noLink) {
      platform.userValues[{cTempFiles::kRecordKey, std::to_string(++count)}] = path;
    }
  }
  platform.userValues[{cTempFiles::kRecordKey, "Anzahl"}] = std::to_string(count);
  cTempFiles(platform).DeleteTempFiles();
  for (const auto& [name, made, deleted] : cases) {
    const std::filesystem::path path = FsPath(dir.File(name));
    if (made == Link && noLink) continue;
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path)), !deleted) << name;
  }
  EXPECT_EQ(Record({"Anzahl", "1", "2"}), "1|" + dir.File("~tV2.xml") + "||");
  EXPECT_EQ(ReadBytes(victim), "x");
}

TEST_F(TempFiles, DamagedRecordOrFailingRegistry) {
  const std::string file = dir.File("~tV1F.xml");
  WriteBytes(file, "x");
  platform.userValues[{cTempFiles::kRecordKey, "Anzahl"}] = "99999999999";  // must not hang
  platform.userValues[{cTempFiles::kRecordKey, "1"}] = file;
  cTempFiles files(platform);
  files.DeleteTempFiles();
  EXPECT_FALSE(Exists(file));
  platform.userValues[{cTempFiles::kRecordKey, "Anzahl"}] = "many";
  const std::string path = files.GetTempFile("xml", cTempFiles::Record::kYes);
  EXPECT_EQ(Record({"Anzahl", "1"}), "1|" + path + "|");
  // Registry failures are not reported.
  platform.registryFault =
      std::make_exception_ptr(PathFileAccessError("ReadUserValue", cTempFiles::kRecordKey));
  EXPECT_NO_THROW(files.DeleteTempFiles());
  EXPECT_TRUE(files.GetTempFile("xml", cTempFiles::Record::kYes).ends_with(".xml"));
  // Running out of memory is no answer of the registry and passes up.
  platform.registryFault = std::make_exception_ptr(std::bad_alloc());
  EXPECT_THROW(files.GetTempFile("xml", cTempFiles::Record::kYes), std::bad_alloc);
  platform.registryFault = nullptr;
}

}  // namespace
}  // namespace tavrin
