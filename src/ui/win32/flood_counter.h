#pragma once

#include <cstdint>
#include <optional>

#include "shared/ui.h"

namespace tavrin {

// The arithmetic of the progress bar control, free of any window: the counter, the total
// that means 100 % and the percentage last shown. The window part (ShEProgressBar) only
// draws what this class says changed.
class FloodCounter {
 public:
  // A new count: the counter runs from 0 up to `total`, and the bar shows nothing yet.
  void Init(std::int32_t total);

  // One step of the count: the counter rises by 1, or is set from a percentage (> 0) or
  // from the number of steps remaining (!= 0). Returns the percentage the bar must show
  // now, or nothing when the picture stays as it is (same value; in own-drawn mode a
  // smaller one; a zero total). systemBar: the platform bar follows the whole part of the
  // percentage both ways; own-drawn blocks follow the rounded percentage and only grow.
  std::optional<int> Flood(int percentage, int remaining, bool systemBar);

  std::int32_t Counter() const { return counter_; }
  std::int32_t Total() const { return total_; }
  int LastShown() const { return lastShown_; }

 private:
  std::int32_t total_ = 0;
  std::int32_t counter_ = 0;  // -1 while a reset is in progress
  int lastShown_ = 0;
};

// The main window's bar over a whole import: reading the export fills it to 80 %,
// converting the rows the rest. `done` of `total` of the step; 0 to 100.
int ImportProgressPercent(ProgressStep step, std::uint64_t done, std::uint64_t total);

}  // namespace tavrin
