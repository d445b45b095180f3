#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tavrin {

// The four 16-bit parts of a file version: major, minor, build, revision.
using FileVersion = std::array<std::uint16_t, 4>;

// Reads the file version from the version resource of a Windows executable (PE32 or
// PE32+): the resource tree is walked to the version type, and the fixed file information
// of its first entry gives the version. Works on any system and on any input: a file that
// is not a valid executable, has no version resource or is damaged gives std::nullopt;
// nothing outside the given bytes or the file is ever read.
std::optional<FileVersion> ReadFileVersion(std::span<const std::uint8_t> image);
// The same for a file on disk (UTF-8 path); only the few headers needed are read.
std::optional<FileVersion> ReadFileVersion(const std::string& path);

}  // namespace tavrin
