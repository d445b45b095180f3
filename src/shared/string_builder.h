#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// An append-only text buffer for building documents of many lines without copying the
// whole text per append. Text is held as UTF-8; counts are in UTF-16 terms, as the
// documents' consumers count characters.
class cStringBuilder {
 public:
  cStringBuilder();
  void Add(std::string_view text);
  // Makes room for a text of this many bytes, so that appends up to it do not move it.
  void Reserve(std::size_t bytes) { text_.reserve(bytes); }
  const std::string& ToString() const { return text_; }
  // Hands the text over without copying it and leaves the builder empty.
  std::string Release();
  // Bytes in use in UTF-16 terms: twice the character count.
  std::size_t NumChars() const { return 2 * units_; }
  // Drops the last n characters.
  void RemoveAtEnd(std::size_t n);
  // Byte i of the text's UTF-16LE form; throws RuntimeError 9 beyond NumChars().
  // Reading the bytes in order costs constant time per byte.
  std::uint8_t ByteChar(std::size_t i) const;
  void Clear();

 private:
  std::string text_;
  std::size_t units_ = 0;  // UTF-16 code units held
  // Where ByteChar last looked: the byte offset of a character and its UTF-16 unit index.
  mutable std::size_t cursorByte_ = 0;
  mutable std::size_t cursorUnit_ = 0;
};

}  // namespace tavrin
