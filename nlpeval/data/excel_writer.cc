#include "nlpeval/data/excel_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/data/internal/sheet_cells.h"
#include "nlpeval/data/internal/workbook_file.h"

namespace nlpeval {
namespace {

using xlsx::check;
using xlsx::fail;

using Head = std::vector<std::string>;

constexpr size_t kSheetRowLimit = LXW_ROW_MAX;  // header included
constexpr size_t kSheetColumnLimit = LXW_COL_MAX;
constexpr const char* kSheetName = "badcase";

// libxlsxwriter counts a sheet's merged ranges in this type and, past its maximum, writes a
// wrong count or drops every range of the sheet. Records beyond it are written unmerged.
constexpr size_t kMergesPerSheet =
    std::numeric_limits<decltype(lxw_worksheet::merged_range_count)>::max();

// Past 4 GiB of sheet XML the zip container needs its 64-bit extensions; below, they stay off
// so that the file keeps the plain form every reader knows. The estimate is rough, hence half
// the limit.
constexpr size_t kZip64Threshold = size_t{2} << 30;
constexpr size_t kCellMarkupBytes = 64;

// ---- Layout ----

void check_head(const Head& head) {
  if (head.empty()) throw ValueError("excel_head is empty");
  if (head.size() > kSheetColumnLimit) {
    throw ValueError("excel_head has " + std::to_string(head.size()) +
                     " names, more than the 16384 columns of a sheet");
  }
}

void check_row_size(size_t row_size, size_t i, const Head& head) {
  if (row_size != head.size()) {
    throw ValueError("rows[" + std::to_string(i) + "] has " + std::to_string(row_size) +
                     " values for " + std::to_string(head.size()) + " header names");
  }
}

std::optional<size_t> find_column(const Head& head, std::string_view name) {
  auto found = std::find(head.begin(), head.end(), name);
  if (found == head.end()) return std::nullopt;
  return static_cast<size_t>(found - head.begin());
}

// ---- Writing ----

struct SheetOptions {
  size_t rows_per_sheet;
  bool merge;
};

// Writes the header and then rows as they come into a workbook, sheet after sheet.
//
// A record (consecutive rows with equal "index" and "text") shows those two once, in cells
// merged down over its rows, when it has more than one row on the sheet and the sheet's merge
// budget allows; its later rows leave the merged cells blank. Whether a record is merged is
// known at its second row, and the merge is recorded when the record ends, while its last
// row is still the current one: constant-memory mode keeps the cells already written (the
// record's first row holds the values) and refuses any call on rows before the current one.
// Column widths and the autofilter are set when a sheet is complete.
class SheetStream {
 public:
  SheetStream(xlsx::Workbook& book, const Head& head, SheetOptions options)
      : book_(book),
        head_(head),
        rows_per_sheet_(options.rows_per_sheet),
        index_column_(find_column(head, "index")),
        text_column_(find_column(head, "text")),
        merging_(options.merge && index_column_.has_value()),
        widths_(head, text_column_),
        formats_(head.size(), nullptr),
        merged_(head.size(), false) {
    for (std::optional<size_t> column : {index_column_, text_column_}) {
      if (!column) continue;
      merged_[*column] = merging_;
      merged_columns_ += merging_ ? 1 : 0;
      if (merging_ || column == text_column_) formats_[*column] = book.top_wrapped_format();
    }
  }

  // Writes one more row, which has one value per header name.
  void add(std::span<const Value* const> values) {
    if (sheet_ == nullptr || rows_on_sheet_ == rows_per_sheet_ - 1) {
      if (sheet_ != nullptr) end_sheet();
      start_sheet();
    }
    widths_.sample(values);
    for (const Value* value : values) sheet_bytes_ += kCellMarkupBytes + xlsx::text_bytes(*value);
    const auto row = static_cast<lxw_row_t>(rows_on_sheet_ + 1);
    const bool same_as_previous = merging_ && row > 1 && same_record_as_previous(values);
    if (!same_as_previous) {
      end_record();
      record_start_ = row;
    } else if (record_start_ == row - 1) {  // the record's second row
      merging_record_ = merges_left_ >= merged_columns_;
      if (merging_record_) merges_left_ -= merged_columns_;
    }
    write_row(values, row, merging_record_ && same_as_previous);
    if (merging_) remember_record(values);
    ++rows_on_sheet_;
    ++rows_added_;
  }

