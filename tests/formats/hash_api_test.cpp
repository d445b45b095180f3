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

const std::string k448Bits = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

class HashApiTest : public ::testing::Test {
 protected:
  HashApiTest() { platform.crypto = &crypto; }
  OpenSslCrypto crypto;
  testing::FakePlatform platform;
  cHashAPI hash{platform};
};

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

TEST_F(HashApiTest, Md5Vectors) {
  EXPECT_EQ(hash.CreateMD5Hash(Bytes("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(hash.CreateMD5Hash(Bytes("abc")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hash.CreateMD5Hash(Bytes(k448Bits)), "8215ef0796a20bcaaae116d3876c664a");
}

TEST_F(HashApiTest, Sha1Vectors) {
  EXPECT_EQ(hash.CreateSHA1Hash(Bytes("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(hash.CreateSHA1Hash(Bytes("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hash.CreateSHA1Hash(Bytes(k448Bits)), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST_F(HashApiTest, Sha256Vectors) {
  EXPECT_EQ(hash.CreateSHA256Hash(Bytes("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hash.CreateSHA256Hash(Bytes("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hash.CreateSHA256Hash(Bytes(k448Bits)),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(HashApiTest, Sha384Vectors) {
  EXPECT_EQ(hash.CreateSHA384Hash(Bytes("")),
            "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da"
            "274edebfe76f65fbd51ad2f14898b95b");
  EXPECT_EQ(hash.CreateSHA384Hash(Bytes("abc")),
            "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed"
            "8086072ba1e7cc2358baeca134c825a7");
  EXPECT_EQ(hash.CreateSHA384Hash(Bytes(k448Bits)),
            "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6"
            "b0455a8520bc4e6f5fe95b1fe3c8452b");
}

TEST_F(HashApiTest, Sha512Vectors) {
  EXPECT_EQ(hash.CreateSHA512Hash(Bytes("")),
            "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
            "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
  EXPECT_EQ(hash.CreateSHA512Hash(Bytes("abc")),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_EQ(hash.CreateSHA512Hash(Bytes(k448Bits)),
            "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
            "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445");
}

TEST_F(HashApiTest, TextIsHashedInTheAnsiCodePage) {
  // "Grüße" is G r FC DF e in Windows-1252.
  EXPECT_EQ(hash.CreateMD5HashString("Gr\xC3\xBC\xC3\x9F"
                                     "e"),
            "2c987648c54e9054bf8c8c916b17d5c0");
  EXPECT_EQ(hash.CreateSHA256HashString("Gr\xC3\xBC\xC3\x9F"
                                        "e"),
            "ffe1279f72b07bb67a4f98840ec659bfef3610810a3c54faced3a14c45b1cdf7");
  EXPECT_EQ(hash.CreateSHA1HashString("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hash.CreateSHA384HashString("abc"), hash.CreateSHA384Hash(Bytes("abc")));
  EXPECT_EQ(hash.CreateSHA512HashString(""), hash.CreateSHA512Hash(Bytes("")));
}

TEST_F(HashApiTest, FilesAreHashedWhole) {
  testing::TempDir dir;
  const std::string path = dir.File("data.bin");
  {
    std::ofstream out(path, std::ios::binary);
    out << k448Bits << std::string("\0\r\n\xFF", 4);
  }
  const auto expected = Bytes(k448Bits + std::string("\0\r\n\xFF", 4));
  EXPECT_EQ(hash.CreateSHA256HashFile(path), hash.CreateSHA256Hash(expected));
  EXPECT_EQ(hash.CreateMD5HashFile(path), hash.CreateMD5Hash(expected));
  EXPECT_EQ(hash.CreateSHA1HashFile(path), hash.CreateSHA1Hash(expected));
  EXPECT_EQ(hash.CreateSHA384HashFile(path), hash.CreateSHA384Hash(expected));
  EXPECT_EQ(hash.CreateSHA512HashFile(path), hash.CreateSHA512Hash(expected));
}

TEST_F(HashApiTest, UnreadableFilesGiveTheEmptyText) {
  testing::TempDir dir;
  EXPECT_EQ(hash.CreateSHA256HashFile(dir.File("missing.bin")), "");
  EXPECT_EQ(hash.CreateMD5HashFile(dir.Path()), "");  // a folder
}

TEST_F(HashApiTest, ProviderFailuresGiveTheEmptyText) {
  FailingCrypto failing;
  platform.crypto = &failing;
  EXPECT_EQ(hash.CreateSHA256Hash(Bytes("abc")), "");
  EXPECT_EQ(hash.CreateMD5HashString("abc"), "");
}

TEST_F(HashApiTest, ToUtf8GivesTheBytesWithoutByteOrderMark) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(hash.ToUTF8("a\xC3\xA4\xE2\x82\xAC", bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 0xC3, 0xA4, 0xE2, 0x82, 0xAC}));
}

}  // namespace
}  // namespace tavrin
