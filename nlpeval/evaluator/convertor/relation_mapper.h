#ifndef NLPEVAL_EVALUATOR_CONVERTOR_RELATION_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_RELATION_MAPPER_H_

// The "relation" mapper. A "relation" record is an object with an array "relations" of objects
// {"head", "tail", "type"}; "head" and "tail" are mentions {"text", "offset", "length"} whose
// "offset" is an integer (a string is taken too, and used as it is in pair keys).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/evaluator/convertor/pair_labels.h"
#include "nlpeval/tasks/mentions.h"

namespace nlpeval {

// Turns a gold and a predicted "relation" record into two label lists of equal length, one
// position per ordered (head, tail) pair related on either side: the gold pairs in order of
// first appearance, then the predicted pairs gold lacks. A position holds the relation's
// "type" followed by "(e1,e2)" when the head starts at or before the tail and by "(e2,e1)"
// otherwise, or "na" on the side without the pair. Keeps no state and changes no input.
class RelationMapper {
 public:
  // Asked to (FormatChecks::whole_format), convert_labels fails on every pair of records the
  // task's format refuses. A walk that maps a pair so has then validated it.
  static constexpr bool kChecksRecordFormat = true;

  // Returns (gold labels, predicted labels). `index` is accepted and not used. Throws TypeError
  // naming "label" or "prediction" when it is not an object, KeyError naming a missing key and
  // TypeError for a value of the wrong kind; nothing is returned then.
  std::pair<std::vector<std::string>, std::vector<std::string>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same as label ids of `vocabulary`, appended to `gold` and `pred`: the driver's road,
  // with no string per label. On an error neither sequence changes. With the whole format
  // checked it also fails on what the format refuses and mapping would take: a string offset,
  // a missing or non-integer "length", a record "text" or relation "type" that is no string.
  void convert_labels(const Record& label, const Record& prediction, std::optional<int64_t> index,
                      TagVocabulary& vocabulary, TagIdSequence& gold, TagIdSequence& pred,
                      FormatChecks checks = FormatChecks::mapped_keys) const;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_RELATION_MAPPER_H_
