#include "importer/bg_record_store.h"
#include "importer/bg_record_groups.h"
#include "shared/two_halves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formats/xml_writer.h"
#include "shared/error.h"

namespace tavrin {
namespace {

constexpr const char* kDate = "2026-12-01";

// The working text of a record with the given attributes (others empty).
struct Attrs {
  std::string val = "";
  std::string tm = "07:45";
  std::string flg = "";
  std::string evt = "";
  std::string carb = "";
  std::string ins1 = "";
  std::string ins2 = "";
  std::string ins3 = "";
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

class StoreTest : public ::testing::Test {
 protected:
  void Add(std::string_view time, int code, std::string_view value) {
    store_.AddBgValue(kDate, time, code, value, "mg/dL");
  }
  BgRecordStore store_{GermanLabels()};
};

// --- Merging by point in time

TEST_F(StoreTest, SecondGlucoseAtOneMinuteOpensARecordWithI) {
  Add("07:45", 1, "120");
  Add("07:45", 1, "130");
  EXPECT_EQ(store_.RecordTexts(),
            (std::vector<std::string>{Record({.val = "120"}), Record({.val = "130"})}));
}

TEST_F(StoreTest, CarbohydratesAndGlucoseAtOneMinuteShareARecord) {
  Add("07:45", 3, "30");
  Add("07:45", 1, "120");
  EXPECT_EQ(store_.RecordTexts(), (std::vector<std::string>{Record({.val = "120", .carb = "30"})}));
}

TEST_F(StoreTest, EventsJoinOnceEach) {
  Add("07:45", 2, "NBZ");
  Add("07:45", 2, "s");
  Add("08:00", 1, "99");
  Add("07:45", 2, "S");    // present: nothing changes, the record does not move
  Add("07:45", 2, "FBG");  // 20 again
  Add("07:45", 8, "x");
  EXPECT_EQ(store_.RecordTexts(), (std::vector<std::string>{Record({.val = "99", .tm = "08:00"}),
                                                            Record({.evt = "20, 29, 75"})}));
}

TEST_F(StoreTest, EventTableSetsFlagsAndIgnoresUnknownValues) {
  Add("07:00", 2, "p1");
  Add("07:05", 2, "P2");
  Add("07:10", 2, "--");
  Add("07:15", 2, "--1");  // the low marker of the export: no flag
  Add("07:20", 2, "T8");
  Add("07:25", 2, "ill");
  Add("07:30", 2, "M");
  EXPECT_EQ(store_.RecordTexts(),
            (std::vector<std::string>{
                Record({.tm = "07:00", .flg = "M1"}), Record({.tm = "07:05", .flg = "M3"}),
                Record({.tm = "07:10", .flg = "Hy"}), Record({.tm = "07:20", .evt = "4"}),
                Record({.tm = "07:25", .evt = "31"}), Record({.tm = "07:30", .evt = "73"})}));
}

TEST_F(StoreTest, AmountsAreCleaned) {
  Add("07:00", 3, "10-20");
  Add("07:05", 3, "10+5");
  Add("07:10", 3, "12*");
  Add("07:15", 3, "30>");
  Add("07:20", 4, "4,5");
  Add("07:20", 5, "2+1,5");
  Add("07:20", -2, "3*");
  const auto texts = store_.RecordTexts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], Record({.tm = "07:00", .carb = "15"}));
  EXPECT_EQ(texts[1], Record({.tm = "07:05", .carb = "15"}));
  EXPECT_EQ(texts[2], Record({.tm = "07:10", .carb = "12"}));
  EXPECT_EQ(texts[3], Record({.tm = "07:15", .carb = "30"}));
  EXPECT_EQ(texts[4], Record({.tm = "07:20", .ins1 = "4.5", .ins2 = "3.5", .ins3 = "3"}));
}

TEST_F(StoreTest, CodesWithoutAttributeStoreNothing) {
  for (int code : {0, 6, 9, 10, -3}) Add("07:45", code, "5");
  EXPECT_EQ(store_.Count(), 0u);
}

TEST_F(StoreTest, StarredGlucoseCarriesItsFlag) {
  Add("07:45", -1, "95");
  EXPECT_EQ(store_.RecordTexts(), (std::vector<std::string>{Record({.val = "95", .flg = "*"})}));
}

TEST_F(StoreTest, StarStaysWithItsOwnValueWhenTheMinuteHasTwo) {
  Add("07:45", 1, "120");
  Add("07:45", -1, "95");
  EXPECT_EQ(store_.RecordTexts(),
            (std::vector<std::string>{Record({.val = "120"}), Record({.val = "95", .flg = "*"})}));
}

TEST_F(StoreTest, ValuesAreEscapedWhenTheyArePutIn) {
  Add("07:45", 1, "a&b'\"");
  EXPECT_EQ(store_.RecordTexts()[0], Record({.val = "a&amp;b&apos;&quot;"}));
}

// --- Notes

TEST_F(StoreTest, MarkedNoteGivesAControlValue) {
  Add("07:45", 7,
      "07:45: Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.): 112 mg/dL");
  Add("07:45", 7, "07:45: Messung mit Kontrolllösung 98,5 mg/dL");  // Val taken: next record
  Add("07:50", 7, "07:50: just a note");
  EXPECT_EQ(store_.RecordTexts(),
            (std::vector<std::string>{Record({.val = "112", .ctrl = true}),
                                      Record({.val = "98.5", .ctrl = true})}));
}

TEST(ValueFromNote, ReadsTheValueAfterEitherLabel) {
  const NoteLabels labels = GermanLabels();
  EXPECT_EQ(labels.marked, "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.):");
  EXPECT_EQ(labels.control, "Messung mit Kontrolllösung");
  EXPECT_EQ(ValueFromNote("Messung mit Kontrolllösung 112 mg/dL", "mg/dL", labels), "112");
  EXPECT_EQ(ValueFromNote("MESSUNG MIT KONTROLLLÖSUNG 6,2 MMOL/L", "mmol/L", labels), "6.2");
  EXPECT_EQ(ValueFromNote("19:05: gekennzeichnete messung (z.B. Kontrollösung, andere Person "
                          "etc.): 140 mg/dL",
                          "mg/dL", labels),
            "140");
  EXPECT_EQ(ValueFromNote("Kaffee getrunken", "mg/dL", labels), "");
}

TEST(ValueFromNote, QuickPrecheckNeverHidesALabel) {
  // The same answers with the precheck as with a full search of every note.
  const NoteLabels labels = GermanLabels();
  NoteLabels unchecked = labels;
  unchecked.markedProbe.clear();
  unchecked.controlProbe.clear();
  EXPECT_FALSE(labels.markedProbe.empty());
  EXPECT_FALSE(labels.controlProbe.empty());
  const std::string notes[] = {
      "messung mit kontrolllösung 99 mg/dL",
      "MESSUNG MIT KONTROLLLÖSUNG 99 MG/DL",
      "x: GEKENNZEICHNETE MESSUNG (Z.B. KONTROLLÖSUNG, ANDERE PERSON ETC.): 7 mg/dL",
      "Messung mit Kontrollösung 99 mg/dL",  // misspelt: no label
      "Kontrolle",
      "",
  };
  for (const std::string& note : notes) {
    EXPECT_EQ(ValueFromNote(note, "mg/dL", labels), ValueFromNote(note, "mg/dL", unchecked))
        << note;
  }
}

TEST(ValueFromNote, MessagesWithoutLabelMarkNothing) {
  const NoteLabels labels = NoteLabels::FromMessages("", "");
  EXPECT_EQ(ValueFromNote("112 mg/dL", "mg/dL", labels), "");
}

// --- Keys

TEST_F(StoreTest, KeysIgnoreLetterCase) {
  store_.AddBgValue("2026-AB-01", "07:45", 1, "1", "mg/dL");
  store_.AddBgValue("2026-ab-01", "07:45", 3, "5", "mg/dL");
  ASSERT_EQ(store_.Count(), 1u);
}

// --- Order

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

TEST_F(StoreTest, OrderIsTheOrderOfLastChangeAsIfMovedToTheEnd) {
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
  ReferenceStore reference;
  // Few minutes and many repeats: records are touched again and again, values collide,
  // events repeat without moving anything.
  for (int i = 0; i < 1500; ++i) {
    const Step& step = kSteps[random() % std::size(kSteps)];
    char time[6];
    std::snprintf(time, sizeof time, "07:%02u", static_cast<unsigned>(random() % 8));
    Add(time, step.code, step.value);
    reference.Merge(time, step.attribute, step.written);
  }
  EXPECT_EQ(store_.RecordTexts(), reference.Texts());
}

TEST_F(StoreTest, XmlLinesAreWhatTheWriterMakesOfTheRecordTexts) {
  Add("06:59", 3, "30");  // no glucose value: "---"
  Add("07:00", 1, "101");
  Add("07:00", 1, "102");  // a further record
  Add("07:01", 2, "P2");
  Add("07:01", 2, "ILL");
  Add("07:01", 2, "T8");
  Add("07:02", 7, "Messung mit Kontrolllösung 114 mg/dL");  // Ctrl='1'
  Add("07:03", -1, "88");
  Add("07:03", -2, "1,5");
  Add("07:04", 4, "2");
  Add("07:04", 5, "12");
  store_.AddBgValue("2026-12-0'1", "07:<5", 1, "9\"9", "mg/dL");  // escaped key and value
  store_.AddBgValue("", "", 1, "77", "mg/dL");                    // empty date and time
  cStringBuilder expected;
  WriteBgRecords(store_.RecordTexts(), expected);
  cStringBuilder lines;
  BgRecordGroups groups(GermanLabels());
  groups.Store(0) = store_;
  groups.AppendXmlLines(ThreadUse{}, lines);
  EXPECT_EQ(lines.ToString(), expected.ToString());
  EXPECT_NE(lines.ToString().find("<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"06:59\" Carb=\"30\" "
                                  "D=\"1\" />\r\n"),
            std::string::npos);
}

TEST_F(StoreTest, HandPickedOrder) {
  Add("07:00", 1, "1");   // A
  Add("07:05", 1, "2");   // B
  Add("07:00", 3, "10");  // A changes: B, A
  Add("07:05", 2, "S");   // B changes: A, B
  Add("07:00", 1, "3");   // A's value taken: A, B, A'
  Add("07:05", 2, "S");   // no change
  Add("07:00", 4, "1");   // A changes: B, A', A
  EXPECT_EQ(
      store_.RecordTexts(),
      (std::vector<std::string>{Record({.val = "2", .tm = "07:05", .evt = "29"}),
                                Record({.val = "3", .tm = "07:00"}),
                                Record({.val = "1", .tm = "07:00", .carb = "10", .ins1 = "1"})}));
}

}  // namespace
}  // namespace tavrin
