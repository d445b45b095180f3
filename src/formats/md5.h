#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// MD5 (RFC 1321) of a text whose message bytes are the low eight bits of each UTF-16
// code unit: one byte per character, characters above U+00FF keep only their low byte.
// Self-contained, so the short codes derived from it never depend on the platform.
class cMD5 {
 public:
  // Lower-case hexadecimal digest, 32 digits.
  std::string MD5(std::string_view utf8Text) const;

 private:
  static void Transform(std::array<std::uint32_t, 4>& state, const std::uint8_t* block);
};

// The first `length` characters (at most all 32) of the upper-case MD5 digest of the text.
std::string HashPrefix(std::string_view text, std::size_t length);

}  // namespace tavrin
