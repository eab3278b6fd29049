#ifndef NLPEVAL_EVALUATOR_EVALUATES_CWS_SCORE_H_
#define NLPEVAL_EVALUATOR_EVALUATES_CWS_SCORE_H_

// Scoring of word segmentation: word-level precision, recall and F1 pooled over all
// instances. A predicted word is right when a gold word of the same instance covers exactly
// the same characters.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "nlpeval/core/score_result.h"
#include "nlpeval/core/word_span.h"

namespace nlpeval {

// The pooled word counts of a data set.
struct CwsCounts {
  int64_t true_count = 0;  // gold words
  int64_t pred_count = 0;  // predicted words
  int64_t acc_count = 0;   // gold words matched one to one by predicted words of their instance

  friend bool operator==(const CwsCounts&, const CwsCounts&) = default;
};

// Counts instance by instance, so that a data set's spans never need to be kept. Linear in
// the spans of an instance when both lists are sorted (the mapper's always are), n log n
// otherwise. Not shared between threads.
class CwsCounter {
 public:
  // Adds one instance. Spans match one to one: a span twice in gold and once in `pred` is
  // found once.
  void add(const WordSpans& gold, const WordSpans& pred);

  const CwsCounts& counts() const { return counts_; }

 private:
  CwsCounts counts_;
  WordSpans sorted_gold_;  // reused when an instance comes unsorted
  WordSpans sorted_pred_;
};

// precision = acc / pred, recall = acc / true, f1 = 2 * precision * recall / (precision +
// recall); a ratio whose denominator is 0 is 0, so a data set without words, or without one
// right word, scores 0 rather than failing. The report is always the empty string.
ScoreResult cws_score(const CwsCounts& counts);

// Scores y_pred[k] against y_true[k], one span list per instance. Predicted lists beyond
// y_true's are ignored. Throws IndexError when y_pred has fewer instances than y_true.
ScoreResult cws_score(const std::vector<WordSpans>& y_true, const std::vector<WordSpans>& y_pred);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_CWS_SCORE_H_
