#include "importer/bg_record_store.h"

#include <algorithm>
#include <array>
#include <future>
#include <limits>

#include "formats/xml_writer.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// Room left behind the records for the document's closing lines.
constexpr std::size_t kReserveForTrailer = 256;
constexpr int kMarkedMessage = 1833;
constexpr int kControlMessage = 1816;

std::string DecimalPoint(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), ',', '.');
  return out;
}

// Carbohydrate and insulin amounts as the records hold them. A whole number of up to five
// digits, bare or with one non-zero decimal ("45", "4,5"), reads back as itself with a
// decimal point; everything else goes through CleanAmount.
std::string Amount(std::string_view text) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits >= 1 && digits <= 5 && (text.front() != '0' || digits == 1)) {
    if (digits == text.size()) return std::string(text);
    if (digits + 2 == text.size() && (text[digits] == ',' || text[digits] == '.') &&
        text[digits + 1] >= '1' && text[digits + 1] <= '9') {
      std::string out(text);
      out[digits] = '.';
      return out;
    }
  }
  return DecimalPoint(CleanAmount(text, "."));
}

// Characters that a key may hold as they are: no upper-case letters (the key is compared
// in lower case), nothing that needs escaping, ASCII only.
constexpr auto kPlainKeyChar = [] {
  std::array<bool, 256> plain{};
  for (int c = 0; c < 0x80; ++c) {
    plain[c] = !(c >= 'A' && c <= 'Z') && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
  }
  return plain;
}();

bool NeedsEscape(std::string_view value) {
  for (char c : value) {
    if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return true;
  }
  return false;
}

// The value as it may stand in a record attribute: unchanged unless it holds a character
// that XML would take for markup or for the end of the attribute.
std::string_view Escaped(std::string_view value, std::string& buffer) {
  if (!NeedsEscape(value)) return value;
  buffer = XmlEscapeAttribute(value);
  return buffer;
}

// The label part of a message: up to its first ":" (included or not); the whole text
// when it has none; trimmed.
std::string LabelOf(std::string_view message, bool includeColon) {
  const std::size_t colon = message.find(':');
  if (colon == std::string_view::npos) return Trim(message);
  return Trim(message.substr(0, includeColon ? colon + 1 : colon));
}

// The longest run of label characters that match only themselves or their ASCII case
// partner: ASCII characters other than i, k and s, whose case partners include the
// letters dotless i, long s and the Kelvin sign.
std::string ProbeOf(std::string_view label) {
  std::string_view best;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= label.size(); ++i) {
    const bool usable = i < label.size() && static_cast<unsigned char>(label[i]) < 0x80 &&
                        std::string_view("iIkKsS").find(label[i]) == std::string_view::npos;
    if (usable) continue;
    if (i - start > best.size()) best = label.substr(start, i - start);
    start = i + 1;
  }
  std::string probe(best);
  for (char& c : probe) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return probe;
}

// Whether text holds probe (lower-case ASCII), letters compared without regard to case.
bool HasProbe(std::string_view text, std::string_view probe) {
  if (probe.size() > text.size()) return false;
  const char first = probe.front();
  const char firstUpper =
      (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
  for (std::size_t i = 0; i + probe.size() <= text.size(); ++i) {
    if (text[i] != first && text[i] != firstUpper) continue;
    std::size_t k = 1;
    for (; k < probe.size(); ++k) {
      char c = text[i + k];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != probe[k]) break;
    }
    if (k == probe.size()) return true;
  }
  return false;
}

// Whether the note may hold the label: certainly not when it lacks the label's probe.
bool MayHold(std::string_view note, const std::string& probe) {
  return probe.empty() || HasProbe(note, probe);
}

