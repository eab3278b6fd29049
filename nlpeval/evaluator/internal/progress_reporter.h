#ifndef NLPEVAL_EVALUATOR_INTERNAL_PROGRESS_REPORTER_H_
#define NLPEVAL_EVALUATOR_INTERNAL_PROGRESS_REPORTER_H_

// Tells an evaluation's progress callback how far the work is, and turns its "stop" into
// Cancelled. Internal to the evaluator.

#include <cstdint>
#include <string>
#include <utility>

#include "nlpeval/core/progress.h"
#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase_sheet.h"
#include "nlpeval/evaluator/internal/vouching.h"

namespace nlpeval {

class ProgressReporter {
 public:
  // Often enough for a stop to take effect within a fraction of a second on the slowest task
  // (a few thousand instances a second with a spreadsheet), rarely enough to cost nothing.
  static constexpr int64_t kInstancesBetweenCalls = 256;

  // `sheet` may be null; both must outlive the reporter.
  ProgressReporter(const ProgressCallback& callback, const BadcaseSheet* sheet)
      : callback_(callback), sheet_(sheet) {}

  void instance_done() {
    ++progress_.instances;
    if (progress_.instances % kInstancesBetweenCalls == 0) tell(Progress::Phase::reading);
  }

  // `count` instances (lines, sentences) were read: a whole file, or a batch of them.
  void file_read(size_t count) {
    progress_.instances += static_cast<int64_t>(count);
    tell(Progress::Phase::reading);
  }

  int64_t instances() const { return progress_.instances; }

  // Throws Cancelled when the callback answers false.
  void tell(Progress::Phase phase, std::string_view partial_file = {}) {
    if (!callback_) return;
    progress_.phase = phase;
    progress_.badcase_rows = sheet_ == nullptr ? 0 : sheet_->rows();
    progress_.partial_file = partial_file;
    if (!callback_(progress_)) throw Cancelled();
  }

 private:
  const ProgressCallback& callback_;
  const BadcaseSheet* sheet_;
  Progress progress_;
};

// Instance pairs that report each instance walked; passes on whatever the pairs pass.
template <typename Pairs>
class ReportingPairs {
 public:
  ReportingPairs(const Pairs& pairs, ProgressReporter& reporter)
      : pairs_(pairs), reporter_(reporter) {}

  bool visits_vouch() const { return nlpeval::visits_vouch(pairs_); }

  template <typename Visit>
  void for_each(Visit&& visit) const {
    pairs_.for_each(
        [&](const Record& label, const Record& prediction, size_t index, const auto&... more) {
          visit(label, prediction, index, more...);
          reporter_.instance_done();
        });
  }

 private:
  const Pairs& pairs_;
  ProgressReporter& reporter_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_PROGRESS_REPORTER_H_
