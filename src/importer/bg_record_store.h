#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/string_builder.h"

namespace tavrin {

class ProcessContext;

// The two labels that mark a note as a measurement to keep apart (control solution,
// another person): the marked-measurement text up to and including its first ":", and
// the control-solution text up to its first ":". Taken once per conversion from the
// message texts of the chosen language.
struct NoteLabels {
  std::string marked;
  std::string control;
  // For each label, a piece of it that any note holding the label holds as well, in
  // ASCII letters compared without regard to case (see ProbeOf); empty when the label
  // has none. Lets most notes be passed over without a full search.
  std::string markedProbe;
  std::string controlProbe;

  // From the texts of messages 1833 and 1816 (the latter with ":" put in for %1).
  static NoteLabels FromMessages(std::string_view markedMessage, std::string_view controlMessage);
  // From the languages of the process, or from the built-in German texts before a
  // language is chosen.
  static NoteLabels FromContext(ProcessContext& context);
};

// The glucose value a note names, for example "112" from "Messung mit Kontrolllösung
// 112 mg/dL" with the unit "mg/dL"; empty when the note carries neither label. A decimal
// comma becomes a point.
std::string ValueFromNote(std::string_view note, std::string_view exportUnit,
                          const NoteLabels& labels);

// The BG records of one conversion: one record per point in time, carrying glucose,
// flag, events, carbohydrates and insulin. A record is found by its key, the record date
// followed by the record time, compared without regard to case; a value that finds its
// attribute already taken opens a further record under the key with "I" appended (once
// per further record).
//
// The records come out in the order in which they were last changed. A change never
// moves a record inside a list: each change appends the record's number to a change log
// and remembers that log position in the record, and the final order is the log walked
// once, keeping each record at its latest position. So every operation costs constant
// time on average, however many records there are.
//
// Records of different points in time never meet, so the values of a conversion may be
// shared out among several stores by the group of their key (KeyGroup), each store fed
// in row order by its own thread. Each change carries a stamp that grows from change to
// change (SetChangeStamp sets where the stamps of the next changes start, so the stamps
// of all stores share one count); AppendXmlLines over the stores then gives the records
// in the order one store would have given them.
class BgRecordStore {
 public:
  explicit BgRecordStore(NoteLabels labels = {});

  // Room for about this many records before the tables grow.
  void Reserve(std::size_t records);

  // Merges one value of a row into the records: code -2 insulin 3 (Ins3), -1 glucose
  // with the flag "*", 1 glucose, 2 an event or flag by the event table, 3 carbohydrates,
  // 4 insulin 1, 5 insulin 2, 7 glucose from a marked or control note (with Ctrl='1'),
  // 8 the event "75"; other codes store nothing. Amounts pass through CleanAmount;
  // decimal commas become points. Throws RuntimeError 6 for an amount too large to hold.
  void AddBgValue(std::string_view date, std::string_view time, int code, std::string_view value,
                  std::string_view exportUnit);

  // While a record exists under key (compared without regard to case), appends "I" to it.
  void MakeKeyUnique(std::string& key);
  bool Exists(std::string_view key) const;
  std::size_t Count() const { return records_.size(); }

  // The group (0 or 1) of the key date + time: keys that are the same record, or records
  // of one point in time, fall into one group.
  static unsigned KeyGroup(std::string_view date, std::string_view time);
  // The changes that follow are stamped from `stamp` on; stamps must never go back.
  void SetChangeStamp(std::uint64_t stamp) { stamp_ = stamp; }

  // Appends one line of the host XML document per record, oldest change first: what the
  // XML writer's WriteBgRecords makes of RecordTexts(), written directly.
  void AppendXmlLines(cStringBuilder& xml) const;
  // The same for the records of two stores fed with one count of stamps.
  static void AppendXmlLines(const BgRecordStore& first, const BgRecordStore& second,
                             cStringBuilder& xml);
  // The record texts in their working form (single-quoted attributes, every attribute
  // present), oldest change first.
  std::vector<std::string> RecordTexts() const;