// Whether v is one of the items of an event list ("20, 29").
bool HasEventItem(std::string_view events, std::string_view v) {
  while (!events.empty()) {
    const std::size_t comma = events.find(',');
    std::string_view item = events.substr(0, comma);
    if (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    if (item == v) return true;
    if (comma == std::string_view::npos) break;
    events.remove_prefix(comma + 1);
  }
  return false;
}

struct EventEntry {
  std::string_view value;
  bool isFlag;
  std::string_view written;
};
constexpr EventEntry kEventTable[] = {
    {"NBZ", false, "20"}, {"FBG", false, "20"}, {"T8", false, "4"}, {"P1", true, "M1"},
    {"P2", true, "M3"},   {"M", false, "73"},   {"-", true, "Hy"},  {"--", true, "Hy"},
    {"S", false, "29"},   {"ILL", false, "31"},
};

}  // namespace

// --- Note labels

NoteLabels NoteLabels::FromMessages(std::string_view markedMessage,
                                    std::string_view controlMessage) {
  NoteLabels labels;
  labels.marked = LabelOf(markedMessage, true);
  labels.control = LabelOf(controlMessage, false);
  labels.markedProbe = ProbeOf(labels.marked);
  labels.controlProbe = ProbeOf(labels.control);
  return labels;
}

NoteLabels NoteLabels::FromContext(ProcessContext& context) {
  if (context.languages) {
    return FromMessages(context.languages->GetMessageText(kMarkedMessage),
                        context.languages->GetMessageText(kControlMessage, {":"}));
  }
  return FromMessages(Languages::BuiltInText(kMarkedMessage),
                      ReplaceAll(Languages::BuiltInText(kControlMessage), "%1", ":"));
}

std::string ValueFromNote(std::string_view note, std::string_view exportUnit,
                          const NoteLabels& labels) {
  // An empty label would be found in every note; it marks nothing.
  if (!labels.marked.empty() && MayHold(note, labels.markedProbe)) {
    const std::size_t at = FindNoCase(note, labels.marked);
    if (at != std::string_view::npos) {
      // From the label's second character on, so that the ": " looked for is the one
      // after the label, not one in a time written before it.
      const std::string_view rest = note.substr(at + Utf8SequenceLength(note, at));
      return DecimalPoint(Trim(GetBetween(rest, ": ", exportUnit)));
    }
  }
  if (!labels.control.empty() && MayHold(note, labels.controlProbe) &&
      FindNoCase(note, labels.control) != std::string_view::npos) {
    return DecimalPoint(Trim(GetBetween(note, labels.control, exportUnit)));
  }
  return std::string();
}

// --- Record store

BgRecordStore::BgRecordStore(NoteLabels labels) : labels_(std::move(labels)) {}

void BgRecordStore::Reserve(std::size_t records) {
  // Reserved memory that stays unused costs address space, not memory.
  records_.reserve(records);
  log_.reserve(records + records / 2);
  logStamps_.reserve(records + records / 2);
  lastChange_.reserve(records);
  arena_.reserve(records * 24);
  // Rows of one point in time share a record, so fewer records than rows are usual; the
  // table grows should they all be records.
  std::size_t size = 16;
  while (size < records + records / 2) size *= 2;
  if (size > table_.size()) GrowTable(size);
}

BgRecordStore::KeyRef BgRecordStore::Canonical(std::string_view key, std::string& lowered) {
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

BgRecordStore::KeyRef BgRecordStore::CanonicalOfLower(std::string_view lowered) {
  KeyRef ref;
  std::size_t stemLength = lowered.size();
  while (stemLength > 0 && lowered[stemLength - 1] == 'i') --stemLength;
  ref.stem = lowered.substr(0, stemLength);
  ref.suffix = static_cast<std::uint32_t>(std::min<std::size_t>(
      lowered.size() - stemLength, std::numeric_limits<std::uint32_t>::max()));
  ref.stemHash = StemHash(ref.stem);
  return ref;
}

std::uint64_t BgRecordStore::StemHash(std::string_view stem) {
  // FNV-1a, spread over all bits.
  const auto spread = [](std::string_view text) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : text) {
      h ^= static_cast<unsigned char>(c);
      h *= 1099511628211ull;
    }
    h ^= h >> 32;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 29);
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

