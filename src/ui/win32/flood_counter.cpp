#include "ui/win32/flood_counter.h"

#include <algorithm>
#include <cmath>

namespace tavrin {

void FloodCounter::Init(std::int32_t total) {
  total_ = total;
  counter_ = -1;
  Flood(0, 0, true);  // with the counter at -1 this only resets the percentage shown
  counter_ = 0;
}

std::optional<int> FloodCounter::Flood(int percentage, int remaining, bool systemBar) {
  if (counter_ == -1) {
    lastShown_ = 0;
    return std::nullopt;
  }
  ++counter_;
  if (percentage > 0) {
    counter_ = static_cast<std::int32_t>(static_cast<std::int64_t>(total_) * percentage / 100);
  }
  if (remaining != 0) counter_ = total_ - remaining;
  // A zero total has no percentage: nothing is drawn.
  if (total_ == 0) return std::nullopt;

  const double share = static_cast<double>(counter_) / total_ * 100.0;
  if (systemBar) {
    const int shown = static_cast<int>(std::floor(share));
    if (shown == lastShown_) return std::nullopt;
    lastShown_ = shown;
    return shown;
  }
  const int shown = static_cast<int>(std::lround(share));
  if (shown <= lastShown_) return std::nullopt;
  lastShown_ = shown;
  return shown;
}

int ImportProgressPercent(ProgressStep step, std::uint64_t done, std::uint64_t total) {
  constexpr std::uint64_t kReadingShare = 80;
  const std::uint64_t part = total == 0 ? 0 : std::min(done, total) * 100 / total;
  if (step == ProgressStep::Reading) return static_cast<int>(part * kReadingShare / 100);
  return static_cast<int>(kReadingShare + part * (100 - kReadingShare) / 100);
}

}  // namespace tavrin
