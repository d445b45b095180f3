// Writing the host documents at the sizes months of data give: the JSON exchange stream
// for 500,000 CGM readings (every 5 minutes, with an occasional gap that starts a new
// sequence) and the XML import document for 1,000,000 BG records, check value included.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "formats/json_writer.h"
#include "formats/xml_writer.h"
#include "platform/system_crypto.h"
#include "shared/date_time.h"

namespace {

constexpr int kReadings = 500000;
constexpr int kRecords = 1000000;

// Calendar date of a day count since 1970-01-01 (serial day 25569).
void CivilFromDays(long long days, int& year, int& month, int& day) {
  const tavrin::DateTime date = tavrin::FromSerial(25569.0 + static_cast<double>(days));
  year = date.year;
  month = date.month;
  day = date.day;
}

struct Reading {
  std::string timestamp;
  std::string value;
};

// One reading every 5 minutes from 2024-01-01; after every 997th reading the sensor is
// off for 40 minutes.
const std::vector<Reading>& Readings() {
  static const std::vector<Reading> readings = [] {
    std::vector<Reading> out;
    out.reserve(kReadings);
    long long minute = 19723LL * 1440;  // 2024-01-01 00:00
    for (int i = 0; i < kReadings; ++i) {
      minute += (i % 997 == 996) ? 40 : 5;
      int year = 0, month = 0, day = 0;
      CivilFromDays(minute / 1440, year, month, day);
      char text[32];
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00Z", year, month, day,
                    static_cast<int>(minute % 1440 / 60), static_cast<int>(minute % 60));
      const int value = 140 + static_cast<int>(60.0 * std::sin(i / 40.0));
      out.push_back({text, std::to_string(value)});
    }
    return out;
  }();
  return readings;
}

void BM_JsonStream500kCgmReadings(benchmark::State& state) {
  const auto& readings = Readings();
  tavrin::SystemCrypto crypto;
  tavrin::testing::FakePlatform platform;
  platform.crypto = &crypto;
  std::size_t size = 0;
  for (auto _ : state) {
    tavrin::JsonStreamWriter writer(platform, "mg/dL", "T1234567");
    writer.WriteJsonOpening();
    for (int i = 0; i < 300; ++i) {
      writer.WriteJsonEntry("2024-02-01", "12:00", i % 2 == 0 ? "3" : "4", "12,5");
    }
    for (const Reading& r : readings) writer.WriteCgmReading(r.timestamp, r.value);
    const std::string document = writer.WriteJsonClosing();
    size = document.size();
    benchmark::DoNotOptimize(document.data());
  }
  state.counters["MB"] = static_cast<double>(size) / 1e6;
  state.SetItemsProcessed(state.iterations() * kReadings);
}
BENCHMARK(BM_JsonStream500kCgmReadings)->Unit(benchmark::kMillisecond);

// Working record texts as the record conversion leaves them: single quotes, empty
// attributes still present.
const std::vector<std::string>& Records() {
  static const std::vector<std::string> records = [] {
    std::vector<std::string> out;
    out.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
      int year = 0, month = 0, day = 0;
      CivilFromDays(19723 + i / 96, year, month, day);
      const int minute = (i % 96) * 15;
      char text[200];
      std::snprintf(text, sizeof text,
                    "<BG Val='%s' Dt='%04d-%02d-%02d' Tm='%02d:%02d' Flg='' Evt='%s' Carb='%s' "
                    "Ins1='' Ins2='' Ins3='' D='1' remark='' />",
                    i % 7 == 0 ? "" : std::to_string(80 + i % 150).c_str(), year, month, day,
                    minute / 60, minute % 60, i % 11 == 0 ? "20, 29" : "", i % 5 == 0 ? "30" : "");
      out.emplace_back(text);
    }
    return out;
  }();
  return records;
}

void BM_XmlDocument1mBgRecords(benchmark::State& state) {
  const auto& records = Records();
  tavrin::testing::FakePlatform platform;
  std::size_t size = 0;
  for (auto _ : state) {
    tavrin::cStringBuilder xml;
    tavrin::WriteXmlHeader(xml, "mg/dL", "T1234567", false, tavrin::DateTime{2026, 1, 2, 3, 4, 0});
    tavrin::WriteBgRecords(records, xml);
    tavrin::WriteXmlTrailer(xml);
    std::string document = xml.ToString();
    tavrin::InsertXmlCheck(document, platform);
    size = document.size();
    benchmark::DoNotOptimize(document.data());
  }
  state.counters["MB"] = static_cast<double>(size) / 1e6;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_XmlDocument1mBgRecords)->Unit(benchmark::kMillisecond);

}  // namespace