  // Completes the last sheet; a stream without rows gets one sheet with the header alone.
  void finish() {
    if (sheet_ == nullptr) start_sheet();
    end_sheet();
  }

  // Whether the sheet XML may pass the 4 GiB that the plain zip container can hold.
  bool needs_zip64() const { return sheet_bytes_ > kZip64Threshold; }

  size_t rows_added() const { return rows_added_; }

 private:
  // "badcase", then "badcase_2", "badcase_3", ...
  std::string next_sheet_name() {
    std::string name = kSheetName;
    if (++sheets_ > 1) name.append("_").append(std::to_string(sheets_));
    return name;
  }

  void start_sheet() {
    sheet_ = book_.add_sheet(next_sheet_name());
    rows_on_sheet_ = 0;
    merges_left_ = kMergesPerSheet;
    for (size_t j = 0; j < head_.size(); ++j) {
      check(worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(j),
                                   xlsx::cell_text(head_[j], scratch_), book_.header_format()),
            book_.target(), "header");
    }
    worksheet_freeze_panes(sheet_, 1, 0);
  }

  void end_sheet() {
    end_record();
    const auto last_column = static_cast<lxw_col_t>(head_.size() - 1);
    for (lxw_col_t j = 0; j <= last_column; ++j) {
      check(worksheet_set_column(sheet_, j, j, widths_.width(j), formats_[j]), book_.target(),
            "column width");
    }
    check(worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_on_sheet_), last_column),
          book_.target(), "autofilter");
  }

  // Merges the cells of the record that ends at the current row, when it is merged.
  void end_record() {
    if (merging_record_) merge(record_start_, static_cast<lxw_row_t>(rows_on_sheet_));
    merging_record_ = false;
  }

  bool same_record_as_previous(std::span<const Value* const> values) const {
    return *values[*index_column_] == previous_index_ &&
           (!text_column_ || *values[*text_column_] == previous_text_);
  }

  void remember_record(std::span<const Value* const> values) {
    copy_value(*values[*index_column_], previous_index_);
    if (text_column_) copy_value(*values[*text_column_], previous_text_);
  }

  // A string goes into the string `to` already holds, reusing its room: every row copies the
  // record's text, which would otherwise cost an allocation and a free each time.
  static void copy_value(const Value& from, Value& to) {
    if (from.is_string() && to.is_string()) {
      to.get_ref<std::string&>() = from.get_ref<const std::string&>();
    } else {
      to = from;
    }
  }

  // Writes a row at `row` of the sheet; the merged cells of a record's later rows stay blank.
  void write_row(std::span<const Value* const> values, lxw_row_t row, bool continues) {
    for (size_t j = 0; j < values.size(); ++j) {
      const auto column = static_cast<lxw_col_t>(j);
      const lxw_error error =
          continues && merged_[j]
              ? worksheet_write_blank(sheet_, row, column, formats_[j])
              : xlsx::write_cell(sheet_, row, column, *values[j], formats_[j], scratch_);
      if (error != LXW_NO_ERROR) [[unlikely]] {
        fail(error, book_.target(),
             "rows[" + std::to_string(rows_added_) + "][" + std::to_string(j) + "]");
      }
    }
  }

  void merge(lxw_row_t first, lxw_row_t last) {
    for (size_t j = 0; j < merged_.size(); ++j) {
      if (!merged_[j]) continue;
      const auto column = static_cast<lxw_col_t>(j);
      // The text given here would go to the first cell, which already holds the value.
      check(worksheet_merge_range(sheet_, first, column, last, column, "", formats_[j]),
            book_.target(), "merged cells");
    }
  }

  xlsx::Workbook& book_;
  const Head& head_;
  size_t rows_per_sheet_;
  std::optional<size_t> index_column_;
  std::optional<size_t> text_column_;
  bool merging_;
  xlsx::ColumnWidths widths_;
  std::vector<lxw_format*> formats_;  // per column; null for the library's default
  std::vector<bool> merged_;          // per column
  size_t merged_columns_ = 0;
  size_t sheet_bytes_ = 0;  // estimated
  size_t rows_added_ = 0;
  size_t sheets_ = 0;
  lxw_worksheet* sheet_ = nullptr;
  size_t rows_on_sheet_ = 0;  // data rows, the header not counted
  size_t merges_left_ = kMergesPerSheet;
  lxw_row_t record_start_ = 1;
  bool merging_record_ = false;
  Value previous_index_;
  Value previous_text_;
  std::string scratch_;
};

}  // namespace

