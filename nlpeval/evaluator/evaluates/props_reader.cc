#include "nlpeval/evaluator/evaluates/props_reader.h"

#include <simdjson.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/core/internal/huge_pages.h"

namespace nlpeval {
namespace {

constexpr size_t kNpos = std::string_view::npos;
constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Sentences are gathered into JSON arrays of about this size, each parsed into one document:
// one allocation per chunk of sentences instead of one per sentence.
constexpr size_t kChunkBytes = size_t{4} << 20;
// A chunk is one simdjson document (at most 4 GB); a sentence must leave room for the others.
constexpr size_t kMaxSentenceBytes = simdjson::SIMDJSON_MAXSIZE_BYTES - 2 * kChunkBytes;

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Appends one byte of a token inside a JSON string. Tokens hold no white space, but may hold
// quotes, backslashes and other control characters.
void append_json_byte(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte == '"' || byte == '\\') {
    out += '\\';
  } else if (byte < 0x20) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
    out += escaped;
    return;
  }
  out += c;
}

// Gathers the sentences of a props file as JSON arrays of token rows, straight from the
// lines, and parses them a chunk at a time into records.
class SentenceGatherer {
 public:
  explicit SentenceGatherer(const std::string& file) : file_(file), json_(1, '[') {}

  // One line of the file without its line end; a blank line ends the sentence.
  void add_line(std::string_view line, size_t line_number) {
    if (line.find_first_not_of(kWhiteSpace) == kNpos) {
      end_sentence();
      return;
    }
    if (in_sentence_) {
      json_ += ',';
    } else {
      start_sentence(line_number);
    }
    append_row(line);
    if (json_.size() - sentence_begin_ > kMaxSentenceBytes) {
      throw ValueError(file_ + ":" + std::to_string(line_number) +
                       ": the sentence is too long to keep");
    }
  }

  Records finish() {
    end_sentence();
    if (sentences_in_chunk_ > 0) parse_chunk();
    records_.set_source(file_, std::move(first_lines_));
    return std::move(records_);
  }

 private:
  void start_sentence(size_t line_number) {
    if (sentences_in_chunk_ > 0) json_ += ',';
    sentence_begin_ = json_.size();
    json_ += '[';
    first_lines_.push_back(line_number);
    in_sentence_ = true;
  }

  void end_sentence() {
    if (!in_sentence_) return;
    json_ += ']';
    in_sentence_ = false;
    ++sentences_in_chunk_;
    if (json_.size() >= kChunkBytes) parse_chunk();
  }

  // The white-space-separated columns of a line, in one pass over its bytes.
  void append_row(std::string_view line) {
    json_ += '[';
    bool in_column = false;
    bool first = true;
    for (char c : line) {
      if (is_white_space(c)) {
        if (in_column) json_ += '"';
        in_column = false;
        continue;
      }
      if (!in_column) {
        json_ += first ? "\"" : ",\"";
        in_column = true;
        first = false;
      }
      append_json_byte(json_, c);
    }
    if (in_column) json_ += '"';
    json_ += ']';
  }

  void parse_chunk() {
    json_ += ']';
    const size_t length = json_.size();
    json_.append(simdjson::SIMDJSON_PADDING, ' ');  // simdjson reads past the end
    auto document = std::make_unique<simdjson::dom::document>();
    simdjson::error_code error = document->allocate(length);
    if (error == simdjson::SUCCESS) {
      advise_huge_pages(document->tape.get(), (length + 3) * sizeof(uint64_t));
      advise_huge_pages(document->string_buf.get(), 5 * length / 3);
      error = parser_.parse_into_document(*document, json_.data(), length, false).error();
    }
    if (error != simdjson::SUCCESS) {
      throw ValueError(file_ + ": cannot keep the sentences: " + simdjson::error_message(error));
    }
    records_.append_document(std::move(document));
    json_.assign(1, '[');
    sentences_in_chunk_ = 0;
  }

  const std::string& file_;
  std::string json_;  // "[" and the sentences of the chunk so far
  size_t sentence_begin_ = 0;
  size_t sentences_in_chunk_ = 0;
  bool in_sentence_ = false;
  std::vector<size_t> first_lines_;
  simdjson::dom::parser parser_;
  Records records_;
};

// A line buffer that POSIX getline grows as it needs.
struct LineBuffer {
  char* data = nullptr;
  size_t capacity = 0;

  LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  ~LineBuffer() { std::free(data); }
};

}  // namespace

Records conll_iterator(const std::string& file) {
  files::FilePtr in = files::open_for_reading(file);
  SentenceGatherer gatherer(file);
  LineBuffer buffer;
  for (size_t line_number = 1;; ++line_number) {
    errno = 0;
    const ssize_t length = ::getline(&buffer.data, &buffer.capacity, in.get());
    if (length < 0) {
      if (std::ferror(in.get())) files::throw_read_error(file, errno);
      break;
    }
    std::string_view text(buffer.data, static_cast<size_t>(length));
    if (text.ends_with('\n')) text.remove_suffix(1);
    if (line_number == 1 && text.starts_with(kByteOrderMark)) {
      text.remove_prefix(kByteOrderMark.size());
    }
    if (!simdjson::validate_utf8(text)) {
      throw ValueError(file + ":" + std::to_string(line_number) + ": invalid UTF-8");
    }
    gatherer.add_line(text, line_number);
  }
  return gatherer.finish();
}

}  // namespace nlpeval
