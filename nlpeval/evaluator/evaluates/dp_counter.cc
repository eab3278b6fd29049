#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"

#include <array>
#include <cstdio>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/evaluates/internal/line_tail.h"

namespace nlpeval::dp {
namespace {

// Gold token lines carry "_" in the last two columns of the ten-column layout.
constexpr std::string_view kTokenMark = "\t_\t_";

// Whether `line` contains "\t_\t_". In the ten-column layout the mark opens the last two
// fields, so look there before scanning the whole line.
bool has_token_mark(std::string_view line, const LineTail& tail) {
  if (tail.fields() >= 3 && line.size() - tail.tab(2) >= kTokenMark.size() &&
      same_key(line.substr(tail.tab(2), kTokenMark.size()), kTokenMark)) {
    return true;
  }
  return line.find(kTokenMark) != std::string_view::npos;
}

// Heads and labels are a few bytes long: a plain loop costs less than a call to memchr.
bool has_underscore(std::string_view text) {
  for (char c : text) {
    if (c == '_') return true;
  }
  return false;
}

// The predicted line of a scored gold line, checked for a head and a label.
LineTail predicted_tail(std::string_view pred, size_t index) {
  LineTail tail(pred);
  if (tail.fields() < 4) {
    throw IndexError("y_pred line " + std::to_string(index + 1) + ": " +
                     field_error(tail, 4, pred));
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

}  // namespace

Hits& LabelTable::add(std::string_view label, size_t index) {
  if (!utf8::is_valid(label)) {
    throw ValueError("y_true line " + std::to_string(index + 1) +
                     ": the relation label is not valid UTF-8");
  }
  labels_.emplace_back(label);
  slot_of_.insert(labels_.back(), labels_.size() - 1);
  return hits_.emplace_back();
}

bool Counter::count(std::string_view gold, const std::string_view* pred, size_t index) {
  LineTail tail(gold);
  // Only token lines name labels; the mark holds two tabs, so the label is there.
  if (!has_token_mark(gold, tail)) return true;
  std::string_view label = tail.field(3);
  if (has_underscore(label)) return true;
  Hits& hits = table_.hits_of(label, index);
  if (tail.fields() <= 4) return true;
  std::string_view head = tail.field(4);
  if (has_underscore(head)) return true;
  if (pred == nullptr) return false;

  LineTail predicted = predicted_tail(*pred, index);
  bool head_right = same_key(head, predicted.field(4));
  bool both_right = head_right && same_key(label, predicted.field(3));
  ++hits.support;
  hits.unlabelled += head_right;
  hits.labelled += both_right;
  ++total_.support;
  total_.unlabelled += head_right;
  total_.labelled += both_right;
  return true;
}

void Counter::add_hits(std::string_view label, const Hits& hits) {
  Hits& counted = table_.hits_of(label, 0);
  counted.support += hits.support;
  counted.unlabelled += hits.unlabelled;
  counted.labelled += hits.labelled;
  total_.support += hits.support;
  total_.unlabelled += hits.unlabelled;
  total_.labelled += hits.labelled;
}

void Counter::merge(const Counter& other) {
  for (size_t slot = 0; slot < other.table_.size(); ++slot) {
    add_hits(other.table_.label(slot), other.table_.hits(slot));
  }
}

DpResult Counter::result() const {
  DpResult result{ratio(total_.unlabelled, total_.support),
                  ratio(total_.labelled, total_.support),
                  {}};
  result.classification.reserve(table_.size());
  for (size_t slot = 0; slot < table_.size(); ++slot) {
    const Hits& hits = table_.hits(slot);
    result.classification.push_back(
        {std::string(table_.label(slot)), ratio(hits.unlabelled, hits.support),
         ratio(hits.labelled, hits.support), static_cast<int64_t>(hits.support)});
  }
  return result;
}

std::string missing_line_message(size_t index, size_t true_lines, size_t pred_lines) {
  return "y_pred has no line " + std::to_string(index + 1) + " (y_true has " +
         std::to_string(true_lines) + " lines, y_pred " + std::to_string(pred_lines) + ")";
}

std::string format_table(const DpResult& result) {
  std::string out = "UAS: ";
  append_fixed3(out, result.UAS);
  out += "\tLAS: ";
  append_fixed3(out, result.LAS);
  out += "\n\tUAS\tLAS\tsupport\n";
  for (const DpLabelScore& score : result.classification) {
    out += score.item;
    out += '\t';
    append_fixed3(out, score.uas);
    out += '\t';
    append_fixed3(out, score.las);
    out += '\t';
    out += std::to_string(score.support);
    out += '\n';
  }
  return out;
}

}  // namespace nlpeval::dp
