// The HMAC and text service: the text layouts of Windows' CryptBinaryToString written and
// read, and the numbers of its run-time errors. The MAC's known answer is the hand-over's.

#include "handover/hs256.h"

#include <gtest/gtest.h>

#include <random>

#include "handover_fixture.h"

namespace tavrin {
namespace {

using namespace testing;

using Bytes = std::vector<std::uint8_t>;
const auto B = [](std::string_view text) { return Bytes(text.begin(), text.end()); };
enum Format { kBase64, kHex, kHexAscii, kHexAddr, kHexAsciiAddr, kHexRaw };
enum Breaks { kCrLf, kLf, kNone };

class Hs256Test : public HandoverTest {
 protected:
  cHS256 hs{platform};
};

TEST_F(Hs256Test, TextLayoutsWrittenAndRead) {
  Bytes counting(17);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i);
  const std::string row = "00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f";
  std::string line64;
  for (int i = 0; i < 16; ++i) line64 += "YWFh";
  const Bytes a49 = B(std::string(49, 'a') + std::string(1, '\0'));
  // clang-format off
  const std::tuple<Bytes, int, int, std::string> cases[] = {
      {B("foob"), kBase64, kCrLf, "Zm9vYg==\r\n"},    {a49, kBase64, kCrLf, line64 + "\r\nYQA=\r\n"},
      {B(std::string(48, 'a')), kBase64, kLf, line64 + "\n"},  // no empty line after a full one
      {counting, kHex, kCrLf, row + "\r\n10\r\n"},
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
  EXPECT_EQ(cHS256::ByteArrayToHexString(hs.MD5(B("abc"))), "900150983CD24FB0D6963F7D28E17F72");
  // Windows XP's provider has no raw hex: the service writes it, in upper case.
  platform.osVersion = {5, 1, 2, 1, false, "", ""};
  EXPECT_EQ(cHS256(platform).Encode(Bytes{0x00, 0xAB, 0x7F}, kHexRaw, kCrLf), "00AB7F");

  // Every format and line-break choice reads back what it wrote, including rows whose
  // character column holds blanks and digits and offsets beyond four digits; reading
  // ignores blanks and breaks, misses no padding and takes separated pairs.
  std::mt19937 rng(99);
  for (std::size_t size : {0u, 1u, 8u, 15u, 16u, 17u, 33u, 70000u}) {
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
  EXPECT_EQ(hs.Decode(" Zm 9v\tYm\r\nFy ", kBase64), B("foobar"));
  EXPECT_EQ(hs.Decode("Zm9vYg", kBase64), B("foob"));
  EXPECT_EQ(hs.Decode("00-FF,10\r\n", kHex), (Bytes{0x00, 0xFF, 0x10}));
}

// Each call in turn on the same service, with the number of the run-time error it raises
// (0: none).
TEST_F(Hs256Test, FailuresRaiseTheirNumbers) {
  Bytes mac;
  using OS = OsVersionInfo;
  // clang-format off
  const std::pair<std::function<void()>, std::int64_t> cases[] = {
      {[&] { hs.Decode("Zm9v!", kBase64); }, 0x8004C302}, {[&] { hs.Decode("Zm9vY", kBase64); }, 0x8004C302},
      {[&] { hs.Decode("0a5", kHex); }, 0x8004C302},      {[&] { hs.Decode("00", -1); }, 0x8004C302},
      {[&] { hs.Encode(B("x"), 6, 0); }, 0x8004C30A},     {[&] { hs.Encode(B("x"), 0, 3); }, 0x8004C30A},
      // Strict UTF-8 only: cut off, never valid, overlong "/", a surrogate, above U+10FFFF,
      // a bad continuation.
      {[&] { hs.FromUTF8(B("\xC3")); }, 0x8004C312},     {[&] { hs.FromUTF8(B("a\xFF")); }, 0x8004C312},
      {[&] { hs.FromUTF8(B("\xC0\xAF")); }, 0x8004C312}, {[&] { hs.FromUTF8(B("\xED\xA0\x80")); }, 0x8004C312},
      {[&] { hs.FromUTF8(B("\xF4\x90\x80\x80")); }, 0x8004C312}, {[&] { hs.FromUTF8(B("\xE2(\xA1")); }, 0x8004C312},
      {[&] { hs.HmacSha256(B("x"), mac); }, 0x8004C322},  // no key
      {[&] { hs.InitHmac(B("k")); hs.HmacSha256(B("x"), mac); }, 0},
      {[&] { hs.HmacSha256(B("x"), mac); }, 0x8004C322},  // one key serves one MAC
      {[&] { hs.ReleaseHandles(cHS256::Release::kKeyAndProvider); hs.InitHmac(B("k")); }, 0x8004C342},
      {[&] { hs.MD5(B("abc")); }, 0x8004C352},
      // An unreadable Windows version, Windows 2000, a 5.1 that is no workstation, Server
      // 2003, and a system that is not Windows.
      {[&] { platform.osVersion = OS{0, 0, 0, 0, false, "", ""}, cHS256{platform}; }, 0x8004C362},
      {[&] { platform.osVersion = OS{5, 0, 2, 1, false, "", ""}, cHS256{platform}; }, 0x8004C364},
      {[&] { platform.osVersion = OS{5, 1, 2, 3, false, "", ""}, cHS256{platform}; }, 0x8004C364},
      {[&] { platform.osVersion = OS{5, 2, 2, 3, false, "", ""}, cHS256{platform}; }, 0},
      {[&] { platform.osVersion = OS{0, 0, 0, 0, true, "Linux", "6.1"}, cHS256{platform}; }, 0},
  };
  // clang-format on
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::optional<RuntimeError> error = Raised(cases[i].first);
    EXPECT_EQ(error ? error->Number() : 0, cases[i].second) << "row " << i;
  }
  EXPECT_EQ(hs.FromUTF8(B("Größe 😀")), "Größe 😀");
}

}  // namespace
}  // namespace tavrin
