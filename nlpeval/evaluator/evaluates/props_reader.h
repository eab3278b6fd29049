#ifndef NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_
#define NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_

// Reading CoNLL-2005 props files (the layout is described in srl_evaluate.h): sentence by
// sentence as text, or whole into records, one per sentence: an array of token rows, each an
// array of column strings.
//
// Lines that hold only white space end a sentence; a UTF-8 byte order mark at the start and
// "\r\n" line ends are accepted. Tokens are not checked here: srl_evaluate checks them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nlpeval/core/files.h"
#include "nlpeval/core/record.h"

namespace nlpeval {

// One sentence of a props file as it stands in the file.
struct PropsSentence {
  // Its lines, each with its line end but the last one's when the file ends without one; no
  // blank line and no byte order mark.
  std::string_view text;
  size_t first_line = 0;  // 1-based
};

// Reads a props file a sentence at a time, in a buffer that holds the longest sentence and
// no more than a few blocks of the file besides.
class PropsReader {
 public:
  // Throws FileError naming the file when it cannot be opened (a directory included).
  explicit PropsReader(std::string file);

  // Sets `sentence` to the next sentence, whose text stays valid until the next call, or
  // returns false at the end of the file. Throws FileError naming the file for a read error,
  // and ValueError naming the file and the 1-based line for invalid UTF-8.
  bool next(PropsSentence& sentence);

  const std::string& file() const { return file_; }

 private:
  // Reads more of the file behind the unread bytes, keeping those from `keep` on; returns
  // false at the end of the file.
  bool fill(size_t keep);
  // Throws ValueError unless the line [begin, end) of the buffer is valid UTF-8. Checks the
  // complete lines ahead in one go, and line by line only where that finds a fault.
  void check_utf8(size_t begin, size_t end);

  std::string file_;
  files::FilePtr in_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t begin_ = 0;          // the first byte not yet handed out
  size_t end_ = 0;            // the end of the bytes read
  uint64_t buffer_offset_ = 0;  // where buffer_[0] lies in the file
  uint64_t checked_end_ = 0;    // the file's bytes before this offset are valid UTF-8
  uint64_t line_by_line_until_ = 0;  // a fault lies before this offset
  size_t lines_ = 0;          // lines handed out or skipped
  bool at_end_ = false;       // the file has no more bytes to read
  bool started_ = false;
};

// The sentences of the props file `file`, in file order, each a record as above; each record
// remembers the file and the 1-based line of its first token. The file is read once,
// sentence by sentence.
//
// Throws FileError naming the file when it cannot be opened or read (a directory included),
// and ValueError naming the file and the 1-based line for invalid UTF-8 or a sentence too long
// to keep (4 GB).
Records conll_iterator(const std::string& file);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_
