#include "handover/import_call.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "handover/mac_key.h"
#include "handover_fixture.h"

namespace tavrin {
namespace {

class ImportCallTest : public testing::HandoverTest {};

// HMAC-SHA-256 straight from OpenSSL, as lower-case hex.
std::string ReferenceMac(const std::string& key, const std::string& data) {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac, &length);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += "0123456789abcdef"[mac[i] >> 4];
    hex += "0123456789abcdef"[mac[i] & 0x0F];
  }
  return hex;
}

TEST_F(ImportCallTest, MacIsHmacSha256OfTheUtf8BytesUnderTheDatabaseKey) {
  const std::string document = "<?xml version='1.0'?>\r\n<IMPORT name='Zürich – 5 €'/>\r\n";
  const std::string key = std::string(kMacKeyConstant) + context.host.databaseId + "}";
  EXPECT_EQ(ComputeFileMac(context, document), ReferenceMac(key, document));
  // Every MAC sets its own key: a second one in a row works too.
  EXPECT_EQ(ComputeFileMac(context, ""), ReferenceMac(key, ""));
  context.host.databaseId = "OTHER";
  EXPECT_EQ(ComputeFileMac(context, document),
            ReferenceMac(std::string(kMacKeyConstant) + "OTHER}", document));
}

TEST_F(ImportCallTest, JsonCallQuotesTheProgramOnlyWhenTheFolderHasABlank) {
  EXPECT_EQ(BuildImportCommand(context, CommandForm::L, "/t/a.json", "ab12", " -jobid 123456789"),
            "\"" + context.host.baseFolder + "_EXTRAS" + sep +
                "KelsarImport.exe\" import -filepath /t/a.json -filemac ab12 -jobid 123456789");
  context.host.baseFolder = sep + "opt" + sep + "OX";  // also gets its separator
  EXPECT_EQ(BuildImportCommand(context, CommandForm::L, "x.json", "ff", ""),
            sep + "opt" + sep + "OX" + sep + "_EXTRAS" + sep +
                "KelsarImport.exe import -filepath x.json -filemac ff");
}

TEST_F(ImportCallTest, XmlCallUsesTheShortFolderUnquotedWithoutJobSuffix) {
  platform.shortNames[context.host.baseFolder] = sep + "VELTRA~1";
  EXPECT_EQ(ShortBaseFolder(context), sep + "VELTRA~1" + sep);
  EXPECT_EQ(BuildImportCommand(context, CommandForm::S, "C:\\T D\\a.xml", "00ff", " -jobid 1"),
            sep + "VELTRA~1" + sep + "_EXTRAS" + sep +
                "KelsarImport.exe import -filepath C:\\T D\\a.xml -filemac 00ff");
  // Without a short form the long folder is used, quoted so that it stays in one piece.
  platform.shortNames.clear();
  EXPECT_EQ(BuildImportCommand(context, CommandForm::S, "a.xml", "00", ""),
            "\"" + context.host.baseFolder + "_EXTRAS" + sep +
                "KelsarImport.exe\" import -filepath a.xml -filemac 00");
}

TEST_F(ImportCallTest, HostSwitchComparesVersionsAsText) {
  const std::string tool = "\"C:" + sep + "_EXTRAS" + sep + "KelsarImport.exe\" import x " +
                           "_EXTRAS" + sep + "KelsarImport.exe _extras" + sep + "kelsarimport.exe";
  const std::string host =
      "\"C:" + sep + "Veltra Orvolux Software.exe\" import x Veltra Orvolux Software.exe _extras" +
      sep + "kelsarimport.exe";
  for (const char* version : {"3.0.9.1", "10.0.0.0", ""}) {
    EXPECT_EQ(ApplyHostSwitch(tool, version), tool) << version;
  }
  for (const char* version : {"3.1", "3.1.0.0", "4"}) {
    EXPECT_EQ(ApplyHostSwitch(tool, version), host) << version;
  }
}

TEST_F(ImportCallTest, ExitCodesInWords) {
  EXPECT_EQ(ImportToolExitText(7).text, "Unknown patient");
  EXPECT_TRUE(ImportToolExitText(7).loginRelated);
  EXPECT_EQ(ImportToolExitText(1).text, "Unknown error.");
  EXPECT_EQ(ImportToolExitText(14).text, "Decrypt failed.");
  EXPECT_FALSE(ImportToolExitText(14).loginRelated);
  for (int code : {5, 6, 12}) EXPECT_TRUE(ImportToolExitText(code).loginRelated) << code;
  for (int code : {0, 15, -1}) {
    EXPECT_EQ(ImportToolExitText(code).text, "") << code;
    EXPECT_FALSE(ImportToolExitText(code).loginRelated) << code;
  }
}

}  // namespace
}  // namespace tavrin
