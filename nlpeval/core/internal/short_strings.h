#ifndef NLPEVAL_CORE_INTERNAL_SHORT_STRINGS_H_
#define NLPEVAL_CORE_INTERNAL_SHORT_STRINGS_H_

// Comparing, hashing and looking up the short strings the hot loops meet once per element of
// every record: object keys, tags and types. They are a few bytes long and there are few
// distinct ones, where the library's out-of-line memcmp and hash cost more than the work.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
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

// A hash of a string longer than 8 bytes, mixed in a word at a time; the last word overlaps
// the one before it rather than reading past the end.
inline uint64_t hash_long(std::string_view text) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  auto mix = [](uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * kMultiplier;
    return hash ^ (hash >> 29);
  };
  const char* bytes = text.data();
  const size_t size = text.size();
  uint64_t hash = size * kMultiplier;
  for (size_t at = 0; at + 8 < size; at += 8) hash = mix(hash, load64(bytes + at));
  hash = mix(hash, load64(bytes + size - 8));
  return hash * kMultiplier;
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

// The bytes of a string of at most 8 bytes as one little-endian number: two strings of one
// size pack alike only when they are equal. The reads are picked with selects rather than
// branches on the size: the hot loops meet types of mixed sizes in random order ("ADJ",
// "NOUN", "PUNCT"), where such a branch is mispredicted about every other time.
inline uint64_t pack_short(std::string_view text) {
  using short_strings_detail::load32;
  static constexpr char kZeros[8] = {};
  const size_t size = text.size();
  const bool wide = size >= 4;
  // Two 4-byte words that overlap where the string is shorter than 8 bytes.
  const char* word_bytes = wide ? text.data() : kZeros;
  const size_t back = wide ? size - 4 : 0;
  const uint64_t words = load32(word_bytes) | uint64_t{load32(word_bytes + back)} << (8 * back);
  // The first, middle and last bytes: the whole of a string of up to 3 bytes.
  const bool empty = size == 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(empty ? kZeros : text.data());
  const size_t last = empty ? 0 : size - 1;
  const size_t middle = size / 2;
  const uint64_t ends = uint64_t{bytes[0]} | uint64_t{bytes[middle]} << (8 * middle) |
                        uint64_t{bytes[last]} << (8 * last);
  return wide ? words : ends;
}

// A map from short strings to values, for the handful of distinct tags, types or labels a
// data set has: open addressing in one array, so a lookup follows no node and divides nothing. Each
// slot keeps its key packed (pack_short), so finding a key of up to 8 bytes is one compare of
// numbers; and while the table is small it is rebuilt until every key sits in the slot its
// hash names, so that a lookup of a present key takes no branch it could mispredict. The map
// views its keys; they must outlive it. Keys are never removed.
template <typename Value>
class ShortStringMap {
 public:
  // The value of `key`, or null.
  const Value* find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const uint64_t packed = fingerprint(key);
    for (size_t i = home(packed, key.size());; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (slot.packed == packed && slot.size == key.size() &&
          (key.size() <= 8 || same_key(slot.key, key))) {
        return &slot.value;
      }
      if (slot.size == kUnused) return nullptr;
    }
  }

  // Adds `key`, which must not be in the map yet.
  void insert(std::string_view key, Value value) {
    if (2 * (size_ + 1) > slots_.size()) rebuild(slots_.empty() ? 16 : 2 * slots_.size());
    bool at_home = place({fingerprint(key), key.size(), key, std::move(value)});
    ++size_;
    while (!at_home && slots_.size() < kMostSlotsForHomes) at_home = rebuild(2 * slots_.size());
  }

  size_t size() const { return size_; }

 private:
  static constexpr size_t kUnused = static_cast<size_t>(-1);
  // Rebuilding for homes stops here: a few dozen keys fit, many more probe as usual.
  static constexpr size_t kMostSlotsForHomes = 1024;
  static constexpr uint64_t kMultipliers[] = {
      0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u, 0xD6E8FEB86659FD93u,
      0xFF51AFD7ED558CCDu, 0xC4CEB9FE1A85EC53u, 0x94D049BB133111EBu, 0xBF58476D1CE4E5B9u};

  struct Slot {
    uint64_t packed = 0;
    size_t size = kUnused;
    std::string_view key;
    Value value{};
  };

  // Exact for keys of up to 8 bytes; longer ones are hashed and compared in full.
  static uint64_t fingerprint(std::string_view key) {
    return key.size() <= 8 ? pack_short(key) : short_strings_detail::hash_long(key);
  }

  size_t home(uint64_t packed, size_t size) const {
    return static_cast<size_t>(((packed ^ (size * 0x9E3779B97F4A7C15u)) * kMultipliers[seed_]) >>
                               shift_);
  }

  size_t mask() const { return slots_.size() - 1; }

  // Puts `slot` (a used one) in its home or the first free slot after it; true when at home.
  bool place(Slot slot) {
    const size_t first = home(slot.packed, slot.size);
    size_t i = first;
    while (slots_[i].size != kUnused) i = (i + 1) & mask();
    slots_[i] = std::move(slot);
    return i == first;
  }

  // Spreads the keys over `count` slots (a power of two), trying each multiplier until every
  // key lands at home while the table is small, only the first in a larger one. False when
  // some key is not at home; the last try then stands.
  bool rebuild(size_t count) {
    std::vector<Slot> old = std::move(slots_);
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(count));
    const size_t tries = count <= kMostSlotsForHomes ? std::size(kMultipliers) : 1;
    for (seed_ = 0;; ++seed_) {
      slots_.assign(count, Slot{});
      bool all_home = true;
      for (const Slot& slot : old) {
        if (slot.size != kUnused) all_home &= place(slot);
      }
      if (all_home || seed_ + 1 == tries) return all_home;
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
  size_t seed_ = 0;  // the multiplier in use
  unsigned shift_ = 64;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_INTERNAL_SHORT_STRINGS_H_
