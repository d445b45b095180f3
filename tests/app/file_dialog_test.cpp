// The filter texts of the coming Windows file dialog.

#include "app/file_dialog.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

// Each filter text as "dialog / filter proper / description=pattern pairs / default
// extension".
TEST(FileFilterTest, FilterTextsAreParsedAndLaidOutForWindows) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"L|Tavrin-Import|*.csv|Alle|*.*", "open / Tavrin-Import|*.csv|Alle|*.* / Tavrin-Import=*.csv;Alle=*.*; / csv"},
      {"S|Daten|*.json|Alle|*.*", "save / Daten|*.json|Alle|*.* / Daten=*.json;Alle=*.*; / jso"},
      {"l|*.txt", "open / *.txt / *.txt=; / "},  // no "|" before the first pattern
      {"L|Alle", "open / Alle / Alle=; / "},     // a description without a pattern
      {"L", "open /  /  / "}, {"", "save /  /  / "},
  };
  // clang-format on
  for (const auto& [text, expected] : cases) {
    const FileFilterSpec spec = ParseFileFilter(text);
    std::string seen = std::string(spec.openDialog ? "open" : "save") + " / " + spec.filter + " / ";
    for (const auto& [description, pattern] : spec.entries)
      seen += description + "=" + pattern + ";";
    EXPECT_EQ(seen + " / " + spec.defaultExtension, expected) << text;
  }
  EXPECT_EQ(NulSeparatedFilter("A|*.a|B|*.b"), std::string("A\0*.a\0B\0*.b\0\0", 13));
  EXPECT_EQ(FileNameBuffer("export.csv"), "export.csv" + std::string(512 - 10, '\0'));
  EXPECT_EQ(FileNameBuffer(std::string(600, 'n')), std::string(600, 'n'));
}

}  // namespace
}  // namespace tavrin
