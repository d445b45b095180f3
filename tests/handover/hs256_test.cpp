#include "handover/hs256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "platform/posix/openssl_crypto.h"
#include "shared/error.h"

namespace tavrin {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}
std::vector<std::uint8_t> Repeat(std::uint8_t value, std::size_t count) {
  return std::vector<std::uint8_t>(count, value);
}

// Runs the call and returns the run-time error it raised.
template <typename F>
RuntimeError Raised(F call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e;
  }
  ADD_FAILURE() << "no run-time error";
  return RuntimeError(0, "", "");
}

class FailingHmac : public OpenSslCrypto {
 public:
  bool HmacSha256(std::span<const std::uint8_t>, std::span<const std::uint8_t>,
                  std::vector<std::uint8_t>&) override {
    return false;
  }
  std::uint32_t LastError() const override { return 0x80090008; }
};

class Hs256Test : public ::testing::Test {
 protected:
  Hs256Test() { platform.crypto = &crypto; }
  std::string Mac(cHS256& hs, const std::vector<std::uint8_t>& key,
                  const std::vector<std::uint8_t>& data) {
    hs.InitHmac(key);
    std::vector<std::uint8_t> mac;
    EXPECT_TRUE(hs.HmacSha256(data, mac));
    return cHS256::ByteArrayToHexString(mac);
  }
  OpenSslCrypto crypto;
  testing::FakePlatform platform;
};

TEST_F(Hs256Test, Rfc4231TestCases) {
  cHS256 hs(platform);
  EXPECT_EQ(Mac(hs, Repeat(0x0B, 20), Bytes("Hi There")),
            "B0344C61D8DB38535CA8AFCEAF0BF12B881DC200C9833DA726E9376C2E32CFF7");
  EXPECT_EQ(Mac(hs, Bytes("Jefe"), Bytes("what do ya want for nothing?")),
            "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843");
  EXPECT_EQ(Mac(hs, Repeat(0xAA, 20), Repeat(0xDD, 50)),
            "773EA91E36800E46854DB8EBD09181A72959098B3EF8C122D9635514CED565FE");
  std::vector<std::uint8_t> key4;
  for (std::uint8_t b = 1; b <= 25; ++b) key4.push_back(b);
  EXPECT_EQ(Mac(hs, key4, Repeat(0xCD, 50)),
            "82558A389A443C0EA4CC819899F2083A85F0FAA3E578F8077A2E3FF46729665B");
  // Test case 5 publishes only the first 128 bits.
  EXPECT_EQ(Mac(hs, Repeat(0x0C, 20), Bytes("Test With Truncation")).substr(0, 32),
            "A3B6167473100EE06E0C796C2955552B");
  // Keys longer than the hash block are hashed first.
  EXPECT_EQ(
      Mac(hs, Repeat(0xAA, 131), Bytes("Test Using Larger Than Block-Size Key - Hash Key First")),
      "60E431591EE0B67F0D8A26AACBF5B77F8E0BC6213728C5140546040F0EE37F54");
  EXPECT_EQ(Mac(hs, Repeat(0xAA, 131),
                Bytes("This is a test using a larger than block-size key and a larger than "
                      "block-size data. The key needs to be hashed before being used by the "
                      "HMAC algorithm.")),
            "9B09FFA71B942FCB27635FBCD5B0E944BFDC63644F0713938A7F51535C3A35E2");
  EXPECT_EQ(Mac(hs, {}, {}), "B613679A0814D9EC772F95D778C35FC5FF1697C493715653C6C712144292C5AD");
}

TEST_F(Hs256Test, EachMacNeedsItsOwnInitHmac) {
  cHS256 hs(platform);
  std::vector<std::uint8_t> mac;
  const auto never = Raised([&] { hs.HmacSha256(Bytes("x"), mac); });
  EXPECT_EQ(never.Number(), 0x8004C322);
  hs.InitHmac(Bytes("Jefe"));
  EXPECT_TRUE(hs.HmacSha256(Bytes("x"), mac));
  const auto again = Raised([&] { hs.HmacSha256(Bytes("x"), mac); });
  EXPECT_EQ(again.Number(), 0x8004C322);
  EXPECT_EQ(again.Source(), "HS256.HmacSha256");
  EXPECT_EQ(again.Description(), "No key set, call InitHmac first");
  // A second InitHmac replaces the earlier key.
  hs.InitHmac(Repeat(0x0B, 20));
  EXPECT_EQ(Mac(hs, Bytes("Jefe"), Bytes("what do ya want for nothing?")),
            "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843");
}

TEST_F(Hs256Test, ProviderFailureRaisesAndDropsTheKey) {
  FailingHmac failing;
  platform.crypto = &failing;
  cHS256 hs(platform);
  std::vector<std::uint8_t> mac;
  hs.InitHmac(Bytes("key"));
  const auto e = Raised([&] { hs.HmacSha256(Bytes("x"), mac); });
  EXPECT_EQ(e.Number(), 0x8004C32A);
  EXPECT_EQ(e.Description(), "Failed to create HMAC hash object, system error 2148073480");
  EXPECT_EQ(Raised([&] { hs.HmacSha256(Bytes("x"), mac); }).Number(), 0x8004C322);
}

