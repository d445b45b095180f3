#include "importer/bg_record_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formats/xml_writer.h"
#include "importer/bg_record_groups.h"
#include "shared/two_halves.h"

namespace tavrin {
namespace {

constexpr const char* kDate = "2026-12-01";

// The working text of a record with the given attributes (others empty).
struct Attrs {
  std::string val = "", tm = "07:45", flg = "", evt = "", carb = "", ins1 = "", ins2 = "",
              ins3 = "";
  bool ctrl = false;
};
std::string Record(const Attrs& a) {
  return "<BG Val='" + a.val + "' Dt='" + kDate + "' Tm='" + a.tm + "' Flg='" + a.flg + "' Evt='" +
         a.evt + "' Carb='" + a.carb + "' Ins1='" + a.ins1 + "' Ins2='" + a.ins2 + "' Ins3='" +
         a.ins3 + "' D='1' remark=''" + (a.ctrl ? " Ctrl='1'" : "") + " />";
}

NoteLabels GermanLabels() {
  return NoteLabels::FromMessages(
      "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.): %1",
      "Messung mit Kontrolllösung :");
}

TEST(BgRecordStore, MergesValuesByPointInTimeAndWritesTheirXmlLines) {
  BgRecordGroups groups(GermanLabels());
  BgRecordStore& store = groups.ForRow(0, 0);
  const auto add = [&store](const char* time, int code, const char* value) {
    store.AddBgValue(kDate, time, code, value, "mg/dL");
  };
  add("07:00", 3, "30");  // carbohydrates and glucose at one minute share a record
  add("07:00", 1, "120");
  add("07:00", 1, "130");  // a second glucose opens a further record ("…I")
  add("07:00", -1, "95");  // a starred value keeps its flag in its own record ("…II")
  add("07:01", -1, "88");
  add("07:02", 2, "NBZ");  // events join once each; a repeated one moves nothing
  add("07:02", 2, "s");
  add("07:02", 2, "FBG");
  add("07:02", 8, "x");
  add("07:03", 2, "p1");   // the event table's flags; unknown values store nothing
  add("07:03", -1, "77");  // the flag taken: the star goes into a further record
  add("07:04", 2, "--");
  add("07:04", 2, "--1");
  add("07:05", 2, "ill");
  add("07:05", 2, "M");
  add("07:06", 3, "10-20");  // amounts cleaned, decimal points
  add("07:08", 4, "4,5");
  add("07:08", 5, "2+1,5");
  add("07:08", -2, "3*");
  for (int code : {0, 6, 9, 10, -3}) add("07:09", code, "5");
  add("07:10", 1, "a&b'\"<");  // escaped when put in
  add("07:11", 7, "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.): 112,5 mg/dL");
  add("07:11", 7, "07:11: Messung mit Kontrolllösung 98,5 mg/dL");
  add("07:12", 7, "07:12: just a note");
  store.AddBgValue("2026-AB-01", "07:45", 1, "1", "mg/dL");  // keys ignore letter case
  store.AddBgValue("2026-ab-01", "07:45", 3, "5", "mg/dL");
  store.AddBgValue("", "", 1, "77", "mg/dL");
  const std::vector<std::string> expected = {
      Record({.val = "120", .tm = "07:00", .carb = "30"}),
      Record({.val = "130", .tm = "07:00"}),
      Record({.val = "95", .tm = "07:00", .flg = "*"}),
      Record({.val = "88", .tm = "07:01", .flg = "*"}),
      Record({.tm = "07:02", .evt = "20, 29, 75"}),
      Record({.val = "77", .tm = "07:03", .flg = "M1"}),
      Record({.tm = "07:03", .flg = "*"}),
      Record({.tm = "07:04", .flg = "Hy"}),
      Record({.tm = "07:05", .evt = "31, 73"}),
      Record({.tm = "07:06", .carb = "15"}),
      Record({.tm = "07:08", .ins1 = "4.5", .ins2 = "3.5", .ins3 = "3"}),
      Record({.val = "a&amp;b&apos;&quot;&lt;", .tm = "07:10"}),
      Record({.val = "112.5", .tm = "07:11", .ctrl = true}),
      Record({.val = "98.5", .tm = "07:11", .ctrl = true}),
      "<BG Val='1' Dt='2026-AB-01' Tm='07:45' Flg='' Evt='' Carb='5' Ins1='' Ins2='' Ins3='' "
      "D='1' remark='' />",
      "<BG Val='77' Dt='' Tm='' Flg='' Evt='' Carb='' Ins1='' Ins2='' Ins3='' D='1' remark='' />"};
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
      items_.emplace_back(key, Record({.tm = time}));
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
      std::string fresh = Record({.tm = time});
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
