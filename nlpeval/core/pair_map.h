#ifndef NLPEVAL_CORE_PAIR_MAP_H_
#define NLPEVAL_CORE_PAIR_MAP_H_

// Maps keyed by a tuple of texts, such as the two mentions (text and offset each) of a
// relation or an attribute, as their mappers and miners pair gold with predicted elements.

#include <tsl/ordered_map.h>

#include <charconv>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nlpeval {

// Key to what one side holds for it, in order of first insertion: insert_or_assign replaces
// a value and keeps its place.
template <typename T>
using PairMap = tsl::ordered_map<std::string, T>;

// Builds keys in one reused buffer, so a key already in a map costs no allocation. Each part
// goes in behind its byte length and a ':', so tuples that merely concatenate to the same
// text, such as ("a1", "2") and ("a", "12"), get different keys.
class PairKeyBuilder {
 public:
  const std::string& build(std::initializer_list<std::string_view> parts) {
    key_.clear();
    append(key_, parts);
    return key_;
  }

  // Appends the key of `parts` to `out`.
  static void append(std::string& out, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) {
      char digits[24];
      char* const end = std::to_chars(std::begin(digits), std::end(digits), part.size()).ptr;
      out.append(digits, end).append(1, ':').append(part);
    }
  }

 private:
  std::string key_;
};

// Pair keys are a dozen bytes and more: hashed a word at a time rather than byte by byte.
struct PairKeyHash {
  size_t operator()(std::string_view key) const;
};

// A PairMap rebuilt for every instance in memory it keeps: its keys view one text, so that,
// once the buffers have grown, filling it allocates nothing. Values are added first and
// indexed once all are in; the keys and order are those of a PairMap filled the same way.
template <typename T>
class ReusedPairMap {
 public:
  using Index = tsl::ordered_map<std::string_view, T, PairKeyHash>;

  void clear() {
    keys_.clear();
    entries_.clear();
    index_.clear();
  }

  // Adds `value` under the tuple `parts`: a later value under the same tuple replaces it and
  // keeps its place.
  void add(std::initializer_list<std::string_view> parts, T value) {
    const size_t begin = keys_.size();
    PairKeyBuilder::append(keys_, parts);
    entries_.push_back({begin, keys_.size() - begin, std::move(value)});
  }

  // The values by key, in order of first insertion; valid until the next clear().
  const Index& index() {
    const std::string_view keys(keys_);
    for (Entry& entry : entries_) {
      index_.insert_or_assign(keys.substr(entry.begin, entry.size), std::move(entry.value));
    }
    entries_.clear();
    return index_;
  }

 private:
  struct Entry {
    size_t begin;
    size_t size;
    T value;
  };

  std::string keys_;
  std::vector<Entry> entries_;
  Index index_;
};

// The key of one tuple.
inline std::string pair_key(std::initializer_list<std::string_view> parts) {
  return PairKeyBuilder().build(parts);
}

// Calls visit(gold, pred) once per key of the union of the two maps, with a pointer to each
// side's value or nullptr where the side lacks the key. Order: the gold keys in their order,
// then the keys only the prediction has, in theirs.
template <typename Map, typename Visit>
void for_each_in_union(const Map& gold, const Map& pred, Visit&& visit) {
  using Value = typename Map::mapped_type;
  for (const auto& [key, gold_value] : gold) {
    const auto found = pred.find(key);
    visit(&gold_value, found == pred.end() ? nullptr : &found->second);
  }
  for (const auto& [key, pred_value] : pred) {
    if (!gold.contains(key)) visit(static_cast<const Value*>(nullptr), &pred_value);
  }
}

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_PAIR_MAP_H_
