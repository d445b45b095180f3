// The host XML document and the JSON exchange stream, against golden documents written
// by hand.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_platform.h"
#include "formats/golden_file.h"
#include "formats/json_writer.h"
#include "formats/xml_writer.h"
#include "platform/system_crypto.h"
#include "shared/codepage.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::BitwiseMcrf4xx;
using testing::GoldenFile;
using testing::Hex4;
using Readings = std::vector<std::pair<const char*, const char*>>;

// An entry row (date, time, code, amount) and whether the writer takes it.
struct Entry {
  const char *date, *time, *code, *amount;
  bool taken;
};

// A platform on Central European time: UTC+1 in winter, UTC+2 from April to October.
class CentralEuropeanPlatform : public testing::FakePlatform {
 public:
  int UtcBiasMinutes(const DateTime& local) override {
    return (local.month >= 4 && local.month <= 10) ? -120 : -60;
  }
};

class DocumentTest : public ::testing::Test {
 protected:
  DocumentTest() { platform.crypto = &crypto; }

  // The finished document of these entries and readings.
  std::string Write(std::string serial, const std::vector<Entry>& entries, const Readings& readings,
                    std::string unit = "mg/dL", const ProgramVersion& version = {1, 0, 0}) {
    JsonStreamWriter writer(platform, std::move(unit), std::move(serial), version);
    writer.WriteJsonOpening();
    for (const Entry& e : entries) {
      EXPECT_EQ(writer.WriteJsonEntry(e.date, e.time, e.code, e.amount), e.taken) << e.code;
    }
    for (const auto& [timestamp, value] : readings) writer.WriteCgmReading(timestamp, value);
    return writer.WriteJsonClosing();
  }

  // The sequences of a document of these readings: the text between "sequences": and the
  // line break before "]],".
  std::string Sequences(const Readings& readings) {
    const std::string document = Write("S1", {}, readings);
    const auto at = document.find("\"sequences\": ") + 13;
    return document.substr(at, document.find("\r\n]],", at) - at);
  }

  SystemCrypto crypto;
  CentralEuropeanPlatform platform;
};

TEST_F(DocumentTest, JsonGoldenEntriesInterpolationRepeatedMinuteAndGap) {
  const std::vector<Entry> entries = {
      {"2024-03-05", "07:45", "3", "30", true},   {"2024-03-05", "07:45", "4", "4,5", true},
      {"2024-03-05", "07:45", "1", "132", false}, {"2024-03-05", "07:50", "3", "0", false},
      {"2024-03-05", "07:55", "4", "", false},    {"2024-03-05", "08:00", "5", "2*", true}};
  const Readings readings = {{"2024-03-05T07:45:00Z", "100"}, {"2024-03-05T07:50:00Z", "110"},
                             {"2024-03-05T07:51:00Z", "111"}, {"2024-03-05T07:51:00Z", "112"},
                             {"2024-03-05T08:09:00Z", "120"}, {"2024-03-05T08:12:00Z", "117"}};
  EXPECT_EQ(Write("T1234567", entries, readings, "mg/dL", {1, 0, 3}),
            GoldenFile("formats/entries_and_gaps.json"));
}

// Amounts are cleaned and codes read by their leading number; each entry has the offset of
// its own date; a reading keeps the form it was given; the serial number is escaped
// (backslash, line break, quote, tab and control character).
TEST_F(DocumentTest, JsonGoldenEntriesOnCentralEuropeanTime) {
  const std::vector<Entry> entries = {{"2024-01-10", "12:00", "3", "10-20", true},
                                      {"2024-07-10", "12:00", "4b", "10+5", true},
                                      {"2024-01-10", "12:00", "1b", "95", false},
                                      {"2024-01-10", "12:00", "IPBR", "3", false},
                                      {"2024-01-10", "12:00", "5", "-3", false}};
  EXPECT_EQ(Write("AB\\12\r\n3\"4\t\x01", entries, {{"2024-07-15T08:00:00Z", "100"}}),
            GoldenFile("formats/central_european_entries.json"));
  EXPECT_EQ(TimeZoneSuffix(-330), "+05:30");
  EXPECT_EQ(TimeZoneSuffix(0), "-00:00");
  EXPECT_EQ(TimeZoneSuffix(300), "-05:00");
}

