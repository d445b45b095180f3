#include "importer/record_table.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <limits>

#include "shared/error.h"
#include "shared/utf8.h"

namespace tavrin {

RecordTable::Key RecordTable::Canonical(std::string_view key, std::string& lowered) {
  if (IsAscii(key)) {
    lowered.assign(key);
    for (char& c : lowered) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  } else {
    lowered = ToLower(key);
  }
  return CanonicalOfLower(lowered);
}

RecordTable::Key RecordTable::CanonicalOfLower(std::string_view lowered) {
  Key key;
  std::size_t stemLength = lowered.size();
  while (stemLength > 0 && lowered[stemLength - 1] == 'i') --stemLength;
  key.stem = lowered.substr(0, stemLength);
  key.suffix = static_cast<std::uint32_t>(std::min<std::size_t>(
      lowered.size() - stemLength, std::numeric_limits<std::uint32_t>::max()));
  key.stemHash = StemHash(key.stem);
  return key;
}

unsigned RecordTable::GroupOf(std::string_view first, std::string_view second) {
  // Above the bits that tell the minutes apart: the minutes of one hour share a group.
  const auto group = [](const Key& key) { return static_cast<unsigned>(key.stemHash >> 40) & 1u; };
  // A short key of ASCII without capitals is its own lower-case form: no copy to the heap.
  static constexpr auto kLower = [] {
    std::array<bool, 256> lower{};
    for (int c = 0; c < 0x80; ++c) lower[static_cast<std::size_t>(c)] = !(c >= 'A' && c <= 'Z');
    return lower;
  }();
  char buffer[32];
  if (first.size() + second.size() <= sizeof buffer) {
    std::copy(first.begin(), first.end(), buffer);
    std::copy(second.begin(), second.end(), buffer + first.size());
    const std::string_view key(buffer, first.size() + second.size());
    if (std::all_of(key.begin(), key.end(),
                    [](char c) { return kLower[static_cast<unsigned char>(c)]; })) {
      return group(CanonicalOfLower(key));
    }
  }
  std::string key;
  key.reserve(first.size() + second.size());
  key.append(first).append(second);
  std::string lowered;
  return group(Canonical(key, lowered));
}

std::uint64_t RecordTable::StemHash(std::string_view stem) {
  // Eight bytes at a time, each word mixed in by a multiplication, spread over all bits.
  const auto spread = [](std::string_view text) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, text.data() + i, sizeof word);
      h = (h ^ word) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    // The bytes left over: a word that ends with the text (overlapping the last one
    // mixed in), or the few bytes of a short text one by one.
    std::uint64_t rest = 0;
    if (i < text.size() && text.size() >= 8) {
      std::memcpy(&rest, text.data() + text.size() - 8, sizeof rest);
    } else {
      for (std::size_t k = i; k < text.size(); ++k) {
        rest = (rest << 8) | static_cast<unsigned char>(text[k]);
      }
    }
    h = (h ^ rest) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
  };
  if (stem.size() < 2) return spread(stem);
  // Keys that differ only in their last two characters (the minutes of one hour) land
  // side by side in the table: keys usually come in order of time, so consecutive look-ups
  // touch neighbouring memory instead of a random place each. The low six bits take the
  // last two characters, which for two digits tell all sixty minutes apart.
  const std::size_t n = stem.size();
  const unsigned tail =
      static_cast<unsigned char>(stem[n - 2]) * 10u + static_cast<unsigned char>(stem[n - 1]);
  return (spread(stem.substr(0, n - 2)) & ~std::uint64_t{63}) | (tail & 63u);
}

std::uint32_t RecordTable::HashOf(std::uint64_t stemHash, std::uint32_t suffix) {
  if (suffix == 0) return static_cast<std::uint32_t>(stemHash);
  std::uint64_t x = stemHash ^ (static_cast<std::uint64_t>(suffix) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x);
}

void RecordTable::Reserve(std::size_t records) {
  // Reserved memory that stays unused costs address space, not memory.
  stems_.reserve(records);
  log_.reserve(records + records / 2);
  logStamps_.reserve(records + records / 2);
  lastChange_.reserve(records);
  arena_.reserve(records * 24);
  // Records of one point in time share a record, so fewer records than rows are usual; the
  // table grows should they all be records.
  std::size_t size = 16;
  while (size < records + records / 2) size *= 2;
  if (size > slots_.size()) GrowTable(size);
}

std::uint32_t RecordTable::Find(const Key& key) const {
  if (slots_.empty()) return kNone;
  const std::uint32_t h = HashOf(key.stemHash, key.suffix);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = h & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (static_cast<std::uint32_t>(slots_[slot] >> 32) != h) continue;
    const auto index = static_cast<std::uint32_t>(slots_[slot]) - 1;
    const Stem& stem = stems_[index];
    if (stem.suffix == key.suffix && View(stem.text) == key.stem) return index;
  }
  return kNone;
}

