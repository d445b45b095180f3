#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tavrin {

// Message digests from the platform's cryptographic service, as lower-case hexadecimal
// text. The object keeps no state between calls. A failing provider yields the empty
// text rather than an error: the callers write whatever text they get.
class cHashAPI {
 public:
  explicit cHashAPI(Platform& platform) : platform_(platform) {}

  // Digest of the bytes.
  std::string CreateMD5Hash(std::span<const std::uint8_t> data);
  std::string CreateSHA1Hash(std::span<const std::uint8_t> data);
  std::string CreateSHA256Hash(std::span<const std::uint8_t> data);
  std::string CreateSHA384Hash(std::span<const std::uint8_t> data);
  std::string CreateSHA512Hash(std::span<const std::uint8_t> data);

  // Digest of the text converted to the system's ANSI code page, one byte per character.
  std::string CreateMD5HashString(std::string_view utf8Text);
  std::string CreateSHA1HashString(std::string_view utf8Text);
  std::string CreateSHA256HashString(std::string_view utf8Text);
  std::string CreateSHA384HashString(std::string_view utf8Text);
  std::string CreateSHA512HashString(std::string_view utf8Text);

  // Digest of the file's whole contents; the empty text when the file cannot be read.
  std::string CreateMD5HashFile(const std::string& path);
  std::string CreateSHA1HashFile(const std::string& path);
  std::string CreateSHA256HashFile(const std::string& path);
  std::string CreateSHA384HashFile(const std::string& path);
  std::string CreateSHA512HashFile(const std::string& path);

  // The UTF-8 bytes of the text, without byte-order mark. Always true.
  bool ToUTF8(std::string_view text, std::vector<std::uint8_t>& bytes);

 private:
  std::string Hash(HashAlgorithm algorithm, std::span<const std::uint8_t> data);
  std::string HashString(HashAlgorithm algorithm, std::string_view utf8Text);
  std::string HashFile(HashAlgorithm algorithm, const std::string& path);

  Platform& platform_;
};

}  // namespace tavrin
