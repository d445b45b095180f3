#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "shared/regional.h"

namespace tavrin {

// How the export's numeric fields are read: which texts state a number the program can
// hold, and the text each is written as in the row text.

// The conversion holds a glucose value as a 16-bit whole number.
constexpr double kMaxGlucose = 32767;
// A number of more whole digits is 10^7 or more, which the program's number format (that
// of a single) writes in exponent form.
constexpr std::size_t kMaxWholeDigits = 7;
constexpr long long kWholeNumberLimit = 10000000;

// How a field states a number (see ExamineNumber).
struct FieldNumber {
  std::string_view text;  // the field without blanks around it
  bool isNumber = false;
  bool grouped = false;         // with thousands separators
  std::size_t wholeDigits = 0;  // digits of the whole part, leading zeros not counted
};

// How the field states a number: digits with at most one "." or "," as the decimal
// separator, or a whole part grouped in threes by a regional thousands separator that is
// neither "." nor ",", with the regional decimal separator; blanks around it ignored.
FieldNumber ExamineNumber(std::string_view field, const RegionalSettings& regional);

// The value of a number field whose whole part has at most kMaxWholeDigits digits.
float NumberValue(const FieldNumber& number, const RegionalSettings& regional);

// Whether the program's number format writes the value without exponent, so that the
// conversion reads its text back as the same number.
bool WrittenPlain(double value);

// Removes a trailing ",0" from the text of a number: a field taken as a number is written
// in the program's number format without it.
void DropTrailingCommaZero(std::string& text);

// The text of an amount field as a number in the program's number format, without a
// trailing ",0"; nullopt for a field that is no number the program can hold.
std::optional<std::string> AmountText(std::string_view field, const RegionalSettings& regional);

// The code-1 text of a glucose field that is a number; nullopt when the conversion could
// not hold the value. In mg/dL a plain number stays as it is written.
std::optional<std::string> GlucoseText(std::string_view field, const FieldNumber& number, bool mmol,
                                       const RegionalSettings& regional);

// Carbohydrates given in whole units (the common case): the amount times the whole-number
// factor, exact without the round trip through floating point. nullopt for other texts.
std::optional<long long> WholeCarbs(std::string_view field, double factor);

// Carbohydrates with one decimal ("80,5"), the other common form: the product in tenths
// of a gram, exact. The general way reads the amount as a single, within 6e-8 of it, and
// rounds the product to tenths; below 100,000 g the error stays far from half a tenth, so
// both come to the same tenths. nullopt for other texts and for factors that are not
// whole numbers from 0 to 100.
std::optional<long long> TenthCarbs(std::string_view field, double factor);

// Whether the blood pressure column (blanks removed) states numbers the program cannot
// read. It states numbers when every part between "/" is a number or states one
// (StatesUnreadableNumber); then it must be one number or two ("systolic/diastolic"),
// each one the program can read. A text that states no number (a tag such as "P1") is no
// blood pressure and stands as it is: false.
bool IsUnreadableBloodPressure(std::string_view text, const RegionalSettings& regional);

// Whether a text that is no plain number still states one in a form the program cannot
// read as that number: an exponent form, NaN or Infinity, a hexadecimal number, digits
// other than ASCII ones, a sign before the number, both "." and "," or two of either, or
// nothing but digits, separators and blanks.
bool StatesUnreadableNumber(std::string_view text);

// True when the whole text is a number in the regional format: blanks around it, an
// optional sign, digits with the regional thousands separator between digits of the whole
// part, and an optional regional decimal separator followed by digits.
bool IsNumericText(std::string_view text, const RegionalSettings& regional);

}  // namespace tavrin
