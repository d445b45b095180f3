// The Windows back end against the real system (under Wine on build machines): user values
// in the registry, temporary names, safe-write steps, exclusive holding and locks,
// processes, the ANSI code page, locale and time answers, and the HMAC provider's own key
// handling. (Digests and MACs otherwise: the digest and hand-over tests.)
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>

#include "platform/file_helpers.h"
#include "platform/win32/wide_text.h"
#include "shared/codepage.h"
#include "shared/utf8.h"

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"

namespace tavrin {
namespace {

using namespace testing;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Win32UserValues, WrittenReadAndDeletedBelowTheUsersSoftwareKey) {
  Win32Platform platform;
  const std::string key = "TavrinPluginTest\\" + std::to_string(std::random_device()());
  const std::string path = "C:\\Users\\Дмитрий\\AppData\\Local\\Temp\\~tV1A2B.xml";
  EXPECT_EQ(platform.UserValues().ReadUserValue(key, "Anzahl"), "");
  EXPECT_FALSE(platform.UserValues().DeleteUserValue(key, "Anzahl"));  // the key is missing
  ASSERT_TRUE(platform.UserValues().WriteUserValue(key, "Anzahl", "1") &&
              platform.UserValues().WriteUserValue(key, "1", path));
  EXPECT_TRUE(
      platform.UserValues().WriteUserValue(key, "ANZAHL", "2"));  // names without regard to case
  EXPECT_EQ(platform.UserValues().ReadUserValues(key, {"anzahl", "1", "2"}),
            (std::vector<std::string>{"2", path, ""}));
  EXPECT_TRUE(platform.UserValues().DeleteUserValue(key, "1"));
  EXPECT_FALSE(platform.UserValues().DeleteUserValue(key, "1"));
  EXPECT_EQ(platform.UserValues().ReadUserValue(key, "1"), "");
  EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, Wide("Software\\" + key).c_str()), ERROR_SUCCESS);
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TavrinPluginTest");  // when no other test uses it
}

TEST(Win32Files, TemporaryNamesFoldersAndWriteSteps) {
  TempDir dir;
  Win32Platform platform;
  EXPECT_TRUE(platform.Files().TempPath().ends_with("\\"));
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const std::string file = platform.Files().CreateUniqueTempFile(dir.Path(i % 2 == 0), "~tVp");
    EXPECT_TRUE(std::regex_match(file, std::regex(R"(.*\\~tV[0-9A-Fa-f]{1,4}\.tmp)"))) << file;
    EXPECT_TRUE(Exists(file) && seen.insert(file).second) << file;
  }
  EXPECT_EQ(platform.Files().CreateUniqueTempFile(dir.File("missing"), "~tV"), "");

  const std::string a = dir.File("a.xml"), b = dir.File("b.xml");
  WriteBytes(b, "old");
  EXPECT_EQ(platform.Files().OpenFileForWriting(b, FileService::WriteMode::CreateNew, 0), nullptr);
  auto file = platform.Files().OpenFileForWriting(a, FileService::WriteMode::CreateNew, 0600);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Write("<a/>") && file->Flush() && file->Close());
  file = platform.Files().OpenFileForWriting(a, FileService::WriteMode::Append, 0600);
  EXPECT_TRUE(file && file->Write("!") && file->Flush() && file->Close());
  EXPECT_EQ(platform.Files().OpenFileForWriting(dir.Path(), FileService::WriteMode::Append, 0),
            nullptr);
  EXPECT_TRUE(platform.Files().RenameFile(a, b) && !Exists(a));
  EXPECT_EQ(ReadBytes(b), "<a/>!");
  EXPECT_FALSE(platform.Files().RenameFile(a, b));

  // Without the owner's write bit the new file is read-only, until normal attributes.
  file = platform.Files().OpenFileForWriting(a, FileService::WriteMode::CreateNew, 0400);
  ASSERT_TRUE(file && file->Close());
  EXPECT_FALSE(platform.Files().InspectPath(a).writable);
  platform.Files().SetNormalAttributes(a);
  const PathFacts facts = platform.Files().InspectPath(a);
  EXPECT_TRUE(facts.kind == PathFacts::Kind::Regular && facts.writable && facts.ownedByUser);
  EXPECT_EQ(platform.Files().InspectPath(dir.Path()).kind, PathFacts::Kind::Other);
  EXPECT_TRUE(platform.Files().RemoveFile(a) && !platform.Files().RemoveFile(a));
  EXPECT_EQ(platform.Files().InspectPath(a).kind, PathFacts::Kind::Missing);

  const std::string before = platform.Files().CurrentDirectory();
  EXPECT_EQ(platform.Files().ChangeDirectory(dir.Path()), 0);
  EXPECT_EQ(FsPath(platform.Files().CurrentDirectory()), FsPath(dir.Path()));
  EXPECT_EQ(
      platform.Files().ChangeDirectory(dir.File("missing")) + platform.Files().ChangeDirectory(""),
      76 + 76);
  EXPECT_EQ(platform.Files().ChangeDirectory(before), 0);
}

