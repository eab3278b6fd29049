#ifndef NLPEVAL_EVALUATOR_BADCASE_SHEET_H_
#define NLPEVAL_EVALUATOR_BADCASE_SHEET_H_

// The badcase spreadsheet of one task: one row per Desc of each badcase record, under the
// task's columns. Written record by record as the miner produces them, so that a million
// records never sit in memory together.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/value.h"
#include "nlpeval/data/excel_writer.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// The columns of each task type between "index" and "text"; each is also the name of the
// Desc field shown in it. "ner" shows the entity counts too when an entity-count file was
// named. Throws KeyError for a type without columns.
const std::vector<std::string>& type2head(std::string_view type_, bool with_entity_counts);

// Rows go to the file as records are added. A failure (the file cannot be written, a Desc
// lacks a column's field) is held back until finish(): the spreadsheet is the last thing an
// evaluation writes, after the scores were printed, and nothing of it is left behind then.
class BadcaseSheet {
 public:
  // Throws KeyError for a type without columns; everything else waits for finish().
  BadcaseSheet(std::string_view type_, const std::string& badcase_file, bool is_merge,
               bool with_entity_counts);

  // Adds the record's rows: one per Desc (index, the Desc's fields under the columns, text),
  // or one of "无" when it has no Desc.
  void add(const Label2PredData& record);

  // Writes the file, or throws the first failure: FileError for the file, AttributeError
  // for a Desc without a column's field.
  void finish();

  // Rows made so far, and the temporary file they go to (empty once finished or failed).
  int64_t rows() const { return rows_; }
  std::string_view pending_file() const;

 private:
  template <typename CellOf>
  void add_row(const CellOf& cell_of);

  const std::vector<std::string>& columns_;
  std::optional<ExcelWriter::Stream> stream_;
  std::exception_ptr failure_;
  Value index_;  // the current record's, reused
  Value text_;
  std::vector<const Value*> row_;
  int64_t rows_ = 0;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_SHEET_H_
