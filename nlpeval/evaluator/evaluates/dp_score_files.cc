#include "nlpeval/evaluator/evaluates/dp_score_files.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>
#include <span>
#include <string_view>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/internal/conll_line_reader.h"
#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"

namespace nlpeval {
namespace {

using Lines = std::span<const std::string_view>;

// Walks the gold and the predicted lines in step and counts each pair as it comes. Errors keep
// the order of reading both files whole before scoring: a gold read error is thrown at once; a
// predicted read error waits until the gold file was read to its end, which may still fail
// first; the first scoring error waits until both files were read.
class SteppedScoring {
 public:
  SteppedScoring(const std::string& true_file, const std::string& pred_file,
                 const DpFileCalls& calls)
      : calls_(calls), gold_(true_file) {
    try {
      pred_.emplace(pred_file);
    } catch (const Error&) {
      fail_pred();
    }
  }

  dp::CountedFiles run() && {
    walk_gold();
    while (pred_state_ == PredState::reading) read_pred();
    if (pred_error_) std::rethrow_exception(pred_error_);
    if (calls_.on_read) calls_.on_read();
    if (scoring_error_) std::rethrow_exception(scoring_error_);
    if (missing_at_) {
      throw IndexError(dp::missing_line_message(*missing_at_, gold_.lines(), pred_->lines()));
    }
    return {std::move(counter_), gold_.lines(), pred_->lines()};
  }

 private:
  enum class PredState { reading, ended, failed };

  void walk_gold() {
    for (;;) {
      if (gold_at_ == gold_batch_.size()) {
        gold_batch_ = told(gold_, gold_.next_batch());
        gold_at_ = 0;
        if (gold_batch_.empty()) return;
      }
      if (pred_at_ == pred_batch_.size() && pred_state_ == PredState::reading) read_pred();
      const size_t gold_left = gold_batch_.size() - gold_at_;
      const size_t pred_left = pred_batch_.size() - pred_at_;
      const size_t step = pred_left > 0 ? std::min(gold_left, pred_left) : gold_left;
      if (counting_) count(gold_batch_.subspan(gold_at_, step), pred_left > 0);
      gold_at_ += step;
      if (pred_left > 0) pred_at_ += step;
      index_ += step;
    }
  }

  // Counts `gold` against as many predicted lines from pred_at_ when `paired`, else against
  // none: the predicted file has ended or failed.
  void count(Lines gold, bool paired) {
    try {
      for (size_t i = 0; i < gold.size(); ++i) {
        const std::string_view* pred = paired ? &pred_batch_[pred_at_ + i] : nullptr;
        if (!counter_.count(gold[i], pred, index_ + i)) {
          missing_at_ = index_ + i;
          counting_ = false;
          return;
        }
      }
    } catch (const Error&) {
      scoring_error_ = std::current_exception();
      counting_ = false;
    }
  }

  void read_pred() {
    try {
      pred_batch_ = pred_->next_batch();
    } catch (const Error&) {
      fail_pred();
      return;
    }
    pred_at_ = 0;
    if (pred_batch_.empty()) pred_state_ = PredState::ended;
    told(*pred_, pred_batch_);
  }

  // A predicted read error outranks every scoring error, so counting stops.
  void fail_pred() {
    pred_error_ = std::current_exception();
    pred_state_ = PredState::failed;
    pred_batch_ = {};
    pred_at_ = 0;
    counting_ = false;
  }

  // Tells the caller of a batch of `reader`'s lines, or of a file without lines; passes the
  // batch on.
  Lines told(const dp::ConllLineReader& reader, Lines batch) {
    if (calls_.on_lines && (!batch.empty() || reader.lines() == 0)) calls_.on_lines(batch.size());
    return batch;
  }

  const DpFileCalls& calls_;
  dp::ConllLineReader gold_;
  std::optional<dp::ConllLineReader> pred_;
  PredState pred_state_ = PredState::reading;
  Lines gold_batch_;
  Lines pred_batch_;
  size_t gold_at_ = 0;
  size_t pred_at_ = 0;
  size_t index_ = 0;  // of the next gold line

  dp::Counter counter_;
  bool counting_ = true;
  std::exception_ptr pred_error_;
  std::exception_ptr scoring_error_;
  std::optional<size_t> missing_at_;  // the first scored gold line without a predicted line
};

}  // namespace

dp::CountedFiles dp::count_files(const std::string& true_file, const std::string& pred_file,
                                 const DpFileCalls& calls) {
  return SteppedScoring(true_file, pred_file, calls).run();
}

DpFileScore dp_score_files(const std::string& true_file, const std::string& pred_file,
                           bool do_print, const DpFileCalls& calls) {
  const dp::CountedFiles counted = dp::count_files(true_file, pred_file, calls);
  DpFileScore score{counted.counter.result(), counted.true_lines, counted.pred_lines};
  if (do_print) std::cout << dp::format_table(score.result);
  return score;
}

}  // namespace nlpeval
