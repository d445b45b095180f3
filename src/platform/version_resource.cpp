#include "platform/version_resource.h"

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <limits>
#include <vector>

#include "shared/fs.h"

namespace tavrin {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionInfoId = 1;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kCoffHeaderSize = 24;  // signature + file header
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
// VS_VERSIONINFO: three 16-bit fields, the key "VS_VERSION_INFO" with its NUL in UTF-16,
// padding to 32 bits, then VS_FIXEDFILEINFO (13 double words).
constexpr std::size_t kFixedInfoOffset = 40;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kVersionHeadSize = kFixedInfoOffset + kFixedInfoSize;
constexpr char kVersionKey[] = "VS_VERSION_INFO";

std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Random access to the bytes of an image; a read fails unless the whole range exists.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) = 0;
};

class SpanSource : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> data) : data_(data) {}
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) override {
    if (offset > data_.size() || length > data_.size() - offset) return false;
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(offset), length, out);
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
};

class StreamSource : public ByteSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) override {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max())) {
      return false;
    }
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_) return false;
    in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(length));
    return in_.gcount() == static_cast<std::streamsize>(length);
  }

 private:
  std::istream& in_;
};

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t mappedSize = 0;  // bytes of raw data that are mapped into the image
  std::uint32_t rawOffset = 0;
};

// Walks the headers and the resource tree of one image. Every offset taken from the
// image is checked before use, and the tree is walked to a fixed depth, so a damaged or
// hostile file can neither make it read out of range nor keep it going in circles.
class PeReader {
 public:
  explicit PeReader(ByteSource& source) : source_(source) {}

  std::optional<FileVersion> Version() {
    if (!ReadHeaders()) return std::nullopt;
    const auto typeDir = FindSubdirectory(0, kRtVersion, EntryNames::kNumbersOnly);
    if (!typeDir) return std::nullopt;
    // The version block is stored under the name 1; any other name will do when 1 is
    // missing. Its languages all carry the same fixed information, so the first is used.
    auto nameDir = FindSubdirectory(*typeDir, kVersionInfoId, EntryNames::kNumbersOnly);
    if (!nameDir) nameDir = FindSubdirectory(*typeDir, std::nullopt, EntryNames::kAny);
    if (!nameDir) return std::nullopt;
    const auto dataEntry = FindDataEntry(*nameDir);
    if (!dataEntry) return std::nullopt;
    return ReadVersionBlock(*dataEntry);
  }

 private:
  bool ReadHeaders() {
    std::uint8_t dos[kDosHeaderSize];
    if (!source_.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t peOffset = U32(dos + 0x3C);

    std::uint8_t coff[kCoffHeaderSize];
    if (!source_.Read(peOffset, coff, sizeof coff) || U32(coff) != kPeSignature) return false;
    const std::uint16_t sectionCount = U16(coff + 6);
    const std::uint16_t optionalSize = U16(coff + 20);

    const std::uint64_t optionalOffset = peOffset + kCoffHeaderSize;
    std::uint8_t magicBytes[2];
    if (!source_.Read(optionalOffset, magicBytes, sizeof magicBytes)) return false;
    std::size_t countOffset = 0;
    switch (U16(magicBytes)) {
      case kMagicPe32:
        countOffset = 92;
        break;
      case kMagicPe32Plus:
        countOffset = 108;
        break;
      default:
        return false;
    }
    const std::size_t directoryOffset = countOffset + 4 + std::size_t{kResourceDirectoryIndex} * 8;
    if (optionalSize < directoryOffset + 8) return false;
    std::uint8_t count[4];
    std::uint8_t directory[8];
    if (!source_.Read(optionalOffset + countOffset, count, sizeof count) ||
        U32(count) <= kResourceDirectoryIndex ||
        !source_.Read(optionalOffset + directoryOffset, directory, sizeof directory)) {
      return false;
    }
    resourceRva_ = U32(directory);
    if (resourceRva_ == 0 || U32(directory + 4) == 0) return false;

    std::uint64_t sectionOffset = optionalOffset + optionalSize;
    sections_.reserve(std::min<std::size_t>(sectionCount, 96));
    for (std::uint16_t i = 0; i < sectionCount; ++i, sectionOffset += kSectionHeaderSize) {
      std::uint8_t header[kSectionHeaderSize];
      if (!source_.Read(sectionOffset, header, sizeof header)) return false;
      Section section;
      const std::uint32_t virtualSize = U32(header + 8);
      const std::uint32_t rawSize = U32(header + 16);
      section.virtualAddress = U32(header + 12);
      section.mappedSize = virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize);
      section.rawOffset = U32(header + 20);
      sections_.push_back(section);
    }

    // The resource tree lies within the section that holds its root; every read of the
    // tree stays inside that section.
    const Section* home = SectionOf(resourceRva_);
    if (!home) return false;
    resourceOffset_ = home->rawOffset + std::uint64_t{resourceRva_ - home->virtualAddress};
    resourceLimit_ = home->mappedSize - (resourceRva_ - home->virtualAddress);
    return true;
  }

