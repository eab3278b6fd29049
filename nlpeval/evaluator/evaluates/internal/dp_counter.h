#ifndef NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_DP_COUNTER_H_
#define NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_DP_COUNTER_H_

// The counting rule of dependency-parse scoring, one line pair at a time: dp_score walks lines
// held in memory with it, dp_score_files lines read in chunks. Internal to the dp scorer.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"
#include "nlpeval/evaluator/evaluates/dp_score_files.h"

namespace nlpeval::dp {

struct Hits {
  size_t support = 0;  // scored lines
  size_t unlabelled = 0;
  size_t labelled = 0;
};

// The relation labels in order of first appearance, each with its counters. The table keeps
// its own copy of each label: the lines it was seen on may be gone.
class LabelTable {
 public:
  LabelTable() = default;
  // A copy's map would view the original's labels; a move keeps the deque's strings in place.
  LabelTable(const LabelTable&) = delete;
  LabelTable& operator=(const LabelTable&) = delete;
  LabelTable(LabelTable&&) noexcept = default;
  LabelTable& operator=(LabelTable&&) noexcept = default;

  // The counters of `label`, first seen on the gold line at `index`. Labels reach the result
  // and its JSON form, so each new one is checked for valid UTF-8.
  Hits& hits_of(std::string_view label, size_t index) {
    if (const size_t* slot = slot_of_.find(label)) return hits_[*slot];
    return add(label, index);
  }

  size_t size() const { return labels_.size(); }
  std::string_view label(size_t slot) const { return labels_[slot]; }
  const Hits& hits(size_t slot) const { return hits_[slot]; }

 private:
  Hits& add(std::string_view label, size_t index);

  ShortStringMap<size_t> slot_of_;  // views the labels below
  std::deque<std::string> labels_;  // a deque never moves its strings, which the map views
  std::vector<Hits> hits_;
};

// Counts gold lines against their predicted lines, in the order of the gold lines. A line may
// end with "\n" or not: the fields read never reach the last one.
class Counter {
 public:
  // Counts the gold line at `index` (0-based) against `pred`, its predicted line, or null when
  // the prediction has no line there. Returns false when the line is scored but `pred` is
  // null: the caller names the missing line (see missing_line_message). Throws IndexError when
  // the predicted line of a scored line has fewer than 4 fields, and ValueError when a new gold
  // label is not valid UTF-8.
  bool count(std::string_view gold, const std::string_view* pred, size_t index);

  // The scores of the lines counted so far.
  DpResult result() const;

  // The labels in order of first appearance, with their hits, and the hits of all of them.
  const LabelTable& labels() const { return table_; }
  const Hits& total() const { return total_; }

  // Adds `hits` to `label` (added when new, after the labels before) and to the total: as
  // if lines of the label had been counted. Labels must be valid UTF-8.
  void add_hits(std::string_view label, const Hits& hits);

  // Adds what `other` counted, as if its lines had come after this one's.
  void merge(const Counter& other);

 private:
  LabelTable table_;
  Hits total_;
};

// The lines of two files counted, and how many each had.
struct CountedFiles {
  Counter counter;
  size_t true_lines = 0;
  size_t pred_lines = 0;
};

// Counts the lines of two CoNLL files as dp_score_files scores them, with its errors.
CountedFiles count_files(const std::string& true_file, const std::string& pred_file,
                         const DpFileCalls& calls);

// Counts y_pred against y_true as dp_score scores them, with its errors.
Counter count_lines(const ConllLines& y_true, const ConllLines& y_pred);

// The IndexError message for the scored gold line at `index` that has no predicted line.
std::string missing_line_message(size_t index, size_t true_lines, size_t pred_lines);

// The table dp_score prints: "UAS: x\tLAS: y", the header, one line per label.
std::string format_table(const DpResult& result);

}  // namespace nlpeval::dp

#endif  // NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_DP_COUNTER_H_
