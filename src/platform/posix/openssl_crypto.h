#pragma once

#include "platform/platform.h"

namespace tavrin {

// The cryptographic service on systems without CryptoAPI, built on OpenSSL's EVP
// interface.
class OpenSslCrypto : public CryptoProvider {
 public:
  bool Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
              std::vector<std::uint8_t>& digest) override;
  bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                  std::vector<std::uint8_t>& mac) override;
  std::uint32_t LastError() const override { return lastError_; }

 private:
  std::uint32_t lastError_ = 0;
};

}  // namespace tavrin
