#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/ini_file.h"

namespace tavrin::testing {

// An INI file of the given name in a fresh temporary folder, opened on the fake platform.
class IniFileFixture : public ::testing::Test {
 protected:
  explicit IniFileFixture(const std::string& name) : path(dir.File(name)) {}

  cIniFile Open() {
    cIniFile ini(platform);
    ini.IniFile(path);
    return ini;
  }

  TempDir dir;
  FakePlatform platform;
  std::string path;
};

}  // namespace tavrin::testing
