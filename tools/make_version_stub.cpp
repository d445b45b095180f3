// make-version-stub VERSION OUTFILE: writes a minimal Windows executable whose version
// resource carries VERSION (one to four numbers from 0 to 65535 joined by ".", missing
// parts are 0), for example the sample host's "Veltra Orvolux Software.exe" at 3.0.2.0.
// The file is not meant to run; it only answers a version query.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "pe_version_image.h"

namespace {

using tavrin::tools::PeVersionImage;

std::optional<PeVersionImage::Version> ParseVersion(std::string_view text) {
  PeVersionImage::Version version{};
  std::size_t part = 0;
  while (true) {
    const auto dot = text.find('.');
    const std::string_view piece = text.substr(0, dot);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (piece.empty() || error != std::errc() || end != piece.data() + piece.size() ||
        value > 0xFFFF || part >= version.size()) {
      return std::nullopt;
    }
    version[part++] = static_cast<std::uint16_t>(value);
    if (dot == std::string_view::npos) return version;
    text.remove_prefix(dot + 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto version = argc == 3 ? ParseVersion(argv[1]) : std::nullopt;
  if (!version) {
    std::fprintf(stderr,
                 "usage: make-version-stub VERSION OUTFILE\n"
                 "  VERSION: up to four numbers from 0 to 65535 joined by \".\", e.g. 3.0.2.0\n");
    return 2;
  }
  const PeVersionImage image(false, *version);
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "make-version-stub: cannot write %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  const auto& bytes = image.Bytes();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "make-version-stub: writing %s failed\n", argv[2]);
    return 1;
  }
  return 0;
}
