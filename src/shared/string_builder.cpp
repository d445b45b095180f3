#include "shared/string_builder.h"

#include <cstring>
#include <utility>

#include "shared/error.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::size_t kInitialBytes = 1024;

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

cStringBuilder::cStringBuilder() {
  text_.reserve(kInitialBytes);
}

void cStringBuilder::Add(std::string_view text) {
  // ASCII appended behind an ASCII byte (the usual case) is one unit per byte and cannot
  // complete a character held before.
  if ((text_.empty() || static_cast<unsigned char>(text_.back()) < 0x80) && IsAscii(text)) {
    text_.append(text);
    units_ += text.size();
    return;
  }
  // A character split across two appends is counted once it is complete: recount from
  // the start of the last character held before this append.
  std::size_t tail = text_.size();
  for (int k = 0; k < 3 && tail > 0; ++k) {
    if (!IsContinuation(text_[--tail])) break;
  }
  const std::size_t before = CharCount(std::string_view(text_).substr(tail));
  text_.append(text);
  units_ = units_ - before + CharCount(std::string_view(text_).substr(tail));
}

void cStringBuilder::RemoveAtEnd(std::size_t n) {
  std::size_t removed = 0;
  while (removed < n && !text_.empty()) {
    // The last character is the shortest valid sequence ending at the end of the text;
    // a trailing byte that belongs to no valid sequence counts as a character of its own.
    std::size_t start = text_.size() - 1;
    while (start > 0 && text_.size() - start < 4 && IsContinuation(text_[start])) --start;
    std::size_t length = Utf8SequenceLength(text_, start);
    if (start + length != text_.size()) {
      start = text_.size() - 1;
      length = 1;
    }
    const std::size_t units = CharCount(std::string_view(text_).substr(start, length));
    text_.resize(start);
    units_ -= units;
    removed += units;
  }
  if (cursorByte_ > text_.size()) cursorByte_ = cursorUnit_ = 0;
}

std::uint8_t cStringBuilder::ByteChar(std::size_t i) const {
  if (i >= NumChars()) {
    throw SubscriptError("cStringBuilder.ByteChar");
  }
  const std::size_t unit = i / 2;
  if (unit < cursorUnit_) cursorByte_ = cursorUnit_ = 0;
  std::string_view text(text_);
  for (;;) {
    const std::size_t length = Utf8SequenceLength(text, cursorByte_);
    const std::u16string units = Utf8ToUtf16(text.substr(cursorByte_, length));
    if (unit < cursorUnit_ + units.size()) {
      const char16_t u = units[unit - cursorUnit_];
      return static_cast<std::uint8_t>(i % 2 == 0 ? (u & 0xFF) : (u >> 8));
    }
    cursorByte_ += length;
    cursorUnit_ += units.size();
  }
}

std::string cStringBuilder::Release() {
  std::string text = std::move(text_);
  Clear();
  return text;
}

void cStringBuilder::Clear() {
  text_.clear();
  units_ = 0;
  cursorByte_ = cursorUnit_ = 0;
}

}  // namespace tavrin
