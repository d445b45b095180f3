#include "app/mnemonics.h"

#include <bitset>
#include <cctype>
#include <optional>

namespace tavrin {

namespace {

unsigned char Folded(char c) {
  return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

bool Eligible(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x80 && std::isalnum(u) != 0;
}

// The position of the character marked by a single "&"; none when there is no marker.
std::optional<std::size_t> MarkedPosition(std::string_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return i + 1;
    ++i;  // "&&" is a literal "&"
  }
  return std::nullopt;
}

}  // namespace

std::string StripMnemonic(std::string_view caption) {
  std::string shown;
  shown.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

std::vector<std::string> WithMnemonics(std::vector<std::string> captions) {
  std::bitset<256> taken;
  for (const std::string& caption : captions) {
    if (const auto at = MarkedPosition(caption)) taken.set(Folded(caption[*at]));
  }
  for (std::string& caption : captions) {
    if (MarkedPosition(caption)) continue;
    for (std::size_t i = 0; i < caption.size(); ++i) {
      // An "&" of a caption without a marker can only be a literal one ("&&").
      if (caption[i] == '&') {
        ++i;
        continue;
      }
      if (!Eligible(caption[i]) || taken.test(Folded(caption[i]))) continue;
      taken.set(Folded(caption[i]));
      caption.insert(i, 1, '&');
      break;
    }
  }
  return captions;
}

}  // namespace tavrin