  const Section* SectionOf(std::uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.virtualAddress && rva - s.virtualAddress < s.mappedSize) return &s;
    }
    return nullptr;
  }

  // Reads bytes at an offset relative to the root of the resource tree.
  bool ReadTree(std::uint32_t offset, std::uint8_t* out, std::size_t length) {
    if (offset > resourceLimit_ || length > resourceLimit_ - offset) return false;
    return source_.Read(resourceOffset_ + offset, out, length);
  }

  // Reads bytes at a relative virtual address; the range must lie in one section.
  bool ReadRva(std::uint32_t rva, std::uint8_t* out, std::size_t length) {
    const Section* s = SectionOf(rva);
    if (!s) return false;
    const std::uint32_t inSection = rva - s->virtualAddress;
    if (length > s->mappedSize - inSection) return false;
    return source_.Read(s->rawOffset + std::uint64_t{inSection}, out, length);
  }

  // The entries of the directory at the given tree offset, passed to visit(name, target)
  // in order until visit returns true. False when the directory cannot be read.
  template <typename Visit>
  bool ForEachEntry(std::uint32_t directory, Visit visit) {
    std::uint8_t header[kDirectoryHeaderSize];
    if (!ReadTree(directory, header, sizeof header)) return false;
    const std::uint32_t count = std::uint32_t{U16(header + 12)} + U16(header + 14);
    std::uint64_t entryOffset = std::uint64_t{directory} + kDirectoryHeaderSize;
    for (std::uint32_t i = 0; i < count; ++i, entryOffset += kDirectoryEntrySize) {
      std::uint8_t entry[kDirectoryEntrySize];
      if (entryOffset > std::numeric_limits<std::uint32_t>::max() ||
          !ReadTree(static_cast<std::uint32_t>(entryOffset), entry, sizeof entry)) {
        return false;
      }
      if (visit(U32(entry), U32(entry + 4))) return true;
    }
    return true;
  }

  // The first subdirectory of a directory whose numeric name is id (any name when id is
  // empty); entries named by a string are skipped with kNumbersOnly.
  enum class EntryNames { kAny, kNumbersOnly };
  std::optional<std::uint32_t> FindSubdirectory(std::uint32_t directory,
                                                std::optional<std::uint32_t> id, EntryNames names) {
    const bool idOnly = names == EntryNames::kNumbersOnly;
    std::optional<std::uint32_t> found;
    ForEachEntry(directory, [&](std::uint32_t name, std::uint32_t target) {
      if ((target & kHighBit) == 0) return false;
      if (idOnly && (name & kHighBit) != 0) return false;
      if (id && name != *id) return false;
      const std::uint32_t offset = target & ~kHighBit;
      // A subdirectory pointing back at itself or the root is skipped; other loops end
      // anyway, since the walk never goes deeper than three levels.
      if (offset == directory || offset == 0) return false;
      found = offset;
      return true;
    });
    return found;
  }

  // The tree offset of the first data entry below a name directory.
  std::optional<std::uint32_t> FindDataEntry(std::uint32_t directory) {
    std::optional<std::uint32_t> found;
    ForEachEntry(directory, [&](std::uint32_t, std::uint32_t target) {
      if ((target & kHighBit) != 0) return false;
      found = target;
      return true;
    });
    return found;
  }

  std::optional<FileVersion> ReadVersionBlock(std::uint32_t dataEntry) {
    std::uint8_t entry[kDataEntrySize];
    if (!ReadTree(dataEntry, entry, sizeof entry)) return std::nullopt;
    const std::uint32_t blockRva = U32(entry);
    const std::uint32_t blockSize = U32(entry + 4);
    if (blockSize < kVersionHeadSize) return std::nullopt;

    std::uint8_t block[kVersionHeadSize];
    if (!ReadRva(blockRva, block, sizeof block)) return std::nullopt;
    const std::uint16_t length = U16(block);
    const std::uint16_t valueLength = U16(block + 2);
    if (length < kVersionHeadSize || length > blockSize || valueLength < kFixedInfoSize) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < sizeof kVersionKey; ++i) {
      if (U16(block + 6 + 2 * i) != static_cast<unsigned char>(kVersionKey[i])) {
        return std::nullopt;
      }
    }
    const std::uint8_t* fixed = block + kFixedInfoOffset;
    if (U32(fixed) != kFixedInfoSignature) return std::nullopt;
    const std::uint32_t mostSignificant = U32(fixed + 8);
    const std::uint32_t leastSignificant = U32(fixed + 12);
    return FileVersion{static_cast<std::uint16_t>(mostSignificant >> 16),
                       static_cast<std::uint16_t>(mostSignificant & 0xFFFF),
                       static_cast<std::uint16_t>(leastSignificant >> 16),
                       static_cast<std::uint16_t>(leastSignificant & 0xFFFF)};
  }

  ByteSource& source_;
  std::vector<Section> sections_;
  std::uint32_t resourceRva_ = 0;
  std::uint64_t resourceOffset_ = 0;
  std::uint32_t resourceLimit_ = 0;
};

}  // namespace

std::optional<FileVersion> ReadFileVersion(std::span<const std::uint8_t> image) {
  SpanSource source(image);
  return PeReader(source).Version();
}

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  StreamSource source(in);
  return PeReader(source).Version();
}

}  // namespace tavrin
