#ifndef NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_FILES_H_
#define NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_FILES_H_

// Dependency-parse scoring straight from two CoNLL files, read in step a chunk at a time and
// scored as they are read: memory does not grow with the files.

#include <cstddef>
#include <functional>
#include <string>

#include "nlpeval/evaluator/evaluates/dp_score.h"

namespace nlpeval {

// What dp_score_files tells its caller while it works; either may be empty.
struct DpFileCalls {
  // After each batch of lines read from either file, with the number of lines in it; once for
  // a file that has no line at all, with 0. May throw to stop the scoring.
  std::function<void(size_t lines)> on_lines;
  // Once both files were read whole without error, before a scoring error is thrown.
  std::function<void()> on_read;
};

struct DpFileScore {
  DpResult result;
  size_t true_lines = 0;
  size_t pred_lines = 0;
};

// The same as dp_score(read_conll(true_file), read_conll(pred_file), do_print), with the same
// errors in the same order: any error reading the gold file, then any error reading the
// predicted file, then (after `calls.on_read`) the first scoring error.
DpFileScore dp_score_files(const std::string& true_file, const std::string& pred_file,
                           bool do_print = true, const DpFileCalls& calls = {});

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_FILES_H_
