#include "formats/hash_api.h"

#include <exception>
#include <filesystem>
#include <fstream>

#include "shared/fs.h"
#include "shared/text.h"

namespace tavrin {

namespace {

// The digest in byte order, two lower-case hexadecimal digits per byte.
std::string LowerHex(const std::vector<std::uint8_t>& bytes) {
  return HexText(bytes, HexLetters::kLower);
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string cHashAPI::Hash(HashAlgorithm algorithm, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> digest;
  if (!platform_.Crypto().Digest(algorithm, data, digest)) return {};
  return LowerHex(digest);
}

std::string cHashAPI::HashString(HashAlgorithm algorithm, std::string_view utf8Text) {
  const std::string ansi = platform_.Locale().Utf8ToAnsi(utf8Text);
  return Hash(algorithm, AsBytes(ansi));
}

std::string cHashAPI::HashFile(HashAlgorithm algorithm, const std::string& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path, kMaxDocumentFileBytes);
  if (!bytes) return {};
  return Hash(algorithm, AsBytes(*bytes));
}

std::string cHashAPI::CreateMD5Hash(std::span<const std::uint8_t> data) {
  return Hash(HashAlgorithm::MD5, data);
}
std::string cHashAPI::CreateSHA1Hash(std::span<const std::uint8_t> data) {
  return Hash(HashAlgorithm::SHA1, data);
}
std::string cHashAPI::CreateSHA256Hash(std::span<const std::uint8_t> data) {
  return Hash(HashAlgorithm::SHA256, data);
}
std::string cHashAPI::CreateSHA384Hash(std::span<const std::uint8_t> data) {
  return Hash(HashAlgorithm::SHA384, data);
}
std::string cHashAPI::CreateSHA512Hash(std::span<const std::uint8_t> data) {
  return Hash(HashAlgorithm::SHA512, data);
}

std::string cHashAPI::CreateMD5HashString(std::string_view utf8Text) {
  return HashString(HashAlgorithm::MD5, utf8Text);
}
std::string cHashAPI::CreateSHA1HashString(std::string_view utf8Text) {
  return HashString(HashAlgorithm::SHA1, utf8Text);
}
std::string cHashAPI::CreateSHA256HashString(std::string_view utf8Text) {
  return HashString(HashAlgorithm::SHA256, utf8Text);
}
std::string cHashAPI::CreateSHA384HashString(std::string_view utf8Text) {
  return HashString(HashAlgorithm::SHA384, utf8Text);
}
std::string cHashAPI::CreateSHA512HashString(std::string_view utf8Text) {
  return HashString(HashAlgorithm::SHA512, utf8Text);
}

std::string cHashAPI::CreateMD5HashFile(const std::string& path) {
  return HashFile(HashAlgorithm::MD5, path);
}
std::string cHashAPI::CreateSHA1HashFile(const std::string& path) {
  return HashFile(HashAlgorithm::SHA1, path);
}
std::string cHashAPI::CreateSHA256HashFile(const std::string& path) {
  return HashFile(HashAlgorithm::SHA256, path);
}
std::string cHashAPI::CreateSHA384HashFile(const std::string& path) {
  return HashFile(HashAlgorithm::SHA384, path);
}
std::string cHashAPI::CreateSHA512HashFile(const std::string& path) {
  return HashFile(HashAlgorithm::SHA512, path);
}

bool cHashAPI::ToUTF8(std::string_view text, std::vector<std::uint8_t>& bytes) {
  // Text inside the program is UTF-8 already; the bytes are taken as they stand so that
  // a digest over them matches the file the same text is written to.
  bytes.assign(text.begin(), text.end());
  return true;
}

}  // namespace tavrin
