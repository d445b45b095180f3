#include "importer/export_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "importer/csv_fields.h"
#include "importer/date_parsing.h"
#include "importer/export_pieces.h"
#include "shared/error.h"
#include "shared/number_format.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// The header must reach the weight column.
constexpr std::size_t kMinHeaderFields = 21;

constexpr double kPoundsFactor = 2.2046;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsLowReading(std::string_view lowered) {
  return lowered == "niedrig" || lowered == "lo" || lowered == "low";
}

// A header field as a name to show: blanks and double quotes around it removed.
std::string HeaderName(std::string_view field) {
  while (!field.empty() && (IsBlank(field.front()) || field.front() == '"')) field.remove_prefix(1);
  while (!field.empty() && (IsBlank(field.back()) || field.back() == '"')) field.remove_suffix(1);
  return std::string(field);
}

}  // namespace

HeaderSettings ReadHeader(std::string_view header, const RegionalSettings& regional) {
  HeaderSettings settings;
  settings.separator = header.starts_with("Date;") || header.starts_with("\"Date\";") ? ';' : ',';
  // Only the first 21 fields matter. A file without CR LF is one long header line, and
  // splitting all of it would hold a view of every field of the file.
  std::vector<std::string_view> fields;
  SplitCsvFields(header, settings.separator, fields, kMinHeaderFields);
  if (fields.size() < kMinHeaderFields) {
    throw SubscriptError("ReadExportFile");
  }

  for (std::size_t i = 0; i < kRowFields; ++i) {
    if (column::IsReadColumn(i)) settings.columnNames[i] = HeaderName(fields[i]);
  }
  settings.exportUnit =
      FindNoCase(fields[column::kGlucose], "mg/dl") != std::string_view::npos ? "mg/dL" : "mmol/L";
  settings.mmol = settings.exportUnit == "mmol/L";

  // "Carbohydrates (BE 12)": the number at the end of the parenthesis converts the
  // export's carbohydrate units to grams; "(g)" and anything else not numeric leave 1.
  const std::string between = GetBetween(Trim(fields[column::kCarbs]), "(", ")");
  const std::u16string units = Utf8ToUtf16(between);
  const std::string lastTwo =
      Trim(Utf16ToUtf8(std::u16string_view(units).substr(units.size() > 2 ? units.size() - 2 : 0)));
  if (IsNumericText(lastTwo, regional)) {
    // The factor text is at most two characters, so its value is a small whole number
    // or a fraction; ParseDecimal reads either decimal separator.
    settings.carbFactor = std::nearbyint(static_cast<double>(ParseDecimal(lastTwo)));
  }

  // Blanks and quotes around the name change nothing: the unit is looked for inside.
  settings.pounds = FindNoCase(fields[column::kWeight], "lbs") != std::string_view::npos;
  return settings;
}

namespace {

// A positive correction amount; an empty field is no amount.
bool CorrectionSetsStarMarker(std::string_view correction) {
  return !correction.empty() && Val(correction) > 0;
}

}  // namespace

bool SetsStarMarker(std::string_view text, char separator, bool loneLineFeeds) {
  std::array<std::string_view, column::kCorrection + 1> leading;
  std::vector<std::string_view> fields;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position, loneLineFeeds);
    std::string_view correction;
    if (const std::optional<std::size_t> count = SplitPlainFields(line, separator, leading)) {
      if (*count <= column::kCorrection) return true;
      correction = leading[column::kCorrection];
    } else {
      SplitCsvFields(line, separator, fields, column::kCorrection + 1);
      if (fields.size() <= column::kCorrection) return true;
      correction = fields[column::kCorrection];
    }
    if (CorrectionSetsStarMarker(correction)) return true;
  }
  return false;
}

bool RowSetsStarMarker(const ExportRow& row, std::size_t fieldCount) {
  return fieldCount <= column::kCorrection || CorrectionSetsStarMarker(row[column::kCorrection]);
}

std::size_t SplitRow(std::string_view line, char separator, ExportRow& row,
                     std::vector<std::string_view>& scratch) {
  std::size_t count = 0;
  if (const std::optional<std::size_t> plain = SplitPlainFields(line, separator, row)) {
    count = *plain;
  } else {
    SplitCsvFields(line, separator, scratch, kRowFields);
    count = scratch.size();
    std::copy(scratch.begin(), scratch.end(), row.begin());
  }
  std::fill(row.begin() + static_cast<std::ptrdiff_t>(count), row.end(), std::string_view());
  return count;
}

