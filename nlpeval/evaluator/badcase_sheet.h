#ifndef NLPEVAL_EVALUATOR_BADCASE_SHEET_H_
#define NLPEVAL_EVALUATOR_BADCASE_SHEET_H_

// The badcase spreadsheet of one task: one row per Desc of each badcase record, under the
// task's columns. Written record by record as the miner produces them, so that a million
// records never sit in memory together.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "nlpeval/core/value.h"
#include "nlpeval/data/excel_writer.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// The columns of each task type between "index" and "text"; each is also the name of the
// Desc field shown in it. "ner" shows the entity counts too when an entity-count file was
// named. Throws KeyError for a type without columns.
const std::vector<std::string>& type2head(std::string_view type_, bool with_entity_counts);

// Rows go to the file as records are added, on a thread of the sheet's own: the caller goes on
// mining while the rows before are formatted and written, and at most a few batches of
// records wait in between. A failure (the file cannot be written, a Desc lacks a column's
// field) is held back until finish(): the spreadsheet is the last thing an evaluation writes,
// after the scores were printed, and nothing of it is left behind then.
class BadcaseSheet {
 public:
  // Throws KeyError for a type without columns; everything else waits for finish().
  BadcaseSheet(std::string_view type_, const std::string& badcase_file, bool is_merge,
               bool with_entity_counts);
  // Without finish(), stops the writing and removes what was written.
  ~BadcaseSheet();
  BadcaseSheet(const BadcaseSheet&) = delete;
  BadcaseSheet& operator=(const BadcaseSheet&) = delete;

  // Adds the record's rows: one per Desc (index, the Desc's fields under the columns, text),
  // or one of "无" when it has no Desc.
  void add(Label2PredData&& record);
  void add(const Label2PredData& record) { add(Label2PredData(record)); }

  // Writes the file, or throws the first failure: FileError for the file, AttributeError
  // for a Desc without a column's field.
  void finish();

  // Rows made so far (some may still wait to be written), and the temporary file they go to
  // (empty once finished or failed).
  int64_t rows() const { return rows_; }
  std::string_view pending_file() const;

 private:
  static constexpr size_t kBatchRecords = 256;
  static constexpr size_t kBatchesAhead = 4;

  // A record as its rows show it: the index and text as cell values, and the Descs.
  struct RecordCells {
    Value index;
    Value text;
    std::vector<Desc> desc;
  };

  // Records with their rows laid out by the caller, so that the writing thread only writes:
  // `cells` holds the rows one after another, each a pointer per column to a value in
  // `records`. `records` is reserved up front and never grows past it, so those pointers
  // hold until the batch is freed. A Desc without a column's field ends the batch: its
  // `failure` is raised where that row would have been written.
  struct Batch {
    std::vector<RecordCells> records;
    std::vector<const Value*> cells;
    std::exception_ptr failure;
  };

  void start_writer();
  void stop_writer(bool abandon);
  void write_batches();
  void write_batch(const Batch& batch);
  void lay_out(RecordCells& record);
  void hand_over_filled_batch();
  void start_filling();

  const std::vector<std::string>& columns_;
  size_t row_width_;  // index, the columns, text
  std::optional<ExcelWriter::Stream> stream_;  // the writing thread's while it runs
  std::exception_ptr failure_;                 // likewise
  std::string pending_file_;
  std::atomic<bool> failed_ = false;
  int64_t rows_ = 0;

  Batch filling_;  // the caller's
  bool layout_failed_ = false;  // the caller's: a Desc lacked a field, no more rows are made

  // Shared with the writing thread, under `mutex_`.
  std::mutex mutex_;
  std::condition_variable batch_ready_;  // to the writer: a batch, or the end, has come
  std::condition_variable room_ahead_;   // to the caller: a batch was taken
  std::deque<Batch> queue_;              // at most kBatchesAhead
  std::vector<Batch> written_;           // written, for the caller to free
  bool closing_ = false;                 // no more batches will come
  bool abandon_ = false;                 // stop without writing what is queued
  std::thread writer_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_SHEET_H_
