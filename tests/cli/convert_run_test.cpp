// A whole converter run on the fake platform: the files it writes, its summary, its exit
// codes for each kind of failure, and the hand-over to a host installation's import tool.

#include "cli/convert_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/posix/openssl_crypto.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(FsPath(path).parent_path());
  std::ofstream(FsPath(path), std::ios::binary) << text;
}
std::string ReadFile(const std::string& path) {
  return ReadFileBytes(path).value_or("");
}

class ConvertRunTest : public ::testing::Test {
 protected:
  ConvertRunTest() {
    platform.crypto = &crypto;
    platform.programPath = F("bin/tavrin-convert");
    platform.localeInfo[3] = "DEU";
    platform.currentDirectory = dir.Path();
    fs::create_directories(FsPath(F("bin")));
    WriteFile(exportPath, sample);
    // A host installation: configuration, patient list and tool folder.
    WriteFile(host + "/ox2.ini", "[General]\r\nDiaryFolder=Diaries\r\n");
    WriteFile(host + "/Diaries/palist.xml",
              "<PATIENTS GUID=\"{0F3A1C55-2B7D-4E90-8C11-5A6B7C8D9E0F}\" Version=\"2\">\r\n");
    fs::create_directories(FsPath(host + "/_EXTRAS"));
  }
  std::string F(const std::string& name) const { return dir.File(name); }
  // Runs the converter on the export with the given options.
  int Run(std::vector<std::string> arguments = {}) {
    arguments.push_back(exportPath);
    out.str("");
    err.str("");
    return RunConverter(ParseConvertOptions(arguments).options, platform, {out, err, false});
  }

  testing::TempDir dir;
  OpenSslCrypto crypto;
  testing::FakePlatform platform;
  const std::string sample =
      ReadFile(std::string(TAVRIN_SOURCE_DIR) + "/examples/sample-export.csv");
  const std::string exportFile = F("sample-export.csv"), xml = F("sample-export.xml");
  const std::string host = F("host");
  std::string exportPath = exportFile;
  std::ostringstream out, err;
};

TEST_F(ConvertRunTest, SampleBecomesAnXmlDocumentAndGoesToTheImportTool) {
  ASSERT_EQ(Run({"--handover", host}), kExitSuccess) << err.str();
  const std::string document = ReadFile(xml);
  EXPECT_TRUE(document.starts_with("<?xml") && document.find("<BG ") != std::string::npos);
  // Without --serial: "unknown", and no dialog asked for one.
  EXPECT_NE(document.find("SN=\"unknown\""), std::string::npos);
  EXPECT_FALSE(fs::exists(FsPath(F("sample-export.json"))));  // CSV exports carry no CGM
  EXPECT_EQ(platform.startedCommands.at(0).rfind(
                host + "/_EXTRAS/KelsarImport.exe import -filepath " + xml + " -filemac ", 0),
            0u);
  EXPECT_EQ(platform.currentDirectory, dir.Path());  // restored after the call
  // The progress bar counts rows by their line feeds; a last line may have none.
  WriteFile(F("a.csv"), "header\r\nrow1\r\nrow2");
  EXPECT_EQ(std::to_string(CountDataRows(exportPath)) + " " +
                std::to_string(CountDataRows(F("a.csv"))) + " " +
                std::to_string(CountDataRows(F("missing.csv"))),
            "126 2 0");
}

