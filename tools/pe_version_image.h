#pragma once

// A minimal Windows executable image (PE32 or PE32+) that carries nothing but a version
// resource: the headers, one ".rsrc" section whose resource tree holds type 16 / name 1 /
// language 0x409, and there a VS_VERSIONINFO block with its fixed file information. Used
// by make-version-stub (the sample host's executable) and by the version-reader tests,
// which damage it at the places the layout constants name.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tavrin::tools {

namespace pe_layout {
inline constexpr std::size_t kPeOffset = 0x40;
inline constexpr std::size_t kOptionalOffset = kPeOffset + 24;
inline constexpr std::size_t kRawOffset = 0x200;  // file offset of the resource section
inline constexpr std::uint32_t kSectionRva = 0x1000;
inline constexpr std::size_t kRawSize = 0x200;
// Offsets inside the resource section.
inline constexpr std::size_t kRoot = 0x00;
inline constexpr std::size_t kNameDir = 0x18;
inline constexpr std::size_t kLanguageDir = 0x30;
inline constexpr std::size_t kDataEntry = 0x48;
inline constexpr std::size_t kVersionBlock = 0x58;
inline constexpr std::size_t kVersionBlockSize = 92;
}  // namespace pe_layout

class PeVersionImage {
 public:
  // Major, minor, build, revision.
  using Version = std::array<std::uint16_t, 4>;

  explicit PeVersionImage(bool pe32Plus = false, Version version = {5, 2, 14, 3})
      : bytes_(pe_layout::kRawOffset + pe_layout::kRawSize, 0) {
    using namespace pe_layout;
    bytes_[0] = 'M';
    bytes_[1] = 'Z';
    Put32(0x3C, kPeOffset);
    Put32(kPeOffset, 0x00004550);                      // "PE\0\0"
    Put16(kPeOffset + 4, pe32Plus ? 0x8664 : 0x014C);  // machine
    Put16(kPeOffset + 6, 1);                           // one section
    const std::size_t optionalSize = pe32Plus ? 240 : 224;
    Put16(kPeOffset + 20, static_cast<std::uint16_t>(optionalSize));
    // Characteristics: executable image; 32-bit machine for PE32, large addresses for PE32+.
    Put16(kPeOffset + 22, pe32Plus ? 0x0022 : 0x0102);

    Put16(kOptionalOffset, pe32Plus ? 0x20B : 0x10B);
    Put32(kOptionalOffset + 32, 0x1000);  // section alignment
    Put32(kOptionalOffset + 36, 0x200);   // file alignment
    Put16(kOptionalOffset + 40, 4);       // operating system version 4.0
    Put16(kOptionalOffset + 48, 4);       // subsystem version 4.0
    Put32(kOptionalOffset + 56, 0x2000);  // size of image: headers and one section page
    Put32(kOptionalOffset + 60, 0x200);   // size of headers
    Put16(kOptionalOffset + 68, 2);       // Windows GUI subsystem
    if (pe32Plus) {
      Put32(kOptionalOffset + 24, 0x40000000);  // image base (low half of 0x140000000)
      Put32(kOptionalOffset + 28, 0x1);
    } else {
      Put32(kOptionalOffset + 28, 0x00400000);  // image base
    }
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
    Put32(section + 36, 0x40000040);  // initialised data, readable

    Directory(kRoot, 16, 0x80000000u | kNameDir);
    Directory(kNameDir, 1, 0x80000000u | kLanguageDir);
    Directory(kLanguageDir, 0x409, kDataEntry);
    PutRes32(kDataEntry, kSectionRva + kVersionBlock);
    PutRes32(kDataEntry + 4, kVersionBlockSize);

    // VS_VERSIONINFO: length, value length, type (binary), key, padding, fixed information.
    PutRes16(kVersionBlock, kVersionBlockSize);
    PutRes16(kVersionBlock + 2, 52);
    constexpr std::string_view key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) {
      PutRes16(kVersionBlock + 6 + 2 * i, static_cast<std::uint16_t>(key[i]));
    }
    PutRes32(kVersionBlock + 40, 0xFEEF04BDu);  // signature
    PutRes32(kVersionBlock + 44, 0x00010000u);  // structure version
    const std::uint32_t high = (std::uint32_t{version[0]} << 16) | version[1];
    const std::uint32_t low = (std::uint32_t{version[2]} << 16) | version[3];
    PutRes32(kVersionBlock + 48, high);  // file version
    PutRes32(kVersionBlock + 52, low);
    PutRes32(kVersionBlock + 56, high);  // product version
    PutRes32(kVersionBlock + 60, low);
    PutRes32(kVersionBlock + 64, 0x3F);     // flags mask
    PutRes32(kVersionBlock + 72, 0x40004);  // Windows NT, 32-bit
    PutRes32(kVersionBlock + 76, 1);        // application
  }

  void Put16(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void Put32(std::size_t at, std::uint32_t v) {
    Put16(at, static_cast<std::uint16_t>(v));
    Put16(at + 2, static_cast<std::uint16_t>(v >> 16));
  }
  void PutRes16(std::size_t at, std::uint16_t v) { Put16(pe_layout::kRawOffset + at, v); }
  void PutRes32(std::size_t at, std::uint32_t v) { Put32(pe_layout::kRawOffset + at, v); }
  // A directory with one numeric entry.
  void Directory(std::size_t at, std::uint32_t name, std::uint32_t target) {
    PutRes16(at + 14, 1);
    PutRes32(at + 16, name);
    PutRes32(at + 20, target);
  }

  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tavrin::tools
