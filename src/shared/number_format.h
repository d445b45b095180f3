#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// mg/dL per mmol/L of blood glucose.
inline constexpr double kMgdlPerMmol = 18.0182;

// The program's number format: the platform's shortest text of a number. A single has
// at most 7 significant digits, a double at most 15; trailing zeros and a trailing
// decimal separator are dropped; exponent form ("1.5E+20", "1E-05") below 1E-04 and from
// 10^digits on; the decimal separator is the one given (the regional one).
std::string SingleToText(float value, std::string_view decimalSeparator);
std::string DoubleToText(double value, std::string_view decimalSeparator);

}  // namespace tavrin
