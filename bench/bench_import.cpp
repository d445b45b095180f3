// Importing exports of 10,000, 100,000 and 1,000,000 rows: the export file read into the
// row text, then converted into the finished host XML document with its check value.
// The counters give each stage's time per run (read: the file into the row text;
// convert: the row text into the XML document, check value included; check: the check
// value alone, over the finished document; file: a plain read of the file's bytes, the
// floor for the read stage), the time per row (which stays flat or falls when the import
// is linear in the rows), and the peak memory of one import measured in a child process,
// also as a multiple of the file size. Read and convert are timed by the wall clock and
// by the process's CPU time; both use two threads.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "../tools/export_generator.h"
#include "bench_support.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "formats/xml_writer.h"
#include "importer/export_reader.h"
#include "importer/record_conversion.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"

namespace {

using Clock = std::chrono::steady_clock;

// The exports, written once per size into one temporary folder.
struct Exports {
  tavrin::testing::TempDir dir;
  std::map<long, std::pair<std::string, std::size_t>> files;  // rows -> path, bytes

  const std::pair<std::string, std::size_t>& For(long rows) {
    auto it = files.find(rows);
    if (it != files.end()) return it->second;
    const std::string path = dir.File("export-" + std::to_string(rows) + ".csv");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    tavrin::tools::ExportGenerator generator;
    std::string chunk = tavrin::tools::ExportGenerator::Header();
    std::size_t bytes = 0;
    for (long i = 0; i < rows; ++i) {
      generator.AppendRow(chunk);
      if (chunk.size() >= (1u << 20) || i + 1 == rows) {
        bytes += std::fwrite(chunk.data(), 1, chunk.size(), file);
        chunk.clear();
      }
    }
    std::fclose(file);
    return files.emplace(rows, std::make_pair(path, bytes)).first->second;
  }
};

Exports& TheExports() {
  static Exports exports;
  return exports;
}

// One process as the plug-in runs it: German settings, program in a temporary folder.
struct Process {
  tavrin::testing::TempDir dir;
  tavrin::SystemCrypto crypto;
  tavrin::testing::FakePlatform platform;
  tavrin::bench::SilentUi ui;
  std::unique_ptr<tavrin::ProcessContext> context;

  Process() {
    platform.programPath = dir.File("TavrinPlugin");
    platform.crypto = &crypto;
    context = std::make_unique<tavrin::ProcessContext>(platform, ui);
    context->languages =
        std::make_unique<tavrin::Languages>(platform, context->paths, std::string("DE"));
  }
};

// CPU time of this process, which a busy machine inflates less than the wall clock.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct ImportFigures {
  double readSeconds = 0;
  double convertSeconds = 0;
  double readCpuSeconds = 0;
  double convertCpuSeconds = 0;
  double checkSeconds = 0;
  std::size_t documentBytes = 0;
  long records = 0;
};

ImportFigures ImportOnce(Process& process, const std::string& path) {
  ImportFigures figures;
  tavrin::bench::FixedSerial serials;
  const auto t0 = Clock::now();
  const double c0 = CpuSeconds();
  tavrin::ExportReadResult read = tavrin::ReadExportFile(*process.context, path);
  const auto t1 = Clock::now();
  const double c1 = CpuSeconds();
  tavrin::ConversionResult converted =
      tavrin::ConvertRows(*process.context, read.rows, read.exportUnit, serials);
  const auto t2 = Clock::now();
  const double c2 = CpuSeconds();
  figures.readSeconds = std::chrono::duration<double>(t1 - t0).count();
  figures.convertSeconds = std::chrono::duration<double>(t2 - t1).count();
  figures.readCpuSeconds = c1 - c0;
  figures.convertCpuSeconds = c2 - c1;
  figures.documentBytes = converted.result.size();
  figures.records = converted.bgRecords;
  benchmark::DoNotOptimize(converted.result.data());

  // The check value once more, over the document with its CRC attribute emptied.
  std::string document = std::move(converted.result);
  const std::string element = "<CHECK CRC=\"";
  const std::size_t at = document.rfind(element);
  if (at != std::string::npos) document.erase(at + element.size(), 4);
  const auto t3 = Clock::now();
  tavrin::InsertXmlCheck(document, process.platform);
  figures.checkSeconds = std::chrono::duration<double>(Clock::now() - t3).count();
  benchmark::DoNotOptimize(document.data());
  return figures;
}

// A plain read of the whole file in blocks, the least any reading of it costs.
double FileReadSeconds(const std::string& path) {
  const auto t0 = Clock::now();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  std::string block(std::size_t{2} << 20, '\0');
  while (std::fread(block.data(), 1, block.size(), file) == block.size()) {
  }
  std::fclose(file);
  benchmark::DoNotOptimize(block.data());
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Peak memory of one import above what the process held before, in bytes: measured in a
// child process, whose high-water mark starts at its size when it is forked.
double PeakImportBytes(const std::string& path) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    {
      Process process;
      ImportOnce(process, path);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double bytes = (static_cast<double>(after.ru_maxrss) - before.ru_maxrss) * 1024.0;
    const ssize_t written = write(pipeEnds[1], &bytes, sizeof bytes);
    _exit(written == sizeof bytes ? 0 : 1);
  }
  close(pipeEnds[1]);
  double bytes = -1;
  if (read(pipeEnds[0], &bytes, sizeof bytes) != sizeof bytes) bytes = -1;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return bytes;
}

void BM_ImportExport(benchmark::State& state) {
  const long rows = state.range(0);
  const auto& [path, fileBytes] = TheExports().For(rows);
  const double peakBytes = PeakImportBytes(path);

  Process process;
  ImportFigures total;
  double fileSeconds = 0;
  for (auto _ : state) {
    fileSeconds += FileReadSeconds(path);
    const ImportFigures figures = ImportOnce(process, path);
    total.readSeconds += figures.readSeconds;
    total.convertSeconds += figures.convertSeconds;
    total.readCpuSeconds += figures.readCpuSeconds;
    total.convertCpuSeconds += figures.convertCpuSeconds;
    total.checkSeconds += figures.checkSeconds;
    total.documentBytes = figures.documentBytes;
    total.records = figures.records;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["read_ms"] = 1000.0 * total.readSeconds / runs;
  state.counters["convert_ms"] = 1000.0 * total.convertSeconds / runs;
  state.counters["read_cpu_ms"] = 1000.0 * total.readCpuSeconds / runs;
  state.counters["convert_cpu_ms"] = 1000.0 * total.convertCpuSeconds / runs;
  state.counters["check_ms"] = 1000.0 * total.checkSeconds / runs;
  state.counters["file_ms"] = 1000.0 * fileSeconds / runs;
  state.counters["ns_per_row"] = 1e9 * (total.readSeconds + total.convertSeconds) / runs / rows;
  state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
  state.counters["xml_MB"] = static_cast<double>(total.documentBytes) / 1e6;
  state.counters["records"] = static_cast<double>(total.records);
  state.counters["peak_MB"] = peakBytes / 1e6;
  state.counters["peak_per_file"] = peakBytes / static_cast<double>(fileBytes);
  state.SetItemsProcessed(state.iterations() * rows);
}

BENCHMARK(BM_ImportExport)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
