// A whole converter run on the fake platform: the files it writes, its summary, its exit
// codes for each kind of failure, and the hand-over to a host installation's import tool.

#include "cli/convert_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/posix/openssl_crypto.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class ConvertRunTest : public ::testing::Test {
 protected:
  ConvertRunTest() {
    platform.crypto = &crypto;
    platform.programPath = dir.File("bin") + "/tavrin-convert";
    platform.localeInfo[3] = "DEU";
    platform.currentDirectory = dir.Path();
    fs::create_directories(FsPath(dir.File("bin")));
    fs::copy_file(FsPath(std::string(TAVRIN_SOURCE_DIR) + "/examples/sample-export.csv"),
                  FsPath(exportPath));
  }

  // Runs the converter on the export with the given options.
  int Run(std::vector<std::string> arguments = {}) {
    arguments.push_back(exportPath);
    const ParsedOptions parsed = ParseConvertOptions(arguments);
    EXPECT_EQ(parsed.error, "");
    out.str("");
    err.str("");
    return RunConverter(parsed.options, platform, {out, err, false});
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(FsPath(path).parent_path());
    std::ofstream(FsPath(path), std::ios::binary) << text;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Exists(const std::string& path) { return fs::exists(FsPath(path)); }

  // A host installation of our own making: configuration, patient list and tool folder.
  std::string MakeHost(const std::string& name) {
    const std::string base = dir.File(name);
    WriteFile(base + "/ox2.ini", "[General]\r\nDiaryFolder=Diaries\r\n");
    WriteFile(
        base + "/Diaries/palist.xml",
        "<?xml version=\"1.0\"?>\r\n<PATIENTS GUID=\"{0F3A1C55-2B7D-4E90-8C11-5A6B7C8D9E0F}\" "
        "Version=\"2\">\r\n</PATIENTS>\r\n");
    fs::create_directories(FsPath(base + "/_EXTRAS"));
    return base;
  }

  testing::TempDir dir;
  OpenSslCrypto crypto;
  testing::FakePlatform platform;
  std::string exportPath = dir.File("sample-export.csv");
  std::ostringstream out;
  std::ostringstream err;
};

// --- Conversion

