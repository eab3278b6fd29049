#ifndef NLPEVAL_CORE_SHORT_STRINGS_H_
#define NLPEVAL_CORE_SHORT_STRINGS_H_

// Comparing, hashing and looking up the short strings the hot loops meet once per element of
// every record: object keys, tags and types. They are a few bytes long and there are few
// distinct ones, where the library's out-of-line memcmp and hash cost more than the work.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace nlpeval {

namespace short_strings_detail {

inline uint32_t load32(const char* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

inline uint64_t load64(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

}  // namespace short_strings_detail

// Whether two short strings are equal. Strings of equal size are compared in words that may
// overlap, never reading outside either string: "offset" is two 4-byte loads a side instead
// of six byte compares, and there is no call to memcmp.
inline bool same_key(std::string_view a, std::string_view b) {
  using short_strings_detail::load32;
  using short_strings_detail::load64;
  const size_t size = a.size();
  if (size != b.size()) return false;
  const char* x = a.data();
  const char* y = b.data();
  if (size < 4) {
    return size == 0 || (x[0] == y[0] && x[size / 2] == y[size / 2] && x[size - 1] == y[size - 1]);
  }
  if (size <= 8) return load32(x) == load32(y) && load32(x + size - 4) == load32(y + size - 4);
  for (size_t i = 0; i + 8 < size; i += 8) {
    if (load64(x + i) != load64(y + i)) return false;
  }
  return load64(x + size - 8) == load64(y + size - 8);
}

// Strings of up to 8 bytes are hashed from the same overlapping words same_key compares,
// longer ones byte by byte (FNV-1a); either way the result is mixed by one multiplication.
struct ShortStringHash {
  size_t operator()(std::string_view text) const {
    using short_strings_detail::load32;
    const size_t size = text.size();
    const char* bytes = text.data();
    uint64_t word = size;
    if (size >= 4 && size <= 8) {
      word ^= (uint64_t{load32(bytes)} << 32 | load32(bytes + size - 4)) * 0x9E3779B97F4A7C15u;
    } else if (size > 0 && size < 4) {
      word ^= static_cast<unsigned char>(bytes[0]) << 8 |
              static_cast<unsigned char>(bytes[size / 2]) << 16 |
              static_cast<unsigned char>(bytes[size - 1]) << 24;
    } else if (size > 8) {
      for (char byte : text) word = (word ^ static_cast<unsigned char>(byte)) * 1099511628211u;
    }
    word *= 0x9E3779B97F4A7C15u;
    return static_cast<size_t>(word ^ (word >> 32));
  }
};

// A map from short strings to values, for the handful of distinct tags or types a data set
// has: open addressing in one array, so a lookup follows no node and divides nothing. The map
// views its keys; they must outlive it. Keys are never removed.
template <typename Value>
class ShortStringMap {
 public:
  // The value of `key`, or null.
  const Value* find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = ShortStringHash{}(key)&mask();; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (same_key(slot.key, key)) return &slot.value;
    }
  }

  // Adds `key`, which must not be in the map yet.
  void insert(std::string_view key, Value value) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    place(key, std::move(value));
    ++size_;
  }

  size_t size() const { return size_; }

 private:
  struct Slot {
    std::string_view key;
    Value value{};
    bool used = false;
  };

  size_t mask() const { return slots_.size() - 1; }

  void place(std::string_view key, Value value) {
    size_t i = ShortStringHash{}(key)&mask();
    while (slots_[i].used) i = (i + 1) & mask();
    slots_[i] = {key, std::move(value), true};
  }

  // Doubles the table, which is kept at most half full.
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : 2 * old.size(), Slot{});
    for (Slot& slot : old) {
      if (slot.used) place(slot.key, std::move(slot.value));
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_SHORT_STRINGS_H_
