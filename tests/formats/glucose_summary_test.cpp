// The clinician's figures against values worked out by hand on small sets of readings.
#include "formats/glucose_summary.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

constexpr std::int32_t kDay = 20788;  // 2026-12-01

GlucoseSample At(int day, int minute, float value, ReadingMark mark = ReadingMark::kNone,
                 bool cgm = false) {
  return {kDay + day, static_cast<std::int16_t>(minute), mark, cgm, value};
}

// Ten readings on three days, one in each range's edge case, HIGH and LO among them.
TEST(GlucoseSummary, FiguresOfASmallSetWorkedOutByHand) {
  const std::vector<GlucoseSample> samples = {At(0, 480, 50),
                                              At(0, 510, 60),
                                              At(0, 720, 100),
                                              At(0, 1080, 200),
                                              At(0, 1320, 600, ReadingMark::kHigh),
                                              At(1, 480, 20, ReadingMark::kLow),
                                              At(1, 720, 150),
                                              At(2, 720, 180),
                                              At(2, 730, 250),
                                              At(2, 740, 251)};
  const GlucoseSummary s = SummarizeGlucose(samples, false);
  EXPECT_EQ(s.readings, 10);
  EXPECT_EQ(s.days, 3);
  EXPECT_NEAR(s.perDay, 3.333, 0.001);
  EXPECT_NEAR(s.mean, 186.1, 1e-9);               // 1861 / 10
  EXPECT_NEAR(s.sd, 166.856, 0.001);              // sqrt(250567.9 / 9)
  EXPECT_NEAR(s.cv, 89.659, 0.001);               // 166.856 / 186.1
  EXPECT_FALSE(s.gmiPercent || s.gmiMmolPerMol);  // three days: too few for a GMI
  EXPECT_FALSE(s.timeWeighted);
  // 50 and LO very low; 60 low; 100, 150, 180 in range; 200, 250 high; 251 and HIGH very high.
  const std::array<double, kRangeCount> shares = {20, 10, 30, 20, 20};
  for (int range = 0; range < kRangeCount; ++range) {
    EXPECT_DOUBLE_EQ(s.shares[range], shares[range]) << range;
  }
  EXPECT_EQ(SummarizeGlucose({}, false).readings, 0);
}

TEST(GlucoseSummary, RangeLimitsInBothUnitsAndTheMarks) {
  const struct {
    float value;
    bool mmol;
    ReadingMark mark;
    GlucoseRange range;
  } kCases[] = {
      {53, false, {}, kVeryLow},
      {54, false, {}, kLow},
      {69, false, {}, kLow},
      {70, false, {}, kInRange},
      {180, false, {}, kInRange},
      {181, false, {}, kHigh},
      {250, false, {}, kHigh},
      {251, false, {}, kVeryHigh},
      {2.9f, true, {}, kVeryLow},
      {3.0f, true, {}, kLow},
      {3.8f, true, {}, kLow},
      {3.9f, true, {}, kInRange},
      {10.0f, true, {}, kInRange},
      {10.1f, true, {}, kHigh},
      {13.9f, true, {}, kHigh},
      {14.0f, true, {}, kVeryHigh},
      {100, false, ReadingMark::kHigh, kVeryHigh},
      {100, false, ReadingMark::kLow, kVeryLow},
      {5.5f, true, ReadingMark::kLow, kVeryLow},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(RangeOf(At(0, 0, c.value, c.mark), c.mmol), c.range) << c.value;
  }
}

// Fourteen days of 154 mg/dL, and the same in mmol/L: GMI 7.0 % and 53 mmol/mol.
TEST(GlucoseSummary, GmiFromFourteenDaysInEitherUnit) {
  std::vector<GlucoseSample> mgdl, mmol;
  for (int day = 0; day < 14; ++day) {
    mgdl.push_back(At(day, 600, 154));
    mmol.push_back(At(day, 600, static_cast<float>(154 / 18.0182)));
  }
  for (const auto& [samples, isMmol] : {std::pair{mgdl, false}, std::pair{mmol, true}}) {
    const GlucoseSummary s = SummarizeGlucose(samples, isMmol);
    ASSERT_TRUE(s.gmiPercent && s.gmiMmolPerMol);
    EXPECT_NEAR(*s.gmiPercent, 6.994, 0.001);    // 3.31 + 0.02392 * 154
    EXPECT_NEAR(*s.gmiMmolPerMol, 52.93, 0.01);  // 12.71 + 4.70587 * 8.547
    EXPECT_EQ(s.sd, 0);
  }
  mgdl.pop_back();
  EXPECT_FALSE(SummarizeGlucose(mgdl, false).gmiPercent);  // thirteen days
}

// A sensor's readings stand for the time to the next one, at most 15 minutes.
TEST(GlucoseSummary, CgmSharesAreWeightedByTime) {
  const std::vector<GlucoseSample> samples = {
      At(0, 0, 50, {}, true), At(0, 5, 100, {}, true), At(0, 10, 100, {}, true),
      At(0, 70, 100, {}, true), At(0, 80, 300)};  // a meter reading beside them counts not
  const GlucoseSummary s = SummarizeGlucose(samples, false);
  EXPECT_TRUE(s.timeWeighted);
  EXPECT_DOUBLE_EQ(s.shares[kVeryLow], 12.5);  // 5 of 5 + 5 + 15 + 15 minutes
  EXPECT_DOUBLE_EQ(s.shares[kInRange], 87.5);
  EXPECT_DOUBLE_EQ(s.shares[kVeryHigh], 0);
  EXPECT_EQ(s.readings, 5);  // the mean and the counts take every reading
}

// Each hour pools the readings of the hour before and after; too few leave it empty.
TEST(GlucoseSummary, ProfilePercentilesAndHoursWithTooFewReadings) {
  std::vector<GlucoseSample> samples;
  for (const float value : {100, 110, 120, 130, 140}) samples.push_back(At(0, 12 * 60 + 5, value));
  const AmbulatoryProfile profile = ProfileByTimeOfDay(samples);
  for (int hour = 0; hour < kProfileBins; ++hour) {
    EXPECT_EQ(profile[hour].has_value(), hour >= 11 && hour <= 13) << hour;
  }
  const ProfilePercentiles& p = *profile[12];
  EXPECT_DOUBLE_EQ(p.p5, 102);  // rank 0.2 between 100 and 110
  EXPECT_DOUBLE_EQ(p.p25, 110);
  EXPECT_DOUBLE_EQ(p.p50, 120);
  EXPECT_DOUBLE_EQ(p.p75, 130);
  EXPECT_DOUBLE_EQ(p.p95, 138);
  samples.pop_back();
  for (const auto& hour : ProfileByTimeOfDay(samples)) EXPECT_FALSE(hour);
  // The day wraps round: readings just before midnight count for the first hour too.
  samples = {At(0, 1439, 90), At(0, 1439, 90), At(0, 1439, 90), At(0, 10, 90), At(0, 10, 90)};
  EXPECT_TRUE(ProfileByTimeOfDay(samples)[0] && ProfileByTimeOfDay(samples)[23]);
}

}  // namespace
}  // namespace tavrin
