#ifndef NLPEVAL_EVALUATOR_EVALUATES_LABEL_SCORE_H_
#define NLPEVAL_EVALUATOR_EVALUATES_LABEL_SCORE_H_

// Scoring of the tag-sequence tasks ("ner", "pos", "event"): chunk-level precision, recall,
// F1 and report of the gold and predicted sequences.

#include <optional>
#include <string>
#include <vector>

#include "nlpeval/core/score_result.h"
#include "nlpeval/metrics/sequence_metrics.h"

namespace nlpeval {

// Scores y_pred[k] against y_true[k], one tag sequence per instance, with the chunk-level
// scorers of sequence_metrics.h. `evaluate_labels` names entity types (not tags) and is
// passed on unchanged: null scores every type. Throws ValueError as those scorers do.
ScoreResult label_score(const std::vector<std::vector<std::string>>& y_true,
                        const std::vector<std::vector<std::string>>& y_pred,
                        const std::optional<std::vector<std::string>>& evaluate_labels);

// The same from the chunk counts of the sequences (count_chunks, ChunkCounter).
ScoreResult label_score(std::vector<metrics::seq::TypeCounts> counts,
                        const std::optional<std::vector<std::string>>& evaluate_labels);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_LABEL_SCORE_H_
