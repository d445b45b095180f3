#include "platform/version_resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/system_info.h"

namespace tavrin {
namespace {

// A minimal Windows executable image: headers, one ".rsrc" section whose resource tree
// holds type 16 / name 1 / language 0x409 -> a VS_VERSIONINFO with fixed file information.
// The constants name the places that tests damage on purpose.
constexpr std::size_t kPeOffset = 0x40;
constexpr std::size_t kOptionalOffset = kPeOffset + 24;
constexpr std::size_t kRawOffset = 0x200;  // file offset of the resource section
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::size_t kRawSize = 0x200;
// Offsets inside the resource section.
constexpr std::size_t kRoot = 0x00;
constexpr std::size_t kNameDir = 0x18;
constexpr std::size_t kLanguageDir = 0x30;
constexpr std::size_t kDataEntry = 0x48;
constexpr std::size_t kVersionBlock = 0x58;
constexpr std::size_t kVersionBlockSize = 92;

class PeImage {
 public:
  explicit PeImage(bool pe32Plus = false, FileVersion version = {5, 2, 14, 3})
      : bytes_(kRawOffset + kRawSize, 0) {
    bytes_[0] = 'M';
    bytes_[1] = 'Z';
    Put32(0x3C, kPeOffset);
    Put32(kPeOffset, 0x00004550);                      // "PE\0\0"
    Put16(kPeOffset + 4, pe32Plus ? 0x8664 : 0x014C);  // machine
    Put16(kPeOffset + 6, 1);                           // one section
    const std::size_t optionalSize = pe32Plus ? 240 : 224;
    Put16(kPeOffset + 20, static_cast<std::uint16_t>(optionalSize));
    Put16(kOptionalOffset, pe32Plus ? 0x20B : 0x10B);
    const std::size_t countOffset = kOptionalOffset + (pe32Plus ? 108 : 92);
    Put32(countOffset, 16);
    Put32(countOffset + 4 + 2 * 8, kSectionRva);  // resource directory: RVA, size
    Put32(countOffset + 4 + 2 * 8 + 4, 0x100);

    const std::size_t section = kOptionalOffset + optionalSize;
    std::copy_n(".rsrc", 5, bytes_.begin() + static_cast<std::ptrdiff_t>(section));
    Put32(section + 8, kRawSize);
    Put32(section + 12, kSectionRva);
    Put32(section + 16, kRawSize);
    Put32(section + 20, kRawOffset);

    Directory(kRoot, 16, 0x80000000u | kNameDir);
    Directory(kNameDir, 1, 0x80000000u | kLanguageDir);
    Directory(kLanguageDir, 0x409, kDataEntry);
    PutRes32(kDataEntry, kSectionRva + kVersionBlock);
    PutRes32(kDataEntry + 4, kVersionBlockSize);

    PutRes16(kVersionBlock, kVersionBlockSize);
    PutRes16(kVersionBlock + 2, 52);
    const std::string key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) {
      PutRes16(kVersionBlock + 6 + 2 * i, static_cast<std::uint16_t>(key[i]));
    }
    PutRes32(kVersionBlock + 40, 0xFEEF04BDu);
    PutRes32(kVersionBlock + 44, 0x00010000u);
    PutRes32(kVersionBlock + 48, (std::uint32_t{version[0]} << 16) | version[1]);
    PutRes32(kVersionBlock + 52, (std::uint32_t{version[2]} << 16) | version[3]);
  }

