#include "nlpeval/evaluator/evaluates/props_reader.h"

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The file is read in blocks of this size.
constexpr size_t kReadBlockBytes = size_t{1} << 20;
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

  void add_sentence(const PropsSentence& sentence) {
    if (sentences_in_chunk_ > 0) json_ += ',';
    const size_t sentence_begin = json_.size();
    json_ += '[';
    first_lines_.push_back(sentence.first_line);
    std::string_view rest = sentence.text;
    for (size_t line_number = sentence.first_line; !rest.empty(); ++line_number) {
      const size_t end = std::min(rest.find('\n'), rest.size());
      if (json_.size() > sentence_begin + 1) json_ += ',';
      append_row(rest.substr(0, end));
      if (json_.size() - sentence_begin > kMaxSentenceBytes) {
        throw ValueError(file_ + ":" + std::to_string(line_number) +
                         ": the sentence is too long to keep");
      }
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    json_ += ']';
    ++sentences_in_chunk_;
    if (json_.size() >= kChunkBytes) parse_chunk();
  }

  Records finish() {
    if (sentences_in_chunk_ > 0) parse_chunk();
    records_.set_source(file_, std::move(first_lines_));
    return std::move(records_);
  }

 private:
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
  size_t sentences_in_chunk_ = 0;
  std::vector<size_t> first_lines_;
  simdjson::dom::parser parser_;
  Records records_;
};

}  // namespace

PropsReader::PropsReader(std::string file)
    : file_(std::move(file)), in_(files::open_for_reading(file_)) {}

bool PropsReader::fill(size_t keep) {
  if (at_end_) return false;
  const size_t kept = end_ - keep;
  if (kept + kReadBlockBytes > capacity_) {
    // Room for the bytes kept (a long sentence so far) and a block more: grow, doubling.
    const size_t capacity = std::max(2 * capacity_, kept + kReadBlockBytes);
    auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    if (kept > 0) std::memcpy(buffer.get(), buffer_.get() + keep, kept);
    buffer_ = std::move(buffer);
    capacity_ = capacity;
  } else if (keep > 0) {
    std::memmove(buffer_.get(), buffer_.get() + keep, kept);
  }
  buffer_offset_ += keep;
  end_ = kept;
  const size_t wanted = capacity_ - end_;
  const size_t got = files::read_some(in_.get(), file_, buffer_.get() + end_, wanted);
  end_ += got;
  at_end_ = got < wanted;
  return got > 0;
}

void PropsReader::check_utf8(size_t begin, size_t end) {
  const uint64_t line_end = buffer_offset_ + end;
  if (line_end <= checked_end_) return;
  const char* data = buffer_.get();
  if (buffer_offset_ + begin >= line_by_line_until_) {
    // Every complete line read so far: a character never spans a line end.
    const char* last_line_end =
        at_end_ ? data + end_
                : static_cast<const char*>(::memrchr(data + begin, '\n', end_ - begin)) + 1;
    const size_t ahead_end = static_cast<size_t>(last_line_end - data);
    if (simdjson::validate_utf8(data + begin, ahead_end - begin)) {
      checked_end_ = buffer_offset_ + ahead_end;
      return;
    }
    line_by_line_until_ = buffer_offset_ + ahead_end;
  }
  if (!simdjson::validate_utf8(data + begin, end - begin)) {
    throw ValueError(file_ + ":" + std::to_string(lines_) + ": invalid UTF-8");
  }
  checked_end_ = line_end;
}

bool PropsReader::next(PropsSentence& sentence) {
  if (!started_) {
    started_ = true;
    fill(0);
    if (std::string_view(buffer_.get(), end_).starts_with(kByteOrderMark)) {
      begin_ = kByteOrderMark.size();
    }
  }
  constexpr size_t kNone = kNpos;
  size_t sentence_begin = kNone;
  for (size_t line = begin_;;) {
    const char* data = buffer_.get();
    const void* newline = std::memchr(data + line, '\n', end_ - line);
    size_t line_end = newline ? static_cast<size_t>(static_cast<const char*>(newline) - data) : end_;
    if (newline == nullptr && !at_end_) {
      // The line goes on past the bytes read: read more, keeping the sentence so far.
      const size_t keep = sentence_begin == kNone ? line : sentence_begin;
      fill(keep);
      line -= keep;
      if (sentence_begin != kNone) sentence_begin = 0;
      continue;
    }
    if (line == end_) {  // the end of the file
      begin_ = end_;
      if (sentence_begin == kNone) return false;
      sentence = {{data + sentence_begin, end_ - sentence_begin}, sentence.first_line};
      return true;
    }
    ++lines_;
    const size_t next_line = newline ? line_end + 1 : end_;
    check_utf8(line, next_line);
    const bool blank = std::all_of(data + line, data + line_end, is_white_space);
    if (!blank && sentence_begin == kNone) {
      sentence_begin = line;
      sentence.first_line = lines_;
    } else if (blank && sentence_begin != kNone) {
      begin_ = next_line;
      sentence.text = {data + sentence_begin, line - sentence_begin};
      return true;
    }
    line = next_line;
  }
}

Records conll_iterator(const std::string& file) {
  PropsReader reader(file);
  SentenceGatherer gatherer(file);
  PropsSentence sentence;
  while (reader.next(sentence)) gatherer.add_sentence(sentence);
  return gatherer.finish();
}

}  // namespace nlpeval
