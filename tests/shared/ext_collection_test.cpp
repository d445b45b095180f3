#include "shared/ext_collection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrin {
namespace {

using Collection = cExtCollection<std::string>;
using Values = std::vector<std::string>;

Values ValuesOf(const Collection& c) {
  return {c.begin(), c.end()};
}

std::int64_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

TEST(ExtCollection, KeysIgnoreCasePlacesAndErrors) {
  Collection c;
  c.Add("a", "Ärger");
  c.Add("c", "c");
  c.Add("b", "b", std::string("C"));
  c.Add("d", "d", {}, 3);
  c.Add("0", "", 1);
  EXPECT_EQ(ValuesOf(c), (Values{"0", "a", "b", "c", "d"}));
  EXPECT_EQ(c.Item("äRGER"), "a");
  EXPECT_EQ(c.Key(2), "ärger");  // kept in lower case
  EXPECT_EQ(c.Key(1), "");       // an item without key
  EXPECT_EQ(c.Index("nothing"), 0);
  EXPECT_EQ(ErrorOf([&] { c.Add("again", "C"); }), kErrKeyAlreadyPresent);
  EXPECT_EQ(ErrorOf([&] { c.Add("x", "x", 1, 2); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Add("x", "x", std::string("missing")); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Item(0); }), kErrInvalidArgument);
  c.Add("new", "C", {}, {}, true);  // replaced in place
  c.Remove("ärger");
  c.Remove(1);
  EXPECT_EQ(ValuesOf(c), (Values{"b", "new", "d"}));
  EXPECT_EQ(c.Index("d"), 3);
  EXPECT_FALSE(c.Exists("ÄRGER"));
  c.Add("a", "ärger");  // a removed key can come back; it goes to the end
  EXPECT_EQ(c.Index("Ärger"), 4);
}

TEST(ExtCollection, SortedModeOrdersByUtf16CodeUnits) {
  Collection c;
  c.Sorted(true);
  c.Add("newer", "2026-12-04 07:05");
  c.Add("older", "2026-12-03 23:10");
  c.Add("middle", "2026-12-04 00:00", std::string("2026-12-03 23:10"));  // place ignored
  EXPECT_EQ(ValuesOf(c), (Values{"older", "middle", "newer"}));

  Collection later;
  for (const char* k : {"\uFF21", "b", "C", "\U0001F600"}) later.Add(k, k);
  later.Sorted(true);  // U+1F600 is 0xD83D 0xDE00 and so sorts before U+FF21
  EXPECT_EQ(ValuesOf(later), (Values{"b", "C", "\U0001F600", "\uFF21"}));
}

TEST(ExtCollection, GrowthAndRemovalKeepEveryKeyFindable) {
  cExtCollection<int> c;
  c.SetMemory(5, 0, 1.0f);  // raised to the least sizes: 20 items, steps of 20
  const int n = 5000;
  for (int i = 0; i < n; ++i) c.Add(i, "Key" + std::to_string(i));
  EXPECT_EQ(c.Capacity(), 5020);
  for (int i = 0; i < n; ++i) ASSERT_EQ(c.Item("key" + std::to_string(i)), i);
  for (int i = 0; i < n; i += 3) c.Remove("KEY" + std::to_string(i));
  for (int i = 0; i < n; ++i) ASSERT_EQ(c.Exists("key" + std::to_string(i)), i % 3 != 0) << i;
  // Rebuilding at another size keeps the items; clearing returns to that size.
  c.SetMemory(50, 50, 3.0f);
  EXPECT_EQ(c.Item("key4999"), 4999);
  EXPECT_EQ(c.Index("key1"), 1);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Capacity(), 50);
}

}  // namespace
}  // namespace tavrin
