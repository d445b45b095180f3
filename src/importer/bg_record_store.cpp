#include "importer/bg_record_store.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <limits>

#include "formats/xml_writer.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

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
// in lower case), nothing that needs escaping (see XmlAttributeNeedsEscape).
constexpr auto kPlainKeyChar = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) {
    plain[c] = !(c >= 'A' && c <= 'Z') && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
  }
  return plain;
}();

// The value as it may stand in a record attribute: unchanged unless it holds a character
// that XML would take for markup or for the end of the attribute, or one that may not
// stand in a document as it is.
std::string_view Escaped(std::string_view value, std::string& buffer) {
  if (!XmlAttributeNeedsEscape(value)) return value;
  buffer = XmlEscapeAttribute(value);
  return buffer;
}

// The label part of a message: up to its first ":" (included or not); the whole text
// when it has none; trimmed.
enum class Colon { kKept, kLeftOut };
std::string LabelOf(std::string_view message, Colon colonPart) {
  const bool includeColon = colonPart == Colon::kKept;
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
  labels.marked = LabelOf(markedMessage, Colon::kKept);
  labels.control = LabelOf(controlMessage, Colon::kLeftOut);
  labels.markedProbe = ProbeOf(labels.marked);
  labels.controlProbe = ProbeOf(labels.control);
  return labels;
}