void RowValueNotes::Add(ValueFate fate, std::size_t column, std::string_view text, int values) {
  if (count < kRoom) {
    items[count++] = {fate, static_cast<std::uint8_t>(column), static_cast<std::uint8_t>(values),
                      text};
  }
  if (fate == ValueFate::kKeptAsText) {
    ++keptAsText;
  } else {
    refused += values;
  }
}

std::string DoseText(const ExportRow& row) {
  std::string text(row[column::kInsulinFirst]);
  if (!text.empty() && !row[column::kInsulinSecond].empty()) text += '+';
  return text.append(row[column::kInsulinSecond]);
}

namespace {

// Codes 2 and 1: blood glucose, with the meter's words for readings out of its range.
void WriteGlucose(RowTable& rows, std::string_view glucose, const HeaderSettings& header,
                  const RegionalSettings& regional, RowValueNotes& notes) {
  const FieldNumber number = ExamineNumber(glucose, regional);
  if (number.isNumber) {
    if (const std::optional<std::string> text =
            GlucoseText(glucose, number, header.mmol, regional)) {
      rows.Add("1", *text);
    } else {
      notes.Add(ValueFate::kRefused, column::kGlucose, glucose);
    }
    return;
  }
  const std::string lowered = ToLower(glucose);
  if (lowered == "hoch" || lowered == "high") {
    rows.Add("1", "600");
    return;
  }
  if (IsLowReading(lowered)) {
    rows.Add("2", "--1");
    rows.Add("1", "20");
    return;
  }
  // A text that is no number ("HI", "<50", "120 mg/dL") goes to the host as it stands;
  // the conversion reads its leading number, which must fit its 16-bit value. Converted
  // from mmol/L such a text would become an invented value.
  const double leading = LeadingNumber(glucose);
  if (header.mmol || StatesUnreadableNumber(glucose) ||
      !(leading > -kMaxGlucose - 1.5 && leading < kMaxGlucose + 0.5)) {
    notes.Add(ValueFate::kRefused, column::kGlucose, glucose);
    return;
  }
  rows.Add("1", glucose);
  notes.Add(ValueFate::kKeptAsText, column::kGlucose, glucose);
}

// Code 3: carbohydrates in grams.
void WriteCarbs(RowTable& rows, std::string_view carbs, const HeaderSettings& header,
                const RegionalSettings& regional, RowValueNotes& notes) {
  const std::string_view dec = regional.decimalSeparator;
  if (std::optional<long long> grams = WholeCarbs(carbs, header.carbFactor)) {
    if (*grams >= kWholeNumberLimit) {
      notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
    } else if (*grams > 0) {
      rows.Add("3", std::to_string(*grams));
    }
    return;
  }
  if (std::optional<long long> tenths = TenthCarbs(carbs, header.carbFactor)) {
    // As DoubleToText writes the rounded grams: no ",0" for whole grams.
    if (*tenths > 0) {
      std::string text = std::to_string(*tenths / 10);
      if (*tenths % 10 != 0) text.append(dec).append(1, static_cast<char>('0' + *tenths % 10));
      rows.Add("3", text);
    }
    return;
  }
  const FieldNumber number = ExamineNumber(carbs, regional);
  if (!number.isNumber || number.wholeDigits > kMaxWholeDigits) {
    notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
    return;
  }
  const double grams =
      RoundTo(static_cast<double>(NumberValue(number, regional)) * header.carbFactor, 1);
  if (!WrittenPlain(grams)) {
    notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
  } else if (grams > 0) {
    rows.Add("3", DoubleToText(grams, dec));
  }
}

// Code 4 from columns 8 and 7: one value "a+b" when both are given. A sum that lacks a
// refused part would be another dose, so then neither part is written, both count as
// refused and the dose is noted once, as the export states it.
void WriteCombinedDose(RowTable& rows, const ExportRow& row, const RegionalSettings& regional,
                       RowValueNotes& notes) {
  using namespace column;
  std::string combined;
  int parts = 0;
  bool whole = true;
  for (const std::string_view part : {row[kInsulinFirst], row[kInsulinSecond]}) {
    if (part.empty()) continue;
    ++parts;
    bool read = false;
    SkipOnError([&] {
      const std::optional<std::string> text = AmountText(part, regional);
      if (!text) return;
      if (!combined.empty()) combined += '+';
      combined += *text;
      DropTrailingCommaZero(combined);
      read = true;
    });
    whole = whole && read;
  }
  if (whole) {
    if (!combined.empty()) rows.Add("4", combined);
    return;
  }
  // The note names the dose by its first column; its text is the dose as the export
  // states it (see DoseText).
  notes.Add(ValueFate::kDoseRefused, kInsulinFirst, {}, parts);
}

// Codes 4 and 5 from the single insulin columns.
void WriteSingleDoses(RowTable& rows, const ExportRow& row, bool starMarker,
                      const RegionalSettings& regional, RowValueNotes& notes) {
  using namespace column;
  const auto amount = [&](std::size_t index, std::string_view code, bool star) {
    if (row[index].empty()) return;
    SkipOnError([&] {
      std::optional<std::string> text = AmountText(row[index], regional);
      if (!text) {
        notes.Add(ValueFate::kRefused, index, row[index]);
        return;
      }
      if (star) *text += '*';
      rows.Add(code, *text);
    });
  };
  amount(kBolus, "4", starMarker);
  amount(kCorrection, "4", false);
  amount(kBasal, "5", false);
}

// Code 8: activity, "kind;duration;intensity" with "o" for a missing intensity. The
// duration is written as it stands, but must be a number.
void WriteActivity(RowTable& rows, const ExportRow& row, const RegionalSettings& regional,
                   RowValueNotes& notes) {
  using namespace column;
  if (row[kActivityDuration].empty() || row[kActivityKind].empty()) return;
  SkipOnError([&] {
    const FieldNumber duration = ExamineNumber(row[kActivityDuration], regional);
    if (!duration.isNumber || duration.wholeDigits > kMaxWholeDigits) {
      notes.Add(ValueFate::kRefused, kActivityDuration, row[kActivityDuration]);
      return;
    }
    std::string value(row[kActivityKind]);
    value.append(1, ';').append(row[kActivityDuration]).append(1, ';');
    value.append(row[kActivityIntensity].empty() ? std::string_view("o") : row[kActivityIntensity]);
    rows.Add("8", value);
  });
}

// Code 7: the note, led by the row's time.
void WriteNote(RowTable& rows, const ExportRow& row) {
  using namespace column;
  if (row[kNote].empty()) return;
  SkipOnError([&] {
    std::string value = NormalizeTime(row[kTime]);
    value.append(": ").append(row[kNote]);
    rows.Add("7", value);
  });
}

// Code 6: the blood pressure column without blanks; numbers in it must be readable.
void WriteBloodPressure(RowTable& rows, const ExportRow& row, const RegionalSettings& regional,
                        RowValueNotes& notes) {
  using namespace column;
  if (row[kTag].empty()) return;
  SkipOnError([&] {
    std::string value(row[kTag]);
    std::erase(value, ' ');
    if (value.empty()) return;
    if (IsUnreadableBloodPressure(value, regional)) {
      notes.Add(ValueFate::kRefused, kTag, row[kTag]);
      return;
    }
    rows.Add("6", value);
  });
}

// Code 9: body weight, in kilograms.
void WriteWeight(RowTable& rows, const ExportRow& row, const HeaderSettings& header,
                 const RegionalSettings& regional, RowValueNotes& notes) {
  using namespace column;
  if (row[kWeight].empty()) return;
  SkipOnError([&] {
    std::optional<std::string> value = AmountText(row[kWeight], regional);
    if (!value) {
      notes.Add(ValueFate::kRefused, kWeight, row[kWeight]);
      return;
    }
    if (header.pounds) {
      *value = DoubleToText(static_cast<double>(ParseDecimal(*value)) * kPoundsFactor,
                            regional.decimalSeparator);
    }
    rows.Add("9", *value);
  });
}

}  // namespace

void WriteRowLines(RowTable& rows, const ExportRow& row, const HeaderSettings& header,
                   bool starMarker, const RegionalSettings& regional, RowValueNotes& notes) {
  using namespace column;
  if (!row[kGlucose].empty()) {
    SkipOnError([&] { WriteGlucose(rows, row[kGlucose], header, regional, notes); });
  }
  if (!row[kCarbs].empty()) {
    SkipOnError([&] { WriteCarbs(rows, row[kCarbs], header, regional, notes); });
  }
  if (!row[kInsulinFirst].empty() || !row[kInsulinSecond].empty()) {
    WriteCombinedDose(rows, row, regional, notes);
  }
  WriteSingleDoses(rows, row, starMarker, regional, notes);
  WriteActivity(rows, row, regional, notes);
  WriteNote(rows, row);
  WriteBloodPressure(rows, row, regional, notes);
  WriteWeight(rows, row, header, regional, notes);
}

}  // namespace tavrin
