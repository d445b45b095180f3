#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "handover/hs256.h"
#include "platform/posix/openssl_crypto.h"
#include "shared/error.h"

// Base64 and hex text through cHS256::Encode and Decode. Expected texts are the layouts
// Windows' CryptBinaryToString writes.
namespace tavrin {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}
std::vector<std::uint8_t> Counting(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

enum Format { kBase64 = 0, kHex = 1, kHexAscii = 2, kHexAddr = 3, kHexAsciiAddr = 4, kHexRaw = 5 };
enum Breaks { kCrLf = 0, kLf = 1, kNone = 2 };

class BinaryTextTest : public ::testing::Test {
 protected:
  // The service binds the platform's provider when it is created.
  static testing::FakePlatform PlatformWith(CryptoProvider& crypto) {
    testing::FakePlatform platform;
    platform.crypto = &crypto;
    return platform;
  }
  OpenSslCrypto crypto;
  testing::FakePlatform platform = PlatformWith(crypto);
  cHS256 hs{platform};
};

TEST_F(BinaryTextTest, Base64Rfc4648Vectors) {
  EXPECT_EQ(hs.Encode(Bytes(""), kBase64, kCrLf), "");
  EXPECT_EQ(hs.Encode(Bytes("f"), kBase64, kCrLf), "Zg==\r\n");
  EXPECT_EQ(hs.Encode(Bytes("fo"), kBase64, kCrLf), "Zm8=\r\n");
  EXPECT_EQ(hs.Encode(Bytes("foo"), kBase64, kCrLf), "Zm9v\r\n");
  EXPECT_EQ(hs.Encode(Bytes("foob"), kBase64, kCrLf), "Zm9vYg==\r\n");
  EXPECT_EQ(hs.Encode(Bytes("fooba"), kBase64, kCrLf), "Zm9vYmE=\r\n");
  EXPECT_EQ(hs.Encode(Bytes("foobar"), kBase64, kCrLf), "Zm9vYmFy\r\n");
  EXPECT_EQ(hs.Encode(Bytes("foobar"), kBase64, kLf), "Zm9vYmFy\n");
  EXPECT_EQ(hs.Encode(Bytes("foobar"), kBase64, kNone), "Zm9vYmFy");
  for (const char* text : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
    EXPECT_EQ(hs.Decode(hs.Encode(Bytes(text), kBase64, kCrLf), kBase64), Bytes(text)) << text;
  }
}

TEST_F(BinaryTextTest, Base64LinesOf64Characters) {
  std::string line;
  for (int i = 0; i < 16; ++i) line += "YWFh";
  const auto data = Bytes(std::string(49, 'a') + std::string(1, '\0'));
  EXPECT_EQ(hs.Encode(data, kBase64, kCrLf), line + "\r\nYQA=\r\n");
  EXPECT_EQ(hs.Encode(data, kBase64, kLf), line + "\nYQA=\n");
  EXPECT_EQ(hs.Encode(data, kBase64, kNone), line + "YQA=");
  // Exactly one full line: no empty line after it.
  EXPECT_EQ(hs.Encode(Bytes(std::string(48, 'a')), kBase64, kCrLf), line + "\r\n");
}

TEST_F(BinaryTextTest, Base64DecodingIgnoresBlanksAndBreaks) {
  EXPECT_EQ(hs.Decode("Zm9v\r\nYmFy\r\n", kBase64), Bytes("foobar"));
  EXPECT_EQ(hs.Decode(" Zm 9v\tYm\nFy ", kBase64), Bytes("foobar"));
  EXPECT_EQ(hs.Decode("Zm9vYg", kBase64), Bytes("foob"));  // padding may be left out
}

TEST_F(BinaryTextTest, HexRows) {
  const auto data = Counting(17);
  EXPECT_EQ(hs.Encode(data, kHex, kCrLf),
            "00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n10\r\n");
  EXPECT_EQ(hs.Encode(data, kHex, kLf), "00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\n10\n");
  EXPECT_EQ(hs.Encode(data, kHex, kNone), "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10");
  EXPECT_EQ(hs.Encode(Counting(3), kHex, kCrLf), "00 01 02\r\n");
}

TEST_F(BinaryTextTest, HexWithOffsets) {
  EXPECT_EQ(hs.Encode(Counting(17), kHexAddr, kCrLf),
            "0000    00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f\r\n"
            "0010    10\r\n");
}

TEST_F(BinaryTextTest, HexWithCharacters) {
  EXPECT_EQ(hs.Encode(Bytes("AB\n"), kHexAscii, kCrLf),
            "41 42 0a" + std::string(43, ' ') + "AB.\r\n");
  EXPECT_EQ(hs.Encode(Bytes("0123456789abcdef~\x7F"), kHexAsciiAddr, kLf),
            "0000    30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66   0123456789abcdef\n"
            "0010    7e 7f" +
                std::string(46, ' ') + "~.\n");
}

TEST_F(BinaryTextTest, RawHex) {
  const std::vector<std::uint8_t> data = {0x00, 0xFF, 0x10};
  EXPECT_EQ(hs.Encode(data, kHexRaw, kCrLf), "00ff10\r\n");
  EXPECT_EQ(hs.Encode(data, kHexRaw, kLf), "00ff10\n");
  EXPECT_EQ(hs.Encode(data, kHexRaw, kNone), "00ff10");
  EXPECT_EQ(hs.Decode("00FF10", kHexRaw), data);
  EXPECT_EQ(hs.Decode("00-ff,10\r\n", kHex), data);
}

// Every format and line-break choice reads back what it wrote, including rows whose
// character column holds blanks and digits and offsets beyond four digits.
TEST_F(BinaryTextTest, EveryLayoutRoundTrips) {
  std::mt19937 rng(99);
  for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 255u, 70000u}) {
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    if (size >= 16) std::fill(data.begin(), data.begin() + 8, ' ');
    for (int format = 0; format <= 5; ++format) {
      for (int breaks = 0; breaks <= 2; ++breaks) {
        const std::string text = hs.Encode(data, format, breaks);
        ASSERT_EQ(hs.Decode(text, format), data)
            << "size " << size << " format " << format << " breaks " << breaks;
      }
    }
  }
}

TEST_F(BinaryTextTest, BadTextRaisesOnDecoding) {
  for (auto [text, format] : std::vector<std::pair<std::string, int>>{
           {"Zm9v!", kBase64},
           {"Zm9vY", kBase64},     // a lone character makes no byte
           {"Zg==Zm8=", kBase64},  // data after the padding
           {"0a5", kHex},
           {"0x12", kHexRaw},
           {"0000    0g", kHexAddr},
           {"41 42", kHexAscii}}) {  // the character column is missing
    try {
      hs.Decode(text, format);
      ADD_FAILURE() << "no error for " << text;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), 0x8004C302) << text;
      EXPECT_EQ(e.Source(), "HS256.Decode");
      EXPECT_EQ(e.Description(), "Failed to determine decoded length, system error 13");
    }
  }
}

TEST_F(BinaryTextTest, UnknownFormatsRaise) {
  try {
    hs.Encode(Bytes("x"), 6, 0);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 0x8004C30A);
    EXPECT_EQ(e.Source(), "HS256.Encode");
    EXPECT_EQ(e.Description(), "Failed to determine encoded length, system error 87");
  }
  EXPECT_THROW(hs.Encode(Bytes("x"), 0, 3), RuntimeError);
  EXPECT_THROW(hs.Decode("00", -1), RuntimeError);
}

}  // namespace
}  // namespace tavrin
