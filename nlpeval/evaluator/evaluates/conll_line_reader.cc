#include "nlpeval/evaluator/evaluates/internal/conll_line_reader.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval::dp {
namespace {

// Large enough that reading costs few calls, small enough that a chunk is still in the cache
// while its lines are scored.
constexpr size_t kChunkBytes = size_t{256} << 10;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

ConllLineReader::ConllLineReader(std::string path)
    : path_(std::move(path)),
      file_(files::open_for_reading(path_)),
      buffer_(new char[kChunkBytes]),
      capacity_(kChunkBytes) {}

std::span<const std::string_view> ConllLineReader::next_batch() {
  batch_.clear();
  while (batch_.empty() && !(at_end_ && begin_ == end_)) {
    if (!at_end_) at_end_ = !fill();
    cut_lines();
  }
  check_utf8();
  lines_read_ += batch_.size();
  return batch_;
}

bool ConllLineReader::fill() {
  // The start of a line that goes on in the bytes still to read moves to the front.
  const size_t rest = end_ - begin_;
  if (begin_ > 0) std::memmove(buffer_.get(), buffer_.get() + begin_, rest);
  begin_ = 0;
  end_ = rest;
  if (end_ == capacity_) {  // a line longer than the buffer
    std::unique_ptr<char[]> larger(new char[2 * capacity_]);
    std::memcpy(larger.get(), buffer_.get(), end_);
    buffer_ = std::move(larger);
    capacity_ *= 2;
  }
  char* fresh = buffer_.get() + end_;
  const size_t got = files::read_some(file_.get(), path_, fresh, capacity_ - end_);
  if (got == 0) return false;
  end_ += got;
  // A byte order mark is no part of the first line (the first read holds far more than 3
  // bytes unless the file is shorter).
  if (at_start_ && std::string_view(fresh, got).starts_with(kByteOrderMark)) {
    begin_ = kByteOrderMark.size();
  }
  at_start_ = false;
  // Files with "\r" line ends are rare: once one is seen, lines are cut the slower way.
  has_cr_ = has_cr_ || std::memchr(fresh, '\r', got) != nullptr;
  return true;
}

void ConllLineReader::cut_lines() {
  const char* data = buffer_.get();
  size_t start = begin_;
  if (!has_cr_) {
    while (const void* found = std::memchr(data + start, '\n', end_ - start)) {
      const size_t end = static_cast<size_t>(static_cast<const char*>(found) - data);
      batch_.emplace_back(data + start, end - start);
      start = end + 1;
    }
  } else {
    const std::string_view text(data, end_);
    while (start < end_) {
      const size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) break;
      // A "\r" at the end of the bytes read may be the first half of a "\r\n".
      if (text[end] == '\r' && end + 1 == end_ && !at_end_) break;
      batch_.emplace_back(data + start, end - start);
      start = end + 1;
      if (text[end] == '\r' && start < end_ && text[start] == '\n') ++start;
    }
  }
  if (at_end_ && start < end_) {  // the last line, which has no line end
    batch_.emplace_back(data + start, end_ - start);
    start = end_;
    last_line_ended_ = false;
  }
  begin_ = start;
}

void ConllLineReader::check_utf8() const {
  if (batch_.empty()) return;
  // The lines lie one after the other, apart by their line ends: one fast pass checks them
  // all, and only a batch that fails is checked line by line to name the line.
  const char* first = batch_.front().data();
  const char* last = batch_.back().data() + batch_.back().size();
  if (simdjson::validate_utf8(first, static_cast<size_t>(last - first))) return;
  for (size_t i = 0; i < batch_.size(); ++i) {
    if (!utf8::is_valid(batch_[i])) {
      throw ValueError("'" + path_ + "' line " + std::to_string(lines_read_ + i + 1) +
                       ": invalid UTF-8");
    }
  }
}

}  // namespace nlpeval::dp
