#ifndef NLPEVAL_EVALUATOR_BADCASE_POS_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_POS_MINER_H_

// The "pos" miner: describes, word by word, what a prediction got wrong.

#include <cstdint>
#include <string_view>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/evaluator/badcase/span_tools.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// Pairs the gold and predicted words of one "pos" instance by their extents (align_spans) and
// describes each pair as a Desc. Reads the records of the "pos" mapper: "text", "words" and
// per word "offset", "pos", "length"; no other key names.
class PosMiner {
 public:
  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per span
  // pair, in pair order. Each Desc gets true_label, true_text, pred_label, pred_text (NONE on
  // a side without a word), then is_right (1 or 0) and for a wrong pair error_type.
  // Throws TypeError when a record is not an object or a value has the wrong kind, KeyError
  // for a missing key, and ValueError "text is different" when the two texts differ.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_) const;

  // The same with the driver's context, whose tagger it tags with.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_,
                          const MiningContext& context) const;

 private:
  // The Desc of one pair over the instance's code points. Two paired words with different
  // parts of speech are a type error whatever their extents; only words with the same part
  // of speech are told apart by how their extents lie.
  static Desc _generate_desc(const SpanPair& span_pair, std::u32string_view text);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_POS_MINER_H_
