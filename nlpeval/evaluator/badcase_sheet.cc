#include "nlpeval/evaluator/badcase_sheet.h"

#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/tasks/task.h"

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
  const TaskDescriptor* task = find_task(type_);
  if (task == nullptr || !task->mines_badcases()) {
    throw KeyError(std::string(type_), "no badcase spreadsheet columns for this task type");
  }
  if (with_entity_counts && task->takes_entity_counts()) return task->counted_columns;
  return task->columns;
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
