#include "nlpeval/evaluator/evaluation.h"

#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/internal/evaluation_state.h"
#include "nlpeval/evaluator/internal/task_counts.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

const TaskDescriptor& task_named(std::string_view type_) {
  const TaskDescriptor* task = find_task(type_);
  if (task == nullptr) throw KeyError("type: " + std::string(type_) + " is not define");
  return *task;
}

// Only the options that change a task's scores are kept.
EvaluationOptions options_for(const TaskDescriptor& task, EvaluationOptions options) {
  if (task.scoring != Scoring::tag_chunks) options.evaluate_labels.reset();
  if (task.scoring != Scoring::flat_labels) options.do_na = false;
  return options;
}

CountScoring count_scoring(const EvaluationOptions& options) {
  return {.do_na = options.do_na, .evaluate_labels = options.evaluate_labels, .do_plot = {}};
}

// Throws ValueError when counts of `task` with `options` cannot join `ours`.
void check_same(const EvaluationState& ours, const TaskDescriptor& task,
                const EvaluationOptions& options, std::string_view what) {
  if (&task != ours.task) {
    throw ValueError(std::string(what) + " is of task '" + std::string(task.name) + "', not '" +
                     std::string(ours.task->name) + "'");
  }
  if (options != ours.options) {
    throw ValueError(std::string(what) + " has " + describe_options(options) +
                     ", this evaluation " + describe_options(ours.options));
  }
}

}  // namespace

struct Evaluation::Parts {
  EvaluationState state;

  void add(CountedRun counted) {
    merge_counts(state.counts, counted.counts);
    state.instances += counted.instances;
  }
};

Evaluation::Evaluation(std::string_view type_, EvaluationOptions options)
    : parts_(std::make_unique<Parts>()) {
  const TaskDescriptor& task = task_named(type_);
  parts_->state = {&task, options_for(task, std::move(options)), empty_counts(task.scoring), 0};
}

Evaluation::Evaluation(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
Evaluation::~Evaluation() = default;
Evaluation::Evaluation(Evaluation&&) noexcept = default;
Evaluation& Evaluation::operator=(Evaluation&&) noexcept = default;

void Evaluation::add(const Records& true_list, const Records& pred_list) {
  parts_->add(count_lists(type(), true_list, pred_list, count_scoring(options())));
}

void Evaluation::add(const ConllLines& true_list, const ConllLines& pred_list) {
  parts_->add(count_lists(type(), true_list, pred_list));
}

void Evaluation::add_file(const std::string& true_file, const std::string& pred_file) {
  parts_->add(count_files(type(), true_file, pred_file, count_scoring(options())));
}

void Evaluation::merge(const Evaluation& other) {
  const EvaluationState& theirs = other.parts_->state;
  check_same(parts_->state, *theirs.task, theirs.options, "the merged evaluation");
  merge_counts(parts_->state.counts, theirs.counts);
  parts_->state.instances += theirs.instances;
}

EvaluateResult Evaluation::result() const {
  return score_counts(type(), parts_->state.counts, count_scoring(options()));
}

int64_t Evaluation::size() const { return parts_->state.instances; }

std::string_view Evaluation::type() const { return parts_->state.task->name; }

const EvaluationOptions& Evaluation::options() const { return parts_->state.options; }

std::string Evaluation::save_state() const { return write_state(parts_->state); }

void Evaluation::load_state(std::string_view state, std::string_view origin) {
  EvaluationState loaded = read_state(state, origin);
  check_same(parts_->state, *loaded.task, loaded.options,
             "state '" + std::string(origin) + "'");
  parts_->state = std::move(loaded);
}

Evaluation Evaluation::from_state(std::string_view state, std::string_view origin) {
  auto parts = std::make_unique<Parts>();
  parts->state = read_state(state, origin);
  return Evaluation(std::move(parts));
}

void add_counted(Evaluation& evaluation, std::string_view type_, CountedRun counted,
                 const CountScoring& scoring) {
  EvaluationState& ours = evaluation.parts_->state;
  const TaskDescriptor& task = task_named(type_);
  check_same(ours, task,
             options_for(task, {.evaluate_labels = scoring.evaluate_labels, .do_na = scoring.do_na}),
             "add_counts_to: the run");
  evaluation.parts_->add(std::move(counted));
}

}  // namespace nlpeval
