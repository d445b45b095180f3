#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Text forms of binary data in the layouts Windows' CryptBinaryToString writes, built
// by portable code so that every system produces the same text.
//
//   Base64        lines of 64 characters, a line break after every line (also the last).
//   Hex           16 bytes per line as lower-case digit pairs separated by a blank, two
//                 blanks after the eighth byte, a line break after every line:
//                 "00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f"
//   HexAddr       the same rows, each led by its offset as four (or more) lower-case hex
//                 digits and four blanks: "0010    10 11 12"
//   HexAscii      the same rows with the hex part padded to 48 characters, three blanks
//                 and the bytes as characters (0x20-0x7E as they are, others as "."):
//                 "41 42 0a                                           AB."
//   HexAsciiAddr  offset, hex part and characters.
//   HexRaw        all bytes as one run of lower-case digit pairs and one line break.
//
// Without line breaks, Hex separates every byte by a single blank, and the row formats
// write their rows one after another. An empty input gives the empty text.
enum class BinaryTextFormat { Base64, Hex, HexAscii, HexAddr, HexAsciiAddr, HexRaw };
enum class LineBreaks { CrLf, Lf, None };

std::string EncodeBinaryText(std::span<const std::uint8_t> data, BinaryTextFormat format,
                             LineBreaks breaks);

// Reads what EncodeBinaryText writes with any of the line-break choices. Base64 ignores
// blanks, tabs and line breaks and ends at the first "="; Hex and HexRaw take digit pairs
// separated by blanks, tabs, line breaks, "-" or ",". Returns false for text that is not
// in the format; `bytes` is then empty.
bool DecodeBinaryText(std::string_view text, BinaryTextFormat format,
                      std::vector<std::uint8_t>& bytes);

}  // namespace tavrin
