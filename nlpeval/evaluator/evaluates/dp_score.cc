#include "nlpeval/evaluator/evaluates/dp_score.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/internal/conll_line_reader.h"
#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"
#include "nlpeval/evaluator/evaluates/internal/line_tail.h"

namespace nlpeval {
namespace {

// read_conll reserves a line per kLineBytesGuess bytes of the file.
constexpr size_t kLineBytesGuess = 32;

void check_fields(const dp::LineTail& tail, int needed, std::string_view token,
                  const char* what) {
  if (tail.fields() < needed) {
    throw IndexError(std::string(what) + ": " + dp::field_error(tail, needed, token));
  }
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
  dp::ConllLineReader reader(input_file);
  ConllLines lines;
  // Token lines run to 40 bytes and more, so the list rarely grows again; slots never
  // used take address space, not memory.
  std::error_code ignored;
  const auto size = std::filesystem::file_size(input_file, ignored);
  if (!ignored) lines.reserve(size / kLineBytesGuess);
  for (auto batch = reader.next_batch(); !batch.empty(); batch = reader.next_batch()) {
    for (std::string_view line : batch) {
      std::string& kept = lines.emplace_back();
      kept.reserve(line.size() + 1);
      kept.append(line) += '\n';
    }
  }
  if (!reader.last_line_ended()) lines.back().pop_back();
  return lines;
}

std::string_view get_head(std::string_view token) {
  dp::LineTail tail(token);
  check_fields(tail, 4, token, "get_head");
  return tail.field(4);
}

std::string_view get_dep(std::string_view token) {
  dp::LineTail tail(token);
  check_fields(tail, 3, token, "get_dep");
  return tail.field(3);
}

dp::Counter dp::count_lines(const ConllLines& y_true, const ConllLines& y_pred) {
  dp::Counter counter;
  for (size_t i = 0; i < y_true.size(); ++i) {
    const std::string_view pred = i < y_pred.size() ? std::string_view(y_pred[i]) : "";
    if (!counter.count(y_true[i], i < y_pred.size() ? &pred : nullptr, i)) {
      throw IndexError(dp::missing_line_message(i, y_true.size(), y_pred.size()));
    }
  }
  return counter;
}

DpResult dp_score(const ConllLines& y_true, const ConllLines& y_pred, bool do_print) {
  DpResult result = dp::count_lines(y_true, y_pred).result();
  if (do_print) std::cout << dp::format_table(result);
  return result;
}

}  // namespace nlpeval
