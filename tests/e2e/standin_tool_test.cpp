// The stand-in import tool's own checks: the end-to-end tests trust its verdicts, so it
// must accept sound documents and refuse damaged ones for the right reason.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "e2e/golden_documents.h"
#include "fakes/temp_dir.h"
#include "standin_checks.h"

namespace tavrin::e2e {
namespace {

using namespace tavrin::standin;

TEST(StandinChecks, CrcIsMcrf4xx) {
  EXPECT_EQ(Crc16Mcrf4xx("123456789"), 0x6F91);
  EXPECT_EQ(Crc16Mcrf4xx("abc"), 0x61DA);
  EXPECT_EQ(Crc16Mcrf4xx(""), 0xFFFF);
}

TEST(StandinChecks, Windows1252Encoding) {
  EXPECT_EQ(Utf8ToWindows1252("M\xC3\xBCsli \xE2\x82\xAC \xE2\x80\x9E"), "M\xFCsli \x80 \x84");
  EXPECT_EQ(Utf8ToWindows1252("\xE4\xB8\xAD"), "?");            // not in the code page
  EXPECT_EQ(Utf8ToWindows1252("\xC2\x81"), "\x81");             // undefined slot keeps its byte
  EXPECT_EQ(Utf8ToWindows1252("\xC2\x80"), "?");                // C1 control the page replaces
  EXPECT_FALSE(Utf8ToWindows1252("\xC3").has_value());          // cut sequence
  EXPECT_FALSE(Utf8ToWindows1252("\xC0\xAF").has_value());      // overlong
  EXPECT_FALSE(Utf8ToWindows1252("\xED\xA0\x80").has_value());  // surrogate
}

TEST(StandinChecks, DatabaseIdFromPatientList) {
  EXPECT_EQ(DatabaseIdFromPatientList("<?xml?><PATIENTS GUID=\"{AB-12}\" Version=\"3\">"), "AB-12");
  EXPECT_EQ(DatabaseIdFromPatientList("<patients guid='{x}'>"), "x");
  EXPECT_EQ(DatabaseIdFromPatientList("<PATIENTS Version=\"3\">"), "");
  EXPECT_EQ(DatabaseIdFromPatientList("<PATIENT GUID=\"1\">"), "");
  EXPECT_EQ(DatabaseIdFromPatientList("<PATIENTS GUID={7}"), "7");  // no closing ">"
}

TEST(StandinChecks, IniValue) {
  const std::string ini = "[Other]\r\nDiaryFolder=x\r\n[general]\r\n diaryfolder = \"D 1\" \r\n";
  EXPECT_EQ(IniValue(ini, "General", "DiaryFolder"), "D 1");
  EXPECT_FALSE(IniValue(ini, "General", "Missing").has_value());
}

class StandinTool : public ::testing::Test {
 protected:
  StandinTool() : host(temp.Path()) {}

  static std::string Mac(std::string_view data) { return SampleHostMac(data); }

  fs::path Put(const std::string& name, std::string_view text) {
    const fs::path path = temp.Path() + "/" + name;
    WriteFile(path, text);
    return path;
  }

  // Calls the tool the way the plug-in does; the exit code.
  std::optional<int> Call(const std::vector<std::string>& args,
                          const std::vector<std::string>& env = {}, const fs::path& program = {}) {
    std::vector<std::string> argv = {
        (program.empty() ? host.Base() / "_EXTRAS" / "KelsarImport.exe" : program).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    last = e2e::Run(argv, host.Environment(env), host.Base() / "_EXTRAS", "", 20s);
    return last.exitCode;
  }
  std::optional<int> Import(const fs::path& file, const std::string& mac,
                            const std::vector<std::string>& env = {}) {
    return Call({"import", "-filepath", file.string(), "-filemac", mac}, env);
  }
  Received LastEntry() {
    const auto log = host.ReceivedLog();
    return log.empty() ? Received{} : log.back();
  }

  testing::TempDir temp;
  SampleHost host;
  RunResult last;
};

TEST_F(StandinTool, AcceptsSoundXml) {
  const fs::path file = Put("a.xml", kGoldenXml);
  EXPECT_EQ(Import(file, Mac(kGoldenXml)), 0) << last.output;
  const Received entry = LastEntry();
  EXPECT_EQ(entry.at("kind"), "xml");
  EXPECT_EQ(entry.at("file"), file.string());
  EXPECT_EQ(entry.at("records"), "2");
  EXPECT_EQ(entry.at("check"), "EEBB");
  EXPECT_EQ(entry.at("check_ok"), "yes");
  EXPECT_EQ(entry.at("mac_ok"), "yes");
  EXPECT_EQ(entry.at("sn"), "JOB4711");
  EXPECT_EQ(entry.at("cwd_ok"), "yes");
  EXPECT_EQ(entry.at("exit"), "0");

  const fs::path ansi = Put("b.xml", kGoldenXmlAnsi);
  EXPECT_EQ(Import(ansi, Mac(kGoldenXmlAnsi)), 0) << last.output;
  EXPECT_EQ(LastEntry().at("check"), "F5A4");
}

TEST_F(StandinTool, RefusesDamagedXml) {
  std::string tampered(kGoldenXml);
  tampered.replace(tampered.find("Val=\"132\""), 9, "Val=\"133\"");
  // The MAC fits the tampered bytes, so only the check value can catch the change.
  EXPECT_EQ(Import(Put("t.xml", tampered), Mac(tampered)), 10);
  EXPECT_EQ(LastEntry().at("check_ok"), "no");
  EXPECT_EQ(LastEntry().at("mac_ok"), "yes");
  EXPECT_EQ(LastEntry().at("result"), "Validation error.");

  std::string noCheck(kGoldenXml);
  noCheck.erase(noCheck.find("<CHECK"), 22);
  EXPECT_EQ(Import(Put("n.xml", noCheck), Mac(noCheck)), 10);

  std::string lowerCheck(kGoldenXml);
  lowerCheck.replace(lowerCheck.find("EEBB"), 4, "eebb");
  EXPECT_EQ(Import(Put("l.xml", lowerCheck), Mac(lowerCheck)), 10);
}

TEST_F(StandinTool, RefusesWrongMac) {
  const fs::path file = Put("a.xml", kGoldenXml);
  std::string upper = Mac(kGoldenXml);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Import(file, Mac("something else")), 10);
  EXPECT_EQ(LastEntry().at("mac_ok"), "no");
  EXPECT_EQ(LastEntry().at("check_ok"), "yes");
  EXPECT_EQ(Import(file, upper), 10);  // the MAC is written in lower case
  EXPECT_EQ(Call({"import", "-filepath", file.string()}), 10);

