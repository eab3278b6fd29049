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
    pending_file_ = std::string(stream_->pending_file());
  } catch (...) {
    failure_ = std::current_exception();
    failed_ = true;
    return;
  }
  filling_.reserve(kBatchRecords);
  writer_ = std::thread([this] { write_batches(); });
}

BadcaseSheet::~BadcaseSheet() { stop_writer(/*abandon=*/true); }

void BadcaseSheet::add(Label2PredData&& record) {
  if (!writer_.joinable() || failed_) return;
  rows_ += record.desc.empty() ? 1 : static_cast<int64_t>(record.desc.size());
  filling_.push_back(std::move(record));
  if (filling_.size() < kBatchRecords) return;
  std::vector<Batch> written;
  {
    std::unique_lock lock(mutex_);
    room_ahead_.wait(lock, [this] { return queue_.size() < kBatchesAhead; });
    queue_.push_back(std::move(filling_));
    written.swap(written_);
  }
  batch_ready_.notify_one();
  filling_ = Batch();
  filling_.reserve(kBatchRecords);
  // `written` is freed here, on the thread that allocated its records: freed by the writing
  // thread, they took a third of its time, and that thread is the one the caller waits for.
}

// Hands over the last batch and waits for the writing thread to end; with `abandon`, it ends
// without writing what is still queued.
void BadcaseSheet::stop_writer(bool abandon) {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    if (!abandon && !filling_.empty()) queue_.push_back(std::move(filling_));
    closing_ = true;
    abandon_ = abandon;
  }
  batch_ready_.notify_one();
  writer_.join();
}

// The writing thread: writes batch after batch in order until the caller closes.
void BadcaseSheet::write_batches() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      batch_ready_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (abandon_ || queue_.empty()) return;
      batch = std::move(queue_.front());
      queue_.pop_front();
    }
    room_ahead_.notify_one();
    for (const Label2PredData& record : batch) write_record(record);
    std::lock_guard lock(mutex_);
    written_.push_back(std::move(batch));
  }
}

void BadcaseSheet::write_record(const Label2PredData& record) {
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
    failed_ = true;
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
}

std::string_view BadcaseSheet::pending_file() const {
  return failed_ ? std::string_view() : std::string_view(pending_file_);
}

void BadcaseSheet::finish() {
  stop_writer(/*abandon=*/false);
  if (failure_) std::rethrow_exception(failure_);
  if (!stream_) throw ValueError("the badcase spreadsheet is already written");
  ExcelWriter::Stream stream = std::move(*stream_);
  stream_.reset();
  pending_file_.clear();
  stream.close();
}

}  // namespace nlpeval
