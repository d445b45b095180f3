#include "formats/crc.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "shared/error.h"

namespace tavrin {
namespace {

// Check values of the CRC catalogue ("123456789"). One engine throughout: each preset must
// rebuild the tables of the one before, and another mode number keeps what it finds.
TEST(Crc, CatalogueCheckValues) {
  cCRC crc;
  EXPECT_EQ(crc.CRC_Str("123456789"), 0x6F91);  // CRC-16/MCRF4XX, the default
  EXPECT_EQ(crc.CRC_Str("abc"), 0x61DA);
  EXPECT_EQ(crc.CRC(nullptr, 0), 0xFFFF);
  crc.SetFinalValue(0xFFFF);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0x906E);  // CRC-16/X-25
  crc.SetCRCMode(2);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0xBB3D);  // CRC-16/ARC
  crc.SetCRCMode(3);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0x31C3);  // CRC-16/XMODEM
  crc.SetPolynom(0x8005);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0xFEE8);  // CRC-16/UMTS
  crc.SetCRCMode(7);
  crc.SetPolynom(0x1021);
  crc.SetIndirectInit(true);
  crc.SetInitValue(0xFFFF);                     // 0xFFFF indirect is 0x1D0F direct
  EXPECT_EQ(crc.CRC_Str("123456789"), 0xE5CC);  // CRC-16/AUG-CCITT
  crc.SetCRCMode(1);
  EXPECT_EQ(crc.CRC_Str("123456789"), 0x6F91);
}

// The eight-byte method must agree with the plain one for every parameter combination,
// every length (remainders of 0..7 bytes) and unaligned starts.
TEST(Crc, FastMethodAgreesWithThePlainOne) {
  std::mt19937 rng(20240611);
  std::vector<std::uint8_t> buffer(300);
  for (auto& b : buffer) b = static_cast<std::uint8_t>(rng());
  for (int round = 0; round < 400; ++round) {
    cCRC crc;
    crc.SetPolynom(static_cast<std::uint16_t>(rng()));
    crc.SetInitValue(static_cast<std::uint16_t>(rng()));
    crc.SetFinalValue(static_cast<std::uint16_t>(rng()));
    crc.SetIndirectInit(rng() & 1);
    crc.SetReverseData(rng() & 1);
    crc.SetReverseCRC(rng() & 1);
    const std::span<const std::uint8_t> data(buffer.data() + round % 8, round % 292);
    ASSERT_EQ(crc.CRC(data), crc.CRCBytewise(data)) << "round " << round;
  }
}

TEST(Crc, HexToByteReadsPairsAndAFinalSingleDigit) {
  EXPECT_EQ(cCRC::HexToByte("0A5Cff"), (std::vector<std::uint8_t>{0x0A, 0x5C, 0xFF}));
  EXPECT_EQ(cCRC::HexToByte("ABC"), (std::vector<std::uint8_t>{0xAB, 0x0C}));
  EXPECT_TRUE(cCRC::HexToByte("").empty());
  for (const char* bad : {"0G", "1 2", "Z"}) EXPECT_THROW(cCRC::HexToByte(bad), RuntimeError);
}

}  // namespace
}  // namespace tavrin