std::uint32_t BgRecordStore::HashOf(std::uint64_t stemHash, std::uint32_t suffix) {
  if (suffix == 0) return static_cast<std::uint32_t>(stemHash);
  std::uint64_t x = stemHash ^ (static_cast<std::uint64_t>(suffix) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x);
}

std::uint32_t BgRecordStore::Find(const KeyRef& key) const {
  if (table_.empty()) return kNone;
  const std::uint32_t h = HashOf(key.stemHash, key.suffix);
  const std::size_t mask = table_.size() - 1;
  for (std::size_t slot = h & mask; table_[slot] != 0; slot = (slot + 1) & mask) {
    if (static_cast<std::uint32_t>(table_[slot] >> 32) != h) continue;
    const auto index = static_cast<std::uint32_t>(table_[slot]) - 1;
    const Record& record = records_[index];
    if (record.suffix == key.suffix && View(record.stem) == key.stem) return index;
  }
  return kNone;
}

void BgRecordStore::InsertIntoTable(std::uint32_t index, std::uint32_t hash) {
  const std::size_t mask = table_.size() - 1;
  std::size_t slot = hash & mask;
  while (table_[slot] != 0) slot = (slot + 1) & mask;
  table_[slot] = (static_cast<std::uint64_t>(hash) << 32) | (index + 1);
}

void BgRecordStore::GrowTable(std::size_t size) {
  std::vector<std::uint64_t> old(size, 0);
  old.swap(table_);
  for (const std::uint64_t entry : old) {
    if (entry != 0) {
      InsertIntoTable(static_cast<std::uint32_t>(entry) - 1,
                      static_cast<std::uint32_t>(entry >> 32));
    }
  }
}

std::uint32_t BgRecordStore::AddRecord(Slice stem, std::uint64_t stemHash, std::uint32_t suffix,
                                       Slice dt, Slice tm) {
  if (records_.size() >= kNone - 1) {
    throw OutOfMemoryError("BgRecordStore");
  }
  Record record;
  record.stem = stem;
  record.suffix = suffix;
  record.hint = suffix + 1;
  record.dt = dt;
  record.tm = tm;
  const auto index = static_cast<std::uint32_t>(records_.size());
  records_.push_back(record);
  lastChange_.push_back(kNone);
  if (2 * records_.size() > table_.size()) GrowTable(table_.empty() ? 16 : 2 * table_.size());
  InsertIntoTable(index, HashOf(stemHash, suffix));
  Touch(index);
  return index;
}

void BgRecordStore::Touch(std::uint32_t index) {
  const std::uint64_t stamp = stamp_++;
  // Already the latest change: the record stands at the end as it is.
  if (!log_.empty() && log_.back() == index && lastChange_[index] == log_.size() - 1) {
    logStamps_.back() = stamp;
    return;
  }
  if (log_.size() >= kNone - 1) {
    throw OutOfMemoryError("BgRecordStore");
  }
  lastChange_[index] = static_cast<std::uint32_t>(log_.size());
  log_.push_back(index);
  logStamps_.push_back(stamp);
}

BgRecordStore::Slice BgRecordStore::Store(std::string_view text) {
  if (arena_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw OutOfMemoryError("BgRecordStore");
  }
  Slice slice{static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(text.size())};
  arena_.append(text);
  return slice;
}

std::uint32_t BgRecordStore::FreeSuffix(std::uint32_t index) {
  const Record& record = records_[index];
  const std::string_view stem = View(record.stem);
  const std::uint64_t stemHash = StemHash(stem);
  std::uint32_t suffix = record.hint;
  for (;;) {
    const std::uint32_t taken = Find(KeyRef{stem, suffix, stemHash});
    if (taken == kNone) break;
    suffix = std::max(suffix + 1, records_[taken].hint);
  }
  records_[index].hint = suffix;
  return suffix;
}

