#include "platform/posix/openssl_crypto.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <memory>

namespace tavrin {

namespace {

const char* DigestName(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::MD5:
      return "MD5";
    case HashAlgorithm::SHA1:
      return "SHA1";
    case HashAlgorithm::SHA256:
      return "SHA256";
    case HashAlgorithm::SHA384:
      return "SHA384";
    case HashAlgorithm::SHA512:
      return "SHA512";
  }
  return nullptr;
}

struct MdFree {
  void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};
struct MacFree {
  void operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }
};
struct MacCtxFree {
  void operator()(EVP_MAC_CTX* ctx) const { EVP_MAC_CTX_free(ctx); }
};

// The error OpenSSL queued for the failed call; a failure that left nothing on the queue
// still reports a non-zero number, so that no caller mistakes it for success.
std::uint32_t TakeOpenSslError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  const auto low = static_cast<std::uint32_t>(code & 0xFFFFFFFFUL);
  return low != 0 ? low : 1;
}

}  // namespace

bool OpenSslCrypto::Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
                           std::vector<std::uint8_t>& digest) {
  ERR_clear_error();
  lastError_ = 0;
  digest.clear();
  const char* name = DigestName(algorithm);
  std::unique_ptr<EVP_MD, MdFree> md(name != nullptr ? EVP_MD_fetch(nullptr, name, nullptr)
                                                     : nullptr);
  if (!md) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  unsigned char buffer[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // EVP_Digest wants a valid pointer even for an empty message.
  static const unsigned char kEmpty = 0;
  const void* bytes = data.empty() ? &kEmpty : static_cast<const void*>(data.data());
  if (EVP_Digest(bytes, data.size(), buffer, &length, md.get(), nullptr) != 1) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  digest.assign(buffer, buffer + length);
  return true;
}

bool OpenSslCrypto::HmacSha256(std::span<const std::uint8_t> key,
                               std::span<const std::uint8_t> data, std::vector<std::uint8_t>& mac) {
  ERR_clear_error();
  lastError_ = 0;
  mac.clear();
  std::unique_ptr<EVP_MAC, MacFree> hmac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
  if (!hmac) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  std::unique_ptr<EVP_MAC_CTX, MacCtxFree> ctx(EVP_MAC_CTX_new(hmac.get()));
  if (!ctx) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  char digestName[] = "SHA256";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
      OSSL_PARAM_construct_end()};
  // An empty key is a valid HMAC key (it is padded with zeros like any short key);
  // OpenSSL only needs a non-null pointer to take it as set.
  static const unsigned char kEmpty = 0;
  const unsigned char* keyBytes = key.empty() ? &kEmpty : key.data();
  if (EVP_MAC_init(ctx.get(), keyBytes, key.size(), params) != 1) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  if (!data.empty() && EVP_MAC_update(ctx.get(), data.data(), data.size()) != 1) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  unsigned char buffer[EVP_MAX_MD_SIZE];
  std::size_t length = 0;
  if (EVP_MAC_final(ctx.get(), buffer, &length, sizeof buffer) != 1) {
    lastError_ = TakeOpenSslError();
    return false;
  }
  mac.assign(buffer, buffer + length);
  return true;
}

}  // namespace tavrin
