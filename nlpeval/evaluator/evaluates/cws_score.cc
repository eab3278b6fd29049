#include "nlpeval/evaluator/evaluates/cws_score.h"

#include <algorithm>
#include <string>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

// `spans` itself when sorted, else a sorted copy in `buffer`.
const WordSpans& sorted(const WordSpans& spans, WordSpans& buffer) {
  if (std::is_sorted(spans.begin(), spans.end())) return spans;
  buffer.assign(spans.begin(), spans.end());
  std::sort(buffer.begin(), buffer.end());
  return buffer;
}

// The gold spans that find a predicted span of their own; both sorted. A predicted span
// matches one gold span at most, so a span repeated (empty words repeat theirs) counts as
// often as both sides have it and precision and recall never pass 1.
int64_t count_found(const WordSpans& gold, const WordSpans& pred) {
  int64_t found = 0;
  auto next = pred.begin();
  for (const WordSpan& span : gold) {
    while (next != pred.end() && *next < span) ++next;
    if (next == pred.end()) break;
    if (*next == span) {
      ++found;
      ++next;
    }
  }
  return found;
}

double ratio(int64_t numerator, int64_t denominator) {
  return denominator == 0 ? 0.0 : static_cast<double>(numerator) / static_cast<double>(denominator);
}

}  // namespace

void CwsCounter::add(const WordSpans& gold, const WordSpans& pred) {
  counts_.true_count += static_cast<int64_t>(gold.size());
  counts_.pred_count += static_cast<int64_t>(pred.size());
  counts_.acc_count += count_found(sorted(gold, sorted_gold_), sorted(pred, sorted_pred_));
}

ScoreResult cws_score(const CwsCounts& counts) {
  ScoreResult score;
  score.precision = ratio(counts.acc_count, counts.pred_count);
  score.recall = ratio(counts.acc_count, counts.true_count);
  const double sum = score.precision + score.recall;
  score.f1 = sum == 0.0 ? 0.0 : ((2 * score.precision) * score.recall) / sum;
  return score;
}

ScoreResult cws_score(const std::vector<WordSpans>& y_true, const std::vector<WordSpans>& y_pred) {
  if (y_pred.size() < y_true.size()) {
    throw IndexError("y_pred: " + std::to_string(y_pred.size()) + " instances, fewer than the " +
                     std::to_string(y_true.size()) + " of y_true");
  }
  CwsCounter counter;
  for (size_t index = 0; index < y_true.size(); ++index) counter.add(y_true[index], y_pred[index]);
  return cws_score(counter.counts());
}

}  // namespace nlpeval
