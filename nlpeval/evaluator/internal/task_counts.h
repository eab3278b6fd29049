#ifndef NLPEVAL_EVALUATOR_INTERNAL_TASK_COUNTS_H_
#define NLPEVAL_EVALUATOR_INTERNAL_TASK_COUNTS_H_

// The integer counts every score of a task is computed from, whichever road the instances
// came by. Counts of consecutive parts of a data set, added in order, are the counts of the
// whole: that is what lets an Evaluation take batches and merge shards exactly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nlpeval/core/tag_collisions.h"
#include "nlpeval/evaluator/evaluates/cws_score.h"
#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/metrics/metrics.h"
#include "nlpeval/metrics/sequence_metrics.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {

// The chunks of tag sequences ("ner", "pos", "event"), sorted by type, and the elements
// tagging could not keep whole.
struct CountedInstances {
  std::vector<metrics::seq::TypeCounts> chunks;
  TagCollisions collisions;
};

// Flat labels ("relation", "attribute"): `names[id]` names each id the counter counted.
struct FlatLabelCounts {
  std::vector<std::string> names;
  metrics::LabelIdCounter counter;
};

// One alternative per Scoring kind: tag_chunks, word_spans, flat_labels, heads, arguments.
using TaskCounts =
    std::variant<CountedInstances, CwsCounts, FlatLabelCounts, dp::Counter, SrlResult>;

// The counts of no instance of a task scored by `scoring`.
TaskCounts empty_counts(Scoring scoring);

// Adds `from` to `into`, as if the instances of `from` had been counted after those of
// `into`; both hold the alternative of one task.
void merge_counts(TaskCounts& into, const TaskCounts& from);

// What scoring counts takes besides them.
struct CountScoring {
  bool do_na = false;                                       // "relation", "attribute"
  std::optional<std::vector<std::string>> evaluate_labels;  // "ner", "pos", "event"
  std::optional<std::string> do_plot;                       // a flat-label picture, if any
};

// The result `evaluate` returns for these counts of task `type_`, without printing.
EvaluateResult score_counts(std::string_view type_, const TaskCounts& counts,
                            const CountScoring& scoring);

// What an evaluation counted: its counts, and how many instances (records, CoNLL lines or
// props sentences) they were made of.
struct CountedRun {
  TaskCounts counts;
  int64_t instances = 0;
};

// Adds what a run of task `type_` counted to `evaluation`. Throws ValueError when the
// evaluation is of another task or its options differ from `scoring`'s.
void add_counted(Evaluation& evaluation, std::string_view type_, CountedRun counted,
                 const CountScoring& scoring);

// What `evaluate` would count of two lists of records, CoNLL lines or props sentences, or of
// two files, validated as it validates them and with its errors; nothing is printed or mined.
CountedRun count_lists(std::string_view type_, const Records& true_list,
                       const Records& pred_list, const CountScoring& scoring);
CountedRun count_lists(std::string_view type_, const ConllLines& true_list,
                       const ConllLines& pred_list);
CountedRun count_files(std::string_view type_, const std::string& true_file,
                       const std::string& pred_file, const CountScoring& scoring);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_TASK_COUNTS_H_
