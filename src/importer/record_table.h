#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Records found by a text key compared without regard to letter case, their texts kept in
// one arena, and a change log that gives them in the order of their latest change. The
// table holds the keys only; its user keeps what a record carries in a list of its own,
// by record number.
//
// A key is held in canonical form: its lower-case text without trailing "i" (the stem)
// and the number of those "i" (the suffix). Two keys are equal exactly when stem and
// suffix are, so the further records "…I", "…II", … of one key need no text of their own.
//
// A change never moves a record inside a list: it appends the record's number to the log
// and remembers that log position in the record, and the order is the log walked once,
// keeping each record at its latest position. So every operation costs constant time on
// average, however many records there are.
//
// Each change carries a stamp, the value last given to SetStamp (0 at first); stamps
// never go back. The logs of several tables stamped from one count merge into the order
// that one table fed with all their changes would have had.
class RecordTable {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // A piece of the arena.
  struct Slice {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
  };
  // A key in canonical form; the stem views text that the caller keeps.
  struct Key {
    std::string_view stem;
    std::uint32_t suffix = 0;
    std::uint64_t stemHash = 0;
  };
  // A record in the merged order of several tables.
  struct OrderEntry {
    std::uint32_t table;
    std::uint32_t index;
  };

  // The canonical form of a key; its lower-case text is kept in `lowered`.
  static Key Canonical(std::string_view key, std::string& lowered);
  // The canonical form of a key that is already in lower case.
  static Key CanonicalOfLower(std::string_view lowered);
  // The group (0 or 1) of the key `first` + `second`: all keys of one stem fall into one
  // group, and so do keys that differ in their last two characters only.
  static unsigned GroupOf(std::string_view first, std::string_view second);

  // Room for about this many records before the lists grow.
  void Reserve(std::size_t records);
  std::size_t Count() const { return stems_.size(); }

  // The record under the key; kNone when there is none.
  std::uint32_t Find(const Key& key) const;
  // A new record under the key whose stem is `stem` (text in the arena); its first change.
  // Throws RuntimeError 7 when the table cannot grow.
  std::uint32_t Add(Slice stem, const Key& key);
  // A new record under the first key from the record's own on that no record holds.
  std::uint32_t AddFurther(std::uint32_t index);
  // A change of the record.
  void Touch(std::uint32_t index);
  // The changes that follow carry this stamp; it must not be smaller than the last.
  void SetStamp(std::uint64_t stamp);

  // Keeps a text in the arena. Throws RuntimeError 7 when the arena cannot grow.
  Slice Store(std::string_view text);
  std::string_view View(Slice slice) const {
    return std::string_view(arena_).substr(slice.offset, slice.length);
  }

  // The records of the table, oldest change first.
  std::vector<std::uint32_t> Order() const;
  // The records of both tables, oldest change first by their stamps (table 0 or 1).
  static std::vector<OrderEntry> MergedOrder(const RecordTable& first, const RecordTable& second);

 private:
  struct Stem {
    Slice text;
    std::uint32_t suffix = 0;
    // Every key from this record's key up to (not including) stem + hint "i" exists;
    // lets AddFurther skip the keys it has already seen taken.
    std::uint32_t hint = 0;
  };

  static std::uint64_t StemHash(std::string_view stem);
  static std::uint32_t HashOf(std::uint64_t stemHash, std::uint32_t suffix);
  std::uint32_t FreeSuffix(std::uint32_t index);
  std::uint32_t AddKey(Slice stem, std::uint64_t stemHash, std::uint32_t suffix);
  void InsertIntoTable(std::uint32_t index, std::uint32_t hash);
  void GrowTable(std::size_t size);
  // The log position of the next record in output order at or after position.
  std::size_t NextLatest(std::size_t position) const;

  std::string arena_;
  std::vector<Stem> stems_;  // per record
  // Per slot the key's hash (high half) and the record number + 1 (low half); 0 = free.
  // The hash lets a probe pass over other keys without reading their records.
  std::vector<std::uint64_t> slots_;
  std::vector<std::uint32_t> log_;  // record numbers in the order of their changes
  // Per log entry its change's stamp (the latest, when one entry stands for several
  // changes in a row); per record the position of its latest change in the log. Kept
  // apart from the records, so that walking the log reads little memory.
  std::vector<std::uint64_t> logStamps_;
  std::vector<std::uint32_t> lastChange_;
  std::uint64_t stamp_ = 0;
};

}  // namespace tavrin
