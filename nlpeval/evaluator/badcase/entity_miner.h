#ifndef NLPEVAL_EVALUATOR_BADCASE_ENTITY_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_ENTITY_MINER_H_

// The "ner" miner: describes, entity by entity, what a prediction got wrong.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/evaluator/badcase/span_tools.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// Pairs the gold and predicted entities of one "ner" instance by their extents (align_spans)
// and describes each pair as a Desc. Reads the records of the "ner" mapper, and also takes an
// entity array under "nes" and an entity type under "ne" when those keys are present.
class EntityMiner {
 public:
  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per span
  // pair that passes `evaluate_labels` (a pair passes when either side's type is listed;
  // null lists every type). Each Desc gets, in this order, true_label, true_text, true_count,
  // pred_label, pred_text, pred_count (the counts only when `entity2count` is given: the
  // text's count, 0 when absent), then is_right (1 or 0) and for a wrong pair error_type.
  // Throws TypeError when a record is not an object or a value has the wrong kind, KeyError
  // for a missing key, and ValueError "text is different" when the two texts differ.
  Label2PredData generate(
      const Record& label, const Record& prediction, int64_t id_,
      const std::optional<std::unordered_map<std::string, int64_t>>& entity2count = {},
      const std::optional<std::vector<std::string>>& evaluate_labels = {}) const;

  // The same with the driver's context: its counts, labels and tagger.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_,
                          const MiningContext& context) const;

 private:
  // The Desc of one pair over the instance's code points, or nullopt when the label filter
  // drops it.
  static std::optional<Desc> _generate_desc(
      const SpanPair& span_pair, std::u32string_view text,
      const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
      const std::optional<std::vector<std::string>>& evaluate_labels);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_ENTITY_MINER_H_
