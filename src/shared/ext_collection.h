#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "shared/error.h"
#include "shared/utf8.h"

namespace tavrin {

// Names an item for cExtCollection::Add's before and after arguments: nothing, a 1-based
// position or a key.
using CollectionRef = std::variant<std::monostate, long, std::string>;

// An ordered collection whose items may carry a text key. Keys are compared without
// regard to case and kept in lower case; lookups go through an open-addressing hash table
// (linear probing), so they cost constant time on average for tens of thousands of
// items. Positions are 1-based and follow the collection order; in sorted mode every
// item goes to its place in the binary (UTF-16 code-unit) order of the keys.
//
// Items live in slots that never move; the order is a list of slot numbers and the hash
// buckets hold slot numbers, so removing or inserting in the middle moves only that list.
template <typename T>
class cExtCollection {
  template <bool Const>
  class Iterator;

 public:
  using iterator = Iterator<false>;
  using const_iterator = Iterator<true>;

  static constexpr long kDefaultCapacity = 1000;
  static constexpr long kDefaultGrowthStep = 1000;
  static constexpr float kDefaultHashFactor = 2.0f;

  cExtCollection() { SetMemory(kDefaultCapacity, kDefaultGrowthStep, kDefaultHashFactor); }

  // Sizes the tables: a capacity below 20 becomes 20, a growth step below 20 becomes the
  // capacity, a hash factor not above 1.5 becomes 1.5. Present items are kept and the
  // table is rebuilt; an empty collection simply starts over at the new size.
  void SetMemory(long capacity, long growthStep, float hashFactor) {
    if (capacity < kMinimumCapacity) capacity = kMinimumCapacity;
    if (growthStep < kMinimumCapacity) growthStep = capacity;
    if (!(hashFactor > kMinimumHashFactor)) hashFactor = kMinimumHashFactor;
    if (static_cast<double>(capacity) * hashFactor > kMaximumBuckets) {
      Fail(kErrInvalidArgument, "SetMemory");
    }
    initialCapacity_ = capacity;
    capacity_ = capacity;
    growthStep_ = growthStep;
    hashFactor_ = hashFactor;
    if (order_.empty()) {
      Clear();
      return;
    }
    while (capacity_ <= Count()) capacity_ += growthStep_;
    RebuildBuckets();
  }

  // Removes every item; the capacity returns to the one last given to SetMemory.
  void Clear() {
    slots_.clear();
    freeSlots_.clear();
    order_.clear();
    capacity_ = initialCapacity_;
    RebuildBuckets();
  }

  long Count() const { return static_cast<long>(order_.size()); }

  // Adds a value under an optional key (an empty key means none). A key already present
  // raises error 457 unless replace is set, in which case that item's value is replaced
  // in place. Before and after (a key or a position) choose the place; giving both
  // raises error 5. In sorted mode the key alone decides the place.
  void Add(T value, std::string_view key = {}, const CollectionRef& before = {},
           const CollectionRef& after = {}, bool replace = false) {
    std::string lowerKey = ToLower(key);
    const bool hasKey = !lowerKey.empty();
    const std::uint32_t hash = hasKey ? KeyHash(Utf8ToUtf16(lowerKey)) : 0;
    if (hasKey) {
      if (const auto existing = FindSlot(lowerKey, hash)) {
        if (!replace) Fail(kErrKeyAlreadyPresent, "Add");
        slots_[*existing].value = std::move(value);
        return;
      }
    }
    const bool hasBefore = !std::holds_alternative<std::monostate>(before);
    const bool hasAfter = !std::holds_alternative<std::monostate>(after);
    if (hasBefore && hasAfter) Fail(kErrInvalidArgument, "Add");

    std::size_t at = order_.size();  // 0-based place in the order
    if (sorted_) {
      at = SortedPlace(lowerKey);
    } else if (hasBefore) {
      at = Resolve(before, "Add");
    } else if (hasAfter) {
      at = Resolve(after, "Add") + 1;
    }

    std::uint32_t slot = 0;
    if (freeSlots_.empty()) {
      slot = static_cast<std::uint32_t>(slots_.size());
      slots_.emplace_back();
    } else {
      slot = freeSlots_.back();
      freeSlots_.pop_back();
    }
    Slot& s = slots_[slot];
    s.value = std::move(value);
    s.key = std::move(lowerKey);
    s.hash = hash;
    s.hasKey = hasKey;
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(at), slot);
    if (hasKey) InsertBucket(slot);

    if (Count() >= capacity_) {
      capacity_ += growthStep_;
      slots_.reserve(static_cast<std::size_t>(capacity_));
      order_.reserve(static_cast<std::size_t>(capacity_));
      RebuildBuckets();
    }
  }