NoteLabelList NoteLabelsOfEveryLanguage(ProcessContext& context) {
  if (!context.languages) {
    return {
        NoteLabels::FromMessages(Languages::BuiltInText(kMarkedMessage),
                                 ReplaceAll(Languages::BuiltInText(kControlMessage), "%1", ":"))};
  }
  // Both messages come from the same sources in the same order; a language file that
  // lacks one of them gives the other's language its place.
  const std::vector<std::string> marked = context.languages->MessageInEveryLanguage(kMarkedMessage);
  const std::vector<std::string> control =
      context.languages->MessageInEveryLanguage(kControlMessage, {":"});
  NoteLabelList labels;
  for (std::size_t i = 0; i < std::max(marked.size(), control.size()); ++i) {
    labels.push_back(NoteLabels::FromMessages(i < marked.size() ? marked[i] : std::string(),
                                              i < control.size() ? control[i] : std::string()));
  }
  return labels;
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

std::string ValueFromNote(std::string_view note, std::string_view exportUnit,
                          const NoteLabelList& labels) {
  for (const NoteLabels& language : labels) {
    std::string value = ValueFromNote(note, exportUnit, language);
    if (!value.empty()) return value;
  }
  return std::string();
}

// --- Record store

BgRecordStore::BgRecordStore(NoteLabelList labels) : labels_(std::move(labels)) {}

void BgRecordStore::Reserve(std::size_t records) {
  table_.Reserve(records);
  records_.reserve(records);
}

std::uint32_t BgRecordStore::Carrying(std::uint32_t added, Slice dt, Slice tm) {
  assert(added == records_.size());
  records_.push_back(Record{dt, tm});
  return added;
}

std::uint32_t BgRecordStore::FindOrAdd(std::string_view date, std::string_view time) {
  work_.assign(date);
  work_.append(time);
  // Rows of one point in time usually follow each other.
  if (lastIndex_ != RecordTable::kNone && work_ == lastKey_) return lastIndex_;

  // A key of digits and separators is its own lower-case form and needs no escaping,
  // so date, time and key can share one piece of the arena.
  bool plain = true;
  for (char c : work_) {
    if (!kPlainKeyChar[static_cast<unsigned char>(c)]) {
      plain = false;
      break;
    }
  }
  std::uint32_t index = RecordTable::kNone;
  if (plain) {
    const RecordTable::Key key = RecordTable::CanonicalOfLower(work_);
    index = table_.Find(key);
    if (index == RecordTable::kNone) {
      const Slice all = table_.Store(work_);
      const auto dateLength = static_cast<std::uint32_t>(date.size());
      index = Carrying(
          table_.Add(Slice{all.offset, static_cast<std::uint32_t>(key.stem.size())}, key),
          Slice{all.offset, dateLength}, Slice{all.offset + dateLength, all.length - dateLength});
    }
  } else {
    const RecordTable::Key key = RecordTable::Canonical(work_, lowered_);
    index = table_.Find(key);
    if (index == RecordTable::kNone) {
      std::string dateBuffer;
      std::string timeBuffer;
      const Slice stem = table_.Store(key.stem);
      const Slice dt = table_.Store(Escaped(date, dateBuffer));
      const Slice tm = table_.Store(Escaped(time, timeBuffer));
      index = Carrying(table_.Add(stem, key), dt, tm);
    }
  }
  lastKey_ = work_;
  lastIndex_ = index;
  return index;
}

std::uint32_t BgRecordStore::Merge(std::string_view date, std::string_view time, Attribute a,
                                   std::string_view value, Marks marks) {
  const std::uint32_t index = FindOrAdd(date, time);
  std::string valueBuffer;
  const std::string_view v = Escaped(value, valueBuffer);
  if (a == kEvt) {
    AddEvent(index, v);
    return index;
  }
  if (records_[index].attributes[a].length == 0) {
    records_[index].attributes[a] = table_.Store(v);
    if (marks == Marks::kControl) records_[index].ctrl = true;
    table_.Touch(index);
    return index;
  }
  std::string dateBuffer;
  std::string timeBuffer;
  return OpenFurther(index, Escaped(date, dateBuffer), Escaped(time, timeBuffer), a, v, marks);
}

std::uint32_t BgRecordStore::OpenFurther(std::uint32_t index, std::string_view dt,
                                         std::string_view tm, Attribute a, std::string_view v,
                                         Marks marks) {
  // Records of one point in time share the stem, and the date and time texts when they
  // are written alike.
  const Slice dtSlice =
      table_.View(records_[index].dt) == dt ? records_[index].dt : table_.Store(dt);
  const Slice tmSlice =
      table_.View(records_[index].tm) == tm ? records_[index].tm : table_.Store(tm);
  const std::uint32_t further = Carrying(table_.AddFurther(index), dtSlice, tmSlice);
  records_[further].attributes[a] = table_.Store(v);
  if (marks == Marks::kControl) records_[further].ctrl = true;
  return further;
}

void BgRecordStore::AddEvent(std::uint32_t index, std::string_view v) {
  const std::string_view current = table_.View(records_[index].attributes[kEvt]);
  if (HasEventItem(current, v)) return;
  if (current.empty()) {
    records_[index].attributes[kEvt] = table_.Store(v);
  } else {
    std::string joined(current);
    joined.append(", ").append(v);
    records_[index].attributes[kEvt] = table_.Store(joined);
  }
  table_.Touch(index);
}

void BgRecordStore::AddBgValue(std::string_view date, std::string_view time, int code,
                               std::string_view value, std::string_view exportUnit) {
  switch (code) {
    case -2:
      Merge(date, time, kIns3, Amount(value), Marks::kNothing);
      break;
    case -1: {
      // The flag marks this very value, so it goes into the record that took it.
      const std::uint32_t index = Merge(date, time, kVal, DecimalPoint(value), Marks::kNothing);
      if (records_[index].attributes[kFlg].length == 0) {
        records_[index].attributes[kFlg] = table_.Store("*");
        table_.Touch(index);
      } else {
        std::string dtBuffer(table_.View(records_[index].dt));
        std::string tmBuffer(table_.View(records_[index].tm));
        OpenFurther(index, dtBuffer, tmBuffer, kFlg, "*", Marks::kNothing);
      }
      break;
    }
    case 1:
      Merge(date, time, kVal, DecimalPoint(value), Marks::kNothing);
      break;
    case 2: {
      const std::string upper = ToUpper(value);
      for (const EventEntry& entry : kEventTable) {
        if (upper == entry.value) {
          Merge(date, time, entry.isFlag ? kFlg : kEvt, entry.written, Marks::kNothing);
          break;
        }
      }
      break;
    }
    case 3:
      Merge(date, time, kCarb, Amount(value), Marks::kNothing);
      break;
    case 4:
      Merge(date, time, kIns1, Amount(value), Marks::kNothing);
      break;
    case 5:
      Merge(date, time, kIns2, Amount(value), Marks::kNothing);
      break;
    case 7: {
      const std::string glucose = ValueFromNote(value, exportUnit, labels_);
      if (!glucose.empty()) Merge(date, time, kVal, glucose, Marks::kControl);
      break;
    }
    case 8:
      Merge(date, time, kEvt, "75", Marks::kNothing);
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
  out.append("<BG Val='").append(table_.View(r.attributes[kVal]));
  out.append("' Dt='").append(table_.View(r.dt));
  out.append("' Tm='").append(table_.View(r.tm));
  for (int a = kFlg; a < kAttributeCount; ++a)
    out.append(kOpen[a]).append(table_.View(r.attributes[a]));
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
  const std::string_view val = table_.View(r.attributes[kVal]);
  out.append("<BG Val=\"").append(val.empty() ? std::string_view("---") : val);
  out.append("\" Dt=\"").append(table_.View(r.dt));
  out.append("\" Tm=\"").append(table_.View(r.tm));
  for (int a = kFlg; a < kAttributeCount; ++a) {
    if (r.attributes[a].length > 0) out.append(kOpen[a]).append(table_.View(r.attributes[a]));
  }
  out.append(r.ctrl ? "\" D=\"1\" Ctrl=\"1\" />\r\n" : "\" D=\"1\" />\r\n");
}

std::vector<std::string> BgRecordStore::RecordTexts() const {
  std::vector<std::string> texts;
  texts.reserve(records_.size());
  std::string text;
  for (const std::uint32_t index : table_.Order()) {
    RenderRecord(index, text);
    texts.push_back(text);
  }
  return texts;
}

}  // namespace tavrin
