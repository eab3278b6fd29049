#ifndef NLPEVAL_CLI_STATE_FILE_H_
#define NLPEVAL_CLI_STATE_FILE_H_

// The evaluation states the command saves (--save-state) and merges (nlpeval merge).

#include <string>
#include <vector>

namespace nlpeval::cli {

// A state file being saved: opened before the evaluation, so that an unwritable path fails
// at once rather than after a long run, and put in place whole once written. An unfinished
// state never takes the path; a destroyed, uncommitted one leaves nothing behind.
class PendingState {
 public:
  // Throws FileError naming the path when its folder cannot take a file.
  explicit PendingState(std::string path);
  ~PendingState();
  PendingState(const PendingState&) = delete;
  PendingState& operator=(const PendingState&) = delete;

  // Writes `state` and a line break, and renames the file into place. Throws FileError.
  void commit(const std::string& state);

 private:
  std::string path_;
  std::string temporary_;
  int descriptor_ = -1;
};

// `nlpeval merge STATE... [--json]`: prints the result of all shards as one
// evaluation. Returns the exit status.
int run_merge(int argc, char** argv);

}  // namespace nlpeval::cli

#endif  // NLPEVAL_CLI_STATE_FILE_H_
