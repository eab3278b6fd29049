#include "nlpeval/evaluator/evaluates/dp_score.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unordered_map>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/core/text.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

constexpr size_t kNpos = std::string_view::npos;

// Gold token lines carry "_" in the last two columns of the ten-column layout.
constexpr std::string_view kTokenMark = "\t_\t_";

// read_conll reads files in pieces of this size and reserves a line per kLineBytesGuess.
constexpr size_t kPieceBytes = 1 << 18;
constexpr size_t kLineBytesGuess = 32;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------------------
// Reading files

// Cuts text that arrives in pieces into lines ending with "\n", turning "\r\n" and a lone
// "\r" into "\n", and checks each line for valid UTF-8. Reading piece by piece keeps the
// whole file out of memory beside its lines.
class LineCutter {
 public:
  LineCutter(const std::string& path, size_t expected_lines) : path_(path) {
    lines_.reserve(expected_lines);
  }

  void feed(std::string_view piece) {
    size_t start = 0;
    if (after_cr_ && !piece.empty()) {
      start = piece.front() == '\n';  // the second half of a "\r\n" split between pieces
      after_cr_ = false;
    }
    bool has_cr = piece.find('\r', start) != kNpos;
    while (start < piece.size()) {
      size_t end = has_cr ? piece.find_first_of("\r\n", start) : piece.find('\n', start);
      if (end == kNpos) {
        partial_.append(piece.substr(start));
        return;
      }
      add_line(piece.substr(start, end - start), true);
      if (piece[end] == '\r') {
        if (end + 1 == piece.size()) {
          after_cr_ = true;
        } else if (piece[end + 1] == '\n') {
          ++end;
        }
      }
      start = end + 1;
    }
  }

  // The lines, the last one without "\n" when the text does not end with a line end.
  ConllLines finish() {
    if (!partial_.empty()) add_line({}, false);
    return std::move(lines_);
  }

 private:
  // Adds the line made of `partial_` and `rest`.
  void add_line(std::string_view rest, bool line_end) {
    std::string line;
    line.reserve(partial_.size() + rest.size() + line_end);
    line.append(partial_).append(rest);
    if (line_end) line += '\n';
    partial_.clear();
    if (!utf8::is_valid(line)) {
      throw ValueError("'" + path_ + "' line " + std::to_string(lines_.size() + 1) +
                       ": invalid UTF-8");
    }
    lines_.push_back(std::move(line));
  }

  const std::string& path_;
  ConllLines lines_;
  std::string partial_;    // the start of a line that goes on in the next piece
  bool after_cr_ = false;  // the last piece ended with "\r"
};

// ---------------------------------------------------------------------------------------
// Fields counted from the end of a line

// The tabs that end the last fields of a line, found with one backward scan: field(1)
// would be the last field, field(3) the relation label, field(4) the head. Knows whether
// the line has more than 4 fields without splitting the rest of it.
class LineTail {
 public:
  explicit LineTail(std::string_view line) : line_(line) {
    size_t end = line.size();
    while (tabs_ < kMaxTabs && end > 0) {
      size_t tab = line.rfind('\t', end - 1);
      if (tab == kNpos) break;
      tab_[tabs_++] = tab;
      end = tab;
    }
  }

  // The number of fields, counting no further than 5.
  int fields() const { return tabs_ + 1; }

  // The tab that opens the n-th field from the end; needs 1 <= n < fields().
  size_t tab(int n) const { return tab_[n - 1]; }

  // The n-th field from the end; needs 2 <= n <= min(fields(), 4).
  std::string_view field(int n) const {
    size_t end = tab_[n - 2];
    size_t begin = n - 1 < tabs_ ? tab_[n - 1] + 1 : 0;
    return line_.substr(begin, end - begin);
  }

 private:
  static constexpr int kMaxTabs = 4;

  std::string_view line_;
  std::array<size_t, kMaxTabs> tab_{};
  int tabs_ = 0;
};

// Whether `line` contains "\t_\t_". In the ten-column layout the mark opens the last two
// fields, so look there before scanning the whole line.
bool has_token_mark(std::string_view line, const LineTail& tail) {
  if (tail.fields() >= 3 && line.compare(tail.tab(2), kTokenMark.size(), kTokenMark) == 0) {
    return true;
  }
  return line.find(kTokenMark) != kNpos;
}

bool has_underscore(std::string_view text) { return text.find('_') != kNpos; }

