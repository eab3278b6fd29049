#ifndef NLPEVAL_CLI_PROGRESS_LINE_H_
#define NLPEVAL_CLI_PROGRESS_LINE_H_

// One self-updating line on a terminal's standard error that says how far a long evaluation
// is: instances read, badcase rows written, seconds elapsed. Nothing shows for the first
// second, so short runs print nothing extra.

#include <chrono>
#include <cstdio>
#include <string>

#include "nlpeval/core/progress.h"

namespace nlpeval::cli {

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  // Draws into `out` only when `enabled` (a terminal, no --json, no --quiet).
  ProgressLine(std::FILE* out, bool enabled, Clock::time_point start = Clock::now())
      : out_(out), enabled_(enabled), start_(start) {}

  // Updates the line at most ten times a second; removes it once the scores are final, so
  // that they print on a clean line.
  void update(const Progress& progress, Clock::time_point now = Clock::now());

  // Removes the line, if one is shown.
  void clear();

  // The text of the line (without the carriage return), for `progress` after `seconds`.
  static std::string describe(const Progress& progress, double seconds);

 private:
  void draw(const std::string& text);

  std::FILE* out_;
  bool enabled_;
  Clock::time_point start_;
  Clock::time_point last_drawn_{};
  bool shown_ = false;
};

}  // namespace nlpeval::cli

#endif  // NLPEVAL_CLI_PROGRESS_LINE_H_
