#ifndef NLPEVAL_EVALUATOR_BADCASE_PAIR_UNION_H_
#define NLPEVAL_EVALUATOR_BADCASE_PAIR_UNION_H_

// The pairing shared by the relation and attribute miners: each side's mention pairs sit in a
// map that keeps first-insertion order, and the badcase elements follow the union of the gold
// and predicted keys.

#include <tsl/ordered_map.h>

#include <charconv>
#include <initializer_list>
#include <string>
#include <string_view>

namespace nlpeval::badcase {

// Mention pair key to what one side holds for the pair; iteration follows first insertion,
// and insert_or_assign replaces a value in place.
template <typename T>
using PairMap = tsl::ordered_map<std::string, T>;

// One map key for a tuple of texts. Each part goes in behind its byte length and a ':', so
// tuples that merely concatenate to the same text, such as ("a", "12") and ("a1", "2"), get
// different keys.
inline std::string pair_key(std::initializer_list<std::string_view> parts) {
  std::string key;
  for (std::string_view part : parts) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, part.size()).ptr;
    key.append(digits, end).append(1, ':').append(part);
  }
  return key;
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

}  // namespace nlpeval::badcase

#endif  // NLPEVAL_EVALUATOR_BADCASE_PAIR_UNION_H_
