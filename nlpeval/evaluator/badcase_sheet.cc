#include "nlpeval/evaluator/badcase_sheet.h"

#include <span>
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
    : columns_(type2head(type_, with_entity_counts)), row_width_(columns_.size() + 2) {
  try {
    stream_.emplace(ExcelWriter().open(excel_head_of(columns_), badcase_file, is_merge));
    pending_file_ = std::string(stream_->pending_file());
  } catch (...) {
    failure_ = std::current_exception();
    failed_ = true;
    return;
  }
  start_filling();
  writer_ = std::thread([this] { write_batches(); });
}

BadcaseSheet::~BadcaseSheet() { stop_writer(/*abandon=*/true); }

void BadcaseSheet::add(Label2PredData&& record) {
  // After a Desc lacked a field, nothing more is laid out: the sheet will not be written.
  if (!writer_.joinable() || failed_ || layout_failed_) return;
  rows_ += record.desc.empty() ? 1 : static_cast<int64_t>(record.desc.size());
  RecordCells& cells = filling_.records.emplace_back(
      RecordCells{Value(record.index), Value(std::move(record.text)), std::move(record.desc)});
  lay_out(cells);
  if (filling_.records.size() == kBatchRecords) hand_over_filled_batch();
}

// Appends the record's rows to the cells of the batch being filled: one per Desc, or one of
// "无" when it has none.
void BadcaseSheet::lay_out(RecordCells& record) {
  static const Value kNothing("无");
  std::vector<const Value*>& cells = filling_.cells;
  const size_t first_row_cells = cells.size();
  auto add_row = [&](const auto& cell_of) {
    cells.push_back(&record.index);
    for (const std::string& column : columns_) cells.push_back(&cell_of(column));
    cells.push_back(&record.text);
  };
  try {
    if (record.desc.empty()) {
      add_row([](const std::string&) -> const Value& { return kNothing; });
      return;
    }
    for (const Desc& desc : record.desc) {
      add_row([&](const std::string& column) -> const Value& { return desc.get(column); });
    }
  } catch (...) {
    // The rows before this one are still written, then the failure is raised, as if the
    // writing thread had looked the field up.
    cells.resize(first_row_cells + (cells.size() - first_row_cells) / row_width_ * row_width_);
    filling_.failure = std::current_exception();
    layout_failed_ = true;
    hand_over_filled_batch();
  }
}

void BadcaseSheet::hand_over_filled_batch() {
  std::vector<Batch> written;
  {
    std::unique_lock lock(mutex_);
    room_ahead_.wait(lock, [this] { return queue_.size() < kBatchesAhead; });
    queue_.push_back(std::move(filling_));
    written.swap(written_);
  }
  batch_ready_.notify_one();
  start_filling();
  // `written` is freed here, on the thread that allocated its records: freed by the writing
  // thread, they took a third of its time, and that thread is the one the caller waits for.
}

void BadcaseSheet::start_filling() {
  filling_ = Batch();
  filling_.records.reserve(kBatchRecords);  // never to grow: the cells point into it
}

// Hands over the last batch and waits for the writing thread to end; with `abandon`, it ends
// without writing what is still queued.
void BadcaseSheet::stop_writer(bool abandon) {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    if (!abandon && !filling_.records.empty()) queue_.push_back(std::move(filling_));
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
    write_batch(batch);
    std::lock_guard lock(mutex_);
    written_.push_back(std::move(batch));
  }
}

void BadcaseSheet::write_batch(const Batch& batch) {
  if (!stream_) return;
  try {
    const std::span<const Value* const> cells(batch.cells);
    for (size_t at = 0; at < cells.size(); at += row_width_) {
      stream_->add_row(cells.subspan(at, row_width_));
    }
    if (batch.failure) std::rethrow_exception(batch.failure);
  } catch (...) {
    failure_ = std::current_exception();
    failed_ = true;
    stream_.reset();  // removes what was written
  }
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