// Everything an open stream holds, in the order it must be torn down: the workbook (and its
// temporary sheet files) before the pending file.
struct ExcelWriter::Stream::State {
  State(const Head& head, const std::string& badcase_file, SheetOptions options)
      : head(head), pending(badcase_file), book(pending), sheets(book, this->head, options) {}

  Head head;
  xlsx::PendingFile pending;
  xlsx::Workbook book;
  SheetStream sheets;
  std::vector<const Value*> row;  // the row being added, reused
};

ExcelWriter::Stream::Stream(std::unique_ptr<State> state) : state_(std::move(state)) {}
ExcelWriter::Stream::Stream(Stream&&) noexcept = default;
ExcelWriter::Stream& ExcelWriter::Stream::operator=(Stream&&) noexcept = default;
ExcelWriter::Stream::~Stream() = default;

void ExcelWriter::Stream::add_row(std::span<const Value* const> row) {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  try {
    check_row_size(row.size(), state_->sheets.rows_added(), state_->head);
    state_->sheets.add(row);
  } catch (...) {
    state_.reset();  // nothing is left behind
    throw;
  }
}

void ExcelWriter::Stream::add_row(const std::vector<Value>& row) {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  std::vector<const Value*>& pointers = state_->row;
  pointers.clear();
  for (const Value& value : row) pointers.push_back(&value);
  add_row(std::span<const Value* const>(pointers));
}

void ExcelWriter::Stream::close() {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  std::unique_ptr<State> state = std::move(state_);
  state->sheets.finish();
  state->book.close(state->sheets.needs_zip64());
  state->pending.commit();
}

std::string_view ExcelWriter::Stream::pending_file() const {
  return state_ ? std::string_view(state_->pending.path()) : std::string_view();
}

ExcelWriter::ExcelWriter(size_t rows_per_sheet) : rows_per_sheet_(rows_per_sheet) {
  if (rows_per_sheet < 2 || rows_per_sheet > kSheetRowLimit) {
    throw ValueError("rows_per_sheet must be between 2 and 1048576, got " +
                     std::to_string(rows_per_sheet));
  }
}

ExcelWriter::Stream ExcelWriter::open(const std::vector<std::string>& excel_head,
                                      const std::string& badcase_file, bool is_merge) const {
  check_head(excel_head);
  return Stream(std::make_unique<Stream::State>(excel_head, badcase_file,
                                                SheetOptions{rows_per_sheet_, is_merge}));
}

void ExcelWriter::write(const std::vector<std::vector<Value>>& rows,
                        const std::vector<std::string>& excel_head, const std::string& badcase_file,
                        bool is_merge) const {
  check_head(excel_head);
  for (size_t i = 0; i < rows.size(); ++i) check_row_size(rows[i].size(), i, excel_head);
  Stream stream = open(excel_head, badcase_file, is_merge);
  for (const std::vector<Value>& row : rows) stream.add_row(row);
  stream.close();
}

}  // namespace nlpeval
