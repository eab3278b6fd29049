#ifndef NLPEVAL_EVALUATOR_EVALUATION_H_
#define NLPEVAL_EVALUATOR_EVALUATION_H_

// An evaluation made a part at a time: batches added as a model predicts them, shards scored
// on other processes or machines and merged. Every score is a function of integer counts, so
// the result of instances added in parts, or of states merged in the order of their shards,
// equals `evaluate` on all instances at once, every float bit for bit and every report byte
// for byte.
//
//   Evaluation whole("ner");
//   for (auto& [gold, pred] : batches) whole.add(gold, pred);
//   Evaluation shard = Evaluation::from_state(text_from_another_process);
//   whole.merge(shard);
//   EvaluateResult result = whole.result();
//
// The saved state is a JSON document of counts and label order only (no text of any
// instance); docs/evaluation-state.md describes it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/evaluator.h"

namespace nlpeval {

// The options of `evaluate` that change scores. Each is kept only by the tasks it changes
// ("evaluate_labels": "ner", "pos", "event"; "do_na": "relation", "attribute"), so that two
// evaluations of another task never differ by them.
struct EvaluationOptions {
  std::optional<std::vector<std::string>> evaluate_labels;
  bool do_na = false;

  friend bool operator==(const EvaluationOptions&, const EvaluationOptions&) = default;
};

class Evaluation {
 public:
  // An evaluation of no instance yet. Throws KeyError for a type that is not a task type.
  explicit Evaluation(std::string_view type_, EvaluationOptions options = {});
  ~Evaluation();
  Evaluation(Evaluation&&) noexcept;
  Evaluation& operator=(Evaluation&&) noexcept;

  // Adds two lists as `evaluate` takes them (records; CoNLL lines for "dp"; props sentences
  // for "srl"), validated and checked as it checks them, with its errors. The lists continue
  // the instances added before. On an error nothing is added.
  void add(const Records& true_list, const Records& pred_list);
  void add(const ConllLines& true_list, const ConllLines& pred_list);

  // Adds the instances of two files, read as `evaluate_file` reads them.
  void add_file(const std::string& true_file, const std::string& pred_file);

  // Adds what `other` counted, as if its instances had been added after this one's. Throws
  // ValueError naming what differs when `other` is of another task or has other options.
  // Costs what the labels of both cost, whatever their number of instances.
  void merge(const Evaluation& other);

  // What `evaluate` returns for all instances added, nothing printed.
  EvaluateResult result() const;

  // The instances added: records, CoNLL lines ("dp") or sentences ("srl").
  int64_t size() const;

  std::string_view type() const;
  const EvaluationOptions& options() const;

  // The state as a JSON document (one line, no line end).
  std::string save_state() const;

  // Replaces the counts with those of a saved state. `origin` names the state in errors (a
  // file name, say). Throws ValueError naming `origin` and what is wrong when the text is not
  // a state (a truncated or edited one included), of another version, of another task or
  // with other options; nothing changes then.
  void load_state(std::string_view state, std::string_view origin = "state");

  // An evaluation of the task and options a saved state holds, with its counts.
  static Evaluation from_state(std::string_view state, std::string_view origin = "state");

 private:
  struct Parts;
  friend void add_counted(Evaluation&, std::string_view, struct CountedRun,
                          const struct CountScoring&);
  explicit Evaluation(std::unique_ptr<Parts> parts);

  std::unique_ptr<Parts> parts_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATION_H_