 private:
  // A piece of the value arena.
  struct Slice {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
  };
  enum Attribute { kVal, kFlg, kEvt, kCarb, kIns1, kIns2, kIns3, kAttributeCount };
  // A key in canonical form: its lower-case text without trailing "i" (the stem) and the
  // number of those "i". Two keys are equal exactly when stem and count are equal, so
  // the keys "…I", "…II", … of one point in time need no text of their own.
  struct KeyRef {
    std::string_view stem;
    std::uint32_t suffix = 0;
    std::uint64_t stemHash = 0;
  };
  struct Record {
    Slice stem;
    std::uint32_t suffix = 0;
    // Every key from this record's key up to (not including) stem + hint "i" exists;
    // lets MakeKeyUnique skip the keys it has already seen taken.
    std::uint32_t hint = 0;
    Slice dt;
    Slice tm;
    std::array<Slice, kAttributeCount> attributes{};
    bool ctrl = false;
  };

  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // The canonical form of a key; the lower-case text is kept in lowered.
  static KeyRef Canonical(std::string_view key, std::string& lowered);
  static KeyRef CanonicalOfLower(std::string_view lowered);
  static std::uint64_t StemHash(std::string_view stem);
  static std::uint32_t HashOf(std::uint64_t stemHash, std::uint32_t suffix);

  std::uint32_t Find(const KeyRef& key) const;
  // The first free key count from the record's own on (the record's key must exist).
  std::uint32_t FreeSuffix(std::uint32_t index);
  std::uint32_t AddRecord(Slice stem, std::uint64_t stemHash, std::uint32_t suffix, Slice dt,
                          Slice tm);
  void InsertIntoTable(std::uint32_t index, std::uint32_t hash);
  void GrowTable(std::size_t size);
  void Touch(std::uint32_t index);

  Slice Store(std::string_view text);
  std::string_view View(Slice slice) const {
    return std::string_view(arena_).substr(slice.offset, slice.length);
  }

  // The record for a date and time, added when there is none.
  std::uint32_t FindOrAdd(std::string_view date, std::string_view time);
  // Puts v into attribute a of the record for date and time (or of a further record
  // when a is taken); returns the record that holds v.
  std::uint32_t Merge(std::string_view date, std::string_view time, Attribute a,
                      std::string_view value, bool ctrl);
  // Opens a further record for the point in time of a record whose attribute a is
  // taken and puts v (already escaped) into it.
  std::uint32_t OpenFurther(std::uint32_t index, std::string_view dt, std::string_view tm,
                            Attribute a, std::string_view v, bool ctrl);
  void AddEvent(std::uint32_t index, std::string_view escapedValue);

  void RenderRecord(std::uint32_t index, std::string& out) const;
  void AppendXmlLine(std::uint32_t index, std::string& out) const;
  // The log position of the next record in output order at or after position.
  std::size_t NextLatest(std::size_t position) const;

  NoteLabels labels_;
  std::string arena_;
  std::vector<Record> records_;
  // Per slot the key's hash (high half) and the record number + 1 (low half); 0 = free.
  // The hash lets a probe pass over other keys without reading their records.
  std::vector<std::uint64_t> table_;
  std::vector<std::uint32_t> log_;  // record numbers in the order of their changes
  // Per log entry its change's stamp (the latest, when one entry stands for several
  // changes in a row); per record the position of its latest change in the log. Kept
  // apart from the records, so that walking the log reads little memory.
  std::vector<std::uint64_t> logStamps_;
  std::vector<std::uint32_t> lastChange_;
  std::uint64_t stamp_ = 0;  // the stamp of the next change
  std::string lowered_;      // work buffers for keys
  std::string work_;
  std::string lastKey_;  // the key text last looked up, and its record
  std::uint32_t lastIndex_ = kNone;
};

}  // namespace tavrin
