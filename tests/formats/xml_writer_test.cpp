#include "formats/xml_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "formats/golden_file.h"
#include "shared/codepage.h"

namespace tavrin {
namespace {

using testing::BitwiseMcrf4xx;
using testing::FakePlatform;
using testing::GoldenFile;
using testing::Hex4;

// The CRC digits a document carries; with `remove`, they are taken out of the document.
std::string CheckDigits(std::string& document, bool remove = false) {
  const auto at = document.find("<CHECK CRC=\"") + 12;
  const std::string digits = document.substr(at, document.find('"', at) - at);
  if (remove) document.erase(at, digits.size());
  return digits;
}

// A record text in its working form: single quotes, every attribute present. The values
// are Val, Dt, Tm, Flg, Evt, Carb, Ins1, Ins2, Ins3 and remark.
std::string Record(const std::array<std::string, 10>& v, bool ctrl = false) {
  return "<BG Val='" + v[0] + "' Dt='" + v[1] + "' Tm='" + v[2] + "' Flg='" + v[3] + "' Evt='" +
         v[4] + "' Carb='" + v[5] + "' Ins1='" + v[6] + "' Ins2='" + v[7] + "' Ins3='" + v[8] +
         "' D='1' remark='" + v[9] + "'" + (ctrl ? " Ctrl='1'" : "") + " />";
}

std::string Document(std::string_view unit, std::string_view serial, bool staticSerial,
                     const DateTime& writtenAt, const ProgramVersion& version,
                     const std::vector<std::string>& records) {
  FakePlatform platform;
  cStringBuilder xml;
  WriteXmlHeader(xml, unit, serial, staticSerial, writtenAt, version);
  WriteBgRecords(records, xml);
  WriteXmlTrailer(xml);
  std::string document = xml.ToString();
  InsertXmlCheck(document, platform);
  return document;
}

TEST(XmlWriterGolden, GlucoseCarbsInsulinEventsAndControlRecord) {
  const std::vector<std::string> records = {
      Record({"132", "2024-03-05", "07:45", "", "", "30", "4.5", "", "", ""}),
      Record({"", "2024-03-05", "12:00", "", "", "45", "", "", "", ""}),
      Record({"95", "2024-03-05", "18:30", "*", "20, 29", "", "", "", "2", ""}),
      Record({"112", "2024-03-06", "06:00", "", "", "", "", "", "", ""}, true)};
  EXPECT_EQ(Document("mg/dL", "T1234567", false, {2024, 3, 6, 9, 5, 0}, {1, 0, 3}, records),
            GoldenFile("formats/mgdl.xml"));
}

TEST(XmlWriterGolden, StaticSerialAndEscapedValues) {
  const std::vector<std::string> records = {
      Record({"7.3", "2025-12-31", "08:00", "", "20", "", "", "", "", ""}),
      Record({"5", "2025-12-31", "08:00", "Hy", "", "", "", "", "", ""}),
      Record({"", "2025-12-31", "20:15", "", "", "", "", "6", "",
              XmlEscapeAttribute("Tom & Jerry's \"bolus\"")})};
  EXPECT_EQ(Document("mmol/L", "A&B <\"x'>", true, {2025, 12, 31, 23, 59, 0}, {2, 1, 0}, records),
            GoldenFile("formats/static_serial_mmol.xml"));
}

TEST(XmlWriterGolden, CheckValuesAgreeWithIndependentCrc) {
  for (std::string golden : {GoldenFile("formats/mgdl.xml"), GoldenFile("formats/static_serial_mmol.xml")}) {
    const std::string digits = CheckDigits(golden, true);
    EXPECT_EQ(digits, Hex4(BitwiseMcrf4xx(golden)));
  }
}

TEST(XmlWriter, CheckCoversTheAnsiBytesOfTheDocument) {
  std::string document = Document("mg/dL", "Müller", false, {2024, 3, 5, 7, 45, 0}, {1, 0, 0}, {});
  const std::string digits = CheckDigits(document, true);
  // "ü" counts as the single byte 0xFC, not as its two UTF-8 bytes.
  EXPECT_EQ(digits, Hex4(BitwiseMcrf4xx(Utf8ToWindows1252(document))));
  EXPECT_NE(digits, Hex4(BitwiseMcrf4xx(document)));
  FakePlatform platform;
  std::string empty;
  InsertXmlCheck(empty, platform);
  EXPECT_EQ(empty, "");
}

TEST(XmlWriter, DefaultVersionIsTheProgramVersion) {
  cStringBuilder xml;
  WriteXmlHeader(xml, "mg/dL", "S1", false, DateTime{2024, 1, 2, 3, 4, 0});
  const std::string version = kVersionText;
  EXPECT_NE(xml.ToString().find("SN=\"S1\" Ver=\"" + version +
                                "\"/>\r\n<DEVICE  Name=\"Tavrin App\" SN=\"S1\" ModelNum=\"" +
                                version + "\" Dt=\"2024-01-02\" Tm=\"03:04\""),
            std::string::npos);
}

TEST(XmlWriter, EmptyAttributesDropInTheirFixedOrder) {
  cStringBuilder xml;
  WriteBgRecord(Record({"---", "2024-01-01", "00:00", "", "", "", "", "", "", ""}), xml);
  // Dropping Flg joins the pieces around it into an empty Evt, which is dropped too ...
  WriteBgRecord("<BG Val='5' EvFlg='' t='' D='1' />", xml);
  // ... while an empty Flg that only forms once Evt is gone stays.
  WriteBgRecord("<BG Val='5' FlEvt='' g='' D='1' />", xml);
  // The value marker is found in any letter case; a record ending in it gets "---".
  WriteBgRecord("<BG vAL='' Carb='' remark='' />", xml);
  WriteBgRecord("<BG Val='", xml);
  EXPECT_EQ(xml.ToString(),
            "<BG Val=\"---\" Dt=\"2024-01-01\" Tm=\"00:00\" D=\"1\" />\r\n"
            "<BG Val=\"5\" D=\"1\" />\r\n"
            "<BG Val=\"5\" Flg=\"\" D=\"1\" />\r\n"
            "<BG vAL=\"---\" />\r\n"
            "<BG Val=\"---\r\n");
}

}  // namespace
}  // namespace tavrin
