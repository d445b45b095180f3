// The HMAC and text service: known answers, the text layouts of Windows'
// CryptBinaryToString, and the run-time errors by number, source and description.

#include "handover/hs256.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "handover_fixture.h"

namespace tavrin {
namespace {

using Bytes = std::vector<std::uint8_t>;
Bytes B(std::string_view text) {
  return {text.begin(), text.end()};
}
enum Format { kBase64, kHex, kHexAscii, kHexAddr, kHexAsciiAddr, kHexRaw };
enum Breaks { kCrLf, kLf, kNone };

class FailingHmac : public OpenSslCrypto {
 public:
  bool HmacSha256(std::span<const std::uint8_t>, std::span<const std::uint8_t>,
                  std::vector<std::uint8_t>&) override {
    return false;
  }
  std::uint32_t LastError() const override { return 0x80090008; }
};

class Hs256Test : public testing::HandoverTest {
 protected:
  // The first 128 bits of the MAC, which RFC 4231 publishes for every case.
  std::string Mac(const Bytes& key, const Bytes& data) {
    hs.InitHmac(key);
    Bytes mac;
    EXPECT_TRUE(hs.HmacSha256(data, mac));
    return cHS256::ByteArrayToHexString(mac).substr(0, 32);
  }
  // The run-time error the call raises: number (hex), source and description.
  static std::string Raised(const std::function<void()>& call) {
    try {
      call();
    } catch (const RuntimeError& e) {
      char number[16];
      std::snprintf(number, sizeof number, "%llX", static_cast<unsigned long long>(e.Number()));
      return number + (" " + e.Source()) + ": " + e.Description();
    }
    return "none";
  }
  cHS256 hs{platform};
};

TEST_F(Hs256Test, KnownAnswers) {
  Bytes counting(25);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i + 1);
  const std::string longData =
      "This is a test using a larger than block-size key and a larger than block-size data. "
      "The key needs to be hashed before being used by the HMAC algorithm.";
  EXPECT_EQ(Mac(Bytes(20, 0x0B), B("Hi There")), "B0344C61D8DB38535CA8AFCEAF0BF12B");
  EXPECT_EQ(Mac(B("Jefe"), B("what do ya want for nothing?")), "5BDCC146BF60754E6A042426089575C7");
  EXPECT_EQ(Mac(Bytes(20, 0xAA), Bytes(50, 0xDD)), "773EA91E36800E46854DB8EBD09181A7");
  EXPECT_EQ(Mac(counting, Bytes(50, 0xCD)), "82558A389A443C0EA4CC819899F2083A");
  EXPECT_EQ(Mac(Bytes(20, 0x0C), B("Test With Truncation")), "A3B6167473100EE06E0C796C2955552B");
  EXPECT_EQ(Mac(Bytes(131, 0xAA), B("Test Using Larger Than Block-Size Key - Hash Key First")),
            "60E431591EE0B67F0D8A26AACBF5B77F");
  EXPECT_EQ(Mac(Bytes(131, 0xAA), B(longData)), "9B09FFA71B942FCB27635FBCD5B0E944");
  EXPECT_EQ(Mac({}, {}), "B613679A0814D9EC772F95D778C35FC5");
  EXPECT_EQ(cHS256::ByteArrayToHexString(hs.MD5(B("abc"))), "900150983CD24FB0D6963F7D28E17F72");
  // RFC 4648, each text closed by its line break.
  std::string base64;
  for (const char* text : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
    base64 += hs.Encode(B(text), kBase64, kCrLf);
  }
  EXPECT_EQ(base64, "Zg==\r\nZm8=\r\nZm9v\r\nZm9vYg==\r\nZm9vYmE=\r\nZm9vYmFy\r\n");
}

TEST_F(Hs256Test, TextLayouts) {
  Bytes counting(17);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i);
  const std::string row = "00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f";
  std::string line64;
  for (int i = 0; i < 16; ++i) line64 += "YWFh";
  const Bytes a49 = B(std::string(49, 'a') + std::string(1, '\0'));
  // clang-format off
  const std::tuple<Bytes, int, int, std::string> cases[] = {
      {a49, kBase64, kCrLf, line64 + "\r\nYQA=\r\n"},     {a49, kBase64, kNone, line64 + "YQA="},
      {B(std::string(48, 'a')), kBase64, kLf, line64 + "\n"},  // no empty line after a full one
      {counting, kHex, kCrLf, row + "\r\n10\r\n"},          {counting, kHexRaw, kNone, "000102030405060708090a0b0c0d0e0f10"},
      {counting, kHex, kNone, "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10"},
      {counting, kHexAddr, kCrLf, "0000    " + row + "\r\n0010    10\r\n"},
      {B("AB\n"), kHexAscii, kCrLf, "41 42 0a" + std::string(43, ' ') + "AB.\r\n"},
      {B("0123456789abcdef~\x7F"), kHexAsciiAddr, kLf,
       "0000    30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66   0123456789abcdef\n0010    7e 7f" +
           std::string(46, ' ') + "~.\n"},
      {{0x00, 0xFF, 0x10}, kHexRaw, kCrLf, "00ff10\r\n"},
  };
  // clang-format on
  for (const auto& [data, format, breaks, text] : cases) {
    EXPECT_EQ(hs.Encode(data, format, breaks), text) << format << " " << breaks;
  }
  // Reading ignores blanks and breaks, misses no padding and takes separated pairs.
  EXPECT_EQ(hs.Decode(" Zm 9v\tYm\r\nFy ", kBase64), B("foobar"));
  EXPECT_EQ(hs.Decode("Zm9vYg", kBase64), B("foob"));
  EXPECT_EQ(hs.Decode("00-FF,10\r\n", kHex), (Bytes{0x00, 0xFF, 0x10}));
}

