#include "formats/xml_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/golden_text.h"
#include "shared/codepage.h"

namespace tavrin {
namespace {

using testing::BitwiseMcrf4xx;
using testing::FakePlatform;
using testing::Hex4;
using testing::WithCrLf;

// The CRC digits a document carries, and the document with them taken out again.
std::string CheckDigits(const std::string& document) {
  const auto at = document.find("<CHECK CRC=\"") + 12;
  return document.substr(at, document.find('"', at) - at);
}
std::string WithoutCheckDigits(const std::string& document) {
  std::string out = document;
  const auto at = out.find("<CHECK CRC=\"") + 12;
  out.erase(at, out.find('"', at) - at);
  return out;
}

std::string RecordText(std::string_view val, std::string_view dt, std::string_view tm,
                       std::string_view flg, std::string_view evt, std::string_view carb,
                       std::string_view ins1, std::string_view ins2, std::string_view ins3,
                       std::string_view remark, bool ctrl = false) {
  std::string r = "<BG Val='" + std::string(val) + "' Dt='" + std::string(dt) + "' Tm='" +
                  std::string(tm) + "' Flg='" + std::string(flg) + "' Evt='" + std::string(evt) +
                  "' Carb='" + std::string(carb) + "' Ins1='" + std::string(ins1) + "' Ins2='" +
                  std::string(ins2) + "' Ins3='" + std::string(ins3) + "' D='1' remark='" +
                  std::string(remark) + "'";
  if (ctrl) r += " Ctrl='1'";
  return r + " />";
}

std::string BuildDocument(FakePlatform& platform, std::string_view unit, std::string_view serial,
                          bool staticSerial, const DateTime& writtenAt,
                          const ProgramVersion& version, const std::vector<std::string>& records) {
  cStringBuilder xml;
  WriteXmlHeader(xml, unit, serial, staticSerial, writtenAt, version);
  WriteBgRecords(records, xml);
  WriteXmlTrailer(xml);
  std::string document = xml.ToString();
  InsertXmlCheck(document, platform);
  return document;
}

// --- Golden documents

const std::string kGoldenMgdl = WithCrLf(R"(<?xml version="1.0" encoding="utf-8" ?>
<?xml-stylesheet type="text/xls" href="VTOXIXMT.xsl" ?>
<IMPORT>
<VTOXIX Type="0000" SN="T1234567" Ver="1.0.3"/>
<DEVICE  Name="Tavrin App" SN="T1234567" ModelNum="1.0.3" Dt="2024-03-06" Tm="09:05" BGUnit="mg/dL" CarbUnit="g" />
<RECENTREC Dt="-" Tm="-" />
<BGDATA>
<BG Val="132" Dt="2024-03-05" Tm="07:45" Carb="30" Ins1="4.5" D="1" />
<BG Val="---" Dt="2024-03-05" Tm="12:00" Carb="45" D="1" />
<BG Val="95" Dt="2024-03-05" Tm="18:30" Flg="*" Evt="20, 29" Ins3="2" D="1" />
<BG Val="112" Dt="2024-03-06" Tm="06:00" D="1" Ctrl="1" />
</BGDATA>
<CHECK CRC="73E2" />
</IMPORT>)");

const std::string kGoldenStaticMmol = WithCrLf(R"(<?xml version="1.0" encoding="utf-8" ?>
<?xml-stylesheet type="text/xls" href="VTOXIXMT.xsl" ?>
<IMPORT>
<VTOXIX Type="0000" SN="OXP-Tavrin " Ver="2.1.0"/>
<DEVICE  Name="Tavrin App" SN="A&amp;B &lt;&quot;x&apos;&gt;" ModelNum="2.1.0" Dt="2025-12-31" Tm="23:59" BGUnit="mmol/L" CarbUnit="g" />
<RECENTREC Dt="-" Tm="-" />
<BGDATA>
<BG Val="7.3" Dt="2025-12-31" Tm="08:00" Evt="20" D="1" />
<BG Val="5" Dt="2025-12-31" Tm="08:00" Flg="Hy" D="1" />
<BG Val="---" Dt="2025-12-31" Tm="20:15" Ins2="6" D="1" remark="Tom &amp; Jerry&apos;s &quot;bolus&quot;" />
</BGDATA>
<CHECK CRC="0E47" />
</IMPORT>)");

TEST(XmlWriterGolden, GlucoseCarbsInsulinEventsAndControlRecord) {
  FakePlatform platform;
  const std::vector<std::string> records = {
      RecordText("132", "2024-03-05", "07:45", "", "", "30", "4.5", "", "", ""),
      RecordText("", "2024-03-05", "12:00", "", "", "45", "", "", "", ""),
      RecordText("95", "2024-03-05", "18:30", "*", "20, 29", "", "", "", "2", ""),
      RecordText("112", "2024-03-06", "06:00", "", "", "", "", "", "", "", true)};
  const std::string document = BuildDocument(platform, "mg/dL", "T1234567", false,
                                             DateTime{2024, 3, 6, 9, 5, 0}, {1, 0, 3}, records);
  EXPECT_EQ(document, kGoldenMgdl);
}

TEST(XmlWriterGolden, StaticSerialAndEscapedValues) {
  FakePlatform platform;
  const std::vector<std::string> records = {
      RecordText("7.3", "2025-12-31", "08:00", "", "20", "", "", "", "", ""),
      RecordText("5", "2025-12-31", "08:00", "Hy", "", "", "", "", "", ""),
      RecordText("", "2025-12-31", "20:15", "", "", "", "", "6", "",
                 XmlEscapeAttribute("Tom & Jerry's \"bolus\""))};
  const std::string document = BuildDocument(platform, "mmol/L", "A&B <\"x'>", true,
                                             DateTime{2025, 12, 31, 23, 59, 0}, {2, 1, 0}, records);
  EXPECT_EQ(document, kGoldenStaticMmol);
}

TEST(XmlWriterGolden, CheckValuesAgreeWithIndependentCrc) {
  for (const std::string& golden : {kGoldenMgdl, kGoldenStaticMmol}) {
    EXPECT_EQ(CheckDigits(golden), Hex4(BitwiseMcrf4xx(WithoutCheckDigits(golden))));
  }
}

// --- Header, records and trailer

TEST(XmlWriterHeader, DefaultVersionIsTheProgramVersion) {
  cStringBuilder xml;
  WriteXmlHeader(xml, "mg/dL", "S1", false, DateTime{2024, 1, 2, 3, 4, 0});
  const std::string version = kVersionText;
  EXPECT_NE(xml.ToString().find("<VTOXIX Type=\"0000\" SN=\"S1\" Ver=\"" + version + "\"/>\r\n"),
            std::string::npos);
  EXPECT_NE(xml.ToString().find("ModelNum=\"" + version + "\" Dt=\"2024-01-02\" Tm=\"03:04\""),
            std::string::npos);
}

TEST(XmlWriterRecords, SingleRecordAndValueOfThreeDashesIsKept) {
  cStringBuilder xml;
  WriteBgRecord(RecordText("---", "2024-01-01", "00:00", "", "", "", "", "", "", ""), xml);
  WriteBgRecord("<BG Val='' Dt='2024-01-01' Tm='00:01' D='1' />", xml);
  EXPECT_EQ(xml.ToString(),
            "<BG Val=\"---\" Dt=\"2024-01-01\" Tm=\"00:00\" D=\"1\" />\r\n"
            "<BG Val=\"---\" Dt=\"2024-01-01\" Tm=\"00:01\" D=\"1\" />\r\n");
}

TEST(XmlWriterRecords, EmptyAttributesDropInTheirFixedOrder) {
  cStringBuilder xml;
  // Dropping Flg joins the pieces around it into an empty Evt, which is dropped too ...
  WriteBgRecord("<BG Val='5' EvFlg='' t='' D='1' />", xml);
  // ... while an empty Flg that only forms once Evt is gone stays.
  WriteBgRecord("<BG Val='5' FlEvt='' g='' D='1' />", xml);
  // The value marker is found in any letter case; a record ending in it gets "---".
  WriteBgRecord("<BG vAL='' Carb='' remark='' />", xml);
  WriteBgRecord("<BG Val='", xml);
  EXPECT_EQ(xml.ToString(),
            "<BG Val=\"5\" D=\"1\" />\r\n"
            "<BG Val=\"5\" Flg=\"\" D=\"1\" />\r\n"
            "<BG vAL=\"---\" />\r\n"
            "<BG Val=\"---\r\n");
}

TEST(XmlWriterEscape, OrdinaryValuesStayAsTheyAre) {
  EXPECT_EQ(XmlEscapeAttribute("T-1234/5 mg/dL äöü"), "T-1234/5 mg/dL äöü");
  EXPECT_EQ(XmlEscapeAttribute(""), "");
}

TEST(XmlWriterEscape, EverySpecialCharacterBecomesAnEntity) {
  EXPECT_EQ(XmlEscapeAttribute("a&b<c>d\"e'f&amp;"), "a&amp;b&lt;c&gt;d&quot;e&apos;f&amp;amp;");
}

// --- Check value

TEST(XmlWriterCheck, EmptyDocumentStaysEmpty) {
  FakePlatform platform;
  std::string document;
  InsertXmlCheck(document, platform);
  EXPECT_EQ(document, "");
}

TEST(XmlWriterCheck, CoversTheAnsiBytesOfTheDocument) {
  FakePlatform platform;
  cStringBuilder xml;
  WriteXmlHeader(xml, "mg/dL", "Müller", false, DateTime{2024, 3, 5, 7, 45, 0}, {1, 0, 0});
  WriteXmlTrailer(xml);
  const std::string unchecked = xml.ToString();
  std::string document = unchecked;
  InsertXmlCheck(document, platform);
  // "ü" counts as the single byte 0xFC, not as its two UTF-8 bytes.
  EXPECT_EQ(CheckDigits(document), Hex4(BitwiseMcrf4xx(Utf8ToWindows1252(unchecked))));
  EXPECT_NE(CheckDigits(document), Hex4(BitwiseMcrf4xx(unchecked)));
  EXPECT_EQ(WithoutCheckDigits(document), unchecked);
}

TEST(XmlWriterCheck, AnyChangedCharacterChangesTheCheckValue) {
  FakePlatform platform;
  std::string reference = WithoutCheckDigits(kGoldenMgdl);
  InsertXmlCheck(reference, platform);
  const std::string expected = CheckDigits(reference);
  const std::string unchecked = WithoutCheckDigits(kGoldenMgdl);
  for (std::size_t i = 0; i < unchecked.size(); ++i) {
    std::string changed = unchecked;
    changed[i] = changed[i] == 'x' ? 'y' : 'x';
    InsertXmlCheck(changed, platform);
    if (changed.find("<CHECK CRC=\"") == std::string::npos) continue;  // marker itself hit
    EXPECT_NE(CheckDigits(changed), expected) << "position " << i;
  }
}

}  // namespace
}  // namespace tavrin
