#ifndef NLPEVAL_EVALUATOR_BADCASE_RELATION_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_RELATION_MINER_H_

// The "relation" miner: describes, mention pair by mention pair, what a prediction got wrong.

#include <cstdint>
#include <string>

#include "nlpeval/core/pair_map.h"
#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// Pairs gold and predicted relations by their two mentions regardless of direction, so a
// relation predicted with head and tail swapped is one element with an order error. Reads the
// records of the relation mapper, plus the "length" of a mention.
class RelationMiner {
 public:
  // Unordered mention pair to the last relation record on it.
  using Tuple2Triple = PairMap<Record>;

  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per mention
  // pair related on either side, gold pairs first. Each Desc gets head_entity and tail_entity
  // (the texts of the mention that starts first and of the other one), tag (the characters
  // between them, negative when they overlap), label_desc and pred_desc (the relation tags,
  // NONE for a missing side), then is_right = 1 or an error kind. The three mention fields
  // come from the predicted relation when both sides have the pair.
  // Throws ValueError "text is different" when the texts differ, KeyError for a missing key,
  // TypeError for a value of the wrong kind and ValueError when `tag` leaves 64 bits.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_) const;

  // The relation records of `triples` under their unordered pair keys: the text and offset of
  // the mention that starts first (the head on a tie), then those of the other mention.
  static Tuple2Triple _get_tuple2triple(const RecordArray& triples);

  // The relation's "type" followed by "(e1,e2)" or, when the head starts after the tail,
  // "(e2,e1)". A type ending in "_rev" means the reverse direction whatever the offsets: it
  // gets "(e2,e1)" and loses every "_rev" it contains.
  static std::string _get_tag(const Record& relation);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_RELATION_MINER_H_
