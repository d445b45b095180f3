#include "formats/hash_api.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/posix/openssl_crypto.h"

namespace tavrin {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// A provider whose every operation fails.
class FailingCrypto : public CryptoProvider {
 public:
  bool Digest(HashAlgorithm, std::span<const std::uint8_t>, std::vector<std::uint8_t>&) override {
    return false;
  }
  bool HmacSha256(std::span<const std::uint8_t>, std::span<const std::uint8_t>,
                  std::vector<std::uint8_t>&) override {
    return false;
  }
  std::uint32_t LastError() const override { return 0x80090008; }
};

class HashApiTest : public ::testing::Test {
 protected:
  HashApiTest() { platform.crypto = &crypto; }
  OpenSslCrypto crypto;
  testing::FakePlatform platform;
  cHashAPI hash{platform};
};

// Each algorithm over bytes, over a text and over a file, in lower-case hex.
TEST_F(HashApiTest, DigestsOfBytesTextsAndFiles) {
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
  }
  // A text is hashed in the ANSI code page: "Grüße" is G r FC DF e in Windows-1252.
  EXPECT_EQ(hash.CreateMD5HashString("Grüße"), "2c987648c54e9054bf8c8c916b17d5c0");
  std::vector<std::uint8_t> utf8;
  EXPECT_TRUE(hash.ToUTF8("aä€", utf8));
  EXPECT_EQ(utf8, Bytes("aä€"));  // without byte-order mark
}

TEST_F(HashApiTest, FailuresGiveTheEmptyText) {
  testing::TempDir dir;
  EXPECT_EQ(hash.CreateSHA256HashFile(dir.File("missing.bin")), "");
  EXPECT_EQ(hash.CreateMD5HashFile(dir.Path()), "");  // a folder
  FailingCrypto failing;
  platform.crypto = &failing;
  EXPECT_EQ(hash.CreateSHA256Hash(Bytes("abc")), "");
  EXPECT_EQ(hash.CreateMD5HashString("abc"), "");
}

}  // namespace
}  // namespace tavrin