TEST_F(ConvertRunTest, SampleBecomesAnXmlDocumentBesideTheExport) {
  ASSERT_EQ(Run(), kExitSuccess) << err.str();
  const std::string xml = ReadFile(dir.File("sample-export.xml"));
  EXPECT_TRUE(xml.starts_with("<?xml")) << xml.substr(0, 80);
  // Without --serial: "unknown", and no dialog asked for one.
  EXPECT_NE(xml.find("SN=\"unknown\""), std::string::npos);
  EXPECT_EQ(err.str(), "");
  EXPECT_NE(xml.find("<BG "), std::string::npos);
  EXPECT_FALSE(Exists(dir.File("sample-export.json")));  // CSV exports carry no CGM stream

  const std::string summary = out.str();
  EXPECT_NE(summary.find("Rows read:        126\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("XML document:     " + dir.File("sample-export.xml")), std::string::npos);
  EXPECT_EQ(summary.find("Records written:  0\n"), std::string::npos);
}

TEST_F(ConvertRunTest, DataAgeWarningIsAnsweredOkAndPrintedUnlessQuiet) {
  platform.now = DateTime{2028, 6, 1, 12, 0, 0};
  ASSERT_EQ(Run(), kExitSuccess);
  EXPECT_NE(err.str().find("(answered OK)"), std::string::npos) << err.str();
  ASSERT_EQ(Run({"--quiet"}), kExitSuccess);
  EXPECT_EQ(out.str() + err.str(), "");
  EXPECT_TRUE(Exists(dir.File("sample-export.xml")));
}

TEST_F(ConvertRunTest, RowsWithoutDateAreCountedInTheSummary) {
  WriteFile(exportPath, ReadFile(exportPath) +
                            "not a date;12:00;CET;140;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;x;;;2001\r\n");
  ASSERT_EQ(Run(), kExitSuccess) << err.str();
  EXPECT_NE(out.str().find("Rows skipped:     1 without a readable date (line 128)"),
            std::string::npos)
      << out.str();
}

TEST_F(ConvertRunTest, SettingsFileIsOnlyReadAndCanSwitchToThePlainList) {
  const std::string settings = dir.File("plain.ini");
  WriteFile(settings, "[Driver]\r\nXML=0\r\n");
  ASSERT_EQ(Run({"--settings", settings}), kExitSuccess) << err.str();
  EXPECT_FALSE(ReadFile(dir.File("sample-export.xml")).starts_with("<?xml"));
  EXPECT_NE(out.str().find("Record list:"), std::string::npos);
  EXPECT_EQ(ReadFile(settings), "[Driver]\r\nXML=0\r\n");
  EXPECT_EQ(Run({"--settings", dir.File("none.ini")}), kExitUsage);
}

// --- Failures

TEST_F(ConvertRunTest, BadInputIsReportedAndWritesNothing) {
  const std::string header = ReadFile(exportPath).substr(0, ReadFile(exportPath).find('\n') + 1);
  const std::pair<std::string, int> cases[] = {
      {"Date;Time;Glucose\r\n09.11.2026;06:52;106\r\n", kExitBadInput},  // header rejected
      {"", kExitBadInput},
      {header, kExitConversion},  // nothing to convert
  };
  for (const auto& [content, code] : cases) {
    WriteFile(exportPath, content);
    EXPECT_EQ(Run(), code) << content;
    EXPECT_FALSE(Exists(dir.File("sample-export.xml")));
  }
  exportPath = dir.File("nothing.csv");
  EXPECT_EQ(Run(), kExitBadInput);
  EXPECT_NE(err.str().find("not found"), std::string::npos);
  exportPath = dir.File("bin");  // a folder
  EXPECT_EQ(Run(), kExitBadInput);
}

TEST_F(ConvertRunTest, OutputNeverOverwritesTheExport) {
  // An export named ".xml" would be its own default output.
  const std::string original = ReadFile(exportPath);
  const std::string renamed = dir.File("data.xml");
  fs::rename(FsPath(exportPath), FsPath(renamed));
  exportPath = renamed;
  EXPECT_EQ(Run(), kExitUsage);
  EXPECT_NE(err.str().find("overwrite the export"), std::string::npos);
  EXPECT_EQ(ReadFile(renamed), original);
  // Nor through another spelling of the same path.
  EXPECT_EQ(Run({"-o", dir.File("bin") + "/../data.xml"}), kExitUsage);
  EXPECT_EQ(ReadFile(renamed), original);
  // An output that cannot be written at all.
  EXPECT_EQ(Run({"-o", dir.File("no/such/folder/out.xml")}), kExitConversion);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

// --- Hand-over

TEST_F(ConvertRunTest, HandOverCallsTheImportToolWithTheDocumentAndItsMac) {
  const std::string host = MakeHost("host");
  ASSERT_EQ(Run({"--handover", host}), kExitSuccess) << err.str();
  ASSERT_EQ(platform.startedCommands.size(), 1u);
  const std::string& command = platform.startedCommands[0];
  const std::string expectedStart = host + "/_EXTRAS/KelsarImport.exe import -filepath " +
                                    dir.File("sample-export.xml") + " -filemac ";
  EXPECT_TRUE(command.starts_with(expectedStart)) << command;
  const std::string mac = command.substr(expectedStart.size());
  EXPECT_EQ(mac.size(), 64u);
  EXPECT_EQ(mac.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(platform.currentDirectory, dir.Path());  // restored after the call
  EXPECT_NE(out.str().find("Import tool:      exit code 0"), std::string::npos);
}

TEST_F(ConvertRunTest, ToolFailureIsReportedWithItsMeaning) {
  const std::string host = MakeHost("host");
  platform.runProcess = [](const std::string&) { return 7u; };
  EXPECT_EQ(Run({"--handover", host}), kExitHandoverFailed);
  EXPECT_NE(err.str().find("exit code 7 (Unknown patient)"), std::string::npos) << err.str();
  // The document stays for another attempt.
  EXPECT_TRUE(Exists(dir.File("sample-export.xml")));

  platform.startFails = true;
  EXPECT_EQ(Run({"--handover", host}), kExitHandoverFailed);
  EXPECT_NE(err.str().find("hand-over failed"), std::string::npos);
}

TEST_F(ConvertRunTest, FolderWithoutInstallationIsAHandOverFailure) {
  EXPECT_EQ(Run({"--handover", dir.File("no-host")}), kExitHandoverFailed);
  EXPECT_TRUE(platform.startedCommands.empty());

  // An installation without its patient list is damaged.
  const std::string host = MakeHost("broken");
  fs::remove(FsPath(host + "/Diaries/palist.xml"));
  EXPECT_EQ(Run({"--handover", host}), kExitHandoverFailed);
  EXPECT_TRUE(platform.startedCommands.empty());
}

TEST_F(ConvertRunTest, DocumentPathWithBlanksIsNotHandedOverCutInPieces) {
  const std::string host = MakeHost("host");
  EXPECT_EQ(Run({"--handover", host, "-o", dir.File("My Documents.xml")}), kExitHandoverFailed);
  EXPECT_TRUE(platform.startedCommands.empty());
  EXPECT_NE(err.str().find("blanks"), std::string::npos);
  EXPECT_TRUE(Exists(dir.File("My Documents.xml")));
}

// --- Line count for the progress bar

TEST_F(ConvertRunTest, DataRowsAreCountedByLineFeeds) {
  EXPECT_EQ(CountDataRows(exportPath), 126);
  WriteFile(dir.File("a.csv"), "header\r\nrow1\r\nrow2");
  EXPECT_EQ(CountDataRows(dir.File("a.csv")), 2);
  EXPECT_EQ(CountDataRows(dir.File("missing.csv")), 0);
}

}  // namespace
}  // namespace tavrin
