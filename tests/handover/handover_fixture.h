#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/posix/openssl_crypto.h"
#include "platform/process_context.h"

namespace tavrin::testing {

// The program in "plugin" below a temporary folder, which is also the current folder;
// short path names set by the test (paths without one have none); the window style of
// every started program recorded.
class HandoverPlatform : public FakePlatform {
 public:
  HandoverPlatform(const TempDir& dir, CryptoProvider& provider) {
    crypto = &provider;
    programPath = dir.File("plugin") + kPathSep + "TavrinPlugin";
    currentDirectory = dir.Path();
    std::filesystem::create_directories(FsPath(dir.File("plugin")));
  }
  std::map<std::string, std::string> shortNames;
  std::vector<int> windowStyles;
  std::string ShortPath(const std::string& path) override {
    return shortNames.count(path) ? shortNames[path] : std::string();
  }
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start, int style) override {
    windowStyles.push_back(style);
    return FakePlatform::StartProcess(start, style);
  }
};

// German texts and a host installation ".../Veltra OX/" (a folder name with a blank).
class HandoverTest : public ::testing::Test {
 protected:
  HandoverTest() {
    context.languages = std::make_unique<Languages>(platform, context.paths, "DE");
    context.host.baseFolder = dir.File("Veltra OX") + sep;
    context.host.databaseId = "4F1C2B8A-77D0-4E6B-9A55-0C3E21D9B7F4";
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(FsPath(path).parent_path());
    std::ofstream(FsPath(path), std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string& path) { return ReadFileBytes(path).value_or(""); }
  bool Traced(const std::string& line) {
    return ReadFile(context.trace.FilePath()).find(line + "\r\n") != std::string::npos;
  }

  const std::string sep{kPathSep};
  TempDir dir;
  OpenSslCrypto crypto;
  HandoverPlatform platform{dir, crypto};
  FakeUi ui;
  ProcessContext context{platform, ui};
};

}  // namespace tavrin::testing
