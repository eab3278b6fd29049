#include "nlpeval/data/json_reader.h"

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/core/internal/huge_pages.h"
#include "nlpeval/data/internal/line_scanner.h"

namespace nlpeval {
namespace {

// Each chunk of lines becomes one JSON array parsed into a document of its own: one
// allocation per chunk instead of one per record. Tiny chunks still hold a byte order mark.
constexpr size_t kMinChunkBytes = 64;
// What simdjson can parse at once, less the brackets around a chunk; no line can be longer.
constexpr size_t kMaxChunkBytes = simdjson::SIMDJSON_MAXSIZE_BYTES - 2;

std::string describe(simdjson::error_code error) {
  switch (error) {
    case simdjson::UTF8_ERROR:
      return "invalid UTF-8";
    case simdjson::NUMBER_ERROR:
      return "invalid number or integer beyond 64 bits (NaN and Infinity are not JSON)";
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR:
      return "not valid JSON (NaN and Infinity are not JSON)";
    case simdjson::DEPTH_ERROR:
      return "nested too deeply";
    case simdjson::UNCLOSED_STRING:
      return "unclosed string";
    case simdjson::EMPTY:
      return "no JSON value";
    default:
      return std::string("not valid JSON: ") + simdjson::error_message(error);
  }
}

// Reads a file in chunks of whole lines into one reused buffer. Each chunk has a writable
// byte before it and kRoomAfter writable bytes after it, so that its lines can be turned into
// a JSON array in place: '[' before, commas on line breaks and ']' after the last line, with
// the padding simdjson reads past the end of its input.
class ChunkReader {
 public:
  static constexpr size_t kRoomAfter = 1 + simdjson::SIMDJSON_PADDING;

  ChunkReader(std::FILE* file, const std::string& name, size_t chunk_bytes)
      : file_(file), name_(name) {
    allocate(chunk_bytes);
  }

  // The next run of whole lines, the last one without its line break at the end of the file;
  // false once the file is exhausted or at a line too long to parse.
  bool next(char*& chunk, size_t& size) {
    std::memmove(text(), text() + consumed_, filled_ - consumed_);
    filled_ -= consumed_;
    consumed_ = 0;
    for (;;) {
      if (filled_ == capacity_ && !std::feof(file_)) {
        if (capacity_ == kMaxChunkBytes) {
          line_too_long_ = true;
          return false;
        }
        grow();
      }
      size_t searched = filled_;
      size_t got = files::read_some(file_, name_, text() + filled_, capacity_ - filled_);
      filled_ += got;
      if (at_start_) skip_byte_order_mark();  // the first read fills 64 bytes or ends the file
      if (got == 0) {
        consumed_ = filled_;
        break;
      }
      size_t last_break = std::string_view(text() + searched, filled_ - searched).rfind('\n');
      if (last_break != std::string_view::npos) {
        consumed_ = searched + last_break + 1;
        break;
      }
    }
    chunk = text();
    size = consumed_;
    return size != 0;
  }

  // Whether reading stopped at a line longer than kMaxChunkBytes, the first one not handed out.
  bool line_too_long() const { return line_too_long_; }

 private:
  char* text() { return buffer_.get() + 1; }

  void allocate(size_t capacity) {
    size_t bytes = 1 + capacity + kRoomAfter;
    buffer_ = std::make_unique_for_overwrite<char[]>(bytes);
    advise_huge_pages(buffer_.get(), bytes);
    capacity_ = capacity;
  }

  // Makes room for a line longer than the buffer.
  void grow() {
    std::unique_ptr<char[]> old = std::move(buffer_);
    allocate(std::min(2 * capacity_, kMaxChunkBytes));
    std::memcpy(text(), old.get() + 1, filled_);
  }

  void skip_byte_order_mark() {
    at_start_ = false;
    if (std::string_view(text(), filled_).starts_with("\xEF\xBB\xBF")) {
      std::memmove(text(), text() + 3, filled_ - 3);
      filled_ -= 3;
    }
  }