  // A different patient database gives a different key.
  WriteFile(host.Base() / "Diaries" / "palist.xml", "<PATIENTS GUID=\"{OTHER}\">");
  EXPECT_EQ(Import(file, Mac(kGoldenXml)), 10);
}

TEST_F(StandinTool, ChecksJsonChecksum) {
  EXPECT_EQ(Import(Put("a.json", kGoldenJson), Mac(kGoldenJson)), 0) << last.output;
  Received entry = LastEntry();
  EXPECT_EQ(entry.at("kind"), "json");
  EXPECT_EQ(entry.at("readings"), "3");
  EXPECT_EQ(entry.at("sequences"), "2");
  EXPECT_EQ(entry.at("entries"), "2");
  EXPECT_EQ(entry.at("sn"), "JS-1");
  EXPECT_EQ(entry.at("check_ok"), "yes");

  std::string tampered(kGoldenJson);
  tampered.replace(tampered.find("101"), 3, "109");
  EXPECT_EQ(Import(Put("t.json", tampered), Mac(tampered)), 10);
  EXPECT_EQ(LastEntry().at("check_ok"), "no");
}

TEST_F(StandinTool, ReportsMissingFilesAndUnknownFormats) {
  EXPECT_EQ(Import(temp.Path() + "/missing.xml", "00"), 3);
  EXPECT_EQ(LastEntry().at("result"), "Missing Data-File.");
  EXPECT_EQ(Call({"import", "-filemac", "00"}), 3);
  EXPECT_EQ(Import(Put("plain.txt", "hello"), Mac("hello")), 4);
  const std::string bom = "\xEF\xBB\xBF" + std::string(kGoldenXml);
  EXPECT_EQ(Import(Put("bom.xml", bom), Mac(bom)), 4);
  EXPECT_EQ(Call({"export", "-filepath", Put("a.xml", kGoldenXml).string()}), 1);
}

TEST_F(StandinTool, JoinsAPathSplitAtBlanks) {
  const fs::path file = Put("my export file.xml", kGoldenXml);
  EXPECT_EQ(Call({"import", "-filepath", temp.Path() + "/my", "export", "file.xml", "-filemac",
                  Mac(kGoldenXml)}),
            0)
      << last.output;
  EXPECT_EQ(LastEntry().at("file"), file.string());
}

TEST_F(StandinTool, ForcedExitCode) {
  const fs::path file = Put("a.xml", kGoldenXml);
  EXPECT_EQ(Import(file, Mac(kGoldenXml), {"STANDIN_EXIT_CODE=7"}), 7);
  EXPECT_EQ(LastEntry().at("forced"), "yes");
  EXPECT_EQ(LastEntry().at("result"), "Unknown patient");
  EXPECT_EQ(Import(file, Mac(kGoldenXml), {"STANDIN_EXIT_CODE=x"}), 0);
}

TEST_F(StandinTool, StandsInForTheHostExecutable) {
  const fs::path exe = host.Base() / "Veltra Orvolux Software.exe";
  fs::remove(exe);
  fs::copy_file(TAVRIN_E2E_STANDIN, exe);
  const fs::path file = Put("a.xml", kGoldenXml);
  EXPECT_EQ(Call({"import", "-filepath", file.string(), "-filemac", Mac(kGoldenXml)}, {}, exe), 0)
      << last.output;
  EXPECT_EQ(LastEntry().at("caller"), "host");
}

TEST_F(StandinTool, StartsThePluginForATransferJob) {
  // A recording plug-in: the real one is replaced (never written through: it may be a
  // hard link to the build's program).
  fs::remove(host.Plugin());
  const fs::path record = host.Root() / "plugin-call.txt";
  WriteFile(host.Plugin(),
            "#!/bin/sh\necho \"$1 $2 $STANDIN_FROM_JOB\" > '" + record.string() + "'\nexit 3\n");
  ::chmod(host.Plugin().c_str(), 0755);

  const fs::path json = Put("a.json", kGoldenJson);
  EXPECT_EQ(Call({"import", "-filepath", json.string(), "-filemac", Mac(kGoldenJson), "-jobid",
                  "123456789"}),
            0)
      << last.output;
  EXPECT_EQ(ReadFile(record), "-jobid 123456789 123456789\n");
  const auto log = host.ReceivedLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].at("jobid"), "123456789");
  EXPECT_EQ(log[1].at("kind"), "followup");
  EXPECT_EQ(log[1].at("plugin_exit"), "3");

  // No follow-up after a failed import.
  fs::remove(record);
  EXPECT_EQ(
      Call({"import", "-filepath", json.string(), "-filemac", Mac("x"), "-jobid", "123456789"}),
      10);
  EXPECT_FALSE(fs::exists(record));
}

}  // namespace
}  // namespace tavrin::e2e
