#ifndef NLPEVAL_DATA_JSON_READER_H_
#define NLPEVAL_DATA_JSON_READER_H_

// Reading JSON Lines files into records.

#include <string>

#include "nlpeval/core/record.h"

namespace nlpeval {

class JsonReader {
 public:
  // The records of a JSON Lines file, one JSON value per line, in file order. Lines holding
  // only white space (a final line break included) are skipped; a UTF-8 byte order mark at
  // the start of the file is skipped. Each record remembers its file and 1-based line.
  //
  // Throws FileError naming the file when it cannot be opened or read, and ValueError naming
  // the file, the 1-based line and what is wrong when a line is not exactly one JSON value
  // (NaN and Infinity are not JSON), holds invalid UTF-8, or an integer beyond 64 bits.
  Records read_jsonl(const std::string& file) const;
};

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_JSON_READER_H_
