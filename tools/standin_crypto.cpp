// The stand-in's digests, from the system's own crypto and never from the plug-in's code:
// BCrypt on Windows, OpenSSL elsewhere.
#include <string>
#include <string_view>

#include "standin_checks.h"
#include "standin_system.h"

#ifdef _WIN32
#include "platform/win32/win32_api.h"

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

namespace tavrin::standin {
namespace {

constexpr unsigned kSha256Size = 32;

#ifdef _WIN32
// SHA-256 through a BCrypt hash object; keyed (HMAC) when a key is given.
std::string Digest(const std::string_view* key, std::string_view data) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                        key != nullptr ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0))) {
    return "";
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  unsigned char digest[kSha256Size];
  auto* secret =
      key != nullptr ? reinterpret_cast<PUCHAR>(const_cast<char*>(key->data())) : nullptr;
  const ULONG secretSize = key != nullptr ? static_cast<ULONG>(key->size()) : 0;
  bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, secret, secretSize, 0));
  ok = ok && BCRYPT_SUCCESS(
                 ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                  static_cast<ULONG>(data.size()), 0));
  ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, kSha256Size, 0));
  if (hash != nullptr) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok ? Hex(std::string_view(reinterpret_cast<const char*>(digest), kSha256Size), false) : "";
}
#else
std::string Digest(const std::string_view* key, std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const bool ok = key != nullptr ? HMAC(EVP_sha256(), key->data(), static_cast<int>(key->size()),
                                        bytes, data.size(), digest, &length) != nullptr
                                 : EVP_Digest(data.data(), data.size(), digest, &length,
                                              EVP_sha256(), nullptr) == 1;
  return ok && length == kSha256Size
             ? Hex(std::string_view(reinterpret_cast<const char*>(digest), length), false)
             : "";
}
#endif

}  // namespace

std::string HmacSha256Hex(std::string_view key, std::string_view data) {
  return Digest(&key, data);
}

std::string Sha256Hex(std::string_view data) {
  return Digest(nullptr, data);
}

}  // namespace tavrin::standin
