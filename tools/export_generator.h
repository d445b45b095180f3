#pragma once

// A synthetic export of the diabetes app, for load tests and benchmarks: a header and
// one data row per entry, 36 semicolon-separated fields, German dates and times,
// glucose in mg/dL, with a mix of glucose, insulin, carbohydrate, activity and note
// entries. The rows run backwards in time from 30 November 2026 23:55, a few minutes
// apart, now and then two at the same minute. The same row count and seed always give
// the same bytes (Windows-1252 text, CR LF line ends).

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tavrin::tools {

class ExportGenerator {
 public:
  explicit ExportGenerator(std::uint64_t seed = 20261130) : state_(seed) {}

  static std::string Header() {
    static constexpr std::array<std::string_view, 36> kFields = {"Date",
                                                                 "Time",
                                                                 "Tag",
                                                                 "Glucose (mg/dL)",
                                                                 "Bolus (IE)",
                                                                 "Basal (IE)",
                                                                 "Pump (IE)",
                                                                 "Correction (IE)",
                                                                 "Meal bolus (IE)",
                                                                 "HbA1c (%)",
                                                                 "Ketones",
                                                                 "Carbohydrates (g)",
                                                                 "Fibre (g)",
                                                                 "Duration (min)",
                                                                 "Intensity",
                                                                 "Activity",
                                                                 "Steps",
                                                                 "Note",
                                                                 "Location",
                                                                 "Tags",
                                                                 "Weight (kg)",
                                                                 "App",
                                                                 "System",
                                                                 "Device",
                                                                 "Sensor",
                                                                 "Time zone",
                                                                 "Locale",
                                                                 "Entry id",
                                                                 "Created",
                                                                 "Modified",
                                                                 "Source",
                                                                 "Meter",
                                                                 "Pen",
                                                                 "Pump model",
                                                                 "Reserved 1",
                                                                 "Reserved 2"};
    std::string line;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
      if (i > 0) line += ';';
      line += kFields[i];
    }
    line += "\r\n";
    return line;
  }

  // Appends the next data row (with its line end) to out.
  void AppendRow(std::string& out) {
    // Step back 0 to 9 minutes; one row in ten shares the minute of the row before.
    if (!first_) minute_ -= Below(10) == 0 ? 0 : 1 + Below(9);
    first_ = false;
    int year = 0, month = 0, day = 0;
    CivilFromDays(minute_ / 1440, year, month, day);
    const int hour = static_cast<int>(minute_ % 1440 / 60);
    const int minute = static_cast<int>(minute_ % 60);

    std::array<std::string, 36> f;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", day, month, year);
    f[0] = buffer;
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
    f[1] = buffer;

    static constexpr std::array<std::string_view, 5> kTags = {
        "Fr\xFChst\xFC"
        "ck",
        "Mittagessen", "Abendessen", "Nacht", ""};
    f[2] = kTags[Below(kTags.size())];

    const unsigned roll = Below(1000);
    if (roll < 700)
      f[3] = std::to_string(60 + Below(240));
    else if (roll < 701)
      f[3] = "HIGH";
    else if (roll < 702)
      f[3] = "Lo";
    if (Below(5) == 0)
      f[4] = Below(2) == 0 ? std::to_string(2 + Below(8)) : std::to_string(2 + Below(8)) + ",5";
    if (Below(20) == 0) f[5] = std::to_string(10 + Below(8));
    if (Below(33) == 0) {
      f[8] = std::to_string(1 + Below(4));
      f[7] = std::to_string(1 + Below(3));
    }
    if (Below(5) == 0)
      f[11] =
          Below(3) == 0 ? std::to_string(10 + Below(80)) + ",5" : std::to_string(10 + Below(80));
    if (Below(50) == 0) {
      f[13] = std::to_string(15 + Below(60));
      f[14] = Below(2) == 0 ? "mittel" : "";
      f[15] = "Laufen";
    }
    const unsigned note = Below(1000);
    if (note < 25)
      f[17] = "Kaffee getrunken";
    else if (note < 28)
      f[17] = "Messung mit Kontrolll\xF6sung " + std::to_string(100 + Below(30)) + " mg/dL";
    else if (note < 30)
      f[17] = "Gekennzeichnete Messung (z.B. Kontroll\xF6sung, andere Person etc.): " +
              std::to_string(90 + Below(30)) + " mg/dL";
    if (Below(20) == 0) f[19] = "nach Sport";
    if (Below(500) == 0) f[20] = std::to_string(70 + Below(20)) + ",4";

    // The columns the import does not use, filled as an app fills them.
    f[21] = "Tavrin 5.12.0 (4711)";
    f[22] = "Android 14";
    f[23] = "Pixel 7";
    f[24] = "3MH00A1B2C3";
    f[25] = "Europe/Berlin";
    f[26] = "de_DE";
    std::snprintf(buffer, sizeof buffer, "%08llx-%04x-%04x",
                  static_cast<unsigned long long>(Next() >> 32), Below(0x10000), Below(0x10000));
    f[27] = buffer;
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:00", year, month, day, hour,
                  minute);
    f[28] = buffer;
    f[29] = buffer;
    f[30] = "manual";

    for (std::size_t i = 0; i < f.size(); ++i) {
      if (i > 0) out += ';';
      out += f[i];
    }
    out += "\r\n";
  }

 private:
  std::uint64_t Next() {
    // splitmix64: the same sequence on every platform.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  unsigned Below(std::size_t n) { return static_cast<unsigned>(Next() % n); }

  static void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  }

  std::uint64_t state_;
  // Minutes since 1970-01-01 of the current row; starts at 2026-11-30 23:55.
  long long minute_ = 20787LL * 1440 + 23 * 60 + 55;
  bool first_ = true;
};

}  // namespace tavrin::tools
