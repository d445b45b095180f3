#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavrin {

// The figures a clinic asks of a span of glucose data first: how many readings, their mean
// and spread, the glucose management indicator, the shares in the five consensus ranges,
// and the ambulatory profile by time of day. Pure arithmetic on the readings, in the
// export's unit; no text.

// How a glucose reading was given in the export.
enum class ReadingMark : std::uint8_t { kNone, kHigh, kLow };

// One glucose reading in the export's unit (mg/dL, or mmol/L to one decimal).
struct GlucoseSample {
  std::int32_t day = 0;          // days since 1 January 1970
  std::int16_t minuteOfDay = 0;  // 0 to 1439
  ReadingMark mark = ReadingMark::kNone;
  bool cgm = false;  // a continuous sensor's reading
  float value = 0;
};

// The five consensus ranges, lowest first: very low < 54 mg/dL (< 3.0 mmol/L), low 54-69
// (3.0-3.8), in range 70-180 (3.9-10.0), high 181-250 (10.1-13.9), very high > 250
// (> 13.9). A HIGH reading is very high and a LO reading very low, whatever its value.
enum GlucoseRange : int { kVeryLow, kLow, kInRange, kHigh, kVeryHigh, kRangeCount };

// The range of a reading in the unit given (mg/dL values are compared as whole numbers,
// mmol/L values to one decimal, as clinics print the limits).
GlucoseRange RangeOf(const GlucoseSample& sample, bool mmol);

// GMI in percent from the mean in mg/dL, and in mmol/mol from the mean in mmol/L.
double GmiPercent(double meanMgdl);
double GmiMmolPerMol(double meanMmol);

// Below this many days with readings the GMI is not given: it estimates a long-term value
// from at least two weeks of data.
inline constexpr int kGmiMinimumDays = 14;

struct GlucoseSummary {
  long readings = 0;
  int days = 0;  // calendar days with at least one reading
  double perDay = 0;
  double mean = 0;                   // in the export's unit
  double sd = 0;                     // sample standard deviation (n - 1), 0 for a single reading
  double cv = 0;                     // sd / mean in percent; the usual goal is at most 36 %
  std::optional<double> gmiPercent;  // only with kGmiMinimumDays days or more
  std::optional<double> gmiMmolPerMol;
  // Shares in percent of the five ranges; of the readings, or of the time the sensor
  // covered when the readings include CGM readings (timeWeighted).
  std::array<double, kRangeCount> shares{};
  bool timeWeighted = false;
};

// The summary of the samples (in any order); an empty summary for none. With CGM
// readings among them, the shares are those of the CGM readings weighted by the time to
// the next one (at most kCgmGapMinutes), since a sensor's readings stand for the time
// between them; otherwise each reading counts once.
inline constexpr int kCgmGapMinutes = 15;
GlucoseSummary SummarizeGlucose(const std::vector<GlucoseSample>& samples, bool mmol);

// One hour of the ambulatory profile: the percentiles of the readings of that hour and of
// the hours on either side (the profile is smoothed by that window), or none when the
// window holds fewer than kProfileMinimumReadings.
struct ProfilePercentiles {
  double p5 = 0, p25 = 0, p50 = 0, p75 = 0, p95 = 0;
};
inline constexpr int kProfileBins = 24;
inline constexpr long kProfileMinimumReadings = 5;
using AmbulatoryProfile = std::array<std::optional<ProfilePercentiles>, kProfileBins>;

// The profile of the samples by hour of the day, the day wrapping round at midnight.
AmbulatoryProfile ProfileByTimeOfDay(const std::vector<GlucoseSample>& samples);

// The percentile p (0 to 100) of sorted values, interpolated linearly between neighbours.
double Percentile(const std::vector<float>& sorted, double p);

}  // namespace tavrin
