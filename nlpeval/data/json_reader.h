#ifndef NLPEVAL_DATA_JSON_READER_H_
#define NLPEVAL_DATA_JSON_READER_H_

// Reading JSON Lines files into records.

#include <cstddef>
#include <memory>
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

// Reads a JSON Lines file one chunk of lines at a time, so that a data set of any size is
// read in the memory of a chunk or two. Records, lines and errors are those of read_jsonl.
class JsonLinesStream {
 public:
  // Smaller than a whole-file reader's chunks: the memory of a chunk's records is reused, and
  // the less of it there is, the less the kernel has to clear and the more stays in cache
  // while a chunk waits its turn. A megabyte holds about a thousand records of a few dozen
  // elements; at four, the chunks in flight outgrew the cache and ran no faster.
  static constexpr size_t kDefaultChunkBytes = size_t{1} << 20;

  // Opens `file`; throws FileError naming it when it cannot be opened.
  explicit JsonLinesStream(const std::string& file, size_t chunk_bytes = kDefaultChunkBytes);
  ~JsonLinesStream();
  JsonLinesStream(const JsonLinesStream&) = delete;
  JsonLinesStream& operator=(const JsonLinesStream&) = delete;

  // Replaces `batch` with the records of the next chunk of lines, reusing the memory of what
  // it held, and returns true; returns false with `batch` empty once the file is read. The
  // records taken from `batch` before become invalid. Throws as read_jsonl does.
  bool next(Records& batch);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_JSON_READER_H_
