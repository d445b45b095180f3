#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "fakes/fake_ui.h"
#include "platform/file_helpers.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"

namespace tavrin::testing {

// The program in "plugin" below a temporary folder, which is also the current folder;
// short path names set by the test (paths without one have none).
class HandoverPlatform : public FakePlatform {
 public:
  HandoverPlatform(const TempDir& dir, CryptoProvider& provider) {
    crypto = &provider;
    programPath = dir.File("plugin") + kPathSep + "TavrinPlugin";
    currentDirectory = dir.Path();
    std::filesystem::create_directories(FsPath(dir.File("plugin")));
  }
  std::map<std::string, std::string> shortNames;
  std::string ShortPath(const std::string& path) override { return shortNames[path]; }
};

// German texts and a host installation ".../Veltra OX/" (a folder name with a blank).
class HandoverTest : public ::testing::Test {
 protected:
  HandoverTest() {
    context.languages = std::make_unique<Languages>(platform, context.paths, "DE");
    context.host.baseFolder = dir.File("Veltra OX") + sep;
    context.host.databaseId = "4F1C2B8A-77D0-4E6B-9A55-0C3E21D9B7F4";
  }
  const std::string sep{kPathSep};
  TempDir dir;
  SystemCrypto crypto;
  HandoverPlatform platform{dir, crypto};
  FakeUi ui;
  ProcessContext context{platform, ui};
};

}  // namespace tavrin::testing