void BgRecordStore::MakeKeyUnique(std::string& key) {
  std::string lowered;
  const KeyRef ref = Canonical(key, lowered);
  const std::uint32_t index = Find(ref);
  if (index == kNone) return;
  key.append(FreeSuffix(index) - ref.suffix, 'I');
}

bool BgRecordStore::Exists(std::string_view key) const {
  std::string lowered;
  return Find(Canonical(key, lowered)) != kNone;
}

std::uint32_t BgRecordStore::FindOrAdd(std::string_view date, std::string_view time) {
  work_.assign(date);
  work_.append(time);
  // Rows of one point in time usually follow each other.
  if (lastIndex_ != kNone && work_ == lastKey_) return lastIndex_;

  // A key of digits and separators is its own lower-case form and needs no escaping,
  // so date, time and key can share one piece of the arena.
  bool plain = true;
  for (char c : work_) {
    if (!kPlainKeyChar[static_cast<unsigned char>(c)]) {
      plain = false;
      break;
    }
  }
  std::uint32_t index = kNone;
  if (plain) {
    const KeyRef key = CanonicalOfLower(work_);
    index = Find(key);
    if (index == kNone) {
      const Slice all = Store(work_);
      const auto dateLength = static_cast<std::uint32_t>(date.size());
      index = AddRecord(Slice{all.offset, static_cast<std::uint32_t>(key.stem.size())},
                        key.stemHash, key.suffix, Slice{all.offset, dateLength},
                        Slice{all.offset + dateLength, all.length - dateLength});
    }
  } else {
    const KeyRef key = Canonical(work_, lowered_);
    index = Find(key);
    if (index == kNone) {
      std::string dateBuffer;
      std::string timeBuffer;
      const Slice stem = Store(key.stem);
      const Slice dt = Store(Escaped(date, dateBuffer));
      const Slice tm = Store(Escaped(time, timeBuffer));
      index = AddRecord(stem, key.stemHash, key.suffix, dt, tm);
    }
  }
  lastKey_ = work_;
  lastIndex_ = index;
  return index;
}

std::uint32_t BgRecordStore::Merge(std::string_view date, std::string_view time, Attribute a,
                                   std::string_view value, bool ctrl) {
  const std::uint32_t index = FindOrAdd(date, time);
  std::string valueBuffer;
  const std::string_view v = Escaped(value, valueBuffer);
  if (a == kEvt) {
    AddEvent(index, v);
    return index;
  }
  if (records_[index].attributes[a].length == 0) {
    records_[index].attributes[a] = Store(v);
    if (ctrl) records_[index].ctrl = true;
    Touch(index);
    return index;
  }
  std::string dateBuffer;
  std::string timeBuffer;
  return OpenFurther(index, Escaped(date, dateBuffer), Escaped(time, timeBuffer), a, v, ctrl);
}

std::uint32_t BgRecordStore::OpenFurther(std::uint32_t index, std::string_view dt,
                                         std::string_view tm, Attribute a, std::string_view v,
                                         bool ctrl) {
  const std::uint32_t suffix = FreeSuffix(index);
  // Records of one point in time share the stem, and the date and time texts when they
  // are written alike.
  const Slice stem = records_[index].stem;
  const Slice dtSlice = View(records_[index].dt) == dt ? records_[index].dt : Store(dt);
  const Slice tmSlice = View(records_[index].tm) == tm ? records_[index].tm : Store(tm);
  const std::uint64_t stemHash = StemHash(View(stem));
  const std::uint32_t further = AddRecord(stem, stemHash, suffix, dtSlice, tmSlice);
  records_[further].attributes[a] = Store(v);
  if (ctrl) records_[further].ctrl = true;
  return further;
}

