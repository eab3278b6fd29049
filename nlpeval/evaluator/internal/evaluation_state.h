#ifndef NLPEVAL_EVALUATOR_INTERNAL_EVALUATION_STATE_H_
#define NLPEVAL_EVALUATOR_INTERNAL_EVALUATION_STATE_H_

// The saved state of an Evaluation: a versioned JSON document of its task, its options, the
// number of instances and the counts, sealed by a checksum of the rest so that an edited or
// damaged state is refused rather than scored. docs/evaluation-state.md describes the format.

#include <cstdint>
#include <string>
#include <string_view>

#include "nlpeval/evaluator/evaluation.h"
#include "nlpeval/evaluator/internal/task_counts.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {

inline constexpr int kStateVersion = 1;

// What a state holds.
struct EvaluationState {
  const TaskDescriptor* task = nullptr;
  EvaluationOptions options;
  TaskCounts counts;
  int64_t instances = 0;
};

std::string write_state(const EvaluationState& state);

// Throws ValueError naming `origin` and what is wrong (the key, for counts that cannot be).
EvaluationState read_state(std::string_view text, std::string_view origin);

// The options as they read in a message: `evaluate_labels ["PER"]`, `do_na true`.
std::string describe_options(const EvaluationOptions& options);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_EVALUATION_STATE_H_
