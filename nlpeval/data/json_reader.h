#ifndef NLPEVAL_DATA_JSON_READER_H_
#define NLPEVAL_DATA_JSON_READER_H_

// Reading JSON Lines files into records.

#include <cstddef>
#include <string>

#include "nlpeval/core/record.h"

namespace nlpeval {

class JsonReader {
 public:
  static constexpr size_t kDefaultChunkBytes = size_t{32} << 20;

  // Lines are read and parsed in chunks of about `chunk_bytes` (at least 64), each kept as
  // one document: larger chunks mean fewer documents, smaller ones less memory while reading.
  // A line longer than a chunk makes a chunk of its own.
  explicit JsonReader(size_t chunk_bytes = kDefaultChunkBytes);

  // The records of a JSON Lines file, one JSON value per line, in file order. Lines holding
  // only white space (a final line break included) are skipped; a UTF-8 byte order mark at
  // the start of the file is skipped. Each record remembers its file and 1-based line.
  //
  // Throws FileError naming the file when it cannot be opened or read, and ValueError naming
  // the file, the 1-based line and what is wrong when a line is not exactly one JSON value
  // (NaN and Infinity are not JSON), holds invalid UTF-8, or an integer beyond 64 bits, or is
  // longer than the 4 GB simdjson parses at once.
  Records read_jsonl(const std::string& file) const;

 private:
  size_t chunk_bytes_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_JSON_READER_H_