  std::FILE* file_;
  const std::string& name_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t filled_ = 0;    // bytes of text in the buffer
  size_t consumed_ = 0;  // bytes of them handed out as the current chunk
  bool at_start_ = true;
  bool line_too_long_ = false;
};

// Builds the records of one file, chunk by chunk. A chunk's lines are joined into one JSON
// array and parsed once into a document. When the scan cannot vouch for the line structure,
// or the parse fails, every line is parsed alone to name the first bad one.
class RecordsBuilder {
 public:
  // `file_bytes` is the size of the file when known, otherwise 0: the records of the whole file
  // are then gathered, and their line numbers reserved for up front, each chunk in a document
  // of its own size. A streaming reader passes `streaming`, takes the records of each chunk
  // as they come and hands back their document, which is sized for any chunk.
  enum class Use { whole_file, streaming };
  RecordsBuilder(const std::string& file, size_t chunk_bytes, size_t file_bytes, Use use)
      : file_(file),
        file_bytes_(use == Use::whole_file ? file_bytes : 0),
        document_bytes_(use == Use::streaming ? chunk_bytes + 2 : 0) {
    // Sized for a whole chunk up front so that its buffers are not reallocated, and faulted
    // in again, whenever a chunk comes out a little longer than the ones before. The array
    // around the lines adds a level of nesting that a line alone does not have.
    if (chunk_parser_.allocate(chunk_bytes + 2, simdjson::DEFAULT_MAX_DEPTH + 1) !=
        simdjson::SUCCESS) {
      throw ValueError(file_ + ": out of memory while reading");
    }
  }

  // Adds the records of `chunk`, the whole lines that follow those added before. They are
  // parsed into `document` when it holds one, which is then taken (it grows when too small),
  // otherwise into a new one sized for the chunk. Overwrites the byte before the chunk and
  // the line breaks in it.
  void add_chunk(char* chunk, size_t size, std::unique_ptr<simdjson::dom::document>& document) {
    lines_.clear();
    const ScannedLines scanned = scan_lines(std::string_view(chunk, size), lines_);
    if (!lines_.empty()) {
      if (file_bytes_ != 0 && line_numbers_.capacity() == 0) reserve_line_numbers(size);
      if (!scanned.stay_apart) check_each_line_alone(chunk);
      std::string_view array = join_into_array(chunk);
      simdjson::error_code error = parse_into_document(array, document);
      if (error != simdjson::SUCCESS) {
        check_each_line_alone(chunk);
        throw ValueError(file_ + ": " + simdjson::error_message(error));
      }
    }
    first_line_number_ += scanned.count;
  }

  // Throws the error for the line after those added, as parsing it alone would.
  [[noreturn]] void reject_next_line(simdjson::error_code error) const {
    throw ValueError(file_ + ":" + std::to_string(first_line_number_) + ": " + describe(error));
  }

  bool has_records() const { return !line_numbers_.empty(); }

  // The records added since the last call, each knowing its file and line.
  Records take_records() {
    Records records = std::move(records_);
    records.set_source(file_, std::exchange(line_numbers_, {}));
    records_ = Records();
    return records;
  }

 private:
  // Throws ValueError naming the first line of the chunk that is not exactly one JSON value.
  void check_each_line_alone(const char* chunk) {
    for (const LineSpan& line : lines_) {
      simdjson::dom::element ignored;
      simdjson::error_code error =
          line_parser_.parse(chunk + line.begin, line.end - line.begin, false).get(ignored);
      if (error != simdjson::SUCCESS) {
        throw ValueError(file_ + ":" + std::to_string(first_line_number_ + line.index) + ": " +
                         describe(error));
      }
    }
  }

  // Reserves room for the line numbers of the whole file, guessed from the first chunk, in
  // huge pages: filling a vector of a million numbers page by page costs more than the rest
  // of the bookkeeping. A wrong guess only costs that again.
  void reserve_line_numbers(size_t chunk_size) {
    double lines_per_byte = static_cast<double>(lines_.size()) / static_cast<double>(chunk_size);
    auto expected = static_cast<size_t>(1.05 * lines_per_byte * static_cast<double>(file_bytes_));
    line_numbers_.reserve(std::max(expected, lines_.size()));
    advise_huge_pages(line_numbers_.data(), line_numbers_.capacity() * sizeof(size_t));
  }

  std::string_view join_into_array(char* chunk) {
    chunk[-1] = '[';
    for (const LineSpan& line : lines_) chunk[line.end] = ',';
    size_t close = lines_.back().end;
    chunk[close] = ']';
    return std::string_view(chunk - 1, close + 2);
  }

  std::unique_ptr<simdjson::dom::document> new_document(size_t capacity) {
    auto document = std::make_unique<simdjson::dom::document>();
    if (document->allocate(capacity) != simdjson::SUCCESS) {
      throw ValueError(file_ + ": out of memory while reading");
    }
    advise_huge_pages(document->tape.get(), (capacity + 3) * sizeof(uint64_t));
    advise_huge_pages(document->string_buf.get(), 5 * capacity / 3);
    return document;
  }

