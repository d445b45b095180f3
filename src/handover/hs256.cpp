#include "handover/hs256.h"

#include "handover/binary_text.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

namespace {

// Windows system error numbers the portable code reports in the same cases.
constexpr std::uint32_t kErrorInvalidData = 13;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;

constexpr std::size_t kSha256Length = 32;
constexpr std::size_t kMd5Length = 16;

[[noreturn]] void Raise(std::int64_t number, const char* operation, const std::string& text) {
  throw RuntimeError(number, std::string("HS256.") + operation, text);
}

std::string SystemError(const char* text, std::uint32_t error) {
  return text + std::to_string(error);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off
// sequence.
bool IsValidUtf8(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t cp = 0;
    std::uint32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (bytes[i + k] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool ToFormat(int format, BinaryTextFormat& result) {
  static constexpr BinaryTextFormat kFormats[] = {
      BinaryTextFormat::Base64,  BinaryTextFormat::Hex,          BinaryTextFormat::HexAscii,
      BinaryTextFormat::HexAddr, BinaryTextFormat::HexAsciiAddr, BinaryTextFormat::HexRaw};
  if (format < 0 || format > 5) return false;
  result = kFormats[format];
  return true;
}

}  // namespace

cHS256::cHS256(Platform& platform) : platform_(platform) {
  const OsVersionInfo os = platform_.Machine().OsVersion();
  if (os.systemName.empty()) {
    // Windows: a major version of 0 means the version could not be read.
    if (os.major == 0) {
      Raise(kErrHmacVersion, "Class_Initialize",
            SystemError("Failed to obtain Windows version, system error ", 0));
    }
    if (os.productType == 1 && os.major == 5 && os.minor >= 1) {
      windowsXp_ = true;
    } else if (os.major * 1000 + os.minor < 5002) {
      // major + minor / 1000 below 5.002, compared in thousandths to stay exact.
      Raise(kErrHmacOldWindows, "Class_Initialize", "Requires Windows XP or later");
    }
  }
  provider_ = &platform_.Crypto();
}

cHS256::~cHS256() {
  ReleaseHandles(Release::kKeyAndProvider);
}

bool cHS256::ToUTF8(std::string_view text, std::vector<std::uint8_t>& bytes) {
  // Text inside the program is UTF-8 already; the bytes are taken as they stand so that
  // the MAC covers exactly the bytes the same text is written to a file as.
  bytes.assign(text.begin(), text.end());
  return true;
}

std::string cHS256::FromUTF8(std::span<const std::uint8_t> bytes) {
  if (!IsValidUtf8(bytes)) {
    Raise(kErrHmacDecodeString, "FromUTF8",
          SystemError("Failed to decode string, system error ", kErrorNoUnicodeTranslation));
  }
  return std::string(bytes.begin(), bytes.end());
}

void cHS256::InitHmac(std::span<const std::uint8_t> key) {
  ReleaseHandles(Release::kKeyOnly);
  if (provider_ == nullptr) {
    Raise(kErrHmacNoAesContext, "InitHmac", "No cryptographic RSA AES provider context");
  }
  key_.assign(key.begin(), key.end());
  hasKey_ = true;
}

bool cHS256::HmacSha256(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& mac) {
  if (!hasKey_ || provider_ == nullptr) {
    Raise(kErrHmacNoKey, "HmacSha256", "No key set, call InitHmac first");
  }
  std::vector<std::uint8_t> result;
  const bool ok = provider_->HmacSha256(key_, data, result);
  const std::uint32_t error = provider_->LastError();
  // The key serves one MAC, whatever its outcome.
  ReleaseHandles(Release::kKeyOnly);
  if (!ok) {
    Raise(kErrHmacCreateHmac, "HmacSha256",
          SystemError("Failed to create HMAC hash object, system error ", error));
  }
  if (result.size() != kSha256Length) {
    Raise(kErrHmacHashValue, "HmacSha256",
          SystemError("Failed to obtain hash value, system error ", kErrorInvalidData));
  }
  mac = std::move(result);
  return true;
}

std::string cHS256::ByteArrayToHexString(std::span<const std::uint8_t> bytes) {
  return HexText(bytes, HexLetters::kUpper);
}

std::string cHS256::Encode(std::span<const std::uint8_t> data, int format, int lineBreakOption) {
  BinaryTextFormat textFormat{};
  if (!ToFormat(format, textFormat) || lineBreakOption < 0 || lineBreakOption > 2) {
    Raise(kErrHmacEncodedLength, "Encode",
          SystemError("Failed to determine encoded length, system error ", kErrorInvalidParameter));
  }
  // Windows XP's provider has no raw hex; there the digits are written directly, in
  // upper case and without a line break.
  if (windowsXp_ && textFormat == BinaryTextFormat::HexRaw) return ByteArrayToHexString(data);
  static constexpr LineBreaks kBreaks[] = {LineBreaks::CrLf, LineBreaks::Lf, LineBreaks::None};
  return EncodeBinaryText(data, textFormat, kBreaks[lineBreakOption]);
}

std::vector<std::uint8_t> cHS256::Decode(std::string_view text, int format) {
  BinaryTextFormat textFormat{};
  if (!ToFormat(format, textFormat)) {
    Raise(kErrHmacDecodedLength, "Decode",
          SystemError("Failed to determine decoded length, system error ", kErrorInvalidParameter));
  }
  std::vector<std::uint8_t> bytes;
  if (!DecodeBinaryText(text, textFormat, bytes)) {
    Raise(kErrHmacDecodedLength, "Decode",
          SystemError("Failed to determine decoded length, system error ", kErrorInvalidData));
  }
  return bytes;
}

std::vector<std::uint8_t> cHS256::MD5(std::span<const std::uint8_t> data) {
  if (provider_ == nullptr) {
    Raise(kErrHmacNoBaseContext, "MD5", "No cryptographic Base provider context");
  }
  std::vector<std::uint8_t> digest;
  if (!provider_->Digest(HashAlgorithm::MD5, data, digest)) {
    Raise(kErrHmacCreateHash, "MD5",
          SystemError("Failed to create CryptoAPI Hash object, system error ",
                      provider_->LastError()));
  }
  if (digest.size() != kMd5Length) {
    Raise(kErrHmacHashValueMd5, "MD5",
          SystemError("Failed to obtain hash value, system error ", kErrorInvalidData));
  }
  return digest;
}

void cHS256::ReleaseHandles(Release release) {
  key_.clear();
  hasKey_ = false;
  if (release == Release::kKeyAndProvider) provider_ = nullptr;
}

}  // namespace tavrin
