#include "platform/win32/cryptoapi_crypto.h"

#include <algorithm>
#include <cstring>

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"

#include <wincrypt.h>

namespace tavrin {
namespace {

// Owners of the provider's handles. Declared in the order context, key, hash, they are
// destroyed hash first, as the provider requires.
class ProviderContext {
 public:
  ~ProviderContext() {
    if (handle_ != 0) ::CryptReleaseContext(handle_, 0);
  }
  bool Acquire() {
    return ::CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) !=
           FALSE;
  }
  HCRYPTPROV Get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

// A key or hash object of the provider, destroyed with its own function.
template <BOOL(WINAPI* Destroy)(ULONG_PTR)>
class ProviderObject {
 public:
  ~ProviderObject() {
    if (handle_ != 0) Destroy(handle_);
  }
  ULONG_PTR* Out() { return &handle_; }
  ULONG_PTR Get() const { return handle_; }

 private:
  ULONG_PTR handle_ = 0;
};
using ProviderKey = ProviderObject<::CryptDestroyKey>;
using ProviderHash = ProviderObject<::CryptDestroyHash>;

ALG_ID AlgorithmId(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::MD5:
      return CALG_MD5;
    case HashAlgorithm::SHA1:
      return CALG_SHA1;
    case HashAlgorithm::SHA256:
      return CALG_SHA_256;
    case HashAlgorithm::SHA384:
      return CALG_SHA_384;
    case HashAlgorithm::SHA512:
      return CALG_SHA_512;
  }
  return 0;
}

// CryptHashData takes a 32-bit length: larger inputs go in pieces. The provider wants a
// valid pointer even for an empty input.
bool HashBytes(HCRYPTHASH hash, std::span<const std::uint8_t> data) {
  static const BYTE kEmpty = 0;
  if (data.empty()) return ::CryptHashData(hash, &kEmpty, 0, 0) != FALSE;
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  for (std::size_t done = 0; done < data.size(); done += kPiece) {
    const auto length = static_cast<DWORD>(std::min(kPiece, data.size() - done));
    if (!::CryptHashData(hash, data.data() + done, length, 0)) return false;
  }
  return true;
}

bool ReadHashValue(HCRYPTHASH hash, std::vector<std::uint8_t>& value) {
  BYTE buffer[64];  // the longest digest, SHA-512
  DWORD length = sizeof buffer;
  if (!::CryptGetHashParam(hash, HP_HASHVAL, buffer, &length, 0)) return false;
  value.assign(buffer, buffer + length);
  return true;
}

// The plain-text key blob: header, key length, key bytes.
std::vector<BYTE> KeyBlob(std::span<const std::uint8_t> key) {
  BLOBHEADER header{};
  header.bType = PLAINTEXTKEYBLOB;
  header.bVersion = CUR_BLOB_VERSION;
  header.aiKeyAlg = CALG_RC2;
  const auto length = static_cast<DWORD>(key.size());
  std::vector<BYTE> blob(sizeof header + sizeof length + key.size());
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, &length, sizeof length);
  std::copy(key.begin(), key.end(), blob.begin() + sizeof header + sizeof length);
  return blob;
}

// The system's error for the failed call; a failure that set none still reports one, so
// that no caller mistakes it for success.
std::uint32_t TakeSystemError() {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : static_cast<std::uint32_t>(NTE_FAIL);
}

}  // namespace

bool CryptoApiCrypto::Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
                             std::vector<std::uint8_t>& digest) {
  lastError_ = 0;
  digest.clear();
  ProviderContext context;
  ProviderHash hash;
  if (!context.Acquire() ||
      !::CryptCreateHash(context.Get(), AlgorithmId(algorithm), 0, 0, hash.Out()) ||
      !HashBytes(hash.Get(), data) || !ReadHashValue(hash.Get(), digest)) {
    lastError_ = TakeSystemError();
    digest.clear();
    return false;
  }
  return true;
}

bool CryptoApiCrypto::HmacSha256(std::span<const std::uint8_t> key,
                                 std::span<const std::uint8_t> data,
                                 std::vector<std::uint8_t>& mac) {
  lastError_ = 0;
  mac.clear();
  constexpr std::size_t kBlockSize = 64;
  std::vector<std::uint8_t> keyBytes(key.begin(), key.end());
  if (keyBytes.size() > kBlockSize && !Digest(HashAlgorithm::SHA256, key, keyBytes)) return false;
  if (keyBytes.empty()) keyBytes.push_back(0);

  ProviderContext context;
  ProviderKey hmacKey;
  ProviderHash hash;
  const std::vector<BYTE> blob = KeyBlob(keyBytes);
  HMAC_INFO info{};
  info.HashAlgid = CALG_SHA_256;
  if (!context.Acquire() ||
      !::CryptImportKey(context.Get(), blob.data(), static_cast<DWORD>(blob.size()), 0,
                        CRYPT_IPSEC_HMAC_KEY, hmacKey.Out()) ||
      !::CryptCreateHash(context.Get(), CALG_HMAC, hmacKey.Get(), 0, hash.Out()) ||
      !::CryptSetHashParam(hash.Get(), HP_HMAC_INFO, reinterpret_cast<const BYTE*>(&info), 0) ||
      !HashBytes(hash.Get(), data) || !ReadHashValue(hash.Get(), mac)) {
    lastError_ = TakeSystemError();
    mac.clear();
    return false;
  }
  return true;
}

}  // namespace tavrin