// The console handler removes a marked new file although its writer still has it open;
// an unmarked one stays.
TEST(Win32Files, MarkedFilesAreRemovedOnInterrupt) {
  TempDir dir;
  Win32Platform platform;
  const std::string marked = dir.File("a.xml.~1-0000000A.new~"), kept = dir.File("b.xml");
  auto mark = platform.Files().RemoveOnInterrupt(marked);
  ASSERT_NE(mark, nullptr);
  platform.Files().RemoveOnInterrupt(kept).reset();
  auto writing =
      platform.Files().OpenFileForWriting(marked, FileService::WriteMode::CreateNew, 0600);
  auto otherWriting =
      platform.Files().OpenFileForWriting(kept, FileService::WriteMode::CreateNew, 0600);
  ASSERT_TRUE(writing && writing->Write("<a") && otherWriting && otherWriting->Write("<b"));
  RemoveMarkedFiles();
  writing->Close(), otherWriting->Close();
  mark.reset();
  EXPECT_FALSE(Exists(marked));
  EXPECT_TRUE(Exists(kept));
}

TEST(Win32FileLocks, HeldFilesAndUserLocks) {
  TempDir dir;
  Win32Platform platform;
  const std::string path = dir.File("TavrinPlugin.run");
  EXPECT_FALSE(platform.Files().CanOpenExclusively(path));  // missing
  auto marker = platform.Files().HoldFile(path);            // made when missing
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(platform.Files().HoldFile(path), nullptr);
  EXPECT_FALSE(platform.Files().CanOpenExclusively(path));
  marker.reset();
  EXPECT_TRUE(platform.Files().CanOpenExclusively(path));

  const std::string number = std::to_string(std::random_device()());
  const std::string name = "TavrinPluginTest\\" + number;
  auto shared = platform.UserValues().TakeUserLock(name, LockMode::Shared);
  EXPECT_TRUE(shared && platform.UserValues().TakeUserLock(name, LockMode::Shared));
  EXPECT_EQ(platform.UserValues().TakeUserLock(name, LockMode::TryExclusive), nullptr);
  shared.reset();
  EXPECT_NE(platform.UserValues().TakeUserLock(name, LockMode::TryExclusive), nullptr);
  const std::string lockFile = platform.Machine().GetEnvironmentVariable("LOCALAPPDATA") +
                               "\\TavrinPlugin\\locks\\TavrinPluginTest_" + number + ".lock";
  EXPECT_TRUE(platform.Files().RemoveFile(lockFile)) << lockFile;
}

TEST(Win32Processes, ExitCodesAndMissingPrograms) {
  Win32Platform platform;
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::string cmd = Narrow(system) + "\\cmd.exe";
  const auto child = platform.Processes().StartProcess({"\"" + cmd + "\" /c exit 7", cmd, {}}, 0);
  std::uint32_t code = 0;
  while (!child->Finished(code)) child->WaitBriefly();
  EXPECT_EQ(code, 7u);
  for (const std::string& program : {Narrow(system) + "\\missing.exe", std::string()}) {
    EXPECT_EQ(ErrorOf([&] {
                platform.Processes().StartProcess({program, program, {}}, 1);
              }),
              "53 ShellAndWait");
  }
  EXPECT_TRUE(platform.Processes().ProcessAlive(platform.Processes().ProcessId()));
  EXPECT_FALSE(platform.Processes().ProcessAlive(0));
}

