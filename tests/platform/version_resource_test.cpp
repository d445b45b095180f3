#include "platform/version_resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "../../tools/pe_version_image.h"
#include "fakes/temp_dir.h"
#include "platform/system_info.h"

namespace tavrin {
namespace {

// The minimal executable image that make-version-stub writes; the layout constants name
// the places that tests damage on purpose.
using namespace tools::pe_layout;

class PeImage : public tools::PeVersionImage {
 public:
  using PeVersionImage::PeVersionImage;
  std::optional<FileVersion> Read() const { return ReadFileVersion(std::span(Bytes())); }
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
