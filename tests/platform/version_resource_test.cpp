// The file version of an executable: PE32 and PE32+ images, and every bounds check on
// truncated, damaged and random images.
#include "platform/version_resource.h"

#include <gtest/gtest.h>

#include <functional>

#include "../../tools/pe_version_image.h"
#include "platform/file_helpers.h"
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
  std::string Text() const { return std::string(Bytes().begin(), Bytes().end()); }
};

TEST(VersionResource, ReadsPe32AndPe32PlusFromMemoryAndDisk) {
  EXPECT_EQ(PeImage(false).Read(), (FileVersion{5, 2, 14, 3}));
  EXPECT_EQ(PeImage(true).Read(), (FileVersion{5, 2, 14, 3}));
  EXPECT_EQ(PeImage(false, {65535, 0, 1, 65534}).Read(), (FileVersion{65535, 0, 1, 65534}));
  testing::TempDir dir;
  testing::WriteBytes(dir.File("host.exe"), PeImage().Text());
  EXPECT_EQ(FileVersionText(dir.File("host.exe")), "5.2.14.3");
  testing::WriteBytes(dir.File("empty.exe"), "");
  for (const char* name : {"missing.exe", "empty.exe", ""}) {  // "" is the folder
    EXPECT_EQ(FileVersionText(dir.File(name)), "") << name;
  }
}

TEST(VersionResource, TruncatedImagesGiveNothing) {
  PeImage image;
  const auto& full = image.Bytes();
  const std::size_t needed = kRawOffset + kVersionBlock + kVersionBlockSize;
  for (std::size_t length = 0; length < full.size(); ++length) {
    EXPECT_EQ(ReadFileVersion(std::span(full.data(), length)),
              length < needed ? std::nullopt : std::optional(FileVersion{5, 2, 14, 3}))
        << "length " << length;
  }
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

}  // namespace
}  // namespace tavrin
