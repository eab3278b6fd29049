#ifndef NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_

// What the relation and attribute mappers share. Each side of an instance keeps one record per
// ordered pair of mentions, keyed by the two mentions' texts and offsets; the two sides are then
// lined up over the union of their pairs, with "na" where a side lacks a pair, and every other
// position labelled with a type plus the order in which the pair's two mentions start.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/pair_map.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/tasks/mentions.h"

namespace nlpeval {

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
template <typename Map, typename LabelOf>
void append_pair_labels(const Map& gold_pairs, const Map& pred_pairs, LabelOf label_of,
                        TagVocabulary& vocabulary, TagIdSequence& gold, TagIdSequence& pred) {
  using Value = typename Map::mapped_type;
  const size_t gold_size = gold.size();
  const size_t pred_size = pred.size();
  try {
    const TagId na = vocabulary.intern("na");
    for_each_in_union(gold_pairs, pred_pairs,
                      [&](const Value* gold_value, const Value* pred_value) {
                        gold.push_back(gold_value ? label_of(*gold_value).id(vocabulary) : na);
                        pred.push_back(pred_value ? label_of(*pred_value).id(vocabulary) : na);
                      });
  } catch (...) {
    gold.resize(gold_size);
    pred.resize(pred_size);
    throw;
  }
}

// A pair mapper's convert_labels: each side's pairs by pair key, gold first, into tables this
// thread keeps from call to call (`pairs_of(record, table)` fills one and returns its index),
// then lined up by append_pair_labels. Throws TypeError naming "label" or "prediction" for a
// side that is no object.
template <typename Value, typename PairsOf, typename LabelOf>
void append_side_pair_labels(const Record& label, const Record& prediction,
                             const PairsOf& pairs_of, LabelOf label_of, TagVocabulary& vocabulary,
                             TagIdSequence& gold, TagIdSequence& pred) {
  label.expect_object("label");
  prediction.expect_object("prediction");
  thread_local ReusedPairMap<Value> gold_table;
  thread_local ReusedPairMap<Value> pred_table;
  const auto& gold_pairs = pairs_of(label, gold_table);
  const auto& pred_pairs = pairs_of(prediction, pred_table);
  append_pair_labels(gold_pairs, pred_pairs, label_of, vocabulary, gold, pred);
}

// A pair mapper's `convert`, through its convert_labels: the labels of one instance as text.
template <typename Mapper>
std::pair<std::vector<std::string>, std::vector<std::string>> labels_as_text(
    const Mapper& mapper, const Record& label, const Record& prediction,
    std::optional<int64_t> index) {
  TagVocabulary vocabulary;
  TagIdSequence gold;
  TagIdSequence pred;
  mapper.convert_labels(label, prediction, index, vocabulary, gold, pred);
  return {vocabulary.strings(gold), vocabulary.strings(pred)};
}

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_PAIR_LABELS_H_
