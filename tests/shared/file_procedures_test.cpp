#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/temp_dir.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

std::string RawBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteRaw(const std::string& path, const std::string& bytes) {
  std::ofstream(FsPath(path), std::ios::binary) << bytes;
}

TEST(Utf8Files, WritesUtf8WithoutBomAndReadsItBack) {
  testing::TempDir dir;
  const std::string path = dir.File("Grüße.xml");
  WriteUtf8File(path, "<a>Grüße €</a>\r\n");
  EXPECT_EQ(RawBytes(path),
            "<a>Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC</a>\r\n");
  EXPECT_EQ(ReadUtf8File(path), "<a>Grüße €</a>\r\n");
}

TEST(Utf8Files, ByteOrderMarkStaysInTheText) {
  testing::TempDir dir;
  WriteRaw(dir.File("bom.txt"), "\xEF\xBB\xBFx");
  EXPECT_EQ(ReadUtf8File(dir.File("bom.txt")), "\uFEFFx");
}

TEST(Utf8Files, ReplacingLeavesNoTemporaryFile) {
  testing::TempDir dir;
  const std::string path = dir.File("a.json");
  WriteUtf8File(path, "old content that is longer");
  WriteUtf8File(path, "new");
  EXPECT_EQ(ReadUtf8File(path), "new");
  int files = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(FsPath(dir.Path()))) {
    ++files;
  }
  EXPECT_EQ(files, 1);
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
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
  WriteRaw(path, "");
  EXPECT_TRUE(FileExists(path));  // an empty file exists too
  EXPECT_EQ(KillFile(path), 0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(KillFile(path), 53);
  EXPECT_EQ(KillFile(""), 53);
}

}  // namespace
}  // namespace tavrin
