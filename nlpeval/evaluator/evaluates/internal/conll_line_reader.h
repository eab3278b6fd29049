#ifndef NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_CONLL_LINE_READER_H_
#define NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_CONLL_LINE_READER_H_

// The lines of a CoNLL file, read in chunks into one buffer that is reused, so that memory
// stays the same whatever the size of the file. Internal to the dp scorer.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/files.h"

namespace nlpeval::dp {

class ConllLineReader {
 public:
  // Opens `path`; throws FileError as files::open_for_reading does.
  explicit ConllLineReader(std::string path);

  // The next lines of the file, in batches of all the whole lines of a chunk, each without its
  // line end ("\n", "\r\n" or "\r"); a UTF-8 byte order mark at the start of the file is no
  // part of the first line. The views stay valid until the next call. Empty at the end of the
  // file, and from then on.
  // Throws FileError naming the path for a read error, and ValueError naming the path and the
  // 1-based line for a line that is not valid UTF-8 (before any line of its batch is returned).
  std::span<const std::string_view> next_batch();

  // The lines returned so far.
  size_t lines() const { return lines_read_; }

  // Whether the last line returned had a line end (true when there was none).
  bool last_line_ended() const { return last_line_ended_; }

 private:
  // Reads more of the file behind the unread bytes; false at the end of the file.
  bool fill();
  // Cuts the whole lines of the unread bytes into `batch_`.
  void cut_lines();
  // Throws the ValueError of the first line of `batch_` that is not valid UTF-8, if any.
  void check_utf8() const;

  std::string path_;
  files::FilePtr file_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t begin_ = 0;  // the first unread byte: the start of a line
  size_t end_ = 0;    // the end of the bytes read
  bool at_start_ = true;
  bool at_end_ = false;
  bool has_cr_ = false;  // the unread bytes hold a "\r"
  std::vector<std::string_view> batch_;
  size_t lines_read_ = 0;
  bool last_line_ended_ = true;
};

}  // namespace nlpeval::dp

#endif  // NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_CONLL_LINE_READER_H_
