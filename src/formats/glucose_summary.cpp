#include "formats/glucose_summary.h"
#include "shared/number_format.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace tavrin {

namespace {

long long MinuteOf(const GlucoseSample& sample) {
  return static_cast<long long>(sample.day) * 1440 + sample.minuteOfDay;
}

}  // namespace

GlucoseRange RangeOf(const GlucoseSample& sample, bool mmol) {
  if (sample.mark == ReadingMark::kHigh) return kVeryHigh;
  if (sample.mark == ReadingMark::kLow) return kVeryLow;
  // The limits as printed: whole mg/dL, or mmol/L to one decimal (3.8 is low, 3.9 in range).
  const long v = std::lround(static_cast<double>(sample.value) * (mmol ? 10.0 : 1.0));
  const long limits[] = {mmol ? 30 : 54, mmol ? 38 : 69, mmol ? 100 : 180, mmol ? 139 : 250};
  if (v < limits[0]) return kVeryLow;
  if (v <= limits[1]) return kLow;
  if (v <= limits[2]) return kInRange;
  if (v <= limits[3]) return kHigh;
  return kVeryHigh;
}

double GmiPercent(double meanMgdl) {
  return 3.31 + 0.02392 * meanMgdl;
}

double GmiMmolPerMol(double meanMmol) {
  return 12.71 + 4.70587 * meanMmol;
}

GlucoseSummary SummarizeGlucose(const std::vector<GlucoseSample>& samples, bool mmol) {
  GlucoseSummary summary;
  if (samples.empty()) return summary;
  summary.readings = static_cast<long>(samples.size());
  std::set<std::int32_t> days;
  double sum = 0;
  for (const GlucoseSample& sample : samples) {
    days.insert(sample.day);
    sum += sample.value;
  }
  const double n = static_cast<double>(samples.size());
  summary.days = static_cast<int>(days.size());
  summary.perDay = n / summary.days;
  summary.mean = sum / n;
  double squares = 0;
  for (const GlucoseSample& sample : samples) {
    const double d = sample.value - summary.mean;
    squares += d * d;
  }
  summary.sd = samples.size() > 1 ? std::sqrt(squares / (n - 1)) : 0;
  summary.cv = summary.mean > 0 ? 100 * summary.sd / summary.mean : 0;
  if (summary.days >= kGmiMinimumDays) {
    const double meanMgdl = mmol ? summary.mean * kMgdlPerMmol : summary.mean;
    const double meanMmol = mmol ? summary.mean : summary.mean / kMgdlPerMmol;
    summary.gmiPercent = GmiPercent(meanMgdl);
    summary.gmiMmolPerMol = GmiMmolPerMol(meanMmol);
  }

  // The shares: of the sensor's time when there are CGM readings, else of the readings.
  std::vector<GlucoseSample> cgm;
  for (const GlucoseSample& sample : samples) {
    if (sample.cgm) cgm.push_back(sample);
  }
  std::array<double, kRangeCount> weights{};
  double total = 0;
  if (!cgm.empty()) {
    summary.timeWeighted = true;
    std::stable_sort(cgm.begin(), cgm.end(), [](const GlucoseSample& a, const GlucoseSample& b) {
      return MinuteOf(a) < MinuteOf(b);
    });
    for (std::size_t i = 0; i < cgm.size(); ++i) {
      // The last reading, or one before a gap, stands for the sensor's longest interval.
      const long long gap =
          i + 1 < cgm.size() ? MinuteOf(cgm[i + 1]) - MinuteOf(cgm[i]) : kCgmGapMinutes;
      const double weight = static_cast<double>(std::min<long long>(gap, kCgmGapMinutes));
      weights[RangeOf(cgm[i], mmol)] += weight;
      total += weight;
    }
  } else {
    for (const GlucoseSample& sample : samples) weights[RangeOf(sample, mmol)] += 1;
    total = n;
  }
  for (int range = 0; range < kRangeCount; ++range) {
    summary.shares[range] = total > 0 ? 100 * weights[range] / total : 0;
  }
  return summary;
}

double Percentile(const std::vector<float>& sorted, double p) {
  if (sorted.empty()) return 0;
  const double rank = p / 100 * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(rank));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  const double fraction = rank - static_cast<double>(below);
  return sorted[below] + fraction * (sorted[above] - sorted[below]);
}

AmbulatoryProfile ProfileByTimeOfDay(const std::vector<GlucoseSample>& samples) {
  std::array<std::vector<float>, kProfileBins> byHour;
  for (const GlucoseSample& sample : samples) {
    const int hour = std::clamp(sample.minuteOfDay / 60, 0, kProfileBins - 1);
    byHour[static_cast<std::size_t>(hour)].push_back(sample.value);
  }
  AmbulatoryProfile profile;
  std::vector<float> window;
  for (int hour = 0; hour < kProfileBins; ++hour) {
    window.clear();
    for (const int neighbour : {hour - 1, hour, hour + 1}) {
      const auto& values =
          byHour[static_cast<std::size_t>((neighbour + kProfileBins) % kProfileBins)];
      window.insert(window.end(), values.begin(), values.end());
    }
    if (static_cast<long>(window.size()) < kProfileMinimumReadings) continue;
    std::sort(window.begin(), window.end());
    profile[static_cast<std::size_t>(hour)] =
        ProfilePercentiles{Percentile(window, 5), Percentile(window, 25), Percentile(window, 50),
                           Percentile(window, 75), Percentile(window, 95)};
  }
  return profile;
}

}  // namespace tavrin
