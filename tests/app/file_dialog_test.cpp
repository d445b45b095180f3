#include "app/file_dialog.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;

TEST(FileFilterTest, OpenFilterWithTwoEntries) {
  const FileFilterSpec spec = ParseFileFilter("L|Tavrin-Import|*.csv|Alle|*.*");
  EXPECT_TRUE(spec.openDialog);
  EXPECT_EQ(spec.filter, "Tavrin-Import|*.csv|Alle|*.*");
  ASSERT_EQ(spec.entries.size(), 2u);
  EXPECT_EQ(spec.entries[0].first, "Tavrin-Import");
  EXPECT_EQ(spec.entries[0].second, "*.csv");
  EXPECT_EQ(spec.entries[1].first, "Alle");
  EXPECT_EQ(spec.entries[1].second, "*.*");
  EXPECT_EQ(spec.defaultExtension, "csv");
}

TEST(FileFilterTest, ModeLetter) {
  EXPECT_TRUE(ParseFileFilter("l|A|*.a").openDialog);
  EXPECT_FALSE(ParseFileFilter("S|A|*.a").openDialog);
  EXPECT_FALSE(ParseFileFilter("x|A|*.a").openDialog);
}

TEST(FileFilterTest, DefaultExtensionFollowsTheFirstBarStarDot) {
  EXPECT_EQ(ParseFileFilter("S|Daten|*.json|Alle|*.*").defaultExtension, "jso");
  EXPECT_EQ(ParseFileFilter("S|Text|*.c").defaultExtension, "c");
  // The first pattern stands right at the start: no "|" before it.
  EXPECT_EQ(ParseFileFilter("L|*.txt").defaultExtension, "");
}

TEST(FileFilterTest, ShortOrEmptyFilterTextsGiveAnEmptyFilter) {
  for (const char* text : {"", "L", "L|"}) {
    const FileFilterSpec spec = ParseFileFilter(text);
    EXPECT_EQ(spec.filter, "") << text;
    EXPECT_TRUE(spec.entries.empty()) << text;
    EXPECT_EQ(spec.defaultExtension, "") << text;
  }
  // A description without a pattern.
  const FileFilterSpec odd = ParseFileFilter("L|Alle");
  ASSERT_EQ(odd.entries.size(), 1u);
  EXPECT_EQ(odd.entries[0].second, "");
}

TEST(FileFilterTest, ThreePairsGiveSixNulSeparatedPartsAndADoubleNul) {
  const std::string list = NulSeparatedFilter("A|*.a|B|*.b|C|*.c");
  EXPECT_EQ(list, std::string("A\0*.a\0B\0*.b\0C\0*.c\0\0", 19));
}

TEST(FileFilterTest, FileNameBufferIsPaddedWithNuls) {
  const std::string buffer = FileNameBuffer("export.csv");
  ASSERT_EQ(buffer.size(), 512u);
  EXPECT_EQ(buffer.substr(0, 10), "export.csv");
  EXPECT_EQ(buffer.find_first_not_of('\0', 10), std::string::npos);

  const std::string full(512, 'n');
  EXPECT_EQ(FileNameBuffer(full), full);
  const std::string longer(600, 'n');
  EXPECT_EQ(FileNameBuffer(longer), longer);
}

// A dialog that moves the process's current folder, as the Windows dialog may.
class FolderMovingUi : public FakeUi {
 public:
  explicit FolderMovingUi(FakePlatform& platform) : platform_(platform) {}
  FileDialogResult ChooseFile(const FileDialogArgs& args) override {
    platform_.currentDirectory = "/somewhere/else";
    return FakeUi::ChooseFile(args);
  }

 private:
  FakePlatform& platform_;
};

TEST(ShowFileDialogTest, ChoiceSetsTheFolderAndRestoresTheCurrentFolder) {
  FakePlatform platform;
  platform.currentDirectory = "/";
  FolderMovingUi ui(platform);
  ui.fileAnswers.push_back({true, std::string("/data/in/export.csv\0junk", 24), ""});

  std::string folder = "/start/";
  EXPECT_EQ(ShowFileDialog(platform, ui, "L|A|*.csv", "Import", folder, "x.csv"),
            "/data/in/export.csv");
  EXPECT_EQ(folder, "/data/in/");
  EXPECT_EQ(platform.currentDirectory, "/");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].filter, "L|A|*.csv");
  EXPECT_EQ(ui.fileDialogs[0].title, "Import");
  EXPECT_EQ(ui.fileDialogs[0].initialFolder, "/start/");
  EXPECT_EQ(ui.fileDialogs[0].defaultFileName, "x.csv");
}

TEST(ShowFileDialogTest, CancelLeavesTheFolderAndGivesNoPath) {
  FakePlatform platform;
  FolderMovingUi ui(platform);
  std::string folder = "/start/";
  EXPECT_EQ(ShowFileDialog(platform, ui, "L|A|*.csv", "Import", folder), "");
  EXPECT_EQ(folder, "/start/");
  EXPECT_EQ(platform.currentDirectory, "/");
}

}  // namespace
}  // namespace tavrin
