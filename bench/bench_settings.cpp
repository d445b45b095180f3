// Settings files and the serial-number store at sizes far beyond the usual few hundred
// bytes, to show that their cost grows in step with the file.
//
// SettingsStart/<MB>/<shape>: what one start of the plug-in does with its settings file:
// one instance reads three values and writes two back, a second one (the trace log's)
// reads one, a third (the main window's) reads eight. Shape 0 is a file of many small
// sections with [Config] first, shape 1 one section of many keys with the wanted keys at
// its end (every value is searched for through the whole section), shape 2 the same keys
// in sections that all share the name Config (only the first one counts). The counter
// "s_per_MB" stays flat when the work is linear in the file size.
//
// SerialStore/<entries>: settling the serial number of a new patient whose artificial
// number and 999 of its alternatives already belong to other patients, in a store that
// holds that many entries of other patients besides; the patient is filed under the last
// alternative. "s_per_1000_entries" stays flat when the work is linear in the store's size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "handover/serial_numbers.h"
#include "platform/ini_file.h"
#include "platform/process_context.h"

namespace {

using Clock = std::chrono::steady_clock;
using tavrin::testing::TempDir;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string SettingsText(std::size_t bytes, int shape) {
  const std::string keys = "Language=DE\r\nNewerOnly=0\r\nCreateDump=0\r\n";
  std::string text;
  text.reserve(bytes + 256);
  if (shape == 0) text = "[Config]\r\n" + keys + "\r\n";
  if (shape == 1) text = "[Config]\r\n";
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    if (shape == 0) text += "[Section" + n + "]\r\nKey" + n + "=Value " + n + "\r\n\r\n";
    if (shape == 1) text += "Key" + n + "=Value " + n + "\r\n";
    if (shape == 2) text += "[Config]\r\n" + keys + "Key" + n + "=Value " + n + "\r\n\r\n";
  }
  if (shape == 1) text += keys;
  return text;
}

void SettingsStart(benchmark::State& state) {
  TempDir dir;
  tavrin::testing::FakePlatform platform;
  const std::string path = dir.File("TavrinPlugin.ini");
  const std::string text = SettingsText(static_cast<std::size_t>(state.range(0)) << 20,
                                        static_cast<int>(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, text);
    state.ResumeTiming();
    tavrin::cIniFile startup(platform);
    startup.IniFile(path);
    for (const char* key : {"Language", "NewerOnly", "CreateDump"}) {
      benchmark::DoNotOptimize(startup.Load("Config", key, "0"));
    }
    startup.Save("Config", "NewerOnly", "0");
    startup.Save("Config", "CreateDump", "0");
    tavrin::cIniFile trace(platform);
    trace.IniFile(path);
    benchmark::DoNotOptimize(trace.Load("Config", "DeleteLogOnStartup", "1"));
    tavrin::cIniFile window(platform);
    window.IniFile(path);
    for (const char* key : {"CreateDump", "CreateFormattedJSON", "ShowOldOrNewDataWarning",
                            "NumDaysOldDataWarning", "XML", "XML-SNo-Static", "Language", "A"}) {
      benchmark::DoNotOptimize(window.Load("Config", key, "0"));
    }
  }
  // A rate inverted: seconds per MB of the file.
  state.counters["s_per_MB"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SettingsStart)
    ->ArgsProduct({{1, 4, 16, 32}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SerialStore(benchmark::State& state) {
  TempDir dir;
  tavrin::testing::FakePlatform platform;
  platform.programPath = dir.File("TavrinPlugin");
  tavrin::testing::FakeUi ui;
  tavrin::ProcessContext context(platform, ui);
  const std::string patient = "newcomer";
  const std::string serial = tavrin::ArtificialSerialNumber(patient);
  std::string store = "[SNMappings]\r\n";
  for (int attempt = 0; attempt < tavrin::kMaxSerialCandidates; ++attempt) {
    const std::string suffix = attempt == 0   ? ""
                               : attempt == 1 ? "0"
                                              : "-" + std::to_string(attempt - 1);
    store += serial + suffix + "=other" + std::to_string(attempt) + "\r\n";
  }
  for (long i = 0; i < state.range(0); ++i) {
    store += "P" + std::to_string(1000000 + i) + "=patient" + std::to_string(i) + "\r\n";
  }
  const std::string path = tavrin::SerialMappingStorePath(context);
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, store);
    state.ResumeTiming();
    benchmark::DoNotOptimize(tavrin::MapSerialToPatient(context, patient, serial));
  }
  // A rate inverted: seconds per 1,000 entries of the store.
  state.counters["s_per_1000_entries"] = benchmark::Counter(
      static_cast<double>(state.iterations()) *
          static_cast<double>(state.range(0) + tavrin::kMaxSerialCandidates) / 1000.0,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SerialStore)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