TEST_F(DocumentTest, JsonGoldenSingleReadingWithoutEntries) {
  JsonStreamWriter writer(platform, "mmol/L", "unknown", {2, 1, 0});
  writer.WriteJsonOpening();
  writer.WriteJsonOpening();  // written once only
  writer.WriteCgmReading("2024-11-20T22:00:00Z", "132");
  EXPECT_EQ(writer.WriteJsonClosing(), GoldenFile("formats/single_reading.json"));
  EXPECT_EQ(writer.WriteJsonClosing(), "");  // the writer is spent
}

TEST_F(DocumentTest, JsonSequencesInterpolateUpTo17MinutesAndCountFromTheFirstReading) {
  const std::pair<Readings, std::string> cases[] = {
      // 100 -> 101 over two minutes: 100.5 rounds up to 101.
      {{{"2024-03-05T07:45:00Z", "100"}, {"2024-03-05T07:47:00Z", "101"}},
       R"([[[0,"2024-03-05T07:45:00Z"],[1,101,"NaN"],[1,101,"NaN"])"},
      {{{"2024-02-29T23:59:00Z", "90"}, {"2024-03-01T00:02:00Z", "93"}},
       R"([[[0,"2024-02-29T23:59:00Z"],[1,91,"NaN"],[1,92,"NaN"],[1,93,"NaN"])"},
      {{{"2024-03-05T07:00:00Z", "100"}, {"2024-03-05T07:17:00Z", "117"}},
       R"([[[0,"2024-03-05T07:00:00Z"],[1,101,"NaN"],[1,102,"NaN"],[1,103,"NaN"],[1,104,"NaN"],)"
       R"([1,105,"NaN"],[1,106,"NaN"],[1,107,"NaN"],[1,108,"NaN"],[1,109,"NaN"],[1,110,"NaN"],)"
       R"([1,111,"NaN"],[1,112,"NaN"],[1,113,"NaN"],[1,114,"NaN"],[1,115,"NaN"],[1,116,"NaN"],)"
       R"([1,117,"NaN"])"},
      {{{"2024-03-05T07:00:00Z", "100"},
        {"2024-03-05T07:01:00Z", "x"},
        {"2024-03-05T07:19:00Z", "130"},
        {"2024-03-05T08:00:00Z", "140"}},
       R"([[[0,"2024-03-05T07:00:00Z"],[1,0,"NaN"]],[[19,"2024-03-05T07:19:00Z"],[0,130,"NaN"]],)"
       R"([[60,"2024-03-05T08:00:00Z"],[0,140,"NaN"])"},
      {{}, "[["},  // without readings the session has one empty sequence
  };
  for (const auto& [readings, sequences] : cases) EXPECT_EQ(Sequences(readings), sequences);
}

TEST_F(DocumentTest, JsonMalformedTimestampsAndEntryDatesRaise5) {
  JsonStreamWriter writer(platform, "mg/dL", "S1");
  writer.WriteJsonOpening();
  const auto raises5 = ::testing::Throws<RuntimeError>(
      ::testing::Property(&RuntimeError::Number, kErrInvalidArgument));
  for (const char* bad : {"2024-03-05 07:45:00Z", "2024-13-05T07:45:00Z", "2024-02-30T07:45:00Z",
                          "2024-03-05T07:45", "2024-03-05T07:4\":00Z"}) {
    EXPECT_THAT([&] { writer.WriteCgmReading(bad, "100"); }, raises5) << bad;
  }
  EXPECT_THAT([&] { writer.WriteJsonEntry("2024-02-30", "08:00", "3", "20"); }, raises5);
  EXPECT_THAT([&] { writer.WriteJsonEntry("2024-02-01", "8:00", "3", "20"); }, raises5);
}

