#pragma once

#include <gtest/gtest.h>
#include <openssl/hmac.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "handover/mac_key.h"
#include "platform/posix/openssl_crypto.h"
#include "platform/process_context.h"
#include "shared/fs.h"

namespace tavrin::testing {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(FsPath(path).parent_path());
  std::ofstream out(FsPath(path), std::ios::binary);
  out << bytes;
}

// HMAC-SHA-256 as lower-case hex, computed with OpenSSL directly, for checking the MACs
// the program puts on its command lines.
inline std::string HmacHex(const std::string& key, const std::string& data) {
  unsigned char mac[32];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[mac[i] >> 4];
    hex += kHex[mac[i] & 0x0F];
  }
  return hex;
}

// A plug-in installed beside a host installation, all inside a temporary folder:
//   prog/TavrinPlugin(.ini)        the program and its settings (OXSWBaseFolder -> Orvolux)
//   Orvolux/ox2.ini                the host's configuration
//   Orvolux/Diaries/palist.xml     the patient list with the database GUID
//   Orvolux/_EXTRAS/               the folder of the import tool
//   tmp/                           the temporary folder
class AppFixture : public ::testing::Test {
 protected:
  static constexpr const char* kGuid = "6F1C2A3B-0000-4D5E-9A8B-112233445566";

  AppFixture() {
    base = dir.File("Orvolux") + kPathSep;
    std::filesystem::create_directories(FsPath(base + "_EXTRAS"));
    WriteFileBytes(base + "ox2.ini", "[General]\r\nDiaryFolder=Diaries\r\n");
    WriteFileBytes(base + "Diaries" + kPathSep + "palist.xml",
                   std::string("<?xml version=\"1.0\"?>\r\n<PATIENTS GUID=\"{") + kGuid +
                       "}\" Count=\"2\">\r\n</PATIENTS>\r\n");
    WriteSettings("");
  }

  // The settings file with the host folder, German texts and no data-age questions,
  // followed by the extra lines of the "Config" section.
  void WriteSettings(const std::string& extraConfigLines, const std::string& language = "DE") {
    WriteFileBytes(dir.File("prog") + kPathSep + "TavrinPlugin.ini",
                   "[Config]\r\nOXSWBaseFolder=" + base + "\r\nLanguage=" + language +
                       "\r\nShowOldOrNewDataWarning=0\r\n" + extraConfigLines);
  }

  std::string ProgramFolder() const { return dir.File("prog") + kPathSep; }

  // The messages of the trace log, without date and time and the first line's "Started, ".
  std::vector<std::string> TraceLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(context.trace.FilePath()));
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t colon = line.find(": ");
      std::string message = colon == std::string::npos ? line : line.substr(colon + 2);
      if (message.rfind("Started, ", 0) == 0) message = message.substr(9);
      lines.push_back(message);
    }
    return lines;
  }

  bool TraceHas(const std::string& message) {
    for (const std::string& line : TraceLines()) {
      if (line == message) return true;
    }
    return false;
  }

  std::string MacKey() const { return MacKeyText(kGuid); }

  // The program's paths are fixed when the context is made, so the platform is set up
  // before that.
  FakePlatform MakePlatform() {
    FakePlatform fake;
    fake.programPath = dir.File("prog") + kPathSep + "TavrinPlugin";
    fake.crypto = &crypto;
    fake.localeInfo[3] = "DEU";
    fake.currentDirectory = dir.Path();
    std::filesystem::create_directories(FsPath(dir.File("tmp")));
    fake.environment["Temp"] = dir.File("tmp");
    fake.tempPath = dir.File("tmp");
    return fake;
  }

  TempDir dir;
  OpenSslCrypto crypto;
  FakePlatform platform = MakePlatform();
  FakeUi ui;
  ProcessContext context{platform, ui};
  std::string base;
};

}  // namespace tavrin::testing
