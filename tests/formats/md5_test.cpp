#include "formats/md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/openssl_crypto.h"

namespace tavrin {
namespace {

TEST(SoftwareMd5, KnownAnswers) {
  // Vectors of RFC 1321, then texts whose characters give their low byte: U+00E4 gives
  // E4, U+0100 gives 00, U+20AC keeps AC like U+00AC.
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890"
       "1234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {"\xC3\xA4", "c15bcc5577f9fade4b4a3256190a59b0"},
      {"\xC4\x80", "93b885adfe0da089cdf634904fd59f71"},
      {"x\xE2\x82\xACy", "c86ae9726f1872e26f0412b835325076"},
      {"x\xC2\xACy", "c86ae9726f1872e26f0412b835325076"},
  };
  const cMD5 md5;
  for (const auto& [text, digest] : cases) EXPECT_EQ(md5.MD5(text), digest) << text;
  EXPECT_EQ(HashPrefix("message digest", 8), "F96B697D");
}

// Every length around the block and padding boundaries, against OpenSSL's MD5.
TEST(SoftwareMd5, AgreesWithOpenSslAcrossBlockBoundaries) {
  OpenSslCrypto crypto;
  std::mt19937 rng(7);
  const cMD5 md5;
  for (std::size_t length = 0; length <= 200; ++length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(' ' + rng() % 95));
    std::vector<std::uint8_t> digest;
    ASSERT_TRUE(crypto.Digest(HashAlgorithm::MD5,
                              std::vector<std::uint8_t>(text.begin(), text.end()), digest));
    std::string expected;
    for (std::uint8_t b : digest) {
      static constexpr char kDigits[] = "0123456789abcdef";
      expected += kDigits[b >> 4];
      expected += kDigits[b & 15];
    }
    ASSERT_EQ(md5.MD5(text), expected) << "length " << length;
  }
}

}  // namespace
}  // namespace tavrin