TEST_F(Hs256Test, ReleasedProvidersRaise) {
  cHS256 hs(platform);
  hs.InitHmac(Bytes("key"));
  hs.ReleaseHandles(true);
  const auto init = Raised([&] { hs.InitHmac(Bytes("key")); });
  EXPECT_EQ(init.Number(), 0x8004C342);
  EXPECT_EQ(init.Source(), "HS256.InitHmac");
  EXPECT_EQ(init.Description(), "No cryptographic RSA AES provider context");
  const auto md5 = Raised([&] { hs.MD5(Bytes("abc")); });
  EXPECT_EQ(md5.Number(), 0x8004C352);
  EXPECT_EQ(md5.Description(), "No cryptographic Base provider context");
  hs.ReleaseHandles(true);  // a second release is harmless
}

TEST_F(Hs256Test, Md5DigestAndHexText) {
  cHS256 hs(platform);
  EXPECT_EQ(cHS256::ByteArrayToHexString(hs.MD5(Bytes("abc"))), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(hs.MD5({}).size(), 16u);
  EXPECT_EQ(cHS256::ByteArrayToHexString(std::vector<std::uint8_t>{0x00, 0x0A, 0xBC, 0xFF}),
            "000ABCFF");
  EXPECT_EQ(cHS256::ByteArrayToHexString({}), "");
}

TEST_F(Hs256Test, Utf8Conversions) {
  cHS256 hs(platform);
  const std::string text = "Größe 😀";
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(hs.ToUTF8(text, bytes));
  EXPECT_EQ(bytes.size(), 12u);
  EXPECT_EQ(hs.FromUTF8(bytes), text);
  EXPECT_EQ(hs.FromUTF8({}), "");
  const std::vector<std::vector<std::uint8_t>> invalid = {
      {0xC3},                    // cut off
      {'a', 0xFF, 'b'},          // never valid
      {0xC0, 0xAF},              // overlong "/"
      {0xED, 0xA0, 0x80},        // surrogate
      {0xF4, 0x90, 0x80, 0x80},  // above U+10FFFF
      {0xE2, 0x28, 0xA1},        // bad continuation
  };
  for (const auto& bad : invalid) {
    const auto e = Raised([&] { hs.FromUTF8(bad); });
    EXPECT_EQ(e.Number(), 0x8004C312);
    EXPECT_EQ(e.Source(), "HS256.FromUTF8");
    EXPECT_EQ(e.Description(), "Failed to decode string, system error 1113");
  }
}

TEST_F(Hs256Test, WindowsVersionCheck) {
  platform.osVersion = {5, 0, 2, 1, false, "", ""};  // Windows 2000
  const auto old = Raised([&] { cHS256 hs(platform); });
  EXPECT_EQ(old.Number(), 0x8004C364);
  EXPECT_EQ(old.Source(), "HS256.Class_Initialize");
  EXPECT_EQ(old.Description(), "Requires Windows XP or later");

  platform.osVersion = {5, 1, 2, 1, false, "", ""};  // Windows XP
  EXPECT_TRUE(cHS256(platform).WindowsXP());
  platform.osVersion = {5, 2, 2, 3, false, "", ""};  // Windows Server 2003
  EXPECT_FALSE(cHS256(platform).WindowsXP());
  platform.osVersion = {5, 1, 2, 3, false, "", ""};  // 5.1 that is no workstation
  EXPECT_EQ(Raised([&] { cHS256 hs(platform); }).Number(), 0x8004C364);
  platform.osVersion = {10, 0, 2, 1, true, "", ""};
  EXPECT_FALSE(cHS256(platform).WindowsXP());

  platform.osVersion = {0, 0, 0, 0, false, "", ""};  // version unreadable
  EXPECT_EQ(Raised([&] { cHS256 hs(platform); }).Number(), 0x8004C362);

  platform.osVersion = {0, 0, 0, 0, true, "Linux", "6.1.0"};  // no Windows check
  cHS256 onLinux(platform);
  EXPECT_FALSE(onLinux.WindowsXP());
  EXPECT_EQ(Mac(onLinux, Bytes("Jefe"), Bytes("what do ya want for nothing?")).size(), 64u);
}

TEST_F(Hs256Test, WindowsXpWritesRawHexItself) {
  platform.osVersion = {5, 1, 2, 1, false, "", ""};
  cHS256 xp(platform);
  const std::vector<std::uint8_t> data = {0x00, 0xAB, 0x7F};
  EXPECT_EQ(xp.Encode(data, 5, 0), "00AB7F");
  EXPECT_EQ(xp.Decode("00AB7F", 5), data);
}

}  // namespace
}  // namespace tavrin