// Each run with its exit code and a text it prints (an empty text: it prints nothing); the
// export stays as it was, and the document is written unless the run failed before the
// hand-over.
TEST_F(ConvertRunTest, EveryRunHasItsExitCodeAndMessage) {
  const std::string header = sample.substr(0, sample.find('\n') + 1), tools = host + "/_EXTRAS";
  auto exportText = [&](std::string text) { return [&, text] { WriteFile(exportPath, text); }; };
  auto exportAt = [&](std::string path) { return [&, path] { exportPath = path; }; };
  const std::string undated = "not a date;12:00;CET;140;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;x;;;2001\r\n";
  WriteFile(F("broken/ox2.ini"), "[General]\r\nDiaryFolder=Diaries\r\n");  // no patient list
  WriteFile(F("plain.ini"), "[Driver]\r\nXML=0\r\n");
  const std::string blanks = " (choose another output file with -o/--json)";
  using Args = std::vector<std::string>;
  const DateTime today = platform.now;
  // clang-format off
  const std::tuple<Args, std::function<void()>, int, std::string> cases[] = {
    {{}, nullptr, kExitSuccess, "Rows read:        126\nRecords written:  "},
    {{}, nullptr, kExitSuccess, "XML document:     " + xml},
    {{"--quiet"}, nullptr, kExitSuccess, ""},
    {{}, [&] { platform.now = DateTime{2028, 6, 1, 12, 0, 0}; }, kExitSuccess, "(answered OK)"},
    {{}, exportText(sample + undated), kExitSuccess, "Rows skipped:     1 without a readable date (line 128)"},
    // The settings file is only read; it may switch to the plain record list.
    {{"--settings", F("plain.ini")}, nullptr, kExitSuccess, "Record list:      " + xml},
    {{"--handover", host}, nullptr, kExitSuccess, "Import tool:      exit code 0"},
    {{"--settings", F("none.ini")}, nullptr, kExitUsage, "settings file not found: " + F("none.ini")},
    {{}, exportText("Date;Time;Glucose\r\n09.11.2026;06:52;106\r\n"), kExitBadInput,
     "cannot read the export file " + exportFile + ": Subscript out of range (9)"},
    {{}, exportText(""), kExitBadInput, "the export file is empty: " + exportFile},
    {{}, exportText(header), kExitConversion,
     "nothing to convert: the export holds no rows that can be imported (0 rows read)"},
    {{}, exportAt(F("nothing.csv")), kExitBadInput, "export file not found: " + F("nothing.csv")},
    {{}, exportAt(F("bin")), kExitBadInput, "export file not found: " + F("bin")},
    // Also through another spelling of the export's path.
    {{"-o", F("bin/../sample-export.csv")}, nullptr, kExitUsage,
     "the output file would overwrite the export file: " + exportFile},
    {{"-o", F("no/out.xml")}, nullptr, kExitConversion,
     "cannot write the output: Cannot create file: " + F("no/out.xml") + " (75)"},
    // A read-only output is not made writable.
    {{"-o", F("ro.xml")}, [&] { WriteFile(F("ro.xml"), ""); fs::permissions(F("ro.xml"), fs::perms::owner_read); },
     kExitConversion, "cannot write the output: Cannot replace file: " + F("ro.xml") + " (read-only) (75)"},
    {{"--handover", F("none")}, nullptr, kExitHandoverFailed, "no usable Orvolux installation in " + F("none/")},
    {{"--handover", F("broken")}, nullptr, kExitHandoverFailed, "no usable Orvolux installation in " + F("broken/")},
    {{"--handover", host, "-o", F("My Documents.xml")}, nullptr, kExitHandoverFailed,
     "the import tool cannot be given a path with blanks or quotes: " + F("My Documents.xml") + blanks},
    {{"--handover", host}, [&] { platform.startFails = true; }, kExitHandoverFailed,
     "hand-over failed: File not found (53)"},
    {{"--handover", host}, [&] { fs::remove_all(FsPath(tools)); }, kExitHandoverFailed,
     "cannot enter the import tool's folder " + tools + "/"},
    {{"--handover", host}, [&] { platform.runProcess = [](const std::string&) { return 7u; }; },
     kExitHandoverFailed, "the import tool reported a failure: exit code 7 (Unknown patient), a login problem"},
  };
  // clang-format on
  for (const auto& [arguments, prepare, code, message] : cases) {
    SCOPED_TRACE(message);
    exportPath = exportFile;
    WriteFile(exportPath, sample);
    fs::remove(FsPath(xml));
    fs::create_directories(FsPath(tools));
    platform.now = today;
    platform.startFails = false;
    platform.runProcess = nullptr;
    if (prepare) prepare();
    const std::string before = ReadFile(exportPath);
    EXPECT_EQ(Run(arguments), code);
    const std::string printed = out.str() + err.str();
    EXPECT_TRUE(!message.empty() || printed.empty()) << printed;
    EXPECT_NE(printed.find(code == kExitSuccess ? message : "tavrin-convert: " + message + "\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(ReadFile(exportPath), before);
    EXPECT_EQ(fs::exists(FsPath(xml)),
              code == kExitSuccess || (code == kExitHandoverFailed && arguments.size() == 2));
  }
  EXPECT_EQ(ReadFile(F("plain.ini")), "[Driver]\r\nXML=0\r\n");
}

}  // namespace
}  // namespace tavrin
