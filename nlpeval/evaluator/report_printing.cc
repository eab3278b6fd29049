// Printing scores: the three averages and the classification report, its per-label rows
// sorted by support.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/text.h"
#include "nlpeval/evaluator/evaluator.h"

#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"

namespace nlpeval {
namespace {

// The last white-space-separated token of a report row, read as a number.
double support_of(std::string_view row) {
  constexpr std::string_view kSpace = " \t\n\r\f\v";
  size_t end = row.find_last_not_of(kSpace);
  if (end == std::string_view::npos) {
    throw ValueError("classification report row without a support: '" + std::string(row) + "'");
  }
  size_t begin = row.find_last_of(kSpace, end);
  begin = begin == std::string_view::npos ? 0 : begin + 1;
  std::string_view token = row.substr(begin, end - begin + 1);
  // A decimal number may carry its sign, as Python's float() reads it; from_chars takes "-" only.
  if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
  double value = 0.0;
  auto [stop, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || stop != token.data() + token.size() || std::isnan(value)) {
    throw ValueError("classification report row whose support is not a number: '" +
                     std::string(row) + "'");
  }
  return value;
}

// Sorts the per-label block (the second of the "\n\n"-separated blocks) by support, largest
// first, keeping the order of equal supports; a report of two blocks or fewer is unchanged.
std::string sort_report_by_support(const std::string& report) {
  std::vector<std::string_view> blocks = split(report, "\n\n");
  if (blocks.size() <= 2) return report;
  std::vector<std::string_view> rows = split(blocks[1], "\n");
  std::vector<std::pair<double, std::string_view>> keyed;
  keyed.reserve(rows.size());
  for (std::string_view row : rows) keyed.emplace_back(support_of(row), row);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::string sorted(blocks[0]);
  sorted += "\n\n";
  for (size_t i = 0; i < keyed.size(); ++i) {
    if (i > 0) sorted += '\n';
    sorted += keyed[i].second;
  }
  sorted += "\n\n";
  sorted += blocks[2];
  return sorted;
}

const nlohmann::ordered_json& value_at(const nlohmann::ordered_json& score_json, const char* key) {
  auto found = score_json.find(key);
  if (found == score_json.end()) throw KeyError(key);
  return *found;
}

double as_number(const nlohmann::ordered_json& value, const char* key) {
  if (!value.is_number()) {
    throw TypeError(std::string(key) + ": expected number, got " + value.type_name());
  }
  return value.get<double>();
}

// As "%.3f" prints in Python: "nan" has no sign there.
std::string format_3f(double value) {
  if (std::isnan(value)) return "nan";
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

}  // namespace

void print_evaluate(const nlohmann::ordered_json& score_json) {
  if (!score_json.is_object()) {
    throw TypeError(std::string("score_json: expected object, got ") + score_json.type_name());
  }
  // Every key is looked up before any value is checked: a missing key is named first.
  const nlohmann::ordered_json& precision_value = value_at(score_json, "precision");
  const nlohmann::ordered_json& recall_value = value_at(score_json, "recall");
  const nlohmann::ordered_json& f1_value = value_at(score_json, "f1");
  const nlohmann::ordered_json& report = value_at(score_json, "classification_report");
  double precision = as_number(precision_value, "precision");
  double recall = as_number(recall_value, "recall");
  double f1 = as_number(f1_value, "f1");
  if (!report.is_string()) {
    throw TypeError(std::string("classification_report: expected string, got ") +
                    report.type_name());
  }
  const std::string& text = report.get_ref<const std::string&>();
  std::string sorted = text.empty() ? text : sort_report_by_support(text);
  std::cout << "precision: " << format_3f(precision) << "\trecall: " << format_3f(recall)
            << "\tf1: " << format_3f(f1) << "\n"
            << sorted << "\n";
}

void print_evaluate(const ScoreResult& score) { print_evaluate(score.to_json()); }

void print_result(const EvaluateResult& result) {
  if (const auto* score = std::get_if<ScoreResult>(&result)) {
    print_evaluate(*score);
  } else if (const auto* heads = std::get_if<DpResult>(&result)) {
    std::cout << dp::format_table(*heads);
  } else {
    std::cout << std::get<std::string>(result) << '\n';
  }
}

}  // namespace nlpeval
