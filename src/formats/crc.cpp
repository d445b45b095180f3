#include "formats/crc.h"

#include <string>

#include "shared/error.h"
#include "shared/two_halves.h"

namespace tavrin {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

cCRC::cCRC() {
  BuildTable();
}

void cCRC::SetCRCMode(int mode) {
  mode_ = mode;
  switch (mode) {
    case 1:  // CRC-16/MCRF4XX
      polynom_ = 0x1021;
      initValue_ = 0xFFFF;
      finalValue_ = 0x0000;
      reverseData_ = true;
      reverseCrc_ = true;
      indirectInit_ = false;
      break;
    case 2:  // CRC-16/ARC
      polynom_ = 0x8005;
      initValue_ = 0x0000;
      finalValue_ = 0x0000;
      reverseData_ = true;
      reverseCrc_ = true;
      indirectInit_ = true;
      break;
    case 3:  // CRC-16/XMODEM
      polynom_ = 0x1021;
      initValue_ = 0x0000;
      finalValue_ = 0x0000;
      reverseData_ = false;
      reverseCrc_ = false;
      indirectInit_ = false;
      break;
    default:
      return;
  }
  BuildTable();
}

void cCRC::SetPolynom(std::uint16_t polynom) {
  polynom_ = polynom;
  BuildTable();
}

std::uint16_t cCRC::ReflectBits(std::uint16_t value, int bitCount) {
  std::uint16_t result = 0;
  for (int i = 0; i < bitCount; ++i) {
    result = static_cast<std::uint16_t>((result << 1) | (value & 1));
    value >>= 1;
  }
  return result;
}

void cCRC::BuildTable() {
  for (int i = 0; i < 256; ++i) {
    auto r = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      r = (r & 0x8000) ? static_cast<std::uint16_t>((r << 1) ^ polynom_)
                       : static_cast<std::uint16_t>(r << 1);
    }
    table_[i] = r;
  }
  // Eight-byte tables. A byte that is followed by k more bytes has passed through k
  // further register steps with a zero input byte.
  forward_[0] = table_;
  for (int i = 0; i < 256; ++i) {
    reflected_[0][i] = ReflectBits(table_[ReflectBits(static_cast<std::uint16_t>(i), 8)], 16);
  }
  for (int k = 1; k < 8; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint16_t f = forward_[k - 1][i];
      forward_[k][i] = static_cast<std::uint16_t>(table_[f >> 8] ^ (f << 8));
      const std::uint16_t r = reflected_[k - 1][i];
      reflected_[k][i] = static_cast<std::uint16_t>(reflected_[0][r & 0xFF] ^ (r >> 8));
    }
  }
}

std::uint16_t cCRC::StartValue() const {
  std::uint16_t r = initValue_;
  if (indirectInit_) {
    for (int bit = 0; bit < 16; ++bit) {
      r = (r & 0x8000) ? static_cast<std::uint16_t>((r << 1) ^ polynom_)
                       : static_cast<std::uint16_t>(r << 1);
    }
  }
  return r;
}

std::uint16_t cCRC::Finish(std::uint16_t r) const {
  if (reverseCrc_) r = ReflectBits(r, 16);
  return static_cast<std::uint16_t>(r ^ finalValue_);
}

std::uint16_t cCRC::CRCBytewise(std::span<const std::uint8_t> data) const {
  std::uint16_t r = StartValue();
  for (std::uint8_t byte : data) {
    std::uint16_t b = byte;
    if (reverseData_) b = ReflectBits(b, 8);
    r = static_cast<std::uint16_t>(table_[((r >> 8) ^ b) & 0xFF] ^ ((r & 0xFF) << 8));
  }
  return Finish(r);
}