  void Put16(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void Put32(std::size_t at, std::uint32_t v) {
    Put16(at, static_cast<std::uint16_t>(v));
    Put16(at + 2, static_cast<std::uint16_t>(v >> 16));
  }
  void PutRes16(std::size_t at, std::uint16_t v) { Put16(kRawOffset + at, v); }
  void PutRes32(std::size_t at, std::uint32_t v) { Put32(kRawOffset + at, v); }
  // A directory with one numeric entry.
  void Directory(std::size_t at, std::uint32_t name, std::uint32_t target) {
    PutRes16(at + 14, 1);
    PutRes32(at + 16, name);
    PutRes32(at + 20, target);
  }

  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  std::optional<FileVersion> Read() const { return ReadFileVersion(std::span(bytes_)); }

 private:
  std::vector<std::uint8_t> bytes_;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(VersionResource, ReadsPe32AndPe32Plus) {
  EXPECT_EQ(PeImage(false).Read(), (FileVersion{5, 2, 14, 3}));
  EXPECT_EQ(PeImage(true).Read(), (FileVersion{5, 2, 14, 3}));
  EXPECT_EQ(PeImage(false, {65535, 0, 1, 65534}).Read(), (FileVersion{65535, 0, 1, 65534}));
}

TEST(VersionResource, FileVersionTextFromDisk) {
  testing::TempDir dir;
  WriteFile(dir.File("host.exe"), PeImage().Bytes());
  EXPECT_EQ(FileVersionText(dir.File("host.exe")), "5.2.14.3");
  EXPECT_EQ(FileVersionText(dir.File("missing.exe")), "");
  EXPECT_EQ(FileVersionText(dir.Path()), "");  // a folder
  WriteFile(dir.File("empty.exe"), {});
  EXPECT_EQ(FileVersionText(dir.File("empty.exe")), "");
}

TEST(VersionResource, TruncatedImagesGiveNothing) {
  PeImage image;
  const auto& full = image.Bytes();
  const std::size_t needed = kRawOffset + kVersionBlock + kVersionBlockSize;
  for (std::size_t length = 0; length < full.size(); ++length) {
    const auto result = ReadFileVersion(std::span(full.data(), length));
    if (length < needed) {
      EXPECT_FALSE(result.has_value()) << "length " << length;
    } else {
      EXPECT_EQ(result, (FileVersion{5, 2, 14, 3})) << "length " << length;
    }
  }
  testing::TempDir dir;
  WriteFile(dir.File("cut.exe"), std::vector<std::uint8_t>(full.begin(), full.begin() + 0x2A0));
  EXPECT_EQ(FileVersionText(dir.File("cut.exe")), "");
}

TEST(VersionResource, DamagedImagesGiveNothing) {
  const std::uint32_t dirBit = 0x80000000u;
  const std::pair<const char*, std::function<void(PeImage&)>> damages[] = {
      {"no MZ", [](PeImage& i) { i.Bytes()[1] = 'Y'; }},
      {"PE header outside the file", [](PeImage& i) { i.Put32(0x3C, 0xFFFFFFFFu); }},
      {"unknown optional header", [](PeImage& i) { i.Put16(kOptionalOffset, 0x107); }},
      {"optional header too short", [](PeImage& i) { i.Put16(kPeOffset + 20, 100); }},
      {"more sections than the file holds", [](PeImage& i) { i.Put16(kPeOffset + 6, 0xFFFF); }},
      {"no resource directory", [](PeImage& i) { i.Put32(kOptionalOffset + 112, 0); }},
      {"resources in no section", [](PeImage& i) { i.Put32(kOptionalOffset + 112, 0x5000); }},
      {"no version type", [](PeImage& i) { i.PutRes32(kRoot + 16, 3); }},
      {"entry count beyond the section",
       [](PeImage& i) {
         i.PutRes16(kRoot + 14, 0xFFFF);
         i.PutRes32(kRoot + 16, 3);
       }},
      {"directory pointing at itself",
       [&](PeImage& i) { i.PutRes32(kNameDir + 20, dirBit | kNameDir); }},
      {"loop back to the root", [&](PeImage& i) { i.PutRes32(kLanguageDir + 20, dirBit); }},
      {"subdirectory out of range",
       [&](PeImage& i) { i.PutRes32(kNameDir + 20, dirBit | 0x7FFFFFF0u); }},
      {"data outside every section", [](PeImage& i) { i.PutRes32(kDataEntry, 0xFFFFFFF0u); }},
      {"data running off the section",
       [](PeImage& i) { i.PutRes32(kDataEntry, kSectionRva + kRawSize - 40); }},
      {"resource smaller than the fixed information",
       [](PeImage& i) { i.PutRes32(kDataEntry + 4, 40); }},
      {"wrong signature", [](PeImage& i) { i.PutRes32(kVersionBlock + 40, 0xFEEF04BCu); }},
      {"wrong key", [](PeImage& i) { i.PutRes16(kVersionBlock + 6, 'X'); }},
      {"no fixed information", [](PeImage& i) { i.PutRes16(kVersionBlock + 2, 0); }},
  };
  for (const auto& [what, damage] : damages) {
    PeImage image;
    damage(image);
    EXPECT_FALSE(image.Read().has_value()) << what;
  }
}

TEST(VersionResource, RandomBytesNeverCrash) {
  std::mt19937 random(20261204);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> noise(static_cast<std::size_t>(random() % 2048));
    for (auto& b : noise) b = static_cast<std::uint8_t>(byte(random));
    EXPECT_FALSE(ReadFileVersion(std::span(noise)).has_value());
  }
  // Valid images with a few bytes changed must be read without straying out of bounds.
  for (int round = 0; round < 2000; ++round) {
    PeImage image(round % 2 == 1);
    auto& bytes = image.Bytes();
    for (int flips = 0; flips < 4; ++flips) {
      bytes[random() % bytes.size()] = static_cast<std::uint8_t>(byte(random));
    }
    (void)image.Read();
  }
}

}  // namespace
}  // namespace tavrin
