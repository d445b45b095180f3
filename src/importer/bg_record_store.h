#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/record_table.h"

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
};

// The labels of several languages, the one looked for first first.
using NoteLabelList = std::vector<NoteLabels>;

// The labels of the user-interface language, then of every other language the program
// ships: the app writes its notes in its own language, which need not be the user
// interface's, and a file must give the same records whatever language that is. Before
// a language is chosen, the built-in German texts.
NoteLabelList NoteLabelsOfEveryLanguage(ProcessContext& context);

// The glucose value a note names, for example "112" from "Messung mit Kontrolllösung
// 112 mg/dL" with the unit "mg/dL"; empty when the note carries neither label. A decimal
// comma becomes a point. With several languages, each in turn (marked before control),
// until one gives a value.
std::string ValueFromNote(std::string_view note, std::string_view exportUnit,
                          const NoteLabels& labels);
std::string ValueFromNote(std::string_view note, std::string_view exportUnit,
                          const NoteLabelList& labels);

// The BG records of one conversion: one record per point in time, carrying glucose,
// flag, events, carbohydrates and insulin. A record is found by its key, the record date
// followed by the record time, compared without regard to case; a value that finds its
// attribute already taken opens a further record under the key with "I" appended (once
// per further record). The records come out in the order in which they were last
// changed (a RecordTable keeps keys and order).
class BgRecordStore {
 public:
  explicit BgRecordStore(NoteLabelList labels = {});

  // Room for about this many records before the lists grow.
  void Reserve(std::size_t records);

  // Merges one value of a row into the records: code -2 insulin 3 (Ins3), -1 glucose
  // with the flag "*", 1 glucose, 2 an event or flag by the event table, 3 carbohydrates,
  // 4 insulin 1, 5 insulin 2, 7 glucose from a marked or control note (with Ctrl='1'),
  // 8 the event "75"; other codes store nothing. Amounts pass through CleanAmount;
  // decimal commas become points. Throws RuntimeError 6 for an amount too large to hold
  // and RuntimeError 7 when the store cannot grow.
  void AddBgValue(std::string_view date, std::string_view time, int code, std::string_view value,
                  std::string_view exportUnit);

  std::size_t Count() const { return table_.Count(); }

  // The record texts in their working form (single-quoted attributes, every attribute
  // present), oldest change first.
  std::vector<std::string> RecordTexts() const;

 private:
  friend class BgRecordGroups;
  using Slice = RecordTable::Slice;

  enum Attribute { kVal, kFlg, kEvt, kCarb, kIns1, kIns2, kIns3, kAttributeCount };
  // What a record carries, by record number of the table. Every text is escaped.
  struct Record {
    Slice dt;
    Slice tm;
    std::array<Slice, kAttributeCount> attributes{};
    bool ctrl = false;
  };

  // The record for a date and time, added when there is none.
  std::uint32_t FindOrAdd(std::string_view date, std::string_view time);
  // Whether a value gives its record the document's Ctrl flag (a glucose value read from
  // a note does).
  enum class Marks { kNothing, kControl };
  // Puts v into attribute a of the record for date and time (or of a further record
  // when a is taken); returns the record that holds v.
  std::uint32_t Merge(std::string_view date, std::string_view time, Attribute a,
                      std::string_view value, Marks marks);
  // Opens a further record for the point in time of a record whose attribute a is
  // taken and puts v (already escaped) into it.
  std::uint32_t OpenFurther(std::uint32_t index, std::string_view dt, std::string_view tm,
                            Attribute a, std::string_view v, Marks marks);
  void AddEvent(std::uint32_t index, std::string_view escapedValue);
  // Gives the record the table has just added under number `added` its date and time
  // texts (escaped); returns the number.
  std::uint32_t Carrying(std::uint32_t added, Slice dt, Slice tm);

  void RenderRecord(std::uint32_t index, std::string& out) const;
  // The record's line of the host XML document: what the XML writer's WriteBgRecords
  // makes of its RecordTexts() entry, written directly.
  void AppendXmlLine(std::uint32_t index, std::string& out) const;

  NoteLabelList labels_;
  RecordTable table_;
  std::vector<Record> records_;
  std::string lowered_;  // work buffers for keys
  std::string work_;
  std::string lastKey_;  // the key text last looked up, and its record
  std::uint32_t lastIndex_ = RecordTable::kNone;
};

}  // namespace tavrin
