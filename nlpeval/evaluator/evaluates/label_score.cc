#include "nlpeval/evaluator/evaluates/label_score.h"

#include <utility>

namespace nlpeval {

ScoreResult label_score(const std::vector<std::vector<std::string>>& y_true,
                        const std::vector<std::vector<std::string>>& y_pred,
                        const std::optional<std::vector<std::string>>& evaluate_labels) {
  // The four scores in one pass rather than four calls that would each read the data.
  return metrics::seq::score(y_true, y_pred, evaluate_labels);
}

ScoreResult label_score(std::vector<metrics::seq::TypeCounts> counts,
                        const std::optional<std::vector<std::string>>& evaluate_labels) {
  return metrics::seq::score_counts(std::move(counts), evaluate_labels);
}

}  // namespace nlpeval