std::string_view without_line_feed(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

std::string field_error(const LineTail& tail, int needed, std::string_view line) {
  return "the line has " + std::to_string(tail.fields()) +
         " tab-separated field(s), needs at least " + std::to_string(needed) + ": " +
         quoted_excerpt(without_line_feed(line));
}

void check_fields(const LineTail& tail, int needed, std::string_view token, const char* what) {
  if (tail.fields() < needed) {
    throw IndexError(std::string(what) + ": " + field_error(tail, needed, token));
  }
}

// ---------------------------------------------------------------------------------------
// Scoring

struct Hits {
  size_t support = 0;  // scored lines
  size_t unlabelled = 0;
  size_t labelled = 0;
};

// The relation labels in order of first appearance, each with its counters. The views
// point into the gold lines, which outlive the table.
class LabelTable {
 public:
  // The counters of `label`, first seen on the gold line at `index`. Labels reach the result
  // and its JSON form, so each new one is checked for valid UTF-8.
  Hits& hits_of(std::string_view label, size_t index) {
    auto [slot, inserted] = slot_of_.try_emplace(label, labels_.size());
    if (inserted) {
      if (!utf8::is_valid(label)) {
        slot_of_.erase(slot);
        throw ValueError("y_true line " + std::to_string(index + 1) +
                         ": the relation label is not valid UTF-8");
      }
      labels_.push_back(label);
      hits_.emplace_back();
    }
    return hits_[slot->second];
  }

  size_t size() const { return labels_.size(); }
  std::string_view label(size_t slot) const { return labels_[slot]; }
  const Hits& hits(size_t slot) const { return hits_[slot]; }

 private:
  std::unordered_map<std::string_view, size_t> slot_of_;
  std::vector<std::string_view> labels_;
  std::vector<Hits> hits_;
};

// The predicted line for the scored gold line at `index`, checked for a head and a label.
LineTail predicted_tail(const ConllLines& y_true, const ConllLines& y_pred, size_t index) {
  if (index >= y_pred.size()) {
    throw IndexError("y_pred has no line " + std::to_string(index + 1) + " (y_true has " +
                     std::to_string(y_true.size()) + " lines, y_pred " +
                     std::to_string(y_pred.size()) + ")");
  }
  LineTail tail(y_pred[index]);
  if (tail.fields() < 4) {
    throw IndexError("y_pred line " + std::to_string(index + 1) + ": " +
                     field_error(tail, 4, y_pred[index]));
  }
  return tail;
}

// A share over no line is 0.0, so labels and inputs without scored lines still report.
double ratio(size_t hits, size_t total) {
  return total == 0 ? 0.0 : static_cast<double>(hits) / static_cast<double>(total);
}

void append_fixed3(std::string& out, double value) {
  std::array<char, 32> text;
  int length = std::snprintf(text.data(), text.size(), "%.3f", value);
  out.append(text.data(), static_cast<size_t>(length));
}

std::string format_table(const DpResult& result, const LabelTable& table) {
  std::string out = "UAS: ";
  append_fixed3(out, result.UAS);
  out += "\tLAS: ";
  append_fixed3(out, result.LAS);
  out += "\n\tUAS\tLAS\tsupport\n";
  for (size_t slot = 0; slot < table.size(); ++slot) {
    const DpLabelScore& score = result.classification[slot];
    out += score.item;
    out += '\t';
    append_fixed3(out, score.uas);
    out += '\t';
    append_fixed3(out, score.las);
    out += '\t';
    out += std::to_string(table.hits(slot).support);
    out += '\n';
  }
  return out;
}

}  // namespace

nlohmann::ordered_json DpResult::to_json() const {
  nlohmann::ordered_json labels = nlohmann::ordered_json::array();
  for (const DpLabelScore& score : classification) {
    labels.push_back(
        {{"item", score.item}, {"uas", score.uas}, {"las", score.las}, {"support", score.support}});
  }
  nlohmann::ordered_json json;
  json["UAS"] = UAS;
  json["LAS"] = LAS;
  json["classification"] = std::move(labels);
  return json;
}

ConllLines read_conll(const std::string& input_file) {
  files::FilePtr in = files::open_for_reading(input_file);
  // Token lines run to 40 bytes and more, so the list rarely grows again; slots never
  // used take address space, not memory.
  std::error_code ignored;
  auto size = std::filesystem::file_size(input_file, ignored);
  LineCutter cutter(input_file, ignored ? 0 : size / kLineBytesGuess);
  std::vector<char> piece(kPieceBytes);
  bool first_piece = true;
  for (;;) {
    const size_t got = files::read_some(in.get(), input_file, piece.data(), piece.size());
    if (got == 0) break;
    std::string_view text(piece.data(), got);
    // A byte order mark is no part of the first line (a piece holds far more than 3 bytes).
    if (first_piece && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    first_piece = false;
    cutter.feed(text);
  }
  return cutter.finish();
}

std::string_view get_head(std::string_view token) {
  LineTail tail(token);
  check_fields(tail, 4, token, "get_head");
  return tail.field(4);
}

std::string_view get_dep(std::string_view token) {
  LineTail tail(token);
  check_fields(tail, 3, token, "get_dep");
  return tail.field(3);
}

DpResult dp_score(const ConllLines& y_true, const ConllLines& y_pred, bool do_print) {
  LabelTable table;
  Hits total;
  for (size_t i = 0; i < y_true.size(); ++i) {
    std::string_view gold = y_true[i];
    LineTail tail(gold);
    // Only token lines name labels; the mark holds two tabs, so the label is there.
    if (!has_token_mark(gold, tail)) continue;
    std::string_view label = tail.field(3);
    if (has_underscore(label)) continue;
    Hits& hits = table.hits_of(label, i);
    if (tail.fields() <= 4) continue;
    std::string_view head = tail.field(4);
    if (has_underscore(head)) continue;

    LineTail pred = predicted_tail(y_true, y_pred, i);
    bool head_right = head == pred.field(4);
    bool both_right = head_right && label == pred.field(3);
    ++hits.support;
    hits.unlabelled += head_right;
    hits.labelled += both_right;
    ++total.support;
    total.unlabelled += head_right;
    total.labelled += both_right;
  }

  DpResult result{ratio(total.unlabelled, total.support), ratio(total.labelled, total.support), {}};
  result.classification.reserve(table.size());
  for (size_t slot = 0; slot < table.size(); ++slot) {
    const Hits& hits = table.hits(slot);
    result.classification.push_back(
        {std::string(table.label(slot)), ratio(hits.unlabelled, hits.support),
         ratio(hits.labelled, hits.support), static_cast<int64_t>(hits.support)});
  }
  if (do_print) std::cout << format_table(result, table);
  return result;
}

}  // namespace nlpeval
