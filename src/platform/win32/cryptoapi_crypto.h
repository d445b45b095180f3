#pragma once

#include "platform/platform.h"

namespace tavrin {

// The cryptographic service on Windows: CryptoAPI's enhanced RSA and AES provider, a
// verify-only context acquired for each call and released with it, as the program keeps no
// provider state between digests.
class CryptoApiCrypto : public CryptoProvider {
 public:
  bool Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
              std::vector<std::uint8_t>& digest) override;
  // The key travels as a plain-text RC2 key blob marked as an HMAC key, which lifts RC2's
  // length limit; a key longer than SHA-256's 64-byte block is hashed first, as HMAC
  // defines, and an empty key is given as one zero byte, which HMAC pads to the same block.
  bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                  std::vector<std::uint8_t>& mac) override;
  // GetLastError of the call that failed (never 0 after a failure).
  std::uint32_t LastError() const override { return lastError_; }

 private:
  std::uint32_t lastError_ = 0;
};

}  // namespace tavrin