void BgRecordStore::AddEvent(std::uint32_t index, std::string_view v) {
  const std::string_view current = View(records_[index].attributes[kEvt]);
  if (HasEventItem(current, v)) return;
  if (current.empty()) {
    records_[index].attributes[kEvt] = Store(v);
  } else {
    std::string joined(current);
    joined.append(", ").append(v);
    records_[index].attributes[kEvt] = Store(joined);
  }
  Touch(index);
}

void BgRecordStore::AddBgValue(std::string_view date, std::string_view time, int code,
                               std::string_view value, std::string_view exportUnit) {
  switch (code) {
    case -2:
      Merge(date, time, kIns3, Amount(value), false);
      break;
    case -1: {
      // The flag marks this very value, so it goes into the record that took it.
      const std::uint32_t index = Merge(date, time, kVal, DecimalPoint(value), false);
      if (records_[index].attributes[kFlg].length == 0) {
        records_[index].attributes[kFlg] = Store("*");
        Touch(index);
      } else {
        std::string dtBuffer(View(records_[index].dt));
        std::string tmBuffer(View(records_[index].tm));
        OpenFurther(index, dtBuffer, tmBuffer, kFlg, "*", false);
      }
      break;
    }
    case 1:
      Merge(date, time, kVal, DecimalPoint(value), false);
      break;
    case 2: {
      const std::string upper = ToUpper(value);
      for (const EventEntry& entry : kEventTable) {
        if (upper == entry.value) {
          Merge(date, time, entry.isFlag ? kFlg : kEvt, entry.written, false);
          break;
        }
      }
      break;
    }
    case 3:
      Merge(date, time, kCarb, Amount(value), false);
      break;
    case 4:
      Merge(date, time, kIns1, Amount(value), false);
      break;
    case 5:
      Merge(date, time, kIns2, Amount(value), false);
      break;
    case 7: {
      const std::string glucose = ValueFromNote(value, exportUnit, labels_);
      if (!glucose.empty()) Merge(date, time, kVal, glucose, true);
      break;
    }
    case 8:
      Merge(date, time, kEvt, "75", false);
      break;
    default:
      break;
  }
}

// --- Output

void BgRecordStore::RenderRecord(std::uint32_t index, std::string& out) const {
  static constexpr std::string_view kOpen[kAttributeCount] = {
      "", "' Flg='", "' Evt='", "' Carb='", "' Ins1='", "' Ins2='", "' Ins3='"};
  const Record& r = records_[index];
  out.clear();
  out.append("<BG Val='").append(View(r.attributes[kVal]));
  out.append("' Dt='").append(View(r.dt));
  out.append("' Tm='").append(View(r.tm));
  for (int a = kFlg; a < kAttributeCount; ++a) out.append(kOpen[a]).append(View(r.attributes[a]));
  out.append("' D='1' remark=''");
  if (r.ctrl) out.append(" Ctrl='1'");
  out.append(" />");
}

// The record's XML line: double quotes, "---" for a missing glucose value, the empty
// optional attributes and the remark left out. Every value in the store is escaped, so
// no quote inside a value needs turning.
void BgRecordStore::AppendXmlLine(std::uint32_t index, std::string& out) const {
  static constexpr std::string_view kOpen[kAttributeCount] = {
      "", "\" Flg=\"", "\" Evt=\"", "\" Carb=\"", "\" Ins1=\"", "\" Ins2=\"", "\" Ins3=\""};
  const Record& r = records_[index];
  const std::string_view val = View(r.attributes[kVal]);
  out.append("<BG Val=\"").append(val.empty() ? std::string_view("---") : val);
  out.append("\" Dt=\"").append(View(r.dt));
  out.append("\" Tm=\"").append(View(r.tm));
  for (int a = kFlg; a < kAttributeCount; ++a) {
    if (r.attributes[a].length > 0) out.append(kOpen[a]).append(View(r.attributes[a]));
  }
  out.append(r.ctrl ? "\" D=\"1\" Ctrl=\"1\" />\r\n" : "\" D=\"1\" />\r\n");
}

