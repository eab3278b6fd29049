#include "nlpeval/evaluator/badcase_sheet.h"

#include <utility>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

std::vector<std::string> excel_head_of(const std::vector<std::string>& columns) {
  std::vector<std::string> excel_head = {"index"};
  excel_head.insert(excel_head.end(), columns.begin(), columns.end());
  excel_head.emplace_back("text");
  return excel_head;
}

}  // namespace

const std::vector<std::string>& type2head(std::string_view type_, bool with_entity_counts) {
  static const std::vector<std::pair<std::string_view, std::vector<std::string>>> table = {
      {"event", {"label_type", "label_desc", "pred_type", "pred_desc", "is_right", "other"}},
      {"relation",
       {"head_entity", "tail_entity", "tag", "label_desc", "pred_desc", "is_right", "error_type"}},
      {"attribute", {"entity", "value", "tag", "label_desc", "pred_desc", "is_right"}},
      {"ner", {"true_text", "pred_text", "true_label", "pred_label", "is_right", "error_type"}},
      {"pos", {"true_text", "pred_text", "true_label", "pred_label", "is_right", "error_type"}},
      {"cws", {"true_text", "pred_text", "is_right", "error_type"}},
  };
  static const std::vector<std::string> ner_with_counts = {"true_text",  "true_count", "pred_text",
                                                           "pred_count", "true_label", "pred_label",
                                                           "is_right",   "error_type"};
  if (type_ == "ner" && with_entity_counts) return ner_with_counts;
  for (const auto& [type, columns] : table) {
    if (type == type_) return columns;
  }
  throw KeyError(std::string(type_), "no badcase spreadsheet columns for this task type");
}

BadcaseSheet::BadcaseSheet(std::string_view type_, const std::string& badcase_file, bool is_merge,
                           bool with_entity_counts)
    : columns_(type2head(type_, with_entity_counts)) {
  try {
    stream_.emplace(ExcelWriter().open(excel_head_of(columns_), badcase_file, is_merge));
  } catch (...) {
    failure_ = std::current_exception();
  }
}

void BadcaseSheet::add(const Label2PredData& record) {
  if (!stream_) return;
  try {
    index_ = record.index;
    text_ = record.text;
    if (record.desc.empty()) {
      static const Value kNothing("无");
      add_row([](const std::string&) -> const Value& { return kNothing; });
      return;
    }
    for (const Desc& desc : record.desc) {
      add_row([&](const std::string& column) -> const Value& { return desc.get(column); });
    }
  } catch (...) {
    failure_ = std::current_exception();
    stream_.reset();  // removes what was written
  }
}

template <typename CellOf>
void BadcaseSheet::add_row(const CellOf& cell_of) {
  row_.clear();
  row_.push_back(&index_);
  for (const std::string& column : columns_) row_.push_back(&cell_of(column));
  row_.push_back(&text_);
  stream_->add_row(row_);
  ++rows_;
}

std::string_view BadcaseSheet::pending_file() const {
  return stream_ ? stream_->pending_file() : std::string_view();
}

void BadcaseSheet::finish() {
  if (failure_) std::rethrow_exception(failure_);
  if (!stream_) throw ValueError("the badcase spreadsheet is already written");
  ExcelWriter::Stream stream = std::move(*stream_);
  stream_.reset();
  stream.close();
}

}  // namespace nlpeval