  // The value stored under the key (error 5 when unknown) or at the 1-based position
  // (error 5 when out of range).
  T& Item(std::string_view key) { return *slots_[KeySlot(key, "Item")].value; }
  const T& Item(std::string_view key) const { return *slots_[KeySlot(key, "Item")].value; }
  template <std::integral I>
  T& Item(I position) {
    return *slots_[order_[Place(position, "Item")]].value;
  }
  template <std::integral I>
  const T& Item(I position) const {
    return *slots_[order_[Place(position, "Item")]].value;
  }

  // Removes the item; later items move down by one position.
  void Remove(std::string_view key) {
    const std::uint32_t slot = KeySlot(key, "Remove");
    order_.erase(std::find(order_.begin(), order_.end(), slot));
    FreeSlot(slot);
  }
  template <std::integral I>
  void Remove(I position) {
    const std::size_t at = Place(position, "Remove");
    const std::uint32_t slot = order_[at];
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
    FreeSlot(slot);
  }

  // True when the key is present; never raises.
  bool Exists(std::string_view key) const {
    const std::string lowerKey = ToLower(key);
    return !lowerKey.empty() && FindSlot(lowerKey, KeyHash(Utf8ToUtf16(lowerKey))).has_value();
  }

  // The 1-based position of the key's item; 0 when the key is not present.
  long Index(std::string_view key) const {
    const std::string lowerKey = ToLower(key);
    if (lowerKey.empty()) return 0;
    const auto slot = FindSlot(lowerKey, KeyHash(Utf8ToUtf16(lowerKey)));
    if (!slot) return 0;
    return static_cast<long>(std::find(order_.begin(), order_.end(), *slot) - order_.begin()) + 1;
  }

  // The key at the position, in lower case (empty for an item without key).
  template <std::integral I>
  const std::string& Key(I position) const {
    return slots_[order_[Place(position, "Key")]].key;
  }

  bool Sorted() const { return sorted_; }
  // Switching sorted mode on sorts the present items by key (stable for equal keys).
  void Sorted(bool on) {
    if (on && !sorted_) {
      std::stable_sort(order_.begin(), order_.end(), [this](std::uint32_t a, std::uint32_t b) {
        return CompareUtf16(slots_[a].key, slots_[b].key) < 0;
      });
    }
    sorted_ = on;
  }

