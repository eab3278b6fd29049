#ifndef NLPEVAL_EVALUATOR_EVALUATES_LABEL_NA_SCORE_H_
#define NLPEVAL_EVALUATOR_EVALUATES_LABEL_NA_SCORE_H_

// Scoring of the "relation" and "attribute" tasks: flat label lists, one label per scored
// element, with "na" and "na(e1,e2)" standing for no relation.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nlpeval/core/score_result.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/metrics/metrics.h"

namespace nlpeval {

// Scores `y_pred` against `y_true` position by position, micro-averaged over the label list:
// every distinct label of either list, sorted by code point, without "na(e1,e2)" and "na"
// unless `do_na` is true. Leaving them out means a position where both sides say no relation
// counts nowhere, while a relation predicted for a no-relation position counts against
// precision and a relation predicted as no relation against recall. The report (two
// decimals) has one row per listed label; its micro row is headed "micro avg" when a
// no-relation label was left out and "accuracy" otherwise.
//
// When `do_plot` names a file, also draws the confusion matrix over the label list there,
// with "na" (if listed) moved to the front.
//
// Throws ValueError when the lists differ in length, and whatever plot_confusion_matrix
// throws; nothing is returned when the plot fails.
ScoreResult label_na_score(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred, bool do_na,
                           const std::optional<std::string>& do_plot);

// The same over labels given as ids of `vocabulary` and counted as they came: the lists are
// never kept. A picture needs the counter to have kept its pairs.
ScoreResult label_na_score_counted(const TagVocabulary& vocabulary,
                                   const metrics::LabelIdCounter& counted, bool do_na,
                                   const std::optional<std::string>& do_plot);

// The same with `names[id]` naming each id.
ScoreResult label_na_score_counted(std::span<const std::string_view> names,
                                   const metrics::LabelIdCounter& counted, bool do_na,
                                   const std::optional<std::string>& do_plot);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_LABEL_NA_SCORE_H_
