#ifndef NLPEVAL_EVALUATOR_BADCASE_ATTRIBUTE_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_ATTRIBUTE_MINER_H_

// The "attribute" miner: describes, (subject, value) pair by pair, what a prediction got
// wrong.

#include <cstdint>
#include <string>
#include <string_view>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/pair_map.h"
#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// Pairs gold and predicted attributes by subject text and value mention; the subject's offset
// is left out, so a subject found at another place still meets its gold counterpart. A pair
// is right when the attribute names agree, whatever the direction. Reads the records of the
// attribute mapper, plus the "type" and "length" of subjects and the "length" of values.
class AttributeMiner {
 public:
  // What one side holds for a (subject, value) pair. Views point into the records.
  struct Triple {
    std::string_view entity_text;
    Offset entity_offset;
    Record entity_length;  // read as an integer only where it is needed
    Record value;          // the value mention record itself
    std::string_view value_text;
    Offset value_offset;
    Record attribute;  // the attribute "type", read as a string only where it is needed
  };
  // (subject text, value text, value offset) to the last triple on it.
  using Tuple2Triple = PairMap<Triple>;

  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per pair
  // on either side, gold pairs first. Each Desc gets entity and value (the two texts), tag
  // (the characters between the mention that starts first, the subject on a tie, and the
  // other one; negative when they overlap), then label_desc and pred_desc (the attribute tags,
  // "无" for a missing side) and is_right = 1 when both sides name the same attribute. No
  // error kind is set. The three mention fields come from the predicted triple when both
  // sides have the pair.
  // Throws ValueError "text is different" when the texts differ, KeyError for a missing key,
  // TypeError for a value of the wrong kind and ValueError when `tag` leaves 64 bits.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_) const;

  // The triples of the attributes of `subjects`, subject by subject. A subject with attributes
  // must have "text", "type", "offset" and "length"; one without needs only "text".
  static Tuple2Triple _get_tuple2triple(const RecordArray& subjects);

  // The attribute name followed by "(e2,e1)" when the value starts before the subject,
  // otherwise by "(e1,e2)".
  static std::string _get_tag(const Triple& triple);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_ATTRIBUTE_MINER_H_
