#include "formats/md5.h"

#include <vector>

#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// Per-step left-rotation amounts of the four rounds.
constexpr std::array<int, 64> kShift = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,  // round 1
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,  // round 2
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,  // round 3
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,  // round 4
};

// floor(abs(sin(i + 1)) * 2^32).
constexpr std::array<std::uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

}  // namespace

void cMD5::Transform(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::uint32_t x[16];
  for (std::size_t i = 0; i < 16; ++i) {
    x[i] = static_cast<std::uint32_t>(block[i * 4]) |
           (static_cast<std::uint32_t>(block[i * 4 + 1]) << 8) |
           (static_cast<std::uint32_t>(block[i * 4 + 2]) << 16) |
           (static_cast<std::uint32_t>(block[i * 4 + 3]) << 24);
  }
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int k;
    if (i < 16) {
      f = (b & c) | (~b & d);  // F
      k = i;
    } else if (i < 32) {
      f = (b & d) | (c & ~d);  // G
      k = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;  // H
      k = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);  // I
      k = (7 * i) % 16;
    }
    const std::uint32_t rotated = RotateLeft(a + f + kSine[i] + x[k], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

std::string cMD5::MD5(std::string_view utf8Text) const {
  const std::u16string units = Utf8ToUtf16(utf8Text);
  std::vector<std::uint8_t> message;
  // Message, 0x80, zero padding to 56 bytes modulo 64, then the bit length.
  const std::size_t blocks = (units.size() + 8) / 64 + 1;
  message.reserve(blocks * 64);
  for (char16_t unit : units) message.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  const std::uint64_t bitLength = static_cast<std::uint64_t>(units.size()) * 8;
  message.push_back(0x80);
  message.resize(blocks * 64 - 8, 0);
  for (int i = 0; i < 8; ++i) message.push_back(static_cast<std::uint8_t>(bitLength >> (8 * i)));

  std::array<std::uint32_t, 4> state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  for (std::size_t offset = 0; offset < message.size(); offset += 64) {
    Transform(state, message.data() + offset);
  }

  std::string text;
  text.reserve(32);
  for (std::uint32_t word : state) {
    for (int i = 0; i < 4; ++i) {
      AppendHex(text, static_cast<std::uint8_t>(word >> (8 * i)), HexLetters::kLower);
    }
  }
  return text;
}

std::string HashPrefix(std::string_view text, std::size_t length) {
  std::string digest = cMD5().MD5(text);
  for (char& c : digest) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return digest.substr(0, length < digest.size() ? length : digest.size());
}

}  // namespace tavrin
