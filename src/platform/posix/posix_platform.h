#pragma once

#include <string_view>

#include "platform/platform.h"
#include "platform/posix/openssl_crypto.h"

namespace tavrin {

// The platform on Linux and other POSIX systems. Locale answers come from a built-in
// table keyed by the process's locale variables (LC_ALL, LC_MESSAGES, LC_TIME,
// LC_NUMERIC, LANG), so they do not depend on which locales the machine has installed.
class PosixPlatform : public Platform {
 public:
  std::string ProgramPath() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::string GetEnvironmentVariable(const std::string& name) override;

  std::string Utf8ToAnsi(std::string_view utf8) override;
  std::string AnsiToUtf8(std::string_view ansi) override;

  std::string LocaleInfo(int type) override;
  RegionalSettings Regional() override;

  DateTime Now() override;
  int UtcBiasMinutes(const DateTime& local) override;

  OsVersionInfo OsVersion() override;
  // POSIX file systems have no short names: the path is returned unchanged.
  std::string ShortPath(const std::string& path) override;
  // The archive component exists only on Windows.
  bool CreateZipComponent() override;
  bool RegisterZipComponent(const std::string& libraryPath) override;

  // Makes the file readable and writable by its owner; other permission bits are kept.
  void SetNormalAttributes(const std::string& path) override;
  // Opens (creating) the file and takes an exclusive advisory lock on it.
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;

  std::string ReadProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& defaultValue) override;
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;

  CryptoProvider& Crypto() override;

 private:
  OpenSslCrypto crypto_;
};

// Whether a machine name reported by uname ("x86_64", "aarch64", "s390x", ...) is a
// 64-bit architecture.
bool MachineIs64Bit(std::string_view machine);

}  // namespace tavrin
