#ifndef NLPEVAL_EVALUATOR_CONVERTOR_ATTRIBUTE_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_ATTRIBUTE_MAPPER_H_

// The "attribute" mapper. An "attribute" record is an object with an array "subjects" of
// mentions {"text", "offset", "type", "length", "attributes"}; each of a subject's "attributes"
// is an object {"type", "value"} whose "value" is a mention {"text", "offset", "length"}.
// Offsets are integers (a string is taken too, and used as it is in pair keys).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/evaluator/convertor/pair_labels.h"

namespace nlpeval {

// What one side knows of a (subject, value) pair: enough to label it.
struct AttributePair {
  Offset head_offset;  // the subject's "offset"
  Offset tail_offset;  // the value's "offset"
  Record attribute;    // the attribute's "type", which must be a string once labelled
};

// Turns a gold and a predicted "attribute" record into two label lists of equal length, one
// position per (subject, value) pair carrying an attribute on either side: the gold pairs in
// order of first appearance (subjects in order, each subject's attributes in order), then the
// predicted pairs gold lacks. A position holds the attribute's "type" followed by "(e1,e2)"
// when the subject starts at or before the value and by "(e2,e1)" otherwise, or "na" on the
// side without the pair. Keeps no state and changes no input.
class AttributeMapper {
 public:
  // Asked to (FormatChecks::whole_format), convert_labels fails on every pair of records the
  // task's format refuses. A walk that maps a pair so has then validated it.
  static constexpr bool kChecksRecordFormat = true;

  using AttributeMap = PairMap<AttributePair>;

  // Returns (gold labels, predicted labels). `index` is accepted and not used. Throws TypeError
  // naming "label" or "prediction" when it is not an object, KeyError naming a missing key and
  // TypeError for a value of the wrong kind; nothing is returned then.
  std::pair<std::vector<std::string>, std::vector<std::string>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same as label ids of `vocabulary`, appended to `gold` and `pred`: the driver's road,
  // with no string per label. On an error neither sequence changes.
  // With the whole format checked it also fails on what the format refuses and mapping would
  // take: a string offset, a missing or non-integer "length", a record "text" or a "type" that
  // is no string.
  void convert_labels(const Record& label, const Record& prediction, std::optional<int64_t> index,
                      TagVocabulary& vocabulary, TagIdSequence& gold, TagIdSequence& pred,
                      FormatChecks checks = FormatChecks::mapped_keys) const;

  // The pairs of one array of subjects by pair key (subject text and offset, value text and
  // offset). Reads a subject's "text", "offset" and "attributes", then for each attribute its
  // "value" "text" and "offset" and its "type". A later attribute on the same pair replaces the
  // earlier one and keeps its place. The pairs view `subjects`.
  static AttributeMap _get_tuple2attribute(const Record& subjects);

};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_ATTRIBUTE_MAPPER_H_
