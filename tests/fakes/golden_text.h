#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tavrin::testing {

// Expected documents are written in the tests with LF line ends for readability; the
// host formats use CR LF.
inline std::string WithCrLf(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// CRC-16/MCRF4XX computed bit by bit, independent of the table-driven engine, for
// cross-checking the check values of expected documents.
inline std::uint16_t BitwiseMcrf4xx(std::string_view bytes) {
  std::uint16_t r = 0xFFFF;
  for (unsigned char b : bytes) {
    r ^= b;
    for (int i = 0; i < 8; ++i) {
      r = static_cast<std::uint16_t>((r >> 1) ^ ((r & 1) ? 0x8408 : 0));
    }
  }
  return r;
}

// Four upper-case hexadecimal digits, as the CHECK element writes them.
inline std::string Hex4(std::uint16_t value) {
  char buffer[5];
  std::snprintf(buffer, sizeof buffer, "%04X", value);
  return buffer;
}

}  // namespace tavrin::testing
