#ifndef NLPEVAL_CORE_PROGRESS_H_
#define NLPEVAL_CORE_PROGRESS_H_

// How a long evaluation keeps its caller informed, and how the caller stops it: a progress
// callback, called on the caller's thread between batches of work, answers whether to go on;
// a warning callback receives what the scores could not say.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace nlpeval {

struct Progress {
  enum class Phase {
    reading,  // instances are being read, scored and mined
    scored,   // the scores are final and about to be printed
    writing,  // the badcase spreadsheet is being completed; no call comes until it is
  };
  Phase phase = Phase::reading;
  int64_t instances = 0;     // instances walked so far
  int64_t badcase_rows = 0;  // spreadsheet rows made so far
  // The spreadsheet's file while it is being written under a temporary name, else empty: a
  // caller killed in the writing phase removes it (the evaluation cannot stop there).
  std::string_view partial_file;
};

// Returns false to stop the evaluation, which then throws Cancelled and leaves no
// spreadsheet behind. Called every 256 instances of a record task, after each batch of lines
// ("dp", which counts the lines of both files) or of sentence pairs ("srl") read, and at each
// phase; never from another thread than the caller's.
using ProgressCallback = std::function<bool(const Progress&)>;

// One line of text, without a line end, such as "no instance to evaluate".
using WarningCallback = std::function<void(const std::string&)>;

// The evaluation was stopped by its progress callback. Not an Error: it says nothing about the
// input, and nothing on its way out treats it as a failure of the data.
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("the evaluation was cancelled") {}
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_PROGRESS_H_