// Every format and line-break choice reads back what it wrote, including rows whose
// character column holds blanks and digits and offsets beyond four digits.
TEST_F(Hs256Test, EveryLayoutRoundTrips) {
  std::mt19937 rng(99);
  for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 255u, 70000u}) {
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    if (size >= 16) std::fill(data.begin(), data.begin() + 8, ' ');
    for (int format = 0; format <= 5; ++format) {
      for (int breaks = 0; breaks <= 2; ++breaks) {
        ASSERT_EQ(hs.Decode(hs.Encode(data, format, breaks), format), data)
            << "size " << size << " format " << format << " breaks " << breaks;
      }
    }
  }
}

TEST_F(Hs256Test, FailuresRaiseNumberedErrors) {
  // clang-format off
  for (const auto& [text, format] : std::vector<std::pair<std::string, int>>{
           {"Zm9v!", kBase64}, {"Zm9vY", kBase64} /* a lone character */, {"Zg==Zm8=", kBase64},
           {"0a5", kHex}, {"0x12", kHexRaw}, {"0000    0g", kHexAddr}, {"41 42", kHexAscii}}) {
    EXPECT_EQ(Raised([&] { hs.Decode(text, format); }),
              "8004C302 HS256.Decode: Failed to determine decoded length, system error 13") << text;
  }
  // Cut off, never valid, overlong "/", surrogate, above U+10FFFF, bad continuation.
  for (const Bytes& bytes : std::vector<Bytes>{{0xC3}, {'a', 0xFF}, {0xC0, 0xAF}, {0xED, 0xA0, 0x80},
                                               {0xF4, 0x90, 0x80, 0x80}, {0xE2, 0x28, 0xA1}}) {
    EXPECT_EQ(Raised([&] { hs.FromUTF8(bytes); }),
              "8004C312 HS256.FromUTF8: Failed to decode string, system error 1113");
  }
  // clang-format on
  EXPECT_EQ(hs.FromUTF8(B("Größe 😀")), "Größe 😀");
  EXPECT_EQ(Raised([&] { hs.Encode(B("x"), 6, 0); }) + Raised([&] { hs.Encode(B("x"), 0, 3); }),
            "8004C30A HS256.Encode: Failed to determine encoded length, system error 87"
            "8004C30A HS256.Encode: Failed to determine encoded length, system error 87");
  EXPECT_EQ(Raised([&] { hs.Decode("00", -1); }),
            "8004C302 HS256.Decode: Failed to determine decoded length, system error 87");
}

TEST_F(Hs256Test, EachMacNeedsItsOwnKeyAndAWorkingProvider) {
  Bytes mac;
  const std::string noKey = "8004C322 HS256.HmacSha256: No key set, call InitHmac first";
  EXPECT_EQ(Raised([&] { hs.HmacSha256(B("x"), mac); }), noKey);
  hs.InitHmac(B("Jefe"));
  EXPECT_TRUE(hs.HmacSha256(B("x"), mac));
  EXPECT_EQ(Raised([&] { hs.HmacSha256(B("x"), mac); }), noKey);

  FailingHmac failing;
  platform.crypto = &failing;
  cHS256 broken(platform);
  broken.InitHmac(B("key"));
  EXPECT_EQ(
      Raised([&] { broken.HmacSha256(B("x"), mac); }),
      "8004C32A HS256.HmacSha256: Failed to create HMAC hash object, system error 2148073480");
  EXPECT_EQ(Raised([&] { broken.HmacSha256(B("x"), mac); }), noKey);  // the key went too
  broken.ReleaseHandles(true);
  EXPECT_EQ(Raised([&] { broken.InitHmac(B("key")); }) + Raised([&] { broken.MD5(B("abc")); }),
            "8004C342 HS256.InitHmac: No cryptographic RSA AES provider context"
            "8004C352 HS256.MD5: No cryptographic Base provider context");
}

TEST_F(Hs256Test, WindowsXpOrLaterIsRequired) {
  const std::string tooOld = "8004C364 HS256.Class_Initialize: Requires Windows XP or later";
  // Windows 2000, a 5.1 that is no workstation, an unreadable version, Windows XP, Server
  // 2003, and a system that is not Windows.
  const std::tuple<OsVersionInfo, std::string> cases[] = {
      {{5, 0, 2, 1, false, "", ""}, tooOld},
      {{5, 1, 2, 3, false, "", ""}, tooOld},
      {{0, 0, 0, 0, false, "", ""},
       "8004C362 HS256.Class_Initialize: Failed to obtain Windows version, system error 0"},
      {{5, 1, 2, 1, false, "", ""}, "none XP"},
      {{5, 2, 2, 3, false, "", ""}, "none"},
      {{0, 0, 0, 0, true, "Linux", "6.1.0"}, "none"}};
  for (const auto& [os, expected] : cases) {
    platform.osVersion = os;
    std::string seen = Raised([&] { cHS256 service(platform); });
    if (seen == "none" && cHS256(platform).WindowsXP()) seen += " XP";
    EXPECT_EQ(seen, expected) << os.major << "." << os.minor;
  }
  // Windows XP's provider has no raw hex: the service writes it, in upper case.
  platform.osVersion = std::get<0>(cases[3]);
  EXPECT_EQ(cHS256(platform).Encode(Bytes{0x00, 0xAB, 0x7F}, kHexRaw, kCrLf), "00AB7F");
}

}  // namespace
}  // namespace tavrin
