#include "app/file_dialog.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;

// Each filter text as "dialog / filter proper / description=pattern pairs / default
// extension".
TEST(FileFilterTest, FilterTextsAreParsed) {
  const std::pair<const char*, const char*> cases[] = {
      {"L|Tavrin-Import|*.csv|Alle|*.*",
       "open / Tavrin-Import|*.csv|Alle|*.* / Tavrin-Import=*.csv;Alle=*.*; / csv"},
      {"l|A|*.a", "open / A|*.a / A=*.a; / a"},
      {"x|A|*.a", "save / A|*.a / A=*.a; / a"},
      {"S|Daten|*.json|Alle|*.*", "save / Daten|*.json|Alle|*.* / Daten=*.json;Alle=*.*; / jso"},
      {"S|Text|*.c", "save / Text|*.c / Text=*.c; / c"},
      {"L|*.txt", "open / *.txt / *.txt=; / "},  // no "|" before the first pattern
      {"L|Alle", "open / Alle / Alle=; / "},     // a description without a pattern
      {"L|", "open /  /  / "},
      {"L", "open /  /  / "},
      {"", "save /  /  / "},
  };
  for (const auto& [text, expected] : cases) {
    const FileFilterSpec spec = ParseFileFilter(text);
    std::string seen = std::string(spec.openDialog ? "open" : "save") + " / " + spec.filter + " / ";
    for (const auto& [description, pattern] : spec.entries)
      seen += description + "=" + pattern + ";";
    EXPECT_EQ(seen + " / " + spec.defaultExtension, expected) << text;
  }
}

TEST(FileFilterTest, WindowsBuffersAreNulSeparatedAndPadded) {
  EXPECT_EQ(NulSeparatedFilter("A|*.a|B|*.b|C|*.c"), std::string("A\0*.a\0B\0*.b\0C\0*.c\0\0", 19));
  const std::string buffer = FileNameBuffer("export.csv");
  EXPECT_EQ(buffer, "export.csv" + std::string(512 - 10, '\0'));
  EXPECT_EQ(FileNameBuffer(std::string(600, 'n')), std::string(600, 'n'));
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

TEST(ShowFileDialogTest, ChoiceSetsTheFolderAndEitherWayRestoresTheCurrentFolder) {
  FakePlatform platform;
  FolderMovingUi ui(platform);
  ui.fileAnswers.push_back({true, std::string("/data/in/export.csv\0junk", 24), ""});
  std::string folder = "/start/";
  EXPECT_EQ(ShowFileDialog(platform, ui, "L|A|*.csv", "Import", folder, "x.csv"),
            "/data/in/export.csv");
  EXPECT_EQ(folder, "/data/in/");
  EXPECT_EQ(platform.currentDirectory, "/");
  const FileDialogArgs& args = ui.fileDialogs.at(0);
  EXPECT_EQ(args.filter + " " + args.title + " " + args.initialFolder + " " + args.defaultFileName,
            "L|A|*.csv Import /start/ x.csv");

  EXPECT_EQ(ShowFileDialog(platform, ui, "L|A|*.csv", "Import", folder), "");  // cancelled
  EXPECT_EQ(folder, "/data/in/");
  EXPECT_EQ(platform.currentDirectory, "/");
}

}  // namespace
}  // namespace tavrin
