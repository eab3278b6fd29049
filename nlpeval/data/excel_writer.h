#ifndef NLPEVAL_DATA_EXCEL_WRITER_H_
#define NLPEVAL_DATA_EXCEL_WRITER_H_

// Writing badcase rows to an .xlsx spreadsheet.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/value.h"

namespace nlpeval {

class ExcelWriter {
 public:
  ExcelWriter() = default;

  // A writer whose sheets hold `rows_per_sheet` rows, header included, instead of the
  // 1,048,576 of the file format; lets tests reach the sheet overflow with few rows. Throws
  // ValueError unless 2 <= rows_per_sheet <= 1,048,576.
  explicit ExcelWriter(size_t rows_per_sheet);

  // Writes `rows` under the header `excel_head` to the spreadsheet `badcase_file`, replacing
  // any file of that name; rows[i][j] is the cell of row i under excel_head[j].
  //
  // The sheet "badcase" shows the header in bold, frozen and with an autofilter, then one
  // line per row in order. Past the format's row limit the rows continue on "badcase_2",
  // "badcase_3", ..., each with the header. Integers, floats and booleans stay numbers and
  // booleans (an integer beyond 2^53, which a cell would round, and NaN or infinity, which a
  // cell cannot hold, are shown as text); null shows as NONE; arrays and objects show as
  // repr(). Text is cleaned so the file is always valid: every byte that is not well-formed
  // UTF-8, and every NUL, becomes U+FFFD, and a text past the cell limit of 32,767 UTF-16
  // code units is cut there, ending in "…".
  //
  // With `is_merge`, consecutive rows of one record (equal "index" values and, when the
  // header has a "text" column, equal texts) show their "index" and "text" once, in cells
  // merged down over the record's rows on each sheet. Without an "index" column nothing is
  // merged. A sheet holds at most 65,535 merged ranges (libxlsxwriter counts them in 16 bits);
  // the records after that on the sheet are written in full.
  //
  // The file appears only when complete: it is written under a hidden temporary name in the
  // same folder and renamed at the end. Throws ValueError when the header is empty or longer
  // than 16,384 names, or when a row does not have one value per header name (nothing is
  // written then), and FileError naming `badcase_file` when its folder does not exist or the
  // file cannot be written.
  void write(const std::vector<std::vector<Value>>& rows,
             const std::vector<std::string>& excel_head, const std::string& badcase_file,
             bool is_merge = true) const;

  class Stream;

  // Starts writing rows one at a time (Stream::add_row): the file write() makes of the same
  // rows, in memory that does not grow with their number. Throws ValueError for a bad header
  // and FileError as write() does.
  Stream open(const std::vector<std::string>& excel_head, const std::string& badcase_file,
              bool is_merge = true) const;

 private:
  size_t rows_per_sheet_ = 1'048'576;
};

// An open spreadsheet taking rows one at a time. The file appears on close(); a stream that
// is destroyed before, or whose add_row or close failed, leaves nothing behind and takes no
// more rows.
class ExcelWriter::Stream {
 public:
  Stream(Stream&&) noexcept;
  Stream& operator=(Stream&&) noexcept;
  ~Stream();

  // Adds a row of one value per header name. Throws ValueError for a row of another length,
  // and what write() throws for the cells.
  void add_row(std::span<const Value* const> row);
  void add_row(const std::vector<Value>& row);

  // Completes the sheets, writes the file and renames it to its name.
  void close();

  // The temporary file the spreadsheet is written to until close() renames it; empty once the
  // stream is closed or failed.
  std::string_view pending_file() const;

 private:
  friend class ExcelWriter;
  struct State;
  explicit Stream(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_EXCEL_WRITER_H_
