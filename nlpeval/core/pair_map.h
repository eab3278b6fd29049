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
    for (std::string_view part : parts) {
      char digits[24];
      char* const end = std::to_chars(std::begin(digits), std::end(digits), part.size()).ptr;
      key_.append(digits, end).append(1, ':').append(part);
    }
    return key_;
  }

 private:
  std::string key_;
};

// The key of one tuple.
inline std::string pair_key(std::initializer_list<std::string_view> parts) {
  return PairKeyBuilder().build(parts);
}

// Calls visit(gold, pred) once per key of the union of the two maps, with a pointer to each
// side's value or nullptr where the side lacks the key. Order: the gold keys in their order,
// then the keys only the prediction has, in theirs.
template <typename T, typename Visit>
void for_each_in_union(const PairMap<T>& gold, const PairMap<T>& pred, Visit&& visit) {
  for (const auto& [key, gold_value] : gold) {
    const auto found = pred.find(key);
    visit(&gold_value, found == pred.end() ? nullptr : &found->second);
  }
  for (const auto& [key, pred_value] : pred) {
    if (!gold.contains(key)) visit(static_cast<const T*>(nullptr), &pred_value);
  }
}

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_PAIR_MAP_H_
