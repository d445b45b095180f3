#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavrin {

struct ThreadUse;

// A configurable 16-bit CRC engine. Mode 1 (the default) is CRC-16/MCRF4XX, the check
// value of the host XML document; mode 2 is CRC-16/ARC, mode 3 CRC-16/XMODEM. Every
// parameter can also be set on its own.
//
// The reference computation is table-driven, one look-up per byte (CRCBytewise). CRC()
// gives the same value for every parameter combination but processes eight bytes per
// step from tables derived from the same polynomial.
class cCRC {
 public:
  cCRC();

  // Setting 1, 2 or 3 loads that preset and rebuilds the tables; any other number is
  // only stored.
  int CRCMode() const { return mode_; }
  void SetCRCMode(int mode);

  // Generator polynomial without its top bit (0x1021 is x^16 + x^12 + x^5 + 1). Setting
  // it rebuilds the tables.
  std::uint16_t Polynom() const { return polynom_; }
  void SetPolynom(std::uint16_t polynom);

  // The initial value is given in indirect form: it is run through sixteen zero-bit
  // steps of the register before the first byte.
  bool IndirectInit() const { return indirectInit_; }
  void SetIndirectInit(bool value) { indirectInit_ = value; }

  std::uint16_t InitValue() const { return initValue_; }
  void SetInitValue(std::uint16_t value) { initValue_ = value; }

  std::uint16_t FinalValue() const { return finalValue_; }
  void SetFinalValue(std::uint16_t value) { finalValue_ = value; }

  bool ReverseData() const { return reverseData_; }
  void SetReverseData(bool value) { reverseData_ = value; }

  bool ReverseCRC() const { return reverseCrc_; }
  void SetReverseCRC(bool value) { reverseCrc_ = value; }

  std::uint16_t CRC(std::span<const std::uint8_t> data) const;
  // The same value, a long input computed in two halves at once unless `threads` says
  // one thread.
  std::uint16_t CRC(std::span<const std::uint8_t> data, const ThreadUse& threads) const;
  std::uint16_t CRC(const std::uint8_t* data, std::size_t length) const;
  // The caller has converted the text to the ANSI code page: one byte per character.
  std::uint16_t CRC_Str(std::string_view ansiBytes) const;

  // The plain method: one table look-up per byte, the input byte reflected first when
  // ReverseData is set. Kept as the reference for CRC() and for measurements.
  std::uint16_t CRCBytewise(std::span<const std::uint8_t> data) const;

  // One byte per pair of hexadecimal digits; a final single digit gives one byte of its
  // own. Throws RuntimeError 5 when the text holds anything but hexadecimal digits.
  static std::vector<std::uint8_t> HexToByte(std::string_view hex);

 private:
  void BuildTable();
  static std::uint16_t ReflectBits(std::uint16_t value, int bitCount);
  std::uint16_t StartValue() const;
  std::uint16_t Finish(std::uint16_t r) const;
  // The register after the bytes, from the register `q` on. The register is kept in the
  // domain of the input: bit-reversed for reflected input.
  std::uint16_t Run(std::uint16_t q, const std::uint8_t* p, std::size_t n) const;
  // The register after `count` zero bytes from `q` on: the step is linear, so it is
  // applied as a 16x16 bit matrix raised to the power by squaring.
  std::uint16_t AfterZeros(std::uint16_t q, std::uint64_t count) const;
  std::uint16_t Result(std::uint16_t q) const;

  int mode_ = 1;
  std::uint16_t polynom_ = 0x1021;
  bool indirectInit_ = false;
  std::uint16_t initValue_ = 0xFFFF;
  std::uint16_t finalValue_ = 0;
  bool reverseData_ = true;
  bool reverseCrc_ = true;

  // table_: the remainder of each byte value for the current polynomial.
  std::array<std::uint16_t, 256> table_{};
  // Slicing tables for eight bytes per step. forward_[k][i] is the register after byte i
  // followed by k zero bytes. reflected_ holds the same in the bit-reversed domain that
  // reflected input uses (register, index and entries all reversed).
  std::array<std::array<std::uint16_t, 256>, 8> forward_{};
  std::array<std::array<std::uint16_t, 256>, 8> reflected_{};
};

}  // namespace tavrin