// Quotes kept in a string value are escaped (the golden documents show them replaced).
TEST(JsonWriter, KeptQuotesAreEscaped) {
  EXPECT_EQ(JsonMember("k", "say \"hi\"", JsonValue::kQuoted, JsonAfter::kClose, JsonQuotes::kKeep),
            "\"k\": \"say \\\"hi\\\"\"\r\n}");
}

// Takes the CRC digits out of a document and returns them.
std::string TakeCheckDigits(std::string& document) {
  const auto at = document.find("<CHECK CRC=\"") + 12;
  const std::string digits = document.substr(at, document.find('"', at) - at);
  document.erase(at, digits.size());
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
                     const DateTime& writtenAt, const std::vector<std::string>& records,
                     const ProgramVersion& version) {
  testing::FakePlatform platform;
  cStringBuilder xml;
  WriteXmlHeader(xml, unit, serial, staticSerial, writtenAt, version);
  WriteBgRecords(records, xml);
  WriteXmlTrailer(xml);
  std::string document = xml.ToString();
  InsertXmlCheck(document, platform);
  return document;
}

TEST(XmlWriter, GoldenGlucoseCarbsInsulinEventsAndControlRecord) {
  const std::vector<std::string> records = {
      Record({"132", "2024-03-05", "07:45", "", "", "30", "4.5", "", "", ""}),
      Record({"", "2024-03-05", "12:00", "", "", "45", "", "", "", ""}),
      Record({"95", "2024-03-05", "18:30", "*", "20, 29", "", "", "", "2", ""}),
      Record({"112", "2024-03-06", "06:00", "", "", "", "", "", "", ""}, true)};
  EXPECT_EQ(Document("mg/dL", "T1234567", false, {2024, 3, 6, 9, 5, 0}, records, {1, 0, 3}),
            GoldenFile("formats/mgdl.xml"));
}

TEST(XmlWriter, GoldenStaticSerialAndEscapedValues) {
  const std::vector<std::string> records = {
      Record({"7.3", "2025-12-31", "08:00", "", "20", "", "", "", "", ""}),
      Record({"5", "2025-12-31", "08:00", "Hy", "", "", "", "", "", ""}),
      Record({"", "2025-12-31", "20:15", "", "", "", "", "6", "",
              XmlEscapeAttribute("Tom & Jerry's \"bolus\"")})};
  EXPECT_EQ(Document("mmol/L", "A&B <\"x'>", true, {2025, 12, 31, 23, 59, 0}, records, {2, 1, 0}),
            GoldenFile("formats/static_serial_mmol.xml"));
}

// The check value covers the ANSI bytes of the document: "ü" counts as the single byte
// 0xFC, not as its two UTF-8 bytes. Without a version the header has the program's own.
TEST_F(DocumentTest, XmlCheckCoversTheAnsiBytesAndTheProgramVersionIsTheDefault) {
  std::string document = Document("mg/dL", "Müller", false, {2024, 1, 2, 3, 4, 0}, {}, {1, 0, 0});
  cStringBuilder header;
  WriteXmlHeader(header, "mg/dL", "S1", false, {2024, 1, 2, 3, 4, 0});
  for (const std::string attribute : {" Ver=\"", " ModelNum=\""}) {
    EXPECT_NE(header.ToString().find(attribute + kVersionText + "\""), std::string::npos);
  }
  const std::string digits = TakeCheckDigits(document);
  EXPECT_EQ(digits, Hex4(BitwiseMcrf4xx(Utf8ToWindows1252(document))));
  std::string empty;
  InsertXmlCheck(empty, platform);
  EXPECT_EQ(empty, "");
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
