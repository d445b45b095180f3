// The import report of exports of 10,000, 100,000 and 1,000,000 rows: the time the report
// adds to an import (gathering its figures from the row text and writing the page) and
// the size of the page. The counters give the report's time per run (report_ms), the
// import it follows (import_ms: reading the export from memory and converting it, timed
// once), the report's share of that (report_share), and the page's size (page_KB) with the
// number of glucose readings it stands for.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "../tools/export_generator.h"
#include "bench_support.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "importer/import_report.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"

namespace {

using Clock = std::chrono::steady_clock;

// One imported export, ready for its report.
struct Imported {
  tavrin::testing::TempDir dir;
  tavrin::SystemCrypto crypto;
  tavrin::testing::FakePlatform platform;
  tavrin::bench::SilentUi ui;
  std::unique_ptr<tavrin::ProcessContext> context;
  tavrin::ExportReadResult read;
  tavrin::ConversionResult converted;
  double importSeconds = 0;

  explicit Imported(long rows) {
    platform.programPath = dir.File("TavrinPlugin");
    platform.crypto = &crypto;
    context = std::make_unique<tavrin::ProcessContext>(platform, ui);
    context->languages =
        std::make_unique<tavrin::Languages>(platform, context->paths, std::string("DE"));
    tavrin::tools::ExportGenerator generator;
    std::string bytes = tavrin::tools::ExportGenerator::Header();
    for (long i = 0; i < rows; ++i) generator.AppendRow(bytes);
    tavrin::bench::FixedSerial serial;
    const auto start = Clock::now();
    read = tavrin::ReadExportText(*context, bytes);
    converted = tavrin::ConvertRows(*context, read.rows, read.exportUnit, serial);
    importSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
};

Imported& ImportedExport(long rows) {
  static std::map<long, std::unique_ptr<Imported>> imported;
  std::unique_ptr<Imported>& entry = imported[rows];
  if (!entry) entry = std::make_unique<Imported>(rows);
  return *entry;
}

void BM_ImportReport(benchmark::State& state) {
  Imported& imported = ImportedExport(state.range(0));
  const tavrin::ReportSources sources{"export.csv", imported.read, imported.converted};
  std::size_t pageBytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::string page = tavrin::ImportReportPage(*imported.context, sources);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    pageBytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["report_ms"] = 1000.0 * seconds / runs;
  state.counters["import_ms"] = 1000.0 * imported.importSeconds;
  state.counters["report_share"] = seconds / runs / imported.importSeconds;
  state.counters["page_KB"] = static_cast<double>(pageBytes) / 1024.0;
  state.counters["readings"] =
      static_cast<double>(tavrin::GatherImportReport(*imported.context, sources).glucoseReadings);
}

BENCHMARK(BM_ImportReport)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