std::uint16_t cCRC::Run(std::uint16_t q, const std::uint8_t* p, std::size_t n) const {
  if (!reverseData_) {
    while (n >= 8) {
      q = static_cast<std::uint16_t>(forward_[7][p[0] ^ (q >> 8)] ^ forward_[6][p[1] ^ (q & 0xFF)] ^
                                     forward_[5][p[2]] ^ forward_[4][p[3]] ^ forward_[3][p[4]] ^
                                     forward_[2][p[5]] ^ forward_[1][p[6]] ^ forward_[0][p[7]]);
      p += 8;
      n -= 8;
    }
    for (; n > 0; --n, ++p) {
      q = static_cast<std::uint16_t>(forward_[0][(q >> 8) ^ *p] ^ ((q & 0xFF) << 8));
    }
    return q;
  }
  // Reflected input: work on the bit-reversed register, which takes the input bytes as
  // they stand, so no byte needs reflecting.
  while (n >= 8) {
    q = static_cast<std::uint16_t>(reflected_[7][p[0] ^ (q & 0xFF)] ^
                                   reflected_[6][p[1] ^ (q >> 8)] ^ reflected_[5][p[2]] ^
                                   reflected_[4][p[3]] ^ reflected_[3][p[4]] ^ reflected_[2][p[5]] ^
                                   reflected_[1][p[6]] ^ reflected_[0][p[7]]);
    p += 8;
    n -= 8;
  }
  for (; n > 0; --n, ++p) {
    q = static_cast<std::uint16_t>(reflected_[0][(q ^ *p) & 0xFF] ^ (q >> 8));
  }
  return q;
}

std::uint16_t cCRC::Result(std::uint16_t q) const {
  if (!reverseData_) return Finish(q);
  // The register in the reversed domain is already the reflected CRC.
  if (reverseCrc_) return static_cast<std::uint16_t>(q ^ finalValue_);
  return static_cast<std::uint16_t>(ReflectBits(q, 16) ^ finalValue_);
}

std::uint16_t cCRC::AfterZeros(std::uint16_t q, std::uint64_t count) const {
  using Matrix = std::array<std::uint16_t, 16>;  // column i: the image of bit i
  const auto apply = [](const Matrix& m, std::uint16_t v) {
    std::uint16_t out = 0;
    for (int i = 0; i < 16; ++i) {
      if ((v >> i) & 1) out = static_cast<std::uint16_t>(out ^ m[static_cast<std::size_t>(i)]);
    }
    return out;
  };
  const auto multiply = [&apply](const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (std::size_t i = 0; i < 16; ++i) out[i] = apply(a, b[i]);
    return out;
  };
  const std::uint8_t zero = 0;
  Matrix step{};
  for (std::size_t i = 0; i < 16; ++i) step[i] = Run(static_cast<std::uint16_t>(1u << i), &zero, 1);
  for (; count > 0; count >>= 1) {
    if (count & 1) q = apply(step, q);
    step = multiply(step, step);
  }
  return q;
}

std::uint16_t cCRC::CRC(std::span<const std::uint8_t> data) const {
  return CRC(data, ThreadUse{.oneThread = true});
}

std::uint16_t cCRC::CRC(std::span<const std::uint8_t> data, const ThreadUse& threads) const {
  const std::size_t half = threads.WorthTwoThreads(data.size()) ? data.size() / 2 : data.size();
  const std::uint16_t start = reverseData_ ? ReflectBits(StartValue(), 16) : StartValue();
  // The register is linear in the bytes: the second half's register, run from zero, is
  // joined to the first half's moved on by as many zero bytes as the second half holds.
  const auto [first, second] = RunTwoHalves(
      half < data.size(), [&] { return Run(start, data.data(), half); },
      [&] { return Run(0, data.data() + half, data.size() - half); });
  if (half == data.size()) return Result(first);
  return Result(static_cast<std::uint16_t>(AfterZeros(first, data.size() - half) ^ second));
}

std::uint16_t cCRC::CRC(const std::uint8_t* data, std::size_t length) const {
  if (data == nullptr) length = 0;
  return CRC(std::span<const std::uint8_t>(data, length));
}

std::uint16_t cCRC::CRC_Str(std::string_view ansiBytes) const {
  return CRC(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(ansiBytes.data()),
                                           ansiBytes.size()));
}

std::vector<std::uint8_t> cCRC::HexToByte(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve((hex.size() + 1) / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = i + 1 < hex.size() ? HexDigitValue(hex[i + 1]) : 0;
    if (high < 0 || low < 0) {
      throw RuntimeError(kErrInvalidArgument, "cCRC.HexToByte",
                         "Invalid hexadecimal text: \"" + std::string(hex) + "\"");
    }
    // A final single digit stands for a byte of its own ("A" is 0x0A).
    bytes.push_back(static_cast<std::uint8_t>(i + 1 < hex.size() ? high * 16 + low : high));
  }
  return bytes;
}

}  // namespace tavrin