  simdjson::error_code parse_into_document(std::string_view array,
                                           std::unique_ptr<simdjson::dom::document>& document) {
    if (array.size() > chunk_parser_.max_capacity()) return simdjson::CAPACITY;
    if (!document) document = new_document(std::max(array.size(), document_bytes_));
    simdjson::dom::array elements;
    simdjson::error_code error =
        chunk_parser_.parse_into_document(*document, array.data(), array.size(), false)
            .get(elements);
    if (error != simdjson::SUCCESS) return error;
    // After the scan every comma put between lines separates two elements, so only a line
    // holding more than one value, such as "1, 2", can make the counts differ.
    if (elements.size() != lines_.size()) return simdjson::TAPE_ERROR;
    records_.append_document(std::move(document));
    for (const LineSpan& line : lines_) line_numbers_.push_back(first_line_number_ + line.index);
    return simdjson::SUCCESS;
  }

  const std::string& file_;
  size_t file_bytes_;
  size_t document_bytes_;  // the least a new document holds
  simdjson::dom::parser line_parser_;
  simdjson::dom::parser chunk_parser_;
  std::vector<LineSpan> lines_;   // of the current chunk
  size_t first_line_number_ = 1;  // of the current chunk
  std::vector<size_t> line_numbers_;
  Records records_;
};

// The size of a regular file, or 0 when it has none to tell (a pipe, say) or is empty.
size_t file_bytes(const std::string& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return 0;
  uintmax_t size = std::filesystem::file_size(file, error);
  return error ? 0 : static_cast<size_t>(size);
}

// A smaller file is read in one chunk of its own size, with no buffer or parser sized for more.
size_t chunk_bytes_for(size_t file_bytes, size_t chunk_bytes) {
  if (file_bytes == 0 || file_bytes >= chunk_bytes) return chunk_bytes;
  return std::max(file_bytes + 1, kMinChunkBytes);  // + 1 meets the end of the file at once
}

}  // namespace

JsonReader::JsonReader(size_t chunk_bytes)
    : chunk_bytes_(std::clamp(chunk_bytes, kMinChunkBytes, kMaxChunkBytes)) {}

Records JsonReader::read_jsonl(const std::string& file) const {
  files::FilePtr handle = files::open_for_reading(file);
  size_t total_bytes = file_bytes(file);
  size_t chunk_bytes = chunk_bytes_for(total_bytes, chunk_bytes_);
  ChunkReader reader(handle.get(), file, chunk_bytes);
  RecordsBuilder builder(file, chunk_bytes, total_bytes, RecordsBuilder::Use::whole_file);
  char* chunk;
  size_t size;
  while (reader.next(chunk, size)) {
    std::unique_ptr<simdjson::dom::document> document;
    builder.add_chunk(chunk, size, document);
  }
  if (reader.line_too_long()) builder.reject_next_line(simdjson::CAPACITY);
  return builder.take_records();
}

// The file, its reader and its builder, which refer to the name: kept in one place that
// never moves.
struct JsonLinesStream::State {
  State(const std::string& file, size_t chunk_bytes)
      : name(file),
        handle(files::open_for_reading(name)),
        fitted_chunk_bytes(chunk_bytes_for(file_bytes(name), chunk_bytes)),
        reader(handle.get(), name, fitted_chunk_bytes),
        builder(name, fitted_chunk_bytes, 0, RecordsBuilder::Use::streaming) {}

  std::string name;
  files::FilePtr handle;
  size_t fitted_chunk_bytes;  // no more than a small file needs
  ChunkReader reader;
  RecordsBuilder builder;
};

JsonLinesStream::JsonLinesStream(const std::string& file, size_t chunk_bytes)
    : state_(
          std::make_unique<State>(file, std::clamp(chunk_bytes, kMinChunkBytes, kMaxChunkBytes))) {}

JsonLinesStream::~JsonLinesStream() = default;

bool JsonLinesStream::next(Records& batch) {
  std::vector<std::unique_ptr<simdjson::dom::document>> documents = batch.release_documents();
  std::unique_ptr<simdjson::dom::document> reused =
      documents.empty() ? nullptr : std::move(documents.front());
  char* chunk;
  size_t size;
  while (state_->reader.next(chunk, size)) {
    state_->builder.add_chunk(chunk, size, reused);
    if (state_->builder.has_records()) {
      batch = state_->builder.take_records();
      return true;
    }
  }
  if (state_->reader.line_too_long()) state_->builder.reject_next_line(simdjson::CAPACITY);
  return false;
}

}  // namespace nlpeval