  // Enumeration of the values in collection order. Adding or removing items invalidates
  // the iterators.
  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, order_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, order_.size()); }

  long Capacity() const { return capacity_; }
  long GrowthStep() const { return growthStep_; }
  float HashFactor() const { return hashFactor_; }
  long BucketCount() const { return static_cast<long>(buckets_.size()); }

  // The hash of a lower-case key: the first unit + 17, then h = (2h + unit) AND
  // 0x3FFFFFFF for each following unit; only the first 256 units count.
  static std::uint32_t KeyHash(std::u16string_view lowerKey) {
    if (lowerKey.empty()) return 0;
    std::uint32_t h = static_cast<std::uint32_t>(lowerKey[0]) + 17;
    const std::size_t n = std::min<std::size_t>(lowerKey.size(), kHashedUnits);
    for (std::size_t i = 1; i < n; ++i) h = (2 * h + lowerKey[i]) & 0x3FFFFFFF;
    return h;
  }

 private:
  static constexpr long kMinimumCapacity = 20;
  static constexpr float kMinimumHashFactor = 1.5f;
  static constexpr double kMaximumBuckets = 0x7FFFFFF0;
  static constexpr std::size_t kHashedUnits = 256;

  struct Slot {
    std::optional<T> value;
    std::string key;  // lower case
    std::uint32_t hash = 0;
    bool hasKey = false;
  };

  template <bool Const>
  class Iterator {
    using Owner = std::conditional_t<Const, const cExtCollection, cExtCollection>;

   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = std::conditional_t<Const, const T*, T*>;
    using reference = std::conditional_t<Const, const T&, T&>;

    Iterator() = default;
    Iterator(Owner* owner, std::size_t index) : owner_(owner), index_(index) {}
    reference operator*() const { return *owner_->slots_[owner_->order_[index_]].value; }
    pointer operator->() const { return &**this; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator old = *this;
      ++index_;
      return old;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    Owner* owner_ = nullptr;
    std::size_t index_ = 0;
  };

  [[noreturn]] static void Fail(std::int64_t number, const char* operation) {
    throw RuntimeError(number, std::string("cExtCollection.") + operation,
                       number == kErrKeyAlreadyPresent
                           ? "This key is already associated with an element of this collection"
                           : "Invalid procedure call or argument");
  }

  // The key hash is weak for the keys this program uses most (dates and times that differ
  // in a few digits give neighbouring hash values), and with linear probing neighbouring
  // home buckets merge into long runs that make every lookup slow. Spreading the hash
  // with a multiplicative mix before taking the bucket keeps the runs short.
  std::size_t HomeBucket(std::uint32_t hash) const {
    const std::uint64_t mixed = (static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >> 32;
    return static_cast<std::size_t>(mixed % buckets_.size());
  }

  std::optional<std::uint32_t> FindSlot(const std::string& lowerKey, std::uint32_t hash) const {
    for (std::size_t i = HomeBucket(hash);; i = (i + 1) % buckets_.size()) {
      const std::uint32_t entry = buckets_[i];
      if (entry == 0) return std::nullopt;
      const Slot& s = slots_[entry - 1];
      if (s.hash == hash && s.key == lowerKey) return entry - 1;
    }
  }

  std::uint32_t KeySlot(std::string_view key, const char* operation) const {
    const std::string lowerKey = ToLower(key);
    if (!lowerKey.empty()) {
      if (const auto slot = FindSlot(lowerKey, KeyHash(Utf8ToUtf16(lowerKey)))) return *slot;
    }
    Fail(kErrInvalidArgument, operation);
  }

  // The 0-based place of a 1-based position.
  template <std::integral I>
  std::size_t Place(I position, const char* operation) const {
    if (!std::in_range<long long>(position) || static_cast<long long>(position) < 1 ||
        static_cast<long long>(position) > static_cast<long long>(order_.size())) {
      Fail(kErrInvalidArgument, operation);
    }
    return static_cast<std::size_t>(position) - 1;
  }

  // The 0-based place of the item named by key or position.
  std::size_t Resolve(const CollectionRef& ref, const char* operation) const {
    if (const long* position = std::get_if<long>(&ref)) return Place(*position, operation);
    const std::uint32_t slot = KeySlot(std::get<std::string>(ref), operation);
    return static_cast<std::size_t>(std::find(order_.begin(), order_.end(), slot) - order_.begin());
  }

  // Binary search in key order: an equal key gives its place, otherwise the place of the
  // first greater key.
  std::size_t SortedPlace(const std::string& lowerKey) const {
    std::size_t low = 0;
    std::size_t high = order_.size();
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      const int cmp = CompareUtf16(lowerKey, slots_[order_[mid]].key);
      if (cmp == 0) return mid;
      if (cmp < 0) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low;
  }

  void InsertBucket(std::uint32_t slot) {
    std::size_t i = HomeBucket(slots_[slot].hash);
    while (buckets_[i] != 0) i = (i + 1) % buckets_.size();
    buckets_[i] = slot + 1;
  }

  // Empties the slot's bucket and moves later members of its probe run back, so that a
  // lookup never stops early at the emptied bucket.
  void RemoveBucket(std::uint32_t slot) {
    const std::size_t n = buckets_.size();
    std::size_t i = HomeBucket(slots_[slot].hash);
    while (buckets_[i] != slot + 1) i = (i + 1) % n;
    buckets_[i] = 0;
    for (std::size_t j = (i + 1) % n; buckets_[j] != 0; j = (j + 1) % n) {
      const std::size_t home = HomeBucket(slots_[buckets_[j] - 1].hash);
      const bool staysPut = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!staysPut) {
        buckets_[i] = buckets_[j];
        buckets_[j] = 0;
        i = j;
      }
    }
  }

  void FreeSlot(std::uint32_t slot) {
    Slot& s = slots_[slot];
    if (s.hasKey) RemoveBucket(slot);
    s.value.reset();
    s.key.clear();
    s.hasKey = false;
    freeSlots_.push_back(slot);
  }

  // Bucket count: capacity times hash factor, rounded down and made odd.
  void RebuildBuckets() {
    auto count = static_cast<std::size_t>(std::floor(static_cast<float>(capacity_) * hashFactor_));
    count |= 1;
    buckets_.assign(count, 0);
    for (std::uint32_t slot : order_) {
      if (slots_[slot].hasKey) InsertBucket(slot);
    }
  }

  std::vector<Slot> slots_;
  std::vector<std::uint32_t> freeSlots_;
  std::vector<std::uint32_t> order_;    // slot numbers in collection order
  std::vector<std::uint32_t> buckets_;  // slot number + 1; 0 = empty
  long initialCapacity_ = kDefaultCapacity;
  long capacity_ = kDefaultCapacity;
  long growthStep_ = kDefaultGrowthStep;
  float hashFactor_ = kDefaultHashFactor;
  bool sorted_ = false;
};

}  // namespace tavrin
