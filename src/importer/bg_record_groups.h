#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "importer/bg_record_store.h"

namespace tavrin {

class cStringBuilder;
struct ThreadUse;

// The BG records of one conversion in two stores, by the group of their record key, so
// that two threads can merge the values of the rows at once: records of different points
// in time never meet, and all keys of one point in time fall into one group. Each change
// is stamped with the place of its row among the rows, so that the two stores together
// give their records in the order that one store, fed with every row in turn, would.
// Rows may also all go into group 0.
class BgRecordGroups {
 public:
  explicit BgRecordGroups(const NoteLabelList& labels);

  // The group (0 or 1) of the record key date + time.
  static unsigned GroupOf(std::string_view date, std::string_view time);

  // The store of the group, for the values of the row at place `row` among the rows.
  // The rows of a group must come in the order of their places.
  BgRecordStore& ForRow(unsigned group, std::uint64_t row);
  BgRecordStore& Store(unsigned group) { return groups_[group].store; }

  std::size_t Count() const { return groups_[0].store.Count() + groups_[1].store.Count(); }

  // Appends one line of the host XML document per record, oldest change first. The lines
  // of many records are written in two halves at once unless `threads` says one thread.
  void AppendXmlLines(const ThreadUse& threads, cStringBuilder& xml) const;

 private:
  // Each store on cache lines of its own: two threads write them at once.
  struct alignas(64) Group {
    BgRecordStore store;
  };
  std::array<Group, 2> groups_;
};

}  // namespace tavrin
