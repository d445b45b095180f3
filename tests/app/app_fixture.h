#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/end_program.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"

namespace tavrin::testing {

inline std::string ReadFile(const std::string& path) {
  return ReadFileBytes(path, kMaxDocumentFileBytes).value_or("");
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(FsPath(path).parent_path());
  std::ofstream(FsPath(path), std::ios::binary) << bytes;
}

// The fake user interface, whose file dialog moves the process's current folder as the
// Windows dialog may.
struct FolderMovingUi : FakeUi {
  explicit FolderMovingUi(FakePlatform& fake) : platform(fake) {}
  FileDialogResult ChooseFile(const FileDialogArgs& args) override {
    platform.currentDirectory = "/somewhere/else";
    return FakeUi::ChooseFile(args);
  }
  FakePlatform& platform;
};

// A plug-in installed beside a host installation, all inside a temporary folder, which is
// also the current folder:
//   prog/TavrinPlugin(.ini)        the program and its settings (OXSWBaseFolder -> Orvolux)
//   Orvolux/ox2.ini                the host's configuration
//   Orvolux/Diaries/palist.xml     the patient list with the database GUID
//   Orvolux/_EXTRAS/               the folder of the import tool
//   tmp/                           the temporary folder
class AppFixture : public ::testing::Test {
 protected:
  AppFixture() {
    std::filesystem::create_directories(FsPath(base + "_EXTRAS"));
    WriteFile(base + "ox2.ini", "[General]\r\nDiaryFolder=Diaries\r\n");
    WriteFile(base + "Diaries" + kPathSep + "palist.xml",
              "<PATIENTS GUID=\"{6F1C2A3B-0000-4D5E-9A8B-112233445566}\" Count=\"2\">\r\n");
    WriteSettings("");
  }

  // The settings file with the host folder, German texts and no data-age questions,
  // followed by the extra lines of the "Config" section.
  void WriteSettings(const std::string& extraConfigLines, const std::string& language = "DE") {
    WriteFile(ProgramFolder() + "TavrinPlugin.ini",
              "[Config]\r\nOXSWBaseFolder=" + base + "\r\nLanguage=" + language +
                  "\r\nShowOldOrNewDataWarning=0\r\n" + extraConfigLines);
  }

  std::string ProgramFolder() const { return dir.File("prog") + kPathSep; }

  // Starts the process with a command line and runs the window's load sequence; true
  // when the window is ready, false when the process ended during load.
  bool Load(const std::string& commandLine = "") {
    context.rawCommandLine = commandLine;
    return !Ends([&] {
      Main(context);
      window.Form_Load();
    });
  }
  // Whether the call ends the process.
  static bool Ends(const std::function<void()>& call) {
    try {
      call();
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }

  // Whether the trace log holds the messages in this order (the last one last, when
  // asked); the date and time before each and the first line's "Started, " do not count.
  bool Traced(const std::vector<std::string>& messages, bool endsTheLog = false) {
    const std::string log = ReplaceAll(ReadFile(context.trace.FilePath()), ": Started, ", ": ");
    std::size_t at = 0;
    for (const std::string& message : messages) {
      at = log.find(": " + message + "\r\n", at);
      if (at == std::string::npos) return false;
      at += message.size() + 4;
    }
    return !endsTheLog || at == log.size();
  }

  // The program's paths are fixed when the context is made, so the platform is set up
  // before that.
  FakePlatform MakePlatform() {
    FakePlatform fake;
    fake.programPath = ProgramFolder() + "TavrinPlugin";
    fake.crypto = &crypto;
    fake.localeInfo[3] = "DEU";
    fake.currentDirectory = dir.Path();
    std::filesystem::create_directories(FsPath(dir.File("tmp")));
    fake.environment["Temp"] = fake.tempPath = dir.File("tmp");
    return fake;
  }

  TempDir dir;
  std::string base = dir.File("Orvolux") + kPathSep;
  SystemCrypto crypto;
  FakePlatform platform = MakePlatform();
  FolderMovingUi ui{platform};
  ProcessContext context{platform, ui};
  frmMeterImport window{context};
};

}  // namespace tavrin::testing
