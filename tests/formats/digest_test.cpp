// The CRC engine, the software MD5 and the digest service.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "formats/crc.h"
#include "formats/hash_api.h"
#include "formats/md5.h"
#include "platform/system_crypto.h"
#include "shared/error.h"
#include "shared/two_halves.h"

namespace tavrin {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class DigestTest : public ::testing::Test {
 protected:
  DigestTest() { platform.crypto = &crypto; }
  SystemCrypto crypto;
  testing::FakePlatform platform;
  cHashAPI hash{platform};
};

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
// every length (remainders of 0..7 bytes) and unaligned starts, and so must the halves
// computed at once and joined.
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
    ASSERT_EQ(crc.CRC(data, ThreadUse{.twoThreadBytes = 1}), crc.CRCBytewise(data)) << round;
  }
}

TEST(Crc, HexToByteReadsPairsAndAFinalSingleDigit) {
  EXPECT_EQ(cCRC::HexToByte("0A5Cff"), (std::vector<std::uint8_t>{0x0A, 0x5C, 0xFF}));
  EXPECT_EQ(cCRC::HexToByte("ABC"), (std::vector<std::uint8_t>{0xAB, 0x0C}));
  EXPECT_TRUE(cCRC::HexToByte("").empty());
  for (const char* bad : {"0G", "1 2", "Z"}) EXPECT_THROW(cCRC::HexToByte(bad), RuntimeError);
}

// Every ASCII length around the block and padding boundaries against the system provider's
// MD5; beyond ASCII a character gives its low byte: U+00E4 gives E4, U+0100 gives 00, U+20AC
// keeps AC like U+00AC.
TEST_F(DigestTest, SoftwareMd5AgreesWithTheSystemProviderAndHashesLowBytes) {
  std::mt19937 rng(7);
  std::string text;
  for (std::size_t length = 0; length <= 200; ++length) {
    ASSERT_EQ(cMD5().MD5(text), hash.CreateMD5Hash(Bytes(text))) << "length " << length;
    text.push_back(static_cast<char>(' ' + rng() % 95));
  }
  const std::pair<std::string, const char*> beyondAscii[] = {
      {"\xC3\xA4", "c15bcc5577f9fade4b4a3256190a59b0"},
      {"\xC4\x80", "93b885adfe0da089cdf634904fd59f71"},
      {"x\xE2\x82\xACy", "c86ae9726f1872e26f0412b835325076"},
      {"x\xC2\xACy", "c86ae9726f1872e26f0412b835325076"}};
  for (const auto& [text, digest] : beyondAscii) EXPECT_EQ(cMD5().MD5(text), digest) << text;
  EXPECT_EQ(HashPrefix("message digest", 8), "F96B697D");
}

// Each algorithm over bytes, over a text and over a file, in lower-case hex; a file that
// cannot be read gives the empty text.
TEST_F(DigestTest, DigestsOfBytesTextsAndFiles) {
  struct Case {
    std::string (cHashAPI::*bytes)(std::span<const std::uint8_t>);
    std::string (cHashAPI::*text)(std::string_view);
    std::string (cHashAPI::*file)(const std::string&);
    const char* abc;
  };
  const Case cases[] = {
      {&cHashAPI::CreateMD5Hash, &cHashAPI::CreateMD5HashString, &cHashAPI::CreateMD5HashFile,
       "900150983cd24fb0d6963f7d28e17f72"},
      {&cHashAPI::CreateSHA1Hash, &cHashAPI::CreateSHA1HashString, &cHashAPI::CreateSHA1HashFile,
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {&cHashAPI::CreateSHA256Hash, &cHashAPI::CreateSHA256HashString,
       &cHashAPI::CreateSHA256HashFile,
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {&cHashAPI::CreateSHA384Hash, &cHashAPI::CreateSHA384HashString,
       &cHashAPI::CreateSHA384HashFile,
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed"
       "8086072ba1e7cc2358baeca134c825a7"},
      {&cHashAPI::CreateSHA512Hash, &cHashAPI::CreateSHA512HashString,
       &cHashAPI::CreateSHA512HashFile,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
  };
  testing::TempDir dir;
  const std::string binary("a\0\r\n\xFF", 5);  // read whole, as bytes
  std::ofstream(dir.File("data.bin"), std::ios::binary) << binary;
  for (const Case& c : cases) {
    EXPECT_EQ((hash.*c.bytes)(Bytes("abc")), c.abc);
    EXPECT_EQ((hash.*c.text)("abc"), c.abc);
    EXPECT_EQ((hash.*c.file)(dir.File("data.bin")), (hash.*c.bytes)(Bytes(binary)));
    EXPECT_EQ((hash.*c.file)(dir.File("missing.bin")), "");
  }
  // A text is hashed in the ANSI code page: "Grüße" is G r FC DF e in Windows-1252.
  EXPECT_EQ(hash.CreateMD5HashString("Grüße"), "2c987648c54e9054bf8c8c916b17d5c0");
  std::vector<std::uint8_t> utf8;
  EXPECT_TRUE(hash.ToUTF8("aä€", utf8));
  EXPECT_EQ(utf8, Bytes("aä€"));  // without byte-order mark
}

}  // namespace
}  // namespace tavrin