std::size_t BgRecordStore::NextLatest(std::size_t position) const {
  while (position < log_.size() && lastChange_[log_[position]] != position) ++position;
  return position;
}

unsigned BgRecordStore::KeyGroup(std::string_view date, std::string_view time) {
  // Above the bits that tell the minutes apart: the minutes of one hour share a group.
  const auto group = [](std::uint64_t stemHash) {
    return static_cast<unsigned>(stemHash >> 40) & 1u;
  };
  // A short key of digits and separators is its own lower-case form: no copy to the heap.
  char buffer[32];
  if (date.size() + time.size() <= sizeof buffer) {
    std::copy(date.begin(), date.end(), buffer);
    std::copy(time.begin(), time.end(), buffer + date.size());
    const std::string_view key(buffer, date.size() + time.size());
    if (std::all_of(key.begin(), key.end(),
                    [](char c) { return kPlainKeyChar[static_cast<unsigned char>(c)]; })) {
      return group(CanonicalOfLower(key).stemHash);
    }
  }
  std::string key;
  key.reserve(date.size() + time.size());
  key.append(date).append(time);
  std::string lowered;
  return group(Canonical(key, lowered).stemHash);
}

void BgRecordStore::AppendXmlLines(cStringBuilder& xml) const {
  AppendXmlLines(*this, BgRecordStore(), xml);
}

void BgRecordStore::AppendXmlLines(const BgRecordStore& first, const BgRecordStore& second,
                                   cStringBuilder& xml) {
  // The records in output order. Each store's latest changes stand in the order of their
  // stamps; the two sequences are merged by stamp.
  struct Entry {
    const BgRecordStore* store;
    std::uint32_t index;
  };
  std::vector<Entry> order;
  order.reserve(first.Count() + second.Count());
  std::size_t a = first.NextLatest(0);
  std::size_t b = second.NextLatest(0);
  while (a < first.log_.size() || b < second.log_.size()) {
    if (b >= second.log_.size() ||
        (a < first.log_.size() && first.logStamps_[a] < second.logStamps_[b])) {
      order.push_back({&first, first.log_[a]});
      a = first.NextLatest(a + 1);
    } else {
      order.push_back({&second, second.log_[b]});
      b = second.NextLatest(b + 1);
    }
  }

  // A line takes some 60 bytes. Many lines are written in two halves: the first straight
  // into the document in blocks (so the builder takes a few large appends), the second
  // by a worker thread into a text of its own.
  constexpr std::size_t kLineBytes = 64;
  constexpr std::size_t kBlock = 1 << 16;
  const auto render = [&order](std::size_t from, std::size_t to, std::string& out) {
    for (std::size_t i = from; i < to; ++i) order[i].store->AppendXmlLine(order[i].index, out);
  };
  constexpr std::size_t kManyLines = 2048;
  const std::size_t half = order.size() < kManyLines ? order.size() : order.size() / 2;
  std::string secondHalf;
  std::future<void> worker;
  if (half < order.size()) {
    worker = std::async(std::launch::async, [&] {
      secondHalf.reserve((order.size() - half) * kLineBytes);
      render(half, order.size(), secondHalf);
    });
  }
  xml.Reserve(xml.ToString().size() + order.size() * kLineBytes + kReserveForTrailer);
  std::string block;
  block.reserve(kBlock + 1024);
  for (std::size_t from = 0; from < half; from += kBlock / kLineBytes) {
    block.clear();
    render(from, std::min(half, from + kBlock / kLineBytes), block);
    xml.Add(block);
  }
  if (worker.valid()) worker.get();
  xml.Add(secondHalf);
}

std::vector<std::string> BgRecordStore::RecordTexts() const {
  std::vector<std::string> texts;
  texts.reserve(records_.size());
  std::string text;
  for (std::size_t at = NextLatest(0); at < log_.size(); at = NextLatest(at + 1)) {
    RenderRecord(log_[at], text);
    texts.push_back(text);
  }
  return texts;
}

}  // namespace tavrin
