#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tavrin {

// HMAC-SHA-256 over byte arrays with the platform's cryptographic service, plus the
// small conversions around it: UTF-8, hexadecimal text, Base64 and hex dumps, MD5.
// Failures raise RuntimeError with the numbers 0x8004C3xx and the source "HS256." and
// the operation's name.
//
// One key serves one MAC: InitHmac sets the key, a successful HmacSha256 drops it again.
class cHS256 {
 public:
  // On Windows (the platform names no other system) checks the version first: Windows
  // XP or later is required.
  explicit cHS256(Platform& platform);
  ~cHS256();
  cHS256(const cHS256&) = delete;
  cHS256& operator=(const cHS256&) = delete;

  // The text's UTF-8 bytes, without byte-order mark. Always true.
  bool ToUTF8(std::string_view text, std::vector<std::uint8_t>& bytes);
  // The bytes as text; they must be valid UTF-8 (error 0x8004C312 otherwise).
  std::string FromUTF8(std::span<const std::uint8_t> bytes);

  // Sets the key for the next HmacSha256, replacing any earlier key.
  void InitHmac(std::span<const std::uint8_t> key);
  // The 32-byte HMAC-SHA-256 of the data under the key of the last InitHmac. Always true;
  // failures raise.
  bool HmacSha256(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& mac);

  // Two upper-case hexadecimal digits per byte, no separators.
  static std::string ByteArrayToHexString(std::span<const std::uint8_t> bytes);

  // format: 0 Base64, 1 hex, 2 hex with characters, 3 hex with offsets, 4 hex with offsets
  // and characters, 5 raw hex. lineBreakOption: 0 CR LF, 1 LF only, 2 none.
  std::string Encode(std::span<const std::uint8_t> data, int format, int lineBreakOption);
  std::vector<std::uint8_t> Decode(std::string_view text, int format);

  // The 16-byte MD5 digest.
  std::vector<std::uint8_t> MD5(std::span<const std::uint8_t> data);

  // Drops the key; with kKeyAndProvider also closes the cryptographic service, after which
  // InitHmac and MD5 fail. Never raises.
  enum class Release { kKeyOnly, kKeyAndProvider };
  void ReleaseHandles(Release release);

  // True on a Windows XP workstation, whose provider lacks raw hex encoding.
  bool WindowsXP() const { return windowsXp_; }

 private:
  Platform& platform_;
  CryptoProvider* provider_ = nullptr;  // null once released
  std::vector<std::uint8_t> key_;
  bool hasKey_ = false;
  bool windowsXp_ = false;
};

}  // namespace tavrin
