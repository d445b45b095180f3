#include "importer/bg_record_groups.h"

#include <algorithm>
#include <string>

#include "shared/string_builder.h"
#include "shared/two_halves.h"

namespace tavrin {

namespace {

// Room left behind the records for the document's closing lines.
constexpr std::size_t kReserveForTrailer = 256;

}  // namespace

BgRecordGroups::BgRecordGroups(const NoteLabelList& labels)
    : groups_{Group{BgRecordStore(labels)}, Group{BgRecordStore(labels)}} {}

unsigned BgRecordGroups::GroupOf(std::string_view date, std::string_view time) {
  return RecordTable::GroupOf(date, time);
}

BgRecordStore& BgRecordGroups::ForRow(unsigned group, std::uint64_t row) {
  BgRecordStore& store = groups_[group].store;
  store.table_.SetStamp(row);
  return store;
}

void BgRecordGroups::AppendXmlLines(const ThreadUse& threads, cStringBuilder& xml) const {
  const std::vector<RecordTable::OrderEntry> order =
      RecordTable::MergedOrder(groups_[0].store.table_, groups_[1].store.table_);
  const auto render = [&](std::size_t from, std::size_t to, std::string& out) {
    for (std::size_t i = from; i < to; ++i) {
      groups_[order[i].table].store.AppendXmlLine(order[i].index, out);
    }
  };

  // A line takes some 64 bytes. The first half goes straight into the document in blocks
  // (so the builder takes a few large appends), the second into a text of its own.
  constexpr std::size_t kLineBytes = 64;
  constexpr std::size_t kBlockLines = (1 << 16) / kLineBytes;
  const std::size_t half =
      threads.WorthTwoThreads(order.size() * kLineBytes) ? order.size() / 2 : order.size();
  xml.Reserve(xml.ToString().size() + order.size() * kLineBytes + kReserveForTrailer);
  std::string secondHalf;
  RunTwoHalves(
      half < order.size(),
      [&] {
        std::string block;
        block.reserve(kBlockLines * kLineBytes + 1024);
        for (std::size_t from = 0; from < half; from += kBlockLines) {
          block.clear();
          render(from, std::min(half, from + kBlockLines), block);
          xml.Add(block);
        }
      },
      [&] {
        secondHalf.reserve((order.size() - half) * kLineBytes);
        render(half, order.size(), secondHalf);
      });
  xml.Add(secondHalf);
}

}  // namespace tavrin