TEST(Win32CodePage, AnsiTextRoundTripsAndLacksNoLookAlikes) {
  Win32Platform platform;
  if (platform.Locale().LocaleInfo(4100) != "1252") GTEST_SKIP() << "ANSI code page is not 1252";
  std::string bytes;
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) bytes += char(b);
  }
  const std::string utf8 = platform.Locale().AnsiToUtf8(bytes);
  EXPECT_EQ(utf8, Windows1252ToUtf8(bytes));
  EXPECT_EQ(platform.Locale().Utf8ToAnsi(utf8), bytes);
  EXPECT_EQ(platform.Locale().Utf8ToAnsi("ā€Я"), "?\x80?");
}

TEST(Win32System, LocaleTimeMachineAndShapes) {
  Win32Platform platform;
  EXPECT_TRUE(std::regex_match(platform.Locale().LocaleInfo(1), std::regex("[0-9A-Fa-f]{4}")));
  const RegionalSettings regional = platform.Locale().Regional();
  EXPECT_FALSE(regional.dateSeparator.empty() || regional.timeSeparator.empty() ||
               regional.decimalSeparator.empty() || regional.monthNames[11].empty() ||
               regional.abbreviatedDayNames[0].empty());
  const int bias = platform.Clock().UtcBiasMinutes(platform.Clock().Now());
  EXPECT_TRUE(bias >= -840 && bias <= 720) << bias;
  EXPECT_GE(platform.Clock().Now().year, 2024);
  const OsVersionInfo os = platform.Machine().OsVersion();
  EXPECT_TRUE(os.major >= 5 && os.platformId == 2 && os.systemName.empty());
  const std::string program = platform.Machine().ProgramPath();
  const std::size_t slash = program.find_last_of('\\');
  ASSERT_TRUE(program.ends_with(".exe") && slash != std::string::npos);
  EXPECT_EQ(platform.Processes().FindProcessFolder(ToUpper(program.substr(slash + 1))),
            program.substr(0, slash + 1));
  EXPECT_FALSE(platform.Files().ShortPath(program).empty());
  EXPECT_EQ(platform.Files().ShortPath(program + ".missing"), "");
  // No archive component here: neither created nor registered.
  EXPECT_FALSE(platform.Machine().CreateZipComponent() ||
               platform.Machine().RegisterZipComponent(program + ".dll"));
  EXPECT_FALSE(platform.Machine().ComputerName().empty() || platform.Machine().UserName().empty());
  EXPECT_NE(platform.Machine().RandomSeed(), platform.Machine().RandomSeed());
  const std::string value = std::string(300, 'x') + "Я";  // longer than the first buffer
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TAVRIN_TEST", Wide(value).c_str()));
  EXPECT_EQ(platform.Machine().GetEnvironmentVariable("TAVRIN_TEST"), value);
  ::SetEnvironmentVariableW(L"TAVRIN_TEST", nullptr);
  EXPECT_EQ(platform.Machine().GetEnvironmentVariable("TAVRIN_TEST"), "");
}

// The provider's own part of HMAC: key lengths (RFC 4231 cases 2 and 6; an empty key).
TEST(Win32Crypto, HmacKeysOfEveryLength) {
  CryptoApiCrypto crypto;
  const std::string longKey(131, '\xaa');
  const char* cases[][3] = {
      {"Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {longKey.c_str(), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {"", "", "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"}};
  for (const auto& [key, data, expected] : cases) {
    std::vector<std::uint8_t> mac;
    EXPECT_TRUE(crypto.HmacSha256(Bytes(key), Bytes(data), mac)) << crypto.LastError();
    EXPECT_EQ(Hex(mac), expected) << key;
  }
}

}  // namespace
}  // namespace tavrin
