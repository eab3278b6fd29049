#include "nlpeval/metrics/report.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "nlpeval/core/utf8.h"

namespace nlpeval::metrics {
namespace {

constexpr size_t kCellWidth = 9;
constexpr std::string_view kLongestAverageName = "weighted avg";

// Right-aligns `text` in `width` code points (printf pads by bytes, which misaligns CJK).
void append_right_aligned(std::string& out, std::string_view text, size_t width) {
  size_t length = utf8::length(text);
  if (length < width) out.append(width - length, ' ');
  out.append(text);
}

void append_value(std::string& out, double value, int digits) {
  char cell[64];
  std::snprintf(cell, sizeof cell, "%.*f", digits, value);
  out += ' ';
  append_right_aligned(out, cell, kCellWidth);
}

// `average` tells an average row from a label row: only the former may be the accuracy row,
// so a label that happens to be named "accuracy" keeps its values.
void append_row(std::string& out, const ReportRow& row, size_t name_width, int digits,
                bool average) {
  append_right_aligned(out, row.name, name_width);
  out += ' ';
  if (average && row.name == "accuracy") {
    out.append(2 * (1 + kCellWidth), ' ');
  } else {
    append_value(out, row.precision, digits);
    append_value(out, row.recall, digits);
  }
  append_value(out, row.f1, digits);
  out += ' ';
  append_right_aligned(out, std::to_string(row.support), kCellWidth);
  out += '\n';
}

}  // namespace

std::string format_report(const std::vector<ReportRow>& labels,
                          const std::vector<ReportRow>& averages, int digits) {
  digits = std::clamp(digits, 0, 40);
  size_t name_width = std::max(kLongestAverageName.size(), static_cast<size_t>(digits));
  for (const ReportRow& row : labels) name_width = std::max(name_width, utf8::length(row.name));

  std::string out;
  out.append(name_width, ' ');
  out += ' ';
  for (std::string_view heading : {"precision", "recall", "f1-score", "support"}) {
    out += ' ';
    append_right_aligned(out, heading, kCellWidth);
  }
  out += "\n\n";
  for (const ReportRow& row : labels) append_row(out, row, name_width, digits, false);
  out += '\n';
  for (const ReportRow& row : averages) append_row(out, row, name_width, digits, true);
  return out;
}

std::vector<LabelScore> label_scores(const ReportRows& rows) {
  std::vector<LabelScore> scores;
  scores.reserve(rows.labels.size());
  for (const ReportRow& row : rows.labels) {
    scores.push_back({row.name, row.precision, row.recall, row.f1, row.support});
  }
  return scores;
}

std::string format_report(const ReportRows& rows, int digits) {
  return format_report(rows.labels, rows.averages, digits);
}

double pairwise_sum(std::span<const double> values) {
  constexpr size_t kBlock = 128;
  if (values.size() < 8) {
    double sum = 0.0;
    for (double value : values) sum += value;
    return sum;
  }
  if (values.size() <= kBlock) {
    double partial[8];
    std::copy_n(values.begin(), 8, partial);
    size_t i = 8;
    for (; i + 8 <= values.size(); i += 8) {
      for (size_t j = 0; j < 8; ++j) partial[j] += values[i + j];
    }
    double sum = ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
                 ((partial[4] + partial[5]) + (partial[6] + partial[7]));
    for (; i < values.size(); ++i) sum += values[i];
    return sum;
  }
  size_t half = values.size() / 2;
  half -= half % 8;
  return pairwise_sum(values.first(half)) + pairwise_sum(values.subspan(half));
}

}  // namespace nlpeval::metrics
