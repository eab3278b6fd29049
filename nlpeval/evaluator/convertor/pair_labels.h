#ifndef NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_

// What the relation and attribute mappers share. Each side of an instance keeps one record per
// ordered pair of mentions, keyed by the two mentions' texts and offsets; the two sides are then
// lined up over the union of their pairs, with "na" where a side lacks a pair, and every other
// position labelled with a type plus the order in which the pair's two mentions start.

#include <tsl/ordered_map.h>

#include <charconv>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"

namespace nlpeval {

// Pair key to one side's record of that pair, in order of first insertion: a later record on
// the same pair replaces the earlier one and keeps its place.
template <typename Value>
using PairMap = tsl::ordered_map<std::string, Value>;

// The mention record under `key` of `owner`. Throws KeyError when absent and TypeError naming
// the key unless it is an object.
inline Record mention_at(const Record& owner, std::string_view key) {
  Record mention = owner.at(key);
  mention.expect_object(key);
  return mention;
}

// What a pair key takes from one mention. Views the record it was read from.
struct Mention {
  std::string_view text;
  Offset offset;

  // Reads "text", then "offset", of an object record.
  static Mention read(const Record& mention) {
    return {mention.get_string("text"), Offset::read(mention)};
  }
};

// Builds pair keys in one reused buffer, so a pair already in a map costs no allocation. Each
// part is written as its byte length, a colon and its bytes: no two different pairs share a
// key, as they would with bare concatenation ("a1" at 2 and "a" at 12 both giving "a12").
class PairKeyBuilder {
 public:
  const std::string& build(const Mention& first, const Mention& second) {
    key_.clear();
    append_part(first.text);
    append_part(first.offset.key_text());
    append_part(second.text);
    append_part(second.offset.key_text());
    return key_;
  }

 private:
  void append_part(std::string_view part) {
    char digits[24];
    char* const end = std::to_chars(std::begin(digits), std::end(digits), part.size()).ptr;
    key_.append(digits, end).append(1, ':').append(part);
  }

  std::string key_;
};

// The label of one side's pair: its type, followed by "(e1,e2)" when the first mention starts
// at or before the second and by "(e2,e1)" when it starts after it.
struct DirectedLabel {
  std::string_view type;
  bool reversed = false;

  std::string text() const { return std::string(type) + (reversed ? "(e2,e1)" : "(e1,e2)"); }

  TagId id(TagVocabulary& vocabulary) const {
    const auto [forward, backward] = vocabulary.directed(type);
    return reversed ? backward : forward;
  }
};

// The offsets are compared before the type is taken as a string, so offsets that cannot be
// compared are reported ahead of a type of the wrong kind. Both are TypeErrors.
inline DirectedLabel direct(const Offset& first, const Offset& second, const Record& type) {
  const bool reversed = greater(first, second);
  return {type.as_string("type"), reversed};
}

// Appends one gold and one predicted label id per pair of either side: first the gold pairs in
// their order, then the predicted pairs gold lacks, in theirs. `label_of(value)` gives the
// DirectedLabel of one side's record; a side without the pair gets "na". Labels are taken
// gold before predicted, pair by pair, which decides the error reported first. On an error both
// sequences are cut back to their sizes on entry: no partial instance is left behind.
template <typename Value, typename LabelOf>
void append_pair_labels(const PairMap<Value>& gold_pairs, const PairMap<Value>& pred_pairs,
                        LabelOf label_of, TagVocabulary& vocabulary, TagIdSequence& gold,
                        TagIdSequence& pred) {
  const size_t gold_size = gold.size();
  const size_t pred_size = pred.size();
  try {
    const TagId na = vocabulary.intern("na");
    for (const auto& [key, value] : gold_pairs) {
      gold.push_back(label_of(value).id(vocabulary));
      const auto predicted = pred_pairs.find(key);
      pred.push_back(predicted == pred_pairs.end() ? na
                                                   : label_of(predicted->second).id(vocabulary));
    }
    for (const auto& [key, value] : pred_pairs) {
      if (gold_pairs.contains(key)) continue;
      gold.push_back(na);
      pred.push_back(label_of(value).id(vocabulary));
    }
  } catch (...) {
    gold.resize(gold_size);
    pred.resize(pred_size);
    throw;
  }
}

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_
