#include "shared/number_format.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace tavrin {

namespace {

// printf's %G form with the given significant digits (trailing zeros already dropped by
// the general format), then the exponent letter in upper case and the decimal separator
// replaced.
template <typename Float>
std::string ShortestText(Float value, int digits, std::string_view decimalSeparator) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // also for -0
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
  std::string out;
  for (const char* p = buffer; p != result.ptr; ++p) {
    if (*p == '.') {
      out += decimalSeparator;
    } else if (*p == 'e') {
      out += 'E';
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

std::string SingleToText(float value, std::string_view decimalSeparator) {
  return ShortestText(value, 7, decimalSeparator);
}

std::string DoubleToText(double value, std::string_view decimalSeparator) {
  return ShortestText(value, 15, decimalSeparator);
}

}  // namespace tavrin