void RecordTable::InsertIntoTable(std::uint32_t index, std::uint32_t hash) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = (static_cast<std::uint64_t>(hash) << 32) | (index + 1);
}

void RecordTable::GrowTable(std::size_t size) {
  std::vector<std::uint64_t> old(size, 0);
  old.swap(slots_);
  for (const std::uint64_t entry : old) {
    if (entry != 0) {
      InsertIntoTable(static_cast<std::uint32_t>(entry) - 1,
                      static_cast<std::uint32_t>(entry >> 32));
    }
  }
}

std::uint32_t RecordTable::Add(Slice stem, const Key& key) {
  return AddKey(stem, key.stemHash, key.suffix);
}

std::uint32_t RecordTable::AddKey(Slice stem, std::uint64_t stemHash, std::uint32_t suffix) {
  if (stems_.size() >= kNone - 1) {
    throw OutOfMemoryError("BgRecordStore");
  }
  const auto index = static_cast<std::uint32_t>(stems_.size());
  stems_.push_back(Stem{stem, suffix, suffix + 1});
  lastChange_.push_back(kNone);
  if (2 * stems_.size() > slots_.size()) GrowTable(slots_.empty() ? 16 : 2 * slots_.size());
  InsertIntoTable(index, HashOf(stemHash, suffix));
  Touch(index);
  return index;
}

std::uint32_t RecordTable::FreeSuffix(std::uint32_t index) {
  const Stem& own = stems_[index];
  const std::string_view stem = View(own.text);
  const std::uint64_t stemHash = StemHash(stem);
  std::uint32_t suffix = own.hint;
  for (;;) {
    const std::uint32_t taken = Find(Key{stem, suffix, stemHash});
    if (taken == kNone) break;
    suffix = std::max(suffix + 1, stems_[taken].hint);
  }
  stems_[index].hint = suffix;
  return suffix;
}

std::uint32_t RecordTable::AddFurther(std::uint32_t index) {
  const std::uint32_t suffix = FreeSuffix(index);
  const Slice stem = stems_[index].text;
  return AddKey(stem, StemHash(View(stem)), suffix);
}

void RecordTable::Touch(std::uint32_t index) {
  // Already the latest change: the record stands at the end as it is.
  if (!log_.empty() && log_.back() == index && lastChange_[index] == log_.size() - 1) {
    logStamps_.back() = stamp_;
    return;
  }
  if (log_.size() >= kNone - 1) {
    throw OutOfMemoryError("BgRecordStore");
  }
  lastChange_[index] = static_cast<std::uint32_t>(log_.size());
  log_.push_back(index);
  logStamps_.push_back(stamp_);
}

void RecordTable::SetStamp(std::uint64_t stamp) {
  // Merged logs keep their order only while every table's stamps grow.
  assert(stamp >= stamp_);
  stamp_ = stamp;
}

RecordTable::Slice RecordTable::Store(std::string_view text) {
  if (arena_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw OutOfMemoryError("BgRecordStore");
  }
  Slice slice{static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(text.size())};
  arena_.append(text);
  return slice;
}

std::size_t RecordTable::NextLatest(std::size_t position) const {
  while (position < log_.size() && lastChange_[log_[position]] != position) ++position;
  return position;
}

std::vector<std::uint32_t> RecordTable::Order() const {
  std::vector<std::uint32_t> order;
  order.reserve(stems_.size());
  for (std::size_t at = NextLatest(0); at < log_.size(); at = NextLatest(at + 1)) {
    order.push_back(log_[at]);
  }
  return order;
}

std::vector<RecordTable::OrderEntry> RecordTable::MergedOrder(const RecordTable& first,
                                                              const RecordTable& second) {
  // Each table's latest changes stand in the order of their stamps; the two sequences
  // are merged by stamp. Changes of one stamp come from one table.
  std::vector<OrderEntry> order;
  order.reserve(first.Count() + second.Count());
  std::size_t a = first.NextLatest(0);
  std::size_t b = second.NextLatest(0);
  while (a < first.log_.size() || b < second.log_.size()) {
    if (b >= second.log_.size() ||
        (a < first.log_.size() && first.logStamps_[a] < second.logStamps_[b])) {
      order.push_back({0, first.log_[a]});
      a = first.NextLatest(a + 1);
    } else {
      order.push_back({1, second.log_[b]});
      b = second.NextLatest(b + 1);
    }
  }
  return order;
}

}  // namespace tavrin
