#include "shared/ext_collection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrin {
namespace {

using Collection = cExtCollection<std::string>;

std::vector<std::string> Values(const Collection& c) {
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

TEST(ExtCollection, KeysIgnoreCaseAndAreKeptInLowerCase) {
  Collection c;
  c.Add("one", "ABC");
  c.Add("two", "Ärger");
  EXPECT_EQ(c.Item("abc"), "one");
  EXPECT_EQ(c.Item("aBc"), "one");
  EXPECT_EQ(c.Item("ÄRGER"), "two");
  EXPECT_EQ(c.Key(1), "abc");
  EXPECT_EQ(c.Key(2), "ärger");
  EXPECT_TRUE(c.Exists("ärGER"));
  EXPECT_FALSE(c.Exists("other"));
  EXPECT_FALSE(c.Exists(""));
  EXPECT_EQ(c.Index("ABC"), 1);
  EXPECT_EQ(c.Index("nothing"), 0);
}

TEST(ExtCollection, DuplicateKeyRaises457UnlessReplacing) {
  Collection c;
  c.Add("a", "k");
  c.Add("b", "x");
  EXPECT_EQ(ErrorOf([&] { c.Add("again", "K"); }), kErrKeyAlreadyPresent);
  c.Add("new", "K", {}, {}, true);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(Values(c), (std::vector<std::string>{"new", "b"}));  // replaced in place
}

TEST(ExtCollection, BeforeAndAfterByKeyOrPosition) {
  Collection c;
  c.Add("a", "a");
  c.Add("c", "c");
  c.Add("b", "b", std::string("C"));
  c.Add("d", "d", {}, 3);
  c.Add("0", "", 1);
  c.Add("a2", "a2", {}, std::string("a"));
  EXPECT_EQ(Values(c), (std::vector<std::string>{"0", "a", "a2", "b", "c", "d"}));
  EXPECT_EQ(c.Key(1), "");  // an item without key
  EXPECT_EQ(ErrorOf([&] { c.Add("x", "x", 1, 2); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Add("x", "x", std::string("missing")); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Add("x", "x", 7); }), kErrInvalidArgument);
  EXPECT_EQ(c.Count(), 6);
}

TEST(ExtCollection, UnknownKeyOrPositionRaises5) {
  Collection c;
  c.Add("a", "a");
  EXPECT_EQ(ErrorOf([&] { c.Item("b"); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Item(0); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Item(2); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Remove("b"); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { c.Key(-1); }), kErrInvalidArgument);
}

TEST(ExtCollection, RemoveRenumbersLaterItems) {
  Collection c;
  for (const char* k : {"a", "b", "c", "d"}) c.Add(k, k);
  c.Remove("B");
  EXPECT_EQ(c.Index("c"), 2);
  c.Remove(1);
  EXPECT_EQ(Values(c), (std::vector<std::string>{"c", "d"}));
  EXPECT_FALSE(c.Exists("a"));
  c.Add("b", "b");  // a removed key can come back; it goes to the end
  EXPECT_EQ(Values(c), (std::vector<std::string>{"c", "d", "b"}));
}

TEST(ExtCollection, SortedModeOrdersByKey) {
  Collection c;
  c.Sorted(true);
  c.Add("newer", "2026-12-04 07:05");
  c.Add("older", "2026-12-03 23:10");
  c.Add("middle", "2026-12-04 00:00", std::string("2026-12-03 23:10"));  // place ignored
  EXPECT_EQ(Values(c), (std::vector<std::string>{"older", "middle", "newer"}));

  Collection later;
  for (const char* k : {"b", "C", "a"}) later.Add(k, k);
  later.Sorted(true);
  EXPECT_EQ(Values(later), (std::vector<std::string>{"a", "b", "C"}));
}

TEST(ExtCollection, SortedOrderIsUtf16CodeUnitOrder) {
  Collection c;
  c.Sorted(true);
  c.Add("fullwidth", "\uFF21");  // one unit 0xFF21
  c.Add("emoji", "\U0001F600");  // surrogate pair 0xD83D 0xDE00
  EXPECT_EQ(Values(c), (std::vector<std::string>{"emoji", "fullwidth"}));
}

TEST(ExtCollection, SetMemoryLimits) {
  Collection c;
  EXPECT_EQ(c.Capacity(), 1000);
  EXPECT_EQ(c.BucketCount(), 2001);  // 1000 * 2.0 made odd
  c.SetMemory(5, 0, 1.0f);
  EXPECT_EQ(c.Capacity(), 20);
  EXPECT_EQ(c.GrowthStep(), 20);
  EXPECT_FLOAT_EQ(c.HashFactor(), 1.5f);
  EXPECT_EQ(c.BucketCount(), 31);
}

TEST(ExtCollection, KeyHash) {
  EXPECT_EQ(Collection::KeyHash(u"a"), 97u + 17u);
  EXPECT_EQ(Collection::KeyHash(u"ab"), 2u * (97u + 17u) + 98u);
  // Only the first 256 units count.
  const std::u16string longKey(300, u'x');
  EXPECT_EQ(Collection::KeyHash(longKey), Collection::KeyHash(longKey.substr(0, 256)));
}

TEST(ExtCollection, GrowthAndRemovalKeepEveryKeyFindable) {
  cExtCollection<int> c;
  c.SetMemory(20, 20, 1.5f);
  const int n = 5000;
  for (int i = 0; i < n; ++i) c.Add(i, "Key" + std::to_string(i));
  EXPECT_EQ(c.Count(), n);
  EXPECT_EQ(c.Capacity(), 5020);
  for (int i = 0; i < n; ++i) ASSERT_EQ(c.Item("key" + std::to_string(i)), i);
  for (int i = 0; i < n; i += 3) c.Remove("KEY" + std::to_string(i));
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(c.Exists("key" + std::to_string(i)), i % 3 != 0) << i;
  }
  // Rebuilding at another size keeps the items.
  c.SetMemory(50, 50, 3.0f);
  EXPECT_GT(c.Capacity(), c.Count());
  EXPECT_EQ(c.Item("key4999"), 4999);
  EXPECT_EQ(c.Index("key1"), 1);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Capacity(), 50);
}

}  // namespace
}  // namespace tavrin
