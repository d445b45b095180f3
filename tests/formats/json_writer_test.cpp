#include "formats/json_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_platform.h"
#include "formats/golden_file.h"
#include "formats/hash_api.h"
#include "platform/posix/openssl_crypto.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::GoldenFile;
using Readings = std::vector<std::pair<const char*, const char*>>;

class JsonWriterTest : public ::testing::Test {
 protected:
  JsonWriterTest() { platform.crypto = &crypto; }

  // The sequences of a finished document of these readings: the text between
  // "sequences": and the line break before "]],".
  std::string Sequences(const Readings& readings) {
    JsonStreamWriter writer(platform, "mg/dL", "S1", {1, 0, 0});
    writer.WriteJsonOpening();
    for (const auto& [timestamp, value] : readings) writer.WriteCgmReading(timestamp, value);
    const std::string document = writer.WriteJsonClosing();
    const auto at = document.find("\"sequences\": ") + 13;
    return document.substr(at, document.find("\r\n]],", at) - at);
  }

  OpenSslCrypto crypto;
  FakePlatform platform;
};

TEST_F(JsonWriterTest, GoldenEntriesInterpolationRepeatedMinuteAndGap) {
  JsonStreamWriter writer(platform, "mg/dL", "T1234567", {1, 0, 3});
  writer.WriteJsonOpening();
  EXPECT_TRUE(writer.WriteJsonEntry("2024-03-05", "07:45", "3", "30"));
  EXPECT_TRUE(writer.WriteJsonEntry("2024-03-05", "07:45", "4", "4,5"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-03-05", "07:45", "1", "132"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-03-05", "07:50", "3", "0"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-03-05", "07:55", "4", ""));
  EXPECT_TRUE(writer.WriteJsonEntry("2024-03-05", "08:00", "5", "2*"));
  for (const auto& [timestamp, value] : Readings{{"2024-03-05T07:45:00Z", "100"},
                                                 {"2024-03-05T07:50:00Z", "110"},
                                                 {"2024-03-05T07:51:00Z", "111"},
                                                 {"2024-03-05T07:51:00Z", "112"},
                                                 {"2024-03-05T08:09:00Z", "120"},
                                                 {"2024-03-05T08:12:00Z", "117"}}) {
    writer.WriteCgmReading(timestamp, value);
  }
  EXPECT_EQ(writer.WriteJsonClosing(), GoldenFile("formats/entries_and_gaps.json"));
}

TEST_F(JsonWriterTest, GoldenSingleReadingWithoutEntries) {
  JsonStreamWriter writer(platform, "mmol/L", "unknown", {2, 1, 0});
  writer.WriteJsonOpening();
  writer.WriteJsonOpening();  // written once only
  writer.WriteCgmReading("2024-11-20T22:00:00Z", "132");
  EXPECT_EQ(writer.WriteJsonClosing(), GoldenFile("formats/single_reading.json"));
  EXPECT_EQ(writer.WriteJsonClosing(), "");  // the writer is spent
}

// The digest service is pinned by known answers of its own.
TEST_F(JsonWriterTest, GoldenChecksumsCoverEveryCharacterBeforeThem) {
  constexpr std::string_view kKey = "\"SHA-256\": \"";
  cHashAPI hash(platform);
  for (std::string golden :
       {GoldenFile("formats/entries_and_gaps.json"), GoldenFile("formats/single_reading.json")}) {
    const auto at = golden.find(kKey) + kKey.size();
    const std::string checksum = golden.substr(at, 64);
    golden.erase(at, 64);
    EXPECT_EQ(checksum,
              hash.CreateSHA256Hash(std::vector<std::uint8_t>(golden.begin(), golden.end())));
  }
}

TEST_F(JsonWriterTest, SequencesInterpolateUpTo17MinutesAndCountFromTheFirstReading) {
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

TEST_F(JsonWriterTest, MalformedTimestampsAndEntryDatesRaise5) {
  JsonStreamWriter writer(platform, "mg/dL", "S1");
  writer.WriteJsonOpening();
  for (const char* bad : {"2024-03-05 07:45:00Z", "2024-13-05T07:45:00Z", "2024-02-30T07:45:00Z",
                          "2024-03-05T07:45", "2024-03-05T07:4\":00Z"}) {
    try {
      writer.WriteCgmReading(bad, "100");
      ADD_FAILURE() << bad;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), kErrInvalidArgument);
    }
  }
  EXPECT_THROW(writer.WriteJsonEntry("2024-02-30", "08:00", "3", "20"), RuntimeError);
  EXPECT_THROW(writer.WriteJsonEntry("2024-02-01", "8:00", "3", "20"), RuntimeError);
}

// A platform on Central European time: UTC+1 in winter, UTC+2 from April to October.
class CentralEuropeanPlatform : public FakePlatform {
 public:
  int UtcBiasMinutes(const DateTime& local) override {
    return (local.month >= 4 && local.month <= 10) ? -120 : -60;
  }
};

TEST(JsonWriterEntries, AmountsCleanedCodesReadByLeadingNumberAndOffsetsOfTheirOwnDate) {
  OpenSslCrypto crypto;
  CentralEuropeanPlatform platform;
  platform.crypto = &crypto;
  JsonStreamWriter writer(platform, "mg/dL", "AB\\12\r\n3\"4");
  writer.WriteJsonOpening();
  EXPECT_TRUE(writer.WriteJsonEntry("2024-01-10", "12:00", "3", "10-20"));
  EXPECT_TRUE(writer.WriteJsonEntry("2024-07-10", "12:00", "4b", "10+5"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-01-10", "12:00", "1b", "95"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-01-10", "12:00", "IPBR", "3"));
  EXPECT_FALSE(writer.WriteJsonEntry("2024-01-10", "12:00", "5", "-3"));
  writer.WriteCgmReading("2024-07-15T08:00:00Z", "100");  // keeps the form it was given
  const std::string document = writer.WriteJsonClosing();
  EXPECT_NE(document.find("\"data\": [{\r\n\"type\": \"carb\",\"timestamp\": "
                          "\"2024-01-10T12:00:00+01:00\",\"value\": 15\r\n},{\r\n"
                          "\"type\": \"insulin\",\"timestamp\": \"2024-07-10T12:00:00+02:00\","
                          "\"category\": \"1\",\"value\": 15\r\n}]\r\n},"),
            std::string::npos)
      << document;
  EXPECT_NE(document.find("[[[0,\"2024-07-15T08:00:00Z\"]"), std::string::npos);
  EXPECT_NE(document.find("\"serial number\": \"AB\\\\12||3'4\","), std::string::npos);
  EXPECT_EQ(TimeZoneSuffix(-330), "+05:30");
  EXPECT_EQ(TimeZoneSuffix(0), "-00:00");
  EXPECT_EQ(TimeZoneSuffix(300), "-05:00");
}

TEST(JsonWriterText, StringValuesStayValidJson) {
  EXPECT_EQ(JsonMember("k", "a\"b\r\nc\\d\te\x01", true, false, false),
            "\"k\": \"a'b||c\\\\d\\te\\u0001\",");
  EXPECT_EQ(JsonMember("k", "say \"hi\"", false, false, true, false),
            "\"k\": \"say \\\"hi\\\"\"\r\n}");
  EXPECT_EQ(JsonMember("k", "[1  , \"min\"]", false, true, false, false), "\"k\": [1  , \"min\"]");
}

}  // namespace
}  // namespace tavrin
