#include "importer/bg_record_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formats/xml_writer.h"
#include "importer/bg_record_groups.h"
#include "importer_process.h"
#include "shared/two_halves.h"

namespace tavrin {
namespace {

constexpr const char* kDate = "2026-12-01";

// The working text of a record at kDate and `time` with no value yet.
std::string EmptyRecord(const std::string& time) {
  return "<BG Val='' Dt='" + std::string(kDate) + "' Tm='" + time +
         "' Flg='' Evt='' Carb='' Ins1='' Ins2='' Ins3='' D='1' remark='' />";
}

NoteLabels GermanLabels() {
  return NoteLabels::FromMessages(
      "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.): %1",
      "Messung mit Kontrolllösung :");
}

TEST(BgRecordStore, MergesValuesByPointInTimeAndWritesTheirXmlLines) {
  BgRecordGroups groups({GermanLabels()});
  BgRecordStore& store = groups.ForRow(0, 0);
  for (const std::string& line : testing::GoldenLines("importer/store_values.txt")) {
    const std::vector<std::string> f = SplitText(line, ";");
    store.AddBgValue(f[0], f[1], std::stoi(f[2]), f[3], "mg/dL");
  }
  const std::vector<std::string> expected = testing::GoldenLines("importer/store_records.txt");
  EXPECT_EQ(store.RecordTexts(), expected);
  // The XML lines are what the XML writer makes of the record texts, however written.
  cStringBuilder written;
  WriteBgRecords(expected, written);
  for (const ThreadUse threads : {ThreadUse{.oneThread = true}, ThreadUse{.twoThreadBytes = 1}}) {
    cStringBuilder lines;
    groups.AppendXmlLines(threads, lines);
    EXPECT_EQ(lines.ToString(), written.ToString());
  }
}

TEST(BgRecordStore, NotesNameTheValueAfterEitherLabel) {
  const NoteLabels labels = GermanLabels();
  EXPECT_EQ(labels.marked, "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.):");
  EXPECT_EQ(labels.control, "Messung mit Kontrolllösung");
  // The quick precheck never hides a label: the same answers as a full search.
  NoteLabels unchecked = labels;
  unchecked.markedProbe.clear();
  unchecked.controlProbe.clear();
  const std::pair<std::string, std::string> kNotes[] = {
      {"MESSUNG MIT KONTROLLLÖSUNG 99 MG/DL", "99"},
      {"19:05: gekennzeichnete messung (z.B. Kontrollösung, andere Person etc.): 140 mg/dL", "140"},
      {"Messung mit Kontrollösung 99 mg/dL", ""},  // misspelt: no label
      {"", ""}};
  for (const auto& [note, value] : kNotes) {
    EXPECT_EQ(ValueFromNote(note, "mg/dL", labels), value) << note;
    EXPECT_EQ(ValueFromNote(note, "mg/dL", unchecked), value) << note;
  }
  EXPECT_EQ(ValueFromNote("MESSUNG MIT KONTROLLLÖSUNG 6,2 MMOL/L", "mmol/L", labels), "6.2");
  EXPECT_EQ(ValueFromNote("112 mg/dL", "mg/dL", NoteLabels::FromMessages("", "")), "");
}

// The order by its plain definition: a changed record is removed from the list and added
// again at its end. Quadratic, for small inputs only.
class ReferenceStore {
 public:
  void Merge(const std::string& time, const std::string& attribute, const std::string& v) {
    std::string key = Lower(std::string(kDate) + time);
    std::size_t at = Find(key);
    if (at == items_.size()) {
      items_.emplace_back(key, EmptyRecord(time));
      at = items_.size() - 1;
    }
    std::string text = items_[at].second;
    const std::string marker = attribute + "='";
    const std::size_t from = text.find(marker) + marker.size();
    const std::string current = text.substr(from, text.find('\'', from) - from);
    if (attribute == "Evt") {
      std::string items = ", " + current + ",";
      if (items.find(", " + v + ",") != std::string::npos) return;
      text.replace(from, current.size(), current.empty() ? v : current + ", " + v);
    } else if (current.empty()) {
      text.replace(from, 0, v);
    } else {
      while (Find(key) != items_.size()) key += "i";
      std::string fresh = EmptyRecord(time);
      fresh.insert(fresh.find(marker) + marker.size(), v);
      items_.emplace_back(key, fresh);
      return;
    }
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    items_.emplace_back(key, text);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& item : items_) texts.push_back(item.second);
    return texts;
  }

 private:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::size_t Find(const std::string& key) const {
    std::size_t i = 0;
    while (i < items_.size() && items_[i].first != key) ++i;
    return i;
  }
  std::vector<std::pair<std::string, std::string>> items_;
};

TEST(BgRecordStore, OrderIsTheOrderOfLastChangeAsIfMovedToTheEnd) {
  struct Step {
    int code;
    const char* value;
    const char* attribute;
    const char* written;
  };
  const Step kSteps[] = {
      {1, "120", "Val", "120"}, {3, "30", "Carb", "30"}, {4, "2", "Ins1", "2"},
      {5, "4", "Ins2", "4"},    {2, "NBZ", "Evt", "20"}, {2, "S", "Evt", "29"},
      {2, "P1", "Flg", "M1"},   {2, "--", "Flg", "Hy"},  {8, "x", "Evt", "75"},
  };
  std::mt19937 random(20261204);
  BgRecordStore store;
  ReferenceStore reference;
  // Few minutes and many repeats: records are touched again and again, values collide,
  // events repeat without moving anything.
  for (int i = 0; i < 1500; ++i) {
    const Step& step = kSteps[random() % std::size(kSteps)];
    char time[6];
    std::snprintf(time, sizeof time, "07:%02u", static_cast<unsigned>(random() % 8));
    store.AddBgValue(kDate, time, step.code, step.value, "mg/dL");
    reference.Merge(time, step.attribute, step.written);
  }
  EXPECT_EQ(store.RecordTexts(), reference.Texts());
}

}  // namespace
}  // namespace tavrin
