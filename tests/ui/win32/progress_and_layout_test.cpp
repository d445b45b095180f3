// The parts of the windows that are plain arithmetic: the progress bar's counter and the
// main window's layout at the usual screen scales.

#include <gtest/gtest.h>

#include <vector>

#include "ui/win32/flood_counter.h"
#include "ui/win32/window_layout.h"

namespace tavrin {
namespace {

TEST(FloodCounterTest, CountsPercentagesAndRemainingSteps) {
  struct Case {
    const char* name;
    std::int32_t total;
    std::vector<std::pair<int, int>> floods;  // percentage, remaining
    std::int32_t counter;
    int systemPercent;  // what the platform bar shows
  };
  const std::vector<Case> cases = {
      {"three single steps of 200", 200, {{0, 0}, {0, 0}, {0, 0}}, 3, 1},
      {"half by percentage", 200, {{50, 0}}, 100, 50},
      {"twenty remaining", 200, {{0, 20}}, 180, 90},
      {"zero total draws nothing", 0, {{0, 0}}, 1, 0},
  };
  for (const Case& c : cases) {
    FloodCounter counter;
    counter.Init(c.total);
    for (const auto& [percentage, remaining] : c.floods) counter.Flood(percentage, remaining, true);
    EXPECT_EQ(counter.Counter(), c.counter) << c.name;
    EXPECT_EQ(counter.LastShown(), c.systemPercent) << c.name;
  }
}

// The own-drawn blocks round and only grow; the platform bar follows both ways.
TEST(FloodCounterTest, OwnDrawnBlocksOnlyGrow) {
  FloodCounter own;
  own.Init(200);
  EXPECT_EQ(own.Flood(0, 0, false), 1);  // 0.5 % rounds up, where the platform bar shows 0
  EXPECT_EQ(own.Flood(50, 0, false), 50);
  EXPECT_EQ(own.Flood(0, 150, false), std::nullopt);  // back to 25 %: the blocks stay
  EXPECT_EQ(own.LastShown(), 50);

  FloodCounter system;
  system.Init(200);
  system.Flood(50, 0, true);
  EXPECT_EQ(system.Flood(0, 150, true), 25);
}

TEST(FloodCounterTest, ImportFillsTheBarInTwoSteps) {
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Reading, 0, 1000), 0);
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Reading, 500, 1000), 40);
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Reading, 1000, 1000), 80);
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Reading, 5, 0), 0);
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Converting, 2, 4), 90);
  EXPECT_EQ(ImportProgressPercent(ProgressStep::Converting, 4, 4), 100);
}

bool Overlap(const ControlRect& a, const ControlRect& b) {
  return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

// At 100 %, 150 % and 200 % every control lies inside the window, none covers another,
// and the controls grow with the scale.
TEST(WindowLayoutTest, NoControlCoversAnotherAtAnyScale) {
  for (int dpi : {96, 144, 192}) {
    const MainWindowLayout layout = LayoutMainWindow(dpi);
    const std::vector<ControlRect> controls = {
        layout.instruction, layout.pathBox, layout.browse,  layout.status, layout.progress,
        layout.separator,   layout.logo,    layout.version, layout.start,  layout.close};
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const ControlRect& c = controls[i];
      EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.Right() <= layout.clientWidth &&
                  c.Bottom() <= layout.clientHeight && c.width > 0 && c.height > 0)
          << dpi << " dpi, control " << i;
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        EXPECT_FALSE(Overlap(c, controls[j])) << dpi << " dpi, controls " << i << " and " << j;
      }
    }
    // Buttons keep room for a line of 9-point text with its margins.
    EXPECT_GE(layout.start.height, ScaleToDpi(24, dpi)) << dpi;
    EXPECT_EQ(layout.clientWidth, ScaleToDpi(480, dpi)) << dpi;
  }
}

TEST(WindowLayoutTest, ScriptFontsByLanguage) {
  EXPECT_EQ(FontFaceForLanguage("DE"), "Segoe UI");
  EXPECT_EQ(FontFaceForLanguage(""), "Segoe UI");
  EXPECT_EQ(FontFaceForLanguage("ja"), "Yu Gothic UI");
  EXPECT_EQ(FontFaceForLanguage("ZH"), "Microsoft YaHei UI");
}

}  // namespace
}  // namespace tavrin
