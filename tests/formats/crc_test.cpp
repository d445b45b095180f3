#include "formats/crc.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "shared/error.h"

namespace tavrin {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// Bit-by-bit CRC written straight from the parameter model, independent of the tables.
std::uint16_t BitwiseCrc(const cCRC& p, const std::vector<std::uint8_t>& data) {
  auto reflect = [](unsigned value, int bits) {
    unsigned result = 0;
    for (int i = 0; i < bits; ++i) result |= ((value >> i) & 1u) << (bits - 1 - i);
    return result;
  };
  unsigned r = p.InitValue();
  if (p.IndirectInit()) {
    for (int i = 0; i < 16; ++i) r = (r & 0x8000) ? ((r << 1) ^ p.Polynom()) : (r << 1);
    r &= 0xFFFF;
  }
  for (std::uint8_t byte : data) {
    const unsigned b = p.ReverseData() ? reflect(byte, 8) : byte;
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = (((r >> 15) ^ (b >> bit)) & 1u) != 0;
      r = (r << 1) & 0xFFFF;
      if (feedback) r ^= p.Polynom();
    }
  }
  if (p.ReverseCRC()) r = reflect(r, 16);
  return static_cast<std::uint16_t>(r ^ p.FinalValue());
}

TEST(CrcPresets, CheckValuesOfTheThreeModes) {
  const auto check = Bytes("123456789");
  cCRC crc;
  EXPECT_EQ(crc.CRCMode(), 1);
  EXPECT_EQ(crc.CRC(check), 0x6F91);
  crc.SetCRCMode(2);  // the table must follow the preset's polynomial 0x8005
  EXPECT_EQ(crc.CRC(check), 0xBB3D);
  crc.SetCRCMode(3);
  EXPECT_EQ(crc.CRC(check), 0x31C3);
  crc.SetCRCMode(1);
  EXPECT_EQ(crc.CRC(check), 0x6F91);
}

TEST(CrcPresets, AbcInEveryModeMatchesTheBitwiseModel) {
  const auto abc = Bytes("abc");
  cCRC crc;
  EXPECT_EQ(crc.CRC(abc), 0x61DA);
  for (int mode = 1; mode <= 3; ++mode) {
    crc.SetCRCMode(mode);
    EXPECT_EQ(crc.CRC(abc), BitwiseCrc(crc, abc)) << "mode " << mode;
    EXPECT_EQ(crc.CRCBytewise(abc), BitwiseCrc(crc, abc)) << "mode " << mode;
  }
}

TEST(CrcPresets, OtherModeNumbersKeepTheParameters) {
  cCRC crc;
  crc.SetCRCMode(3);
  crc.SetCRCMode(7);
  EXPECT_EQ(crc.CRCMode(), 7);
  EXPECT_EQ(crc.Polynom(), 0x1021);
  EXPECT_FALSE(crc.ReverseData());
  EXPECT_EQ(crc.CRC(Bytes("123456789")), 0x31C3);
}

TEST(CrcEmpty, LengthZeroGivesTheProcessedInitialValue) {
  cCRC crc;
  EXPECT_EQ(crc.CRC(std::vector<std::uint8_t>{}), 0xFFFF);
  EXPECT_EQ(crc.CRC(nullptr, 0), 0xFFFF);
  crc.SetCRCMode(3);
  crc.SetInitValue(0x1234);
  crc.SetFinalValue(0x00FF);
  crc.SetReverseCRC(true);
  EXPECT_EQ(crc.CRC(std::vector<std::uint8_t>{}), 0x2C48 ^ 0x00FF);
}

TEST(CrcInputs, LengthAndTextForms) {
  const auto data = Bytes("123456789xyz");
  cCRC crc;
  EXPECT_EQ(crc.CRC(data.data(), 9), 0x6F91);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0x6F91);
  EXPECT_EQ(crc.CRC_Str(std::string("\xE4\xF6", 2)), BitwiseCrc(crc, {0xE4, 0xF6}));
}

TEST(CrcInputs, SettingThePolynomRebuildsTheTable) {
  cCRC crc;
  crc.SetCRCMode(3);
  crc.SetPolynom(0x8005);
  const auto data = Bytes("The quick brown fox");
  EXPECT_EQ(crc.CRC(data), BitwiseCrc(crc, data));
  EXPECT_EQ(crc.CRCBytewise(data), BitwiseCrc(crc, data));
}

// The eight-byte method must agree with the plain one for every parameter combination,
// every length (remainders of 0..7 bytes) and unaligned starts.
TEST(CrcFastMethod, AgreesWithThePlainMethodOverRandomParameters) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> word(0, 0xFFFF);
  std::vector<std::uint8_t> buffer(300);
  for (auto& b : buffer) b = static_cast<std::uint8_t>(byte(rng));
  for (int round = 0; round < 400; ++round) {
    cCRC crc;
    crc.SetPolynom(static_cast<std::uint16_t>(word(rng)));
    crc.SetInitValue(static_cast<std::uint16_t>(word(rng)));
    crc.SetFinalValue(static_cast<std::uint16_t>(word(rng)));
    crc.SetIndirectInit(rng() & 1);
    crc.SetReverseData(rng() & 1);
    crc.SetReverseCRC(rng() & 1);
    const std::size_t start = rng() % 8;
    const std::size_t length = rng() % (buffer.size() - start);
    const std::span<const std::uint8_t> data(buffer.data() + start, length);
    ASSERT_EQ(crc.CRC(data), crc.CRCBytewise(data)) << "round " << round;
    if (round % 20 == 0) {
      ASSERT_EQ(crc.CRC(data), BitwiseCrc(crc, {data.begin(), data.end()})) << "round " << round;
    }
  }
}

TEST(CrcHexToByte, PairsAndAFinalSingleDigit) {
  EXPECT_EQ(cCRC::HexToByte("0A5C"), (std::vector<std::uint8_t>{0x0A, 0x5C}));
  EXPECT_EQ(cCRC::HexToByte("ff"), (std::vector<std::uint8_t>{0xFF}));
  EXPECT_EQ(cCRC::HexToByte("ABC"), (std::vector<std::uint8_t>{0xAB, 0x0C}));
  EXPECT_TRUE(cCRC::HexToByte("").empty());
}

TEST(CrcHexToByte, NonHexDigitsRaise) {
  EXPECT_THROW(cCRC::HexToByte("0G"), RuntimeError);
  EXPECT_THROW(cCRC::HexToByte("1 2"), RuntimeError);
  try {
    cCRC::HexToByte("Z");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), kErrInvalidArgument);
  }
}

}  // namespace
}  // namespace tavrin
