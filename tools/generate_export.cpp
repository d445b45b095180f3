// generate-export ROWS FILE [SEED]: writes a synthetic export of the diabetes app with
// ROWS data rows to FILE, for load tests. The same arguments always give the same file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "export_generator.h"

namespace {

bool ParseCount(const char* text, unsigned long long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long rows = 0;
  unsigned long long seed = 20261130;
  if (argc < 3 || argc > 4 || !ParseCount(argv[1], rows) ||
      (argc == 4 && !ParseCount(argv[3], seed))) {
    std::fprintf(stderr, "usage: generate-export ROWS FILE [SEED]\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "generate-export: cannot write %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  tavrin::tools::ExportGenerator generator(seed);
  std::string chunk = tavrin::tools::ExportGenerator::Header();
  bool ok = true;
  for (unsigned long long i = 0; i < rows && ok; ++i) {
    generator.AppendRow(chunk);
    if (chunk.size() >= (1u << 20)) {
      ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
      chunk.clear();
    }
  }
  if (ok && !chunk.empty()) ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "generate-export: writing %s failed\n", argv[2]);
    return 1;
  }
  return 0;
}
